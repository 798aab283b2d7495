#ifndef QUORVANE_NAV2_GRIDMAP__MAP_MARK__FILE_DESCRIPTOR_HPP_
#define QUORVANE_NAV2_GRIDMAP__MAP_MARK__FILE_DESCRIPTOR_HPP_

// Sole owner of a POSIX file descriptor, so that every early return of a reader closes it.

#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <utility>

namespace plane_object
{

class FileDescriptor
{
public:
  // Non-blocking so that a path naming a FIFO fails later instead of waiting for a writer.
  static FileDescriptor openReadOnly(const std::string & path)
  {
    return FileDescriptor(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  }

  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor &) = delete;
  FileDescriptor & operator=(const FileDescriptor &) = delete;
  FileDescriptor(FileDescriptor && other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  FileDescriptor & operator=(FileDescriptor && other) noexcept
  {
    if (this != &other) {
      close();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  ~FileDescriptor() {close();}

  bool valid() const {return fd_ >= 0;}
  int get() const {return fd_;}

  void close()
  {
    if (fd_ >= 0) {
      ::close(fd_);
      fd_ = -1;
    }
  }

private:
  int fd_;
};

}  // namespace plane_object

#endif  // QUORVANE_NAV2_GRIDMAP__MAP_MARK__FILE_DESCRIPTOR_HPP_
