#include "quorvane_nav2_gridmap_demo/working_map_directory.hpp"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

namespace quorvane_nav2_gridmap_demo
{
namespace
{

std::filesystem::path makeTemporaryDirectory()
{
  std::string pattern =
    (std::filesystem::temp_directory_path() / "quorvane_demo_maps_XXXXXX").string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data()) == nullptr) {
    throw std::system_error(errno, std::generic_category(), "cannot create " + pattern);
  }
  return std::filesystem::path(buffer.data());
}

}  // namespace

WorkingMapDirectory::WorkingMapDirectory(const std::filesystem::path & installed)
: path_(makeTemporaryDirectory())
{
  try {
    std::filesystem::copy(installed, path_, std::filesystem::copy_options::recursive);
  } catch (...) {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
    throw;
  }
}

WorkingMapDirectory::~WorkingMapDirectory()
{
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string WorkingMapDirectory::currentMapId() const
{
  std::ifstream history(historyFile());
  std::string map_id;
  history >> map_id;
  return map_id;
}

void WorkingMapDirectory::selectMap(const std::string & map_id)
{
  if (!std::filesystem::is_regular_file(mapMetaFile(map_id))) {
    throw std::runtime_error("the map directory has no map " + map_id);
  }
  std::ofstream history(historyFile(), std::ios::trunc);
  history << map_id << '\n';
  if (!history) {
    throw std::runtime_error("cannot write " + historyFile().string());
  }
}

std::filesystem::path WorkingMapDirectory::mapMetaFile(const std::string & map_id) const
{
  return path_ / map_id / "map.yaml";
}

std::filesystem::path WorkingMapDirectory::historyFile() const
{
  return path_ / "history.map";
}

}  // namespace quorvane_nav2_gridmap_demo
