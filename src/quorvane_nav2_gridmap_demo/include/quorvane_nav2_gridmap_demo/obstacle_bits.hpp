#ifndef QUORVANE_NAV2_GRIDMAP_DEMO__OBSTACLE_BITS_HPP_
#define QUORVANE_NAV2_GRIDMAP_DEMO__OBSTACLE_BITS_HPP_

// The obstacle-type bits a host reads from MultiGridMap::getObstacleType, named for the report.

namespace quorvane_nav2_gridmap_demo
{

constexpr unsigned int kBitPeril = 0x2;
constexpr unsigned int kBitCategory300 = 0x4;
constexpr unsigned int kBitCategory103 = 0x8;
constexpr unsigned int kBitNarrowPassage = 0x10;
constexpr unsigned int kBitCategory105 = 0x20;
constexpr unsigned int kBitPriorityPassage = 0x400;

}  // namespace quorvane_nav2_gridmap_demo

#endif  // QUORVANE_NAV2_GRIDMAP_DEMO__OBSTACLE_BITS_HPP_
