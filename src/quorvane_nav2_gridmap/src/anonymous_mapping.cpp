#include "quorvane_nav2_gridmap/anonymous_mapping.hpp"

#include <sys/mman.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>

namespace quorvane_nav2_gridmap
{

AnonymousMapping::AnonymousMapping(std::size_t bytes)
{
  if (bytes == 0) {
    return;
  }
  void * address = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (address == MAP_FAILED) {
    throw std::runtime_error(
            "mmap of " + std::to_string(bytes) + " bytes failed: " + std::strerror(errno));
  }
  address_ = address;
  bytes_ = bytes;
}

AnonymousMapping::~AnonymousMapping()
{
  unmap();
}

AnonymousMapping::AnonymousMapping(AnonymousMapping && other) noexcept
: address_(std::exchange(other.address_, nullptr)),
  bytes_(std::exchange(other.bytes_, 0))
{
}

AnonymousMapping & AnonymousMapping::operator=(AnonymousMapping && other) noexcept
{
  if (this != &other) {
    unmap();
    address_ = std::exchange(other.address_, nullptr);
    bytes_ = std::exchange(other.bytes_, 0);
  }
  return *this;
}

void AnonymousMapping::unmap() noexcept
{
  if (address_ != nullptr) {
    munmap(address_, bytes_);
    address_ = nullptr;
    bytes_ = 0;
  }
}

}  // namespace quorvane_nav2_gridmap
