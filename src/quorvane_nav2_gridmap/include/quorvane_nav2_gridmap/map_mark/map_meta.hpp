#ifndef QUORVANE_NAV2_GRIDMAP__MAP_MARK__MAP_META_HPP_
#define QUORVANE_NAV2_GRIDMAP__MAP_MARK__MAP_META_HPP_

// What the zones need from a map's meta file: the image's scale and where its lower left
// corner lies on the map.

#include <cmath>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <yaml-cpp/yaml.h>

#include "quorvane_nav2_gridmap/map_mark/yaml_file.hpp"

namespace plane_object
{

struct MapMeta
{
  double resolution{0.0};
  double origin_x{0.0};
  double origin_y{0.0};

  // Raises YAML::Exception for a file yaml-cpp can't read or values it can't convert; empty
  // when the values convert but can't place a zone (fewer than two origin numbers, a
  // resolution that is not a positive finite number, a non-finite origin).
  static std::optional<MapMeta> read(const std::filesystem::path & meta_file)
  {
    const YAML::Node meta = loadYamlFile(meta_file);
    const double resolution = meta["resolution"].as<double>();
    const std::vector<double> origin = meta["origin"].as<std::vector<double>>();
    if (origin.size() < 2 || !(resolution > 0.0) || !std::isfinite(resolution) ||
      !std::isfinite(origin[0]) || !std::isfinite(origin[1]))
    {
      return std::nullopt;
    }
    return MapMeta{resolution, origin[0], origin[1]};
  }
};

}  // namespace plane_object

#endif  // QUORVANE_NAV2_GRIDMAP__MAP_MARK__MAP_META_HPP_
