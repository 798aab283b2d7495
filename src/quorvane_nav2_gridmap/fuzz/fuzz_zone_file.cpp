// libFuzzer target for the zone factory: arbitrary bytes as the mark file of an otherwise
// valid map directory. Every zone built is also rasterised at a costmap-like resolution and
// queried, as the obstacle-type plugin would.

#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "map_directory_fuzz_support.hpp"
#include "quorvane_nav2_gridmap/map_mark/plane_object.hpp"

namespace
{

using map_directory_fuzz::exercise;
using map_directory_fuzz::writeFile;

std::filesystem::path map_directory;  // NOLINT: one scratch map directory for the whole run

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
  map_directory = map_directory_fuzz::quietScratchMapDirectory("fuzz_zone_file");
  writeFile(map_directory / "history.map", "m1\n");
  writeFile(
    map_directory / "m1" / "map.yaml",
    "image: map.pgm\nresolution: 0.05\norigin: [-10.0, -5.0, 0.0]\nnegate: 0\n"
    "occupied_thresh: 0.65\nfree_thresh: 0.196\n");
  writeFile(map_directory / "m1" / "map.pgm", "P5\n640 400\n255\n");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t * data, std::size_t size)
{
  writeFile(map_directory / "m1" / "mark.yaml", reinterpret_cast<const char *>(data), size);
  // One load of three kinds, as the obstacle-type plugin loads its two.
  for (const auto & zones : plane_object::PlaneObjectFactory(
      map_directory, "history.map", "map.yaml", "mark.yaml", {0u, 4u, 5u}))
  {
    for (const auto & zone : zones) {
      exercise(*zone);
    }
  }
  return 0;
}
