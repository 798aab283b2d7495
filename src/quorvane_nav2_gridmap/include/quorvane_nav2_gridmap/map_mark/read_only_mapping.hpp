#ifndef QUORVANE_NAV2_GRIDMAP__MAP_MARK__READ_ONLY_MAPPING_HPP_
#define QUORVANE_NAV2_GRIDMAP__MAP_MARK__READ_ONLY_MAPPING_HPP_

// Sole owner of a read-only private mapping of a whole file. The mapping outlives the
// descriptor it was made from, so the descriptor can be closed as soon as the mapping exists.

#include <sys/mman.h>

#include <cstddef>
#include <utility>

namespace plane_object
{

class ReadOnlyMapping
{
public:
  // An invalid mapping when mmap refuses (an empty file among other reasons).
  ReadOnlyMapping(int fd, std::size_t size)
  {
    void * address = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (address != MAP_FAILED) {
      address_ = address;
      size_ = size;
    }
  }
  ReadOnlyMapping(const ReadOnlyMapping &) = delete;
  ReadOnlyMapping & operator=(const ReadOnlyMapping &) = delete;
  ReadOnlyMapping(ReadOnlyMapping && other) noexcept
  : address_(std::exchange(other.address_, nullptr)), size_(std::exchange(other.size_, 0)) {}
  ReadOnlyMapping & operator=(ReadOnlyMapping && other) noexcept
  {
    if (this != &other) {
      unmap();
      address_ = std::exchange(other.address_, nullptr);
      size_ = std::exchange(other.size_, 0);
    }
    return *this;
  }
  ~ReadOnlyMapping() {unmap();}

  bool valid() const {return address_ != nullptr;}
  const char * data() const {return static_cast<const char *>(address_);}
  std::size_t size() const {return size_;}

private:
  void unmap()
  {
    if (address_ != nullptr) {
      ::munmap(address_, size_);
      address_ = nullptr;
      size_ = 0;
    }
  }

  void * address_{nullptr};
  std::size_t size_{0};
};

}  // namespace plane_object

#endif  // QUORVANE_NAV2_GRIDMAP__MAP_MARK__READ_ONLY_MAPPING_HPP_
