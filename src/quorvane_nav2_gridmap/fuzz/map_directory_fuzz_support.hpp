// What the two map-directory fuzz targets share: a quiet logger, one scratch map directory for the
// whole run, file writing, and a zone exercised the way the obstacle-type plugin uses it.

#ifndef QUORVANE_NAV2_GRIDMAP__FUZZ__MAP_DIRECTORY_FUZZ_SUPPORT_HPP_
#define QUORVANE_NAV2_GRIDMAP__FUZZ__MAP_DIRECTORY_FUZZ_SUPPORT_HPP_

#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <rclcpp/logger.hpp>

#include "quorvane_nav2_gridmap/map_mark/plane_object.hpp"

namespace map_directory_fuzz
{

inline void writeFile(const std::filesystem::path & path, const char * data, std::size_t size)
{
  std::ofstream(path, std::ios::binary | std::ios::trunc)
  .write(data, static_cast<std::streamsize>(size));
}

inline void writeFile(const std::filesystem::path & path, const std::string & bytes)
{
  writeFile(path, bytes.data(), bytes.size());
}

// Silences the library's and map_io's logs, then makes a map directory with an empty map "m1"
// that is removed when the run ends.
inline std::filesystem::path quietScratchMapDirectory(const std::string & target)
{
  setenv("SPDLOG_STDOUT", "false", 1);
  setenv("SPDLOG_SYSTEMD", "false", 1);
  setenv("SPDLOG_LEVEL", "critical", 1);
  rclcpp::get_logger("map_io").set_level(rclcpp::Logger::Level::Fatal);
  std::string pattern = (std::filesystem::temp_directory_path() / (target + "_XXXXXX")).string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    std::perror("mkdtemp");
    std::abort();
  }
  static std::filesystem::path scratch;  // NOLINT: removed at exit
  scratch = pattern;
  std::atexit([] {std::filesystem::remove_all(scratch);});
  std::filesystem::create_directories(scratch / "m1");
  return scratch;
}

// Beyond this many cells only the corners are read: the sweep would dominate the run time.
constexpr std::size_t kMaxCellsRead = std::size_t{1} << 22;

// Reads the cells of a zone's grid, so that AddressSanitizer checks its storage against its
// stated size, then queries the zone at each of its own points.
inline void exercise(plane_object::Base & zone)
{
  const auto grid = zone.getGrid(0.025);
  volatile bool sink = false;
  if (grid->width() > 0 && grid->height() > 0) {
    if (grid->cellCount() > kMaxCellsRead) {
      sink = grid->at(0, 0) != grid->at(grid->width() - 1, grid->height() - 1);
    } else {
      for (std::uint32_t row = 0; row < grid->height(); ++row) {
        for (std::uint32_t col = 0; col < grid->width(); ++col) {
          sink = sink != grid->at(col, row);
        }
      }
    }
  }
  for (const plane_object::Point & point : zone.getPoints()) {
    zone.intersects({point.x, point.y, 0.1});
  }
}

}  // namespace map_directory_fuzz

#endif  // QUORVANE_NAV2_GRIDMAP__FUZZ__MAP_DIRECTORY_FUZZ_SUPPORT_HPP_
