#ifndef QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__CELL_HEIGHT_MAP_HPP_
#define QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__CELL_HEIGHT_MAP_HPP_

// The highest z seen per ground cell during one map update: an open-addressing table that tries
// the slot it used last before probing, since neighbouring points of a depth frame mostly share a
// cell. The lookups are inline: they run twice for every point of every frame.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace costmap_depth_camera
{

// A ground cell on the lattice anchored at world (0, 0): the truncated quotient of x and y by
// the resolution, so index 0 spans one resolution on either side of zero.
struct CellKey
{
  std::int32_t x;
  std::int32_t y;
};

class CellHeightMap
{
public:
  // `expected_cells` only sizes the first table; the table grows as cells arrive.
  explicit CellHeightMap(std::size_t expected_cells = 0);

  // Forgets every cell; keeps the table's storage when it is large enough.
  void reset(std::size_t expected_cells);

  // Records z when the cell is new or z is strictly higher than its record; true in both cases.
  bool raise(CellKey key, float z)
  {
    const std::uint64_t packed = pack(key);
    std::size_t index = slotOf(packed);
    if (!slots_[index].used) {
      if (2 * (size_ + 1) > slots_.size()) {
        grow();
        index = slotOf(packed);
      }
      slots_[index] = Slot{packed, z, true};
      ++size_;
      last_slot_ = index;
      return true;
    }
    if (z > slots_[index].z) {
      slots_[index].z = z;
      return true;
    }
    return false;
  }

  // The recorded highest z of the cell, or nullptr when no point fell into it.
  const float * find(CellKey key) const
  {
    const std::size_t index = slotOf(pack(key));
    return slots_[index].used ? &slots_[index].z : nullptr;
  }

  std::size_t size() const {return size_;}

private:
  struct Slot
  {
    std::uint64_t key{0};
    float z{0.0f};
    bool used{false};
  };

  static std::uint64_t pack(CellKey key)
  {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(key.x)) << 32) |
           static_cast<std::uint32_t>(key.y);
  }

  // Fibonacci hashing: the top bits of the product spread the neighbouring cells of one cloud
  // over the whole table.
  std::size_t home(std::uint64_t packed) const
  {
    return static_cast<std::size_t>((packed * 0x9E3779B97F4A7C15ULL) >> shift_);
  }

  // The slot holding `packed`, or the empty slot where it belongs.
  std::size_t slotOf(std::uint64_t packed) const
  {
    if (slots_[last_slot_].used && slots_[last_slot_].key == packed) {
      return last_slot_;
    }
    std::size_t index = home(packed);
    while (slots_[index].used && slots_[index].key != packed) {
      index = (index + 1) & mask_;
    }
    if (slots_[index].used) {
      last_slot_ = index;
    }
    return index;
  }

  void resize(std::size_t slot_count);
  void grow();

  std::vector<Slot> slots_;
  std::size_t mask_{0};
  unsigned int shift_{0};
  std::size_t size_{0};
  mutable std::size_t last_slot_{0};
};

}  // namespace costmap_depth_camera

#endif  // QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__CELL_HEIGHT_MAP_HPP_
