#ifndef QUORVANE_NAV2_GRIDMAP__MAP_MARK__YAML_FILE_HPP_
#define QUORVANE_NAV2_GRIDMAP__MAP_MARK__YAML_FILE_HPP_

// Loads a YAML file of the map directory as YAML::LoadFile would, but only from a regular file
// of bounded size, so that a FIFO, a device or a directory in its place is a failed load.

#include <cstddef>
#include <filesystem>
#include <string>

#include <yaml-cpp/yaml.h>

#include "quorvane_nav2_gridmap/logger.hpp"
#include "quorvane_nav2_gridmap/map_mark/regular_file.hpp"

namespace plane_object
{

// Raises YAML::BadFile for a file that can't be read or holds more than `max_bytes` (after an
// ERROR line saying why, unless it is simply missing) and YAML::Exception for one yaml-cpp can't
// parse.
inline YAML::Node loadYamlFile(
  const std::filesystem::path & path, std::size_t max_bytes = kMaxTextFileBytes)
{
  const std::string name = path.string();
  const RegularFile file = RegularFile::read(name, max_bytes);
  if (!file.ok()) {
    if (file.refusal != FileRefusal::kCannotOpen) {
      QLOG_ERROR("{}", file.reason(name, max_bytes));
    }
    throw YAML::BadFile(name);
  }
  return YAML::Load(file.text);
}

}  // namespace plane_object

#endif  // QUORVANE_NAV2_GRIDMAP__MAP_MARK__YAML_FILE_HPP_
