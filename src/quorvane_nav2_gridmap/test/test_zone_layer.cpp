// The zones drawn onto the costmap's lattice, and the window over them: each zone cell counts
// in the cell its centre falls into, and however the window moves, it holds the bits and counts
// that a window placed there afresh holds.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "quorvane_nav2_gridmap/zone_layer.hpp"
#include "quorvane_nav2_gridmap/zone_window.hpp"

namespace
{

using quorvane_nav2_gridmap::ZoneLayer;
using quorvane_nav2_gridmap::ZoneWindow;

constexpr std::uint32_t kWidth = 12;
constexpr std::uint32_t kHeight = 9;

// A narrow corridor of 10 x 6 cells across the lattice's origin, and a priority passage ring of
// 4 x 4 cells drawn 300 times over, more than a cell counts by itself.
ZoneLayer siteLayer()
{
  ZoneLayer layer(0.5, 0.0, 0.0);
  semantic_map::Gridmap<bool> corridor(10, 6, 0.5, -2.0, -1.0);
  for (std::uint32_t row = 0; row < 6; ++row) {
    for (std::uint32_t col = 0; col < 10; ++col) {
      corridor.set(col, row, true);
    }
  }
  layer.add(corridor, ZoneLayer::kNarrowCorridor);
  semantic_map::Gridmap<bool> passage(4, 4, 0.5, 1.0, 0.5);
  for (std::uint32_t i = 0; i < 4; ++i) {
    passage.set(i, 0, true);
    passage.set(i, 3, true);
    passage.set(0, i, true);
    passage.set(3, i, true);
  }
  for (int copy = 0; copy < 300; ++copy) {
    layer.add(passage, ZoneLayer::kPriorityPassage);
  }
  return layer;
}

// Zone grids of 5 cm, some with their cells' centres on the lattice's borders, where rounding
// puts two columns into one cell and skips the next: the layer counts each zone cell where the
// costmap's own conversion of its centre puts it.
TEST(ZoneLayerTest, EachZoneCellCountsInTheCellItsCentreFallsInto)
{
  for (const double origin_x : {0.0125, 2.475, 123.45}) {
    ZoneLayer layer(0.05, 0.0, 0.0);
    semantic_map::Gridmap<bool> zone(150, 3, 0.05, origin_x, 0.0125);
    for (std::uint32_t col = 0; col < 150; col += col % 7 == 0 ? 2 : 1) {
      zone.set(col, 1, true);
    }
    for (int copy = 0; copy < 2; ++copy) {
      layer.add(zone, ZoneLayer::kPriorityPassage);
    }
    // The cells and counts the costmap's worldToMap gives each zone cell's centre.
    const std::int64_t first = static_cast<std::int64_t>(origin_x / 0.05) - 2;
    std::vector<std::uint64_t> expected(160, 0);
    for (std::uint32_t col = 0; col < 150; ++col) {
      double wx = 0.0;
      double wy = 0.0;
      zone.mapToWorld(col, 1, wx, wy);
      if (zone.at(col, 1)) {
        expected[static_cast<std::size_t>(static_cast<std::int64_t>(wx / 0.05) - first)] += 2;
      }
    }
    for (std::int64_t x = first; x < first + 160; ++x) {
      const auto counts = layer.count({x, 1, 1, 1});
      EXPECT_EQ(counts[ZoneLayer::kPriorityPassage], expected[x - first]) << origin_x << ", " << x;
    }
  }
}

TEST(ZoneWindowTest, AMovedWindowHoldsWhatAWindowPlacedThereHolds)
{
  const ZoneLayer layer = siteLayer();
  ZoneWindow moving;
  std::mt19937 random(7);
  std::uniform_int_distribution<int> step(-4, 4);
  std::int64_t x = -10;
  std::int64_t y = -8;
  int mismatches = 0;
  int over_passage = 0;
  for (int move = 0; move < 300; ++move) {
    // Mostly a few cells at a time, now and then further than the window is wide, and always
    // within reach of the zones.
    const int reach = move % 25 == 0 ? 5 : 1;
    x = std::clamp<std::int64_t>(x + step(random) * reach, -16, 10);
    y = std::clamp<std::int64_t>(y + step(random) * reach, -12, 8);
    moving.follow(layer, kWidth, kHeight, x, y);
    ZoneWindow placed;
    placed.follow(layer, kWidth, kHeight, x, y);
    ASSERT_EQ(moving.narrowCorridorCells(), placed.narrowCorridorCells()) << "move " << move;
    ASSERT_EQ(moving.priorityPassageCells(), placed.priorityPassageCells()) << "move " << move;
    over_passage += placed.priorityPassageCells() > 0 ? 1 : 0;
    for (unsigned int my = 0; my < kHeight; ++my) {
      for (unsigned int mx = 0; mx < kWidth; ++mx) {
        mismatches += moving.at(mx, my) != placed.at(mx, my) ? 1 : 0;
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
  EXPECT_GT(over_passage, 10) << "the walk should cross the zones";
  // Every drawing of every zone cell is counted.
  ZoneWindow over_both;
  over_both.follow(layer, kWidth, kHeight, -6, -4);
  EXPECT_EQ(over_both.narrowCorridorCells(), 60u);
  EXPECT_EQ(over_both.priorityPassageCells(), 300u * 12u);
}

}  // namespace
