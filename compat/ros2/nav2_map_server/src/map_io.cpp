#include "nav2_map_server/map_io.hpp"

#include <libgen.h>

#include <cstdlib>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "rcutils/logging_macros.h"
#include "yaml-cpp/yaml.h"

namespace nav2_map_server
{

namespace
{

constexpr const char * kLogger = "map_io";

// Turns a conversion failure into an exception that names the offending key, so a user
// sees which line of the meta file is wrong.
template<typename T>
T yaml_get_value(const YAML::Node & node, const std::string & key)
{
  try {
    return node[key].as<T>();
  } catch (YAML::Exception & e) {
    std::stringstream ss;
    ss << "Failed to parse YAML tag '" << key << "' for reason: " << e.msg;
    throw YAML::Exception(e.mark, ss.str());
  }
}

std::string get_home_dir()
{
  const char * home = std::getenv("HOME");
  return home == nullptr ? std::string() : std::string(home);
}

std::string directory_of(const std::string & path)
{
  // dirname() may modify its argument, so it gets a private copy.
  std::vector<char> copy(path.begin(), path.end());
  copy.push_back('\0');
  return std::string(dirname(copy.data()));
}

std::string read_image_file_name(const YAML::Node & doc, const std::string & yaml_filename)
{
  auto image_file_name = yaml_get_value<std::string>(doc, "image");
  if (image_file_name.empty()) {
    throw YAML::Exception(doc["image"].Mark(), "The image tag was empty.");
  }
  if (image_file_name[0] != '/') {
    image_file_name = directory_of(yaml_filename) + '/' + image_file_name;
  }
  return image_file_name;
}

std::vector<double> read_origin(const YAML::Node & doc)
{
  auto origin = yaml_get_value<std::vector<double>>(doc, "origin");
  if (origin.size() != 3) {
    throw YAML::Exception(
            doc["origin"].Mark(),
            "value of the 'origin' tag should have 3 elements, not " +
            std::to_string(origin.size()));
  }
  return origin;
}

MapMode read_mode(const YAML::Node & doc)
{
  const auto mode_node = doc["mode"];
  if (!mode_node.IsDefined()) {
    return MapMode::Trinary;
  }
  return map_mode_from_string(mode_node.as<std::string>());
}

// Meta files in the wild write negate as 0/1 as well as false/true; both are accepted.
bool read_negate(const YAML::Node & doc)
{
  try {
    return yaml_get_value<int>(doc, "negate") != 0;
  } catch (YAML::Exception &) {
    return yaml_get_value<bool>(doc, "negate");
  }
}

void log_parameters(const LoadParameters & p)
{
  RCUTILS_LOG_INFO_NAMED(kLogger, "resolution: %f", p.resolution);
  RCUTILS_LOG_INFO_NAMED(kLogger, "origin[0]: %f", p.origin[0]);
  RCUTILS_LOG_INFO_NAMED(kLogger, "origin[1]: %f", p.origin[1]);
  RCUTILS_LOG_INFO_NAMED(kLogger, "origin[2]: %f", p.origin[2]);
  RCUTILS_LOG_INFO_NAMED(kLogger, "free_thresh: %f", p.free_thresh);
  RCUTILS_LOG_INFO_NAMED(kLogger, "occupied_thresh: %f", p.occupied_thresh);
  RCUTILS_LOG_INFO_NAMED(kLogger, "mode: %s", map_mode_to_string(p.mode));
  RCUTILS_LOG_INFO_NAMED(kLogger, "negate: %d", p.negate ? 1 : 0);
}

}  // namespace

std::string expand_user_home_dir_if_needed(std::string yaml_filename, std::string home_dir)
{
  if (yaml_filename.size() < 2 || !(yaml_filename[0] == '~' && yaml_filename[1] == '/')) {
    return yaml_filename;
  }
  if (home_dir.empty()) {
    RCUTILS_LOG_INFO_NAMED(
      kLogger, "Map yaml file name starts with '~/' but no HOME variable set.");
    RCUTILS_LOG_INFO_NAMED(kLogger, "User home dir will be not expanded");
    return yaml_filename;
  }
  return home_dir + yaml_filename.substr(1);
}

LoadParameters loadMapYaml(const std::string & yaml_filename)
{
  const YAML::Node doc =
    YAML::LoadFile(expand_user_home_dir_if_needed(yaml_filename, get_home_dir()));

  LoadParameters load_parameters;
  load_parameters.image_file_name = read_image_file_name(doc, yaml_filename);
  load_parameters.resolution = yaml_get_value<double>(doc, "resolution");
  load_parameters.origin = read_origin(doc);
  load_parameters.free_thresh = yaml_get_value<double>(doc, "free_thresh");
  load_parameters.occupied_thresh = yaml_get_value<double>(doc, "occupied_thresh");
  load_parameters.mode = read_mode(doc);
  load_parameters.negate = read_negate(doc);

  log_parameters(load_parameters);
  return load_parameters;
}

void loadMapFromFile(const LoadParameters &, nav_msgs::msg::OccupancyGrid &)
{
  throw std::logic_error("nav2_map_server::loadMapFromFile not supported by this stand-in");
}

LOAD_MAP_STATUS loadMapFromYaml(const std::string &, nav_msgs::msg::OccupancyGrid &)
{
  // Image decoding is unavailable, so the status codes of this call could only lie.
  throw std::logic_error("nav2_map_server::loadMapFromYaml not supported by this stand-in");
}

bool saveMapToFile(const nav_msgs::msg::OccupancyGrid &, const SaveParameters &)
{
  throw std::logic_error("nav2_map_server::saveMapToFile not supported by this stand-in");
}

}  // namespace nav2_map_server
