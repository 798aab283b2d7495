#ifndef QUORVANE_NAV2_GRIDMAP__OBS_TYPE_BIT_MAP_HPP_
#define QUORVANE_NAV2_GRIDMAP__OBS_TYPE_BIT_MAP_HPP_

// The obstacle-category bits of one cell: the value exchanged by the obstacle-type queries and
// stored once per cell in an ObsTypeGridMap.

#include <cstdint>

#include "quorvane_nav2_gridmap/semantic_type.hpp"

namespace quorvane_nav2_gridmap
{

// Added at query time by MultiGridMap::getObstacleType; never stored in a grid.
constexpr unsigned int OBS_TYPE_PERIL = 0x2;
constexpr unsigned int OBS_TYPE_NARROW_PASSAGE = 0x10;
constexpr unsigned int OBS_TYPE_PRIORITY_PASSAGE = 0x400;

class ObsTypeBitMap
{
public:
  bool any(unsigned int mask) const {return (bits_ & mask) != 0;}
  bool any() const {return bits_ != 0;}
  void reset() {bits_ = 0;}
  void set(unsigned int bits) {bits_ = bits;}
  void set(const ObsTypeBitMap & other) {bits_ = other.bits_;}
  void merge(const ObsTypeBitMap & other) {bits_ |= other.bits_;}
  void or_with(unsigned int mask) {bits_ |= mask;}

  // Replaces the bits with those the category table gives for a semantic category.
  void fromSemanticMsgCategory(semantic::SemanticType type);
  void fromSemanticMsgCategory(int type);

  std::uint32_t bits_{0};
};

}  // namespace quorvane_nav2_gridmap

#endif  // QUORVANE_NAV2_GRIDMAP__OBS_TYPE_BIT_MAP_HPP_
