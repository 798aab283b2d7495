// libFuzzer target for a whole map directory as people edit it: arbitrary bytes become the history
// file, the map's meta file, its image and its mark file, all read through the zone factory; every
// zone built is rasterised again at a costmap-like resolution and queried.

#include <fuzzer/FuzzedDataProvider.h>

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
  map_directory = map_directory_fuzz::quietScratchMapDirectory("fuzz_map_directory");
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
