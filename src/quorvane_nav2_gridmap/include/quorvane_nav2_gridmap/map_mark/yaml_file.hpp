#ifndef QUORVANE_NAV2_GRIDMAP__MAP_MARK__YAML_FILE_HPP_
#define QUORVANE_NAV2_GRIDMAP__MAP_MARK__YAML_FILE_HPP_

// Loads a YAML file of the map directory as YAML::LoadFile would, but only from a regular file
// of bounded size, so that a FIFO, a device or a directory in its place is a failed load.

#include <cstddef>
#include <filesystem>
#include <string>
#include <utility>

#include <yaml-cpp/yaml.h>

#include "quorvane_nav2_gridmap/logger.hpp"
#include "quorvane_nav2_gridmap/map_mark/regular_file.hpp"

namespace plane_object
{

// The text of a YAML file; raises YAML::BadFile for a file that can't be read or holds more than
// `max_bytes`, after an ERROR line saying why unless it is simply missing.
inline std::string readYamlText(
  const std::filesystem::path & path, std::size_t max_bytes = kMaxTextFileBytes)
{
  const std::string name = path.string();
  RegularFile file = RegularFile::read(name, max_bytes);
  if (!file.ok()) {
    if (file.refusal != FileRefusal::kCannotOpen) {
      QLOG_ERROR("{}", file.reason(name, max_bytes));
    }
    throw YAML::BadFile(name);
  }
  return std::move(file.text);
}

// As readYamlText, and then YAML::Exception for a text yaml-cpp can't parse.
inline YAML::Node loadYamlFile(
  const std::filesystem::path & path, std::size_t max_bytes = kMaxTextFileBytes)
{
  return YAML::Load(readYamlText(path, max_bytes));
}

}  // namespace plane_object

#endif  // QUORVANE_NAV2_GRIDMAP__MAP_MARK__YAML_FILE_HPP_
