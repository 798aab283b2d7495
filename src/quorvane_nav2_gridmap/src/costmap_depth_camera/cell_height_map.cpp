#include "quorvane_nav2_gridmap/costmap_depth_camera/cell_height_map.hpp"

#include <utility>

namespace costmap_depth_camera
{
namespace
{

constexpr std::size_t kMinimumSlots = 1024;

}  // namespace

CellHeightMap::CellHeightMap(std::size_t expected_cells)
{
  reset(expected_cells);
}

void CellHeightMap::reset(std::size_t expected_cells)
{
  // Keep the load at or below one half so that probe chains stay short.
  std::size_t slot_count = kMinimumSlots;
  while (slot_count < 2 * expected_cells) {
    slot_count *= 2;
  }
  size_ = 0;
  resize(slot_count);
}

void CellHeightMap::resize(std::size_t slot_count)
{
  slots_.assign(slot_count, Slot());
  mask_ = slot_count - 1;
  unsigned int bits = 0;
  while ((std::size_t{1} << bits) < slot_count) {
    ++bits;
  }
  shift_ = 64 - bits;
  last_slot_ = 0;
}

void CellHeightMap::grow()
{
  std::vector<Slot> old_slots = std::move(slots_);
  resize(old_slots.size() * 2);
  for (const Slot & slot : old_slots) {
    if (slot.used) {
      slots_[slotOf(slot.key)] = slot;
    }
  }
}

}  // namespace costmap_depth_camera
