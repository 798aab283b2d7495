#ifndef QUORVANE_NAV2_GRIDMAP__MAP_MARK__READ_FILE_HPP_
#define QUORVANE_NAV2_GRIDMAP__MAP_MARK__READ_FILE_HPP_

// Reads the height of a PGM map image from its header alone: the zones are drawn in image
// rows counted from the top, and the map's y axis starts at the image's bottom edge.

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "quorvane_nav2_gridmap/logger.hpp"
#include "quorvane_nav2_gridmap/map_mark/file_descriptor.hpp"
#include "quorvane_nav2_gridmap/map_mark/read_only_mapping.hpp"

namespace plane_object
{

enum class PgmHeaderStatus
{
  kOk,
  kUnsupportedFormat,
  kTruncated,
  kHeightNotDecimal,
  kHeightTooLarge,
};

struct PgmHeight
{
  PgmHeaderStatus status{PgmHeaderStatus::kOk};
  std::uint32_t height{0};
  // Empty when the width field is not a decimal number of 32 bits: the height is still good.
  std::optional<std::uint32_t> width;
};

struct PgmSize
{
  std::optional<std::uint32_t> width;
  std::uint32_t height{0};
};

namespace detail
{

// The four separators netpbm allows between header fields.
inline bool isPgmWhiteSpace(char c)
{
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

inline bool endsPgmToken(char c)
{
  return isPgmWhiteSpace(c) || c == '#';
}

// Skips white space and '#' comments (which run to the next CR or LF); returns the position
// of the next token character, or `size` when the buffer ends first.
inline std::size_t skipPgmSeparators(const char * data, std::size_t size, std::size_t pos)
{
  while (pos < size) {
    if (isPgmWhiteSpace(data[pos])) {
      ++pos;
    } else if (data[pos] == '#') {
      while (pos < size && data[pos] != '\n' && data[pos] != '\r') {
        ++pos;
      }
    } else {
      break;
    }
  }
  return pos;
}

// The decimal number of 32 bits in data[begin, end); empty for anything else.
inline std::optional<std::uint32_t> parsePgmDecimal(
  const char * data, std::size_t begin, std::size_t end)
{
  if (begin == end) {
    return std::nullopt;
  }
  std::uint64_t value = 0;
  for (std::size_t pos = begin; pos < end; ++pos) {
    if (data[pos] < '0' || data[pos] > '9') {
      return std::nullopt;
    }
    value = value * 10 + static_cast<std::uint64_t>(data[pos] - '0');
    if (value > std::numeric_limits<std::uint32_t>::max()) {
      return std::nullopt;
    }
  }
  return static_cast<std::uint32_t>(value);
}

}  // namespace detail

// Parses "P2"/"P5", the width and the height from a buffer of `size` bytes, never looking past
// its end. Only the height decides whether the header is usable; the width is reported when it
// is a number. The height must be followed by a separator inside the buffer: digits that run
// into the end may be a number cut short.
inline PgmHeight parsePGMHeight(const char * data, std::size_t size)
{
  if (size >= 1 && data[0] != 'P') {
    return {PgmHeaderStatus::kUnsupportedFormat, 0, std::nullopt};
  }
  if (size < 2) {
    return {PgmHeaderStatus::kTruncated, 0, std::nullopt};
  }
  if (data[1] != '2' && data[1] != '5') {
    return {PgmHeaderStatus::kUnsupportedFormat, 0, std::nullopt};
  }
  std::size_t pos = detail::skipPgmSeparators(data, size, 2);
  const std::size_t width_begin = pos;
  while (pos < size && !detail::endsPgmToken(data[pos])) {
    ++pos;
  }
  const std::optional<std::uint32_t> width = detail::parsePgmDecimal(data, width_begin, pos);
  pos = detail::skipPgmSeparators(data, size, pos);
  if (pos == size) {
    return {PgmHeaderStatus::kTruncated, 0, std::nullopt};
  }
  std::uint64_t height = 0;
  for (; pos < size && !detail::endsPgmToken(data[pos]); ++pos) {
    if (data[pos] < '0' || data[pos] > '9') {
      return {PgmHeaderStatus::kHeightNotDecimal, 0, std::nullopt};
    }
    height = height * 10 + static_cast<std::uint64_t>(data[pos] - '0');
    if (height > std::numeric_limits<std::uint32_t>::max()) {
      return {PgmHeaderStatus::kHeightTooLarge, 0, std::nullopt};
    }
  }
  if (pos == size) {
    return {PgmHeaderStatus::kTruncated, 0, std::nullopt};
  }
  return {PgmHeaderStatus::kOk, static_cast<std::uint32_t>(height), width};
}

// The size of the PGM image at `path`; false after an ERROR line naming what went wrong.
// The file is mapped rather than streamed because only its first bytes are ever looked at.
inline bool readPGMSize(const std::string & path, PgmSize & size)
{
  // The system would open only the part of the path before a NUL: another file.
  const bool path_is_whole = path.find('\0') == std::string::npos;
  FileDescriptor file = path_is_whole ? FileDescriptor::openReadOnly(path) : FileDescriptor(-1);
  if (!file.valid()) {
    QLOG_ERROR("Error: Could not open the file!");
    return false;
  }
  struct stat file_status{};
  if (::fstat(file.get(), &file_status) != 0) {
    QLOG_ERROR("Error: Could not get file size!");
    return false;
  }
  const ReadOnlyMapping mapping(file.get(), static_cast<std::size_t>(file_status.st_size));
  file.close();
  if (!mapping.valid()) {
    QLOG_ERROR("Error: Could not mmap the file!");
    return false;
  }
  const PgmHeight header = parsePGMHeight(mapping.data(), mapping.size());
  switch (header.status) {
    case PgmHeaderStatus::kOk:
      size = PgmSize{header.width, header.height};
      return true;
    case PgmHeaderStatus::kUnsupportedFormat:
      QLOG_ERROR("Error: Unsupported PGM format!");
      break;
    case PgmHeaderStatus::kTruncated:
      QLOG_ERROR("Error: PGM header ends before its height!");
      break;
    case PgmHeaderStatus::kHeightNotDecimal:
      QLOG_ERROR("Error: PGM height is not a decimal number!");
      break;
    case PgmHeaderStatus::kHeightTooLarge:
      QLOG_ERROR("Error: PGM height does not fit 32 bits!");
      break;
  }
  return false;
}

// The height of the PGM image at `path`; empty after the ERROR line of the reader above.
inline std::optional<std::uint32_t> readPGMSize(const std::string & path)
{
  PgmSize size;
  if (!readPGMSize(path, size)) {
    return std::nullopt;
  }
  return size.height;
}

}  // namespace plane_object

#endif  // QUORVANE_NAV2_GRIDMAP__MAP_MARK__READ_FILE_HPP_
