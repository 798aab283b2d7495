#ifndef QUORVANE_NAV2_GRIDMAP__ANONYMOUS_MAPPING_HPP_
#define QUORVANE_NAV2_GRIDMAP__ANONYMOUS_MAPPING_HPP_

// A private anonymous memory mapping owned like a value: the cell buffers of the distance map live
// in one each, so that a whole costmap's cells come straight from the kernel, zero-filled, and go
// back to it the moment the grid changes size.

#include <cstddef>

namespace quorvane_nav2_gridmap
{

class AnonymousMapping
{
public:
  AnonymousMapping() = default;
  // Maps `bytes` readable and writable bytes; 0 bytes maps nothing. A failed mmap throws
  // std::runtime_error with the errno text.
  explicit AnonymousMapping(std::size_t bytes);
  ~AnonymousMapping();

  AnonymousMapping(AnonymousMapping && other) noexcept;
  AnonymousMapping & operator=(AnonymousMapping && other) noexcept;
  AnonymousMapping(const AnonymousMapping &) = delete;
  AnonymousMapping & operator=(const AnonymousMapping &) = delete;

  void * data() const {return address_;}
  std::size_t size() const {return bytes_;}
  bool empty() const {return address_ == nullptr;}

private:
  void unmap() noexcept;

  void * address_{nullptr};
  std::size_t bytes_{0};
};

}  // namespace quorvane_nav2_gridmap

#endif  // QUORVANE_NAV2_GRIDMAP__ANONYMOUS_MAPPING_HPP_
