// Copyright (c) 2026 Quorvane
// Licensed under the Apache License, Version 2.0

#ifndef NAV2_UTIL__OCC_GRID_VALUES_HPP_
#define NAV2_UTIL__OCC_GRID_VALUES_HPP_

#include <cstdint>

// The three values a nav_msgs/OccupancyGrid cell takes in a trinary map.
namespace nav2_util
{

static constexpr int8_t OCC_GRID_UNKNOWN = -1;
static constexpr int8_t OCC_GRID_FREE = 0;
static constexpr int8_t OCC_GRID_OCCUPIED = 100;

}  // namespace nav2_util

#endif  // NAV2_UTIL__OCC_GRID_VALUES_HPP_
