// libFuzzer target for the PGM header reader: arbitrary bytes as an image file.
// The parser runs on libFuzzer's own exact-size buffer, so AddressSanitizer sees any read past
// the end; the same bytes then go through a real file, mapping included.

#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "quorvane_nav2_gridmap/map_mark/read_file.hpp"

namespace
{

std::string image_path;  // NOLINT: one scratch file for the whole run

void failUnless(bool condition, const char * what)
{
  if (!condition) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
  // Millions of refused headers would otherwise flood standard output with ERROR lines.
  setenv("SPDLOG_STDOUT", "false", 1);
  setenv("SPDLOG_SYSTEMD", "false", 1);
  setenv("SPDLOG_LEVEL", "critical", 1);
  image_path = (std::filesystem::temp_directory_path() /
    ("fuzz_pgm_header_" + std::to_string(::getpid()) + ".pgm")).string();
  std::atexit([] {std::filesystem::remove(image_path);});
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t * data, std::size_t size)
{
  const auto * bytes = reinterpret_cast<const char *>(data);
  const plane_object::PgmHeight parsed = plane_object::parsePGMHeight(bytes, size);

  // A header, once its height is read, does not depend on what follows it.
  if (parsed.status == plane_object::PgmHeaderStatus::kOk) {
    std::vector<char> longer(bytes, bytes + size);
    longer.insert(longer.end(), {'9', '\n', '#', 'x'});
    const plane_object::PgmHeight again =
      plane_object::parsePGMHeight(longer.data(), longer.size());
    failUnless(
      again.status == parsed.status && again.height == parsed.height, "suffix changed height");
  }

  {
    std::ofstream(image_path, std::ios::binary | std::ios::trunc)
    .write(bytes, static_cast<std::streamsize>(size));
  }
  const std::optional<std::uint32_t> read = plane_object::readPGMSize(image_path);
  if (size > 0) {
    failUnless(
      read.has_value() == (parsed.status == plane_object::PgmHeaderStatus::kOk),
      "file and buffer disagree");
    failUnless(!read || *read == parsed.height, "file and buffer heights differ");
  }
  return 0;
}
