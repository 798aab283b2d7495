#ifndef QUORVANE_NAV2_GRIDMAP_DEMO__WORKING_MAP_DIRECTORY_HPP_
#define QUORVANE_NAV2_GRIDMAP_DEMO__WORKING_MAP_DIRECTORY_HPP_

// A private, writable copy of the sample map directory: the host switches maps by rewriting its
// history file, as a map manager would, without touching the installed files.

#include <filesystem>
#include <string>

namespace quorvane_nav2_gridmap_demo
{

class WorkingMapDirectory
{
public:
  // Copies `installed` into a new directory under the system's temporary directory.
  explicit WorkingMapDirectory(const std::filesystem::path & installed);
  // Removes the copy.
  ~WorkingMapDirectory();

  WorkingMapDirectory(const WorkingMapDirectory &) = delete;
  WorkingMapDirectory & operator=(const WorkingMapDirectory &) = delete;

  const std::filesystem::path & path() const {return path_;}
  // The map id the history file names now.
  std::string currentMapId() const;
  // Makes `map_id` the current map; throws std::runtime_error for a map the directory lacks.
  void selectMap(const std::string & map_id);
  std::filesystem::path mapMetaFile(const std::string & map_id) const;

private:
  std::filesystem::path historyFile() const;

  std::filesystem::path path_;
};

}  // namespace quorvane_nav2_gridmap_demo

#endif  // QUORVANE_NAV2_GRIDMAP_DEMO__WORKING_MAP_DIRECTORY_HPP_
