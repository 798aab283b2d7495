#ifndef QUORVANE_NAV2_GRIDMAP__MAP_MARK__REGULAR_FILE_HPP_
#define QUORVANE_NAV2_GRIDMAP__MAP_MARK__REGULAR_FILE_HPP_

// Reads a small text file of the map directory whole, refusing anything that is not a regular
// file of bounded size: a FIFO would block the reader, a device or a directory never ends or
// fails inside a parser, and a huge file costs more than any zone it could hold is worth.

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <string>

#include <fmt/format.h>

#include "quorvane_nav2_gridmap/map_mark/file_descriptor.hpp"

namespace plane_object
{

// The history file and the meta file hold a few lines; far larger, they are not what they claim.
// The zone file has a bound of its own.
constexpr std::size_t kMaxTextFileBytes = 1024u * 1024u;

enum class FileRefusal
{
  kNone,
  kCannotOpen,
  kNotRegular,
  kTooLarge,
  kReadFailed,
};

struct RegularFile
{
  FileRefusal refusal{FileRefusal::kNone};
  std::string text;

  bool ok() const {return refusal == FileRefusal::kNone;}

  // Why the file at `path` was refused; empty when it was read.
  std::string reason(const std::string & path, std::size_t max_bytes = kMaxTextFileBytes) const
  {
    switch (refusal) {
      case FileRefusal::kNone:
        return {};
      case FileRefusal::kCannotOpen:
        return fmt::format("{} can not be opened", path);
      case FileRefusal::kNotRegular:
        return fmt::format("{} is not a regular file", path);
      case FileRefusal::kTooLarge:
        return fmt::format("{} is larger than {} bytes", path, max_bytes);
      case FileRefusal::kReadFailed:
        return fmt::format("{} can not be read", path);
    }
    return {};
  }

  // The whole content of `path`, or the refusal. The open does not wait for a FIFO's writer,
  // and the type and size are checked on the opened file, so a path swapped in between can't
  // slip past the checks.
  static RegularFile read(const std::string & path, std::size_t max_bytes = kMaxTextFileBytes)
  {
    if (path.find('\0') != std::string::npos) {
      // The system would see only the part before the NUL: another file.
      return {FileRefusal::kCannotOpen, {}};
    }
    const FileDescriptor file = FileDescriptor::openReadOnly(path);
    if (!file.valid()) {
      return {FileRefusal::kCannotOpen, {}};
    }
    struct stat status{};
    if (::fstat(file.get(), &status) != 0) {
      return {FileRefusal::kReadFailed, {}};
    }
    if (!S_ISREG(status.st_mode)) {
      return {FileRefusal::kNotRegular, {}};
    }
    if (status.st_size < 0 || static_cast<std::size_t>(status.st_size) > max_bytes) {
      return {FileRefusal::kTooLarge, {}};
    }
    return readAll(file.get(), max_bytes);
  }

private:
  // Reads to the end; a file that grows past the bound while being read is still refused.
  static RegularFile readAll(int fd, std::size_t max_bytes)
  {
    RegularFile result;
    char buffer[65536];
    for (;;) {
      const ssize_t count = ::read(fd, buffer, sizeof(buffer));
      if (count == 0) {
        return result;
      }
      if (count < 0) {
        if (errno == EINTR) {
          continue;
        }
        return {FileRefusal::kReadFailed, {}};
      }
      if (result.text.size() + static_cast<std::size_t>(count) > max_bytes) {
        return {FileRefusal::kTooLarge, {}};
      }
      result.text.append(buffer, static_cast<std::size_t>(count));
    }
  }
};

}  // namespace plane_object

#endif  // QUORVANE_NAV2_GRIDMAP__MAP_MARK__REGULAR_FILE_HPP_
