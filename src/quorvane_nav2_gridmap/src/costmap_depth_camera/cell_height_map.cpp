#include "quorvane_nav2_gridmap/costmap_depth_camera/cell_height_map.hpp"

#include <utility>

namespace costmap_depth_camera
{
namespace
{

constexpr std::size_t kMinimumSlots = 1024;

std::size_t slotCountFor(std::size_t cells)
{
  // Keep the load at or below one half so that probe chains stay short.
  std::size_t slots = kMinimumSlots;
  while (slots < 2 * cells) {
    slots *= 2;
  }
  return slots;
}

}  // namespace

CellHeightMap::CellHeightMap(std::size_t expected_cells)
: slots_(slotCountFor(expected_cells)), mask_(slots_.size() - 1)
{
}

std::uint64_t CellHeightMap::pack(CellKey key)
{
  return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(key.x)) << 32) |
         static_cast<std::uint32_t>(key.y);
}

std::size_t CellHeightMap::home(std::uint64_t packed) const
{
  // Fibonacci hashing spreads the neighbouring cells of one cloud over the whole table.
  return static_cast<std::size_t>((packed * 0x9E3779B97F4A7C15ULL) >> 32) & mask_;
}

bool CellHeightMap::raise(CellKey key, float z)
{
  const std::uint64_t packed = pack(key);
  for (std::size_t index = home(packed);; index = (index + 1) & mask_) {
    Slot & slot = slots_[index];
    if (!slot.used) {
      if (2 * (size_ + 1) > slots_.size()) {
        grow();
        return raise(key, z);
      }
      slot.key = packed;
      slot.z = z;
      slot.used = true;
      ++size_;
      return true;
    }
    if (slot.key == packed) {
      if (z > slot.z) {
        slot.z = z;
        return true;
      }
      return false;
    }
  }
}

const float * CellHeightMap::find(CellKey key) const
{
  const std::uint64_t packed = pack(key);
  for (std::size_t index = home(packed);; index = (index + 1) & mask_) {
    const Slot & slot = slots_[index];
    if (!slot.used) {
      return nullptr;
    }
    if (slot.key == packed) {
      return &slot.z;
    }
  }
}

void CellHeightMap::grow()
{
  std::vector<Slot> old_slots(slots_.size() * 2);
  std::swap(old_slots, slots_);
  mask_ = slots_.size() - 1;
  for (const Slot & slot : old_slots) {
    if (!slot.used) {
      continue;
    }
    std::size_t index = home(slot.key);
    while (slots_[index].used) {
      index = (index + 1) & mask_;
    }
    slots_[index] = slot;
  }
}

}  // namespace costmap_depth_camera
