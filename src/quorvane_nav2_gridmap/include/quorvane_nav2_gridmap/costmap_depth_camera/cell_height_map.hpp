#ifndef QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__CELL_HEIGHT_MAP_HPP_
#define QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__CELL_HEIGHT_MAP_HPP_

// The highest z seen per ground cell during one map update: an open-addressing table, since a
// 640 x 480 frame costs one lookup per point per filter pass and node-based maps are too slow.

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

  // Records z when the cell is new or z is strictly higher than its record; true in both cases.
  bool raise(CellKey key, float z);
  // The recorded highest z of the cell, or nullptr when no point fell into it.
  const float * find(CellKey key) const;
  std::size_t size() const {return size_;}

private:
  struct Slot
  {
    std::uint64_t key{0};
    float z{0.0f};
    bool used{false};
  };

  static std::uint64_t pack(CellKey key);
  std::size_t home(std::uint64_t packed) const;
  void grow();

  std::vector<Slot> slots_;
  std::size_t mask_{0};
  std::size_t size_{0};
};

}  // namespace costmap_depth_camera

#endif  // QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__CELL_HEIGHT_MAP_HPP_
