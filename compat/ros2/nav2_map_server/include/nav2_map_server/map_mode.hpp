#ifndef NAV2_MAP_SERVER__MAP_MODE_HPP_
#define NAV2_MAP_SERVER__MAP_MODE_HPP_

// How pixel shades of a map image become occupancy values.

#include <string>

namespace nav2_map_server
{

enum class MapMode
{
  Trinary,
  Scale,
  Raw
};

// "trinary", "scale" or "raw"; throws std::invalid_argument for a value outside the enum.
const char * map_mode_to_string(MapMode map_mode);

// Case-insensitive inverse of map_mode_to_string; throws std::invalid_argument for unknown names.
MapMode map_mode_from_string(std::string map_mode_name);

}  // namespace nav2_map_server

#endif  // NAV2_MAP_SERVER__MAP_MODE_HPP_
