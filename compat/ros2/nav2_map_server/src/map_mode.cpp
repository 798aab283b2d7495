#include "nav2_map_server/map_mode.hpp"

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace nav2_map_server
{

const char * map_mode_to_string(MapMode map_mode)
{
  switch (map_mode) {
    case MapMode::Trinary:
      return "trinary";
    case MapMode::Scale:
      return "scale";
    case MapMode::Raw:
      return "raw";
  }
  throw std::invalid_argument("map_mode");
}

MapMode map_mode_from_string(std::string map_mode_name)
{
  std::transform(
    map_mode_name.begin(), map_mode_name.end(), map_mode_name.begin(),
    [](unsigned char c) {return static_cast<char>(std::tolower(c));});
  if (map_mode_name == "scale") {
    return MapMode::Scale;
  }
  if (map_mode_name == "trinary") {
    return MapMode::Trinary;
  }
  if (map_mode_name == "raw") {
    return MapMode::Raw;
  }
  throw std::invalid_argument("map_mode_name");
}

}  // namespace nav2_map_server
