// libFuzzer target for a whole map directory as people edit it: arbitrary bytes become the history
// file, the map's meta file, its image and its mark file, all read through the zone factory; every
// zone built is rasterised again at a costmap-like resolution and queried.

#include <stdlib.h>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <rclcpp/logger.hpp>

#include "quorvane_nav2_gridmap/map_mark/plane_object.hpp"

namespace
{

std::filesystem::path map_directory;  // NOLINT: one scratch map directory for the whole run

void writeFile(const std::filesystem::path & path, const std::string & bytes)
{
  std::ofstream(path, std::ios::binary | std::ios::trunc)
  .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Beyond this many cells only the corners are read: the sweep would dominate the run time.
constexpr std::size_t kMaxCellsRead = std::size_t{1} << 22;

// Reads the cells of a zone's grid, so that AddressSanitizer checks its storage against its
// stated size, then queries the zone at each of its own points.
void exercise(plane_object::Base & zone)
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

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
  setenv("SPDLOG_STDOUT", "false", 1);
  setenv("SPDLOG_SYSTEMD", "false", 1);
  setenv("SPDLOG_LEVEL", "critical", 1);
  rclcpp::get_logger("map_io").set_level(rclcpp::Logger::Level::Fatal);
  std::string pattern =
    (std::filesystem::temp_directory_path() / "fuzz_map_directory_XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    std::perror("mkdtemp");
    std::abort();
  }
  map_directory = pattern;
  std::atexit([] {std::filesystem::remove_all(map_directory);});
  std::filesystem::create_directories(map_directory / "m1");
  return 0;
}

// The input is the four files in turn, each of the first three ended by a backslash followed by
// any other character (a doubled backslash stands for one), then the mark type's byte at the end.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t * data, std::size_t size)
{
  FuzzedDataProvider input(data, size);
  const auto mark_type = input.ConsumeIntegralInRange<std::uint32_t>(0, 7);
  writeFile(map_directory / "history.map", input.ConsumeRandomLengthString(256));
  writeFile(map_directory / "m1" / "map.yaml", input.ConsumeRandomLengthString(1024));
  writeFile(map_directory / "m1" / "map.pgm", input.ConsumeRandomLengthString(256));
  writeFile(map_directory / "m1" / "mark.yaml", input.ConsumeRemainingBytesAsString());
  for (const auto & zone : plane_object::PlaneObjectFactory(
      map_directory, "history.map", "map.yaml", "mark.yaml", mark_type))
  {
    exercise(*zone);
  }
  return 0;
}
