// Zone objects: the circle query, both rasterisations and the per-resolution grid cache.

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <set>
#include <utility>
#include <vector>

#include "quorvane_nav2_gridmap/map_mark/plane_object.hpp"
#include "test_map_mark_support.hpp"

namespace
{

using Cells = std::set<std::pair<std::uint32_t, std::uint32_t>>;
using plane_object::Point;

Cells setCells(const semantic_map::Gridmap<bool> & grid)
{
  Cells cells;
  for (std::uint32_t row = 0; row < grid.height(); ++row) {
    for (std::uint32_t col = 0; col < grid.width(); ++col) {
      if (grid.at(col, row)) {
        cells.insert({col, row});
      }
    }
  }
  return cells;
}

Cells rectangle(std::uint32_t col0, std::uint32_t col1, std::uint32_t row0, std::uint32_t row1)
{
  Cells cells;
  for (std::uint32_t row = row0; row <= row1; ++row) {
    for (std::uint32_t col = col0; col <= col1; ++col) {
      cells.insert({col, row});
    }
  }
  return cells;
}

void expectGeometry(
  const semantic_map::Gridmap<bool> & grid, std::uint32_t width, std::uint32_t height,
  double origin_x, double origin_y)
{
  EXPECT_EQ(grid.width(), width);
  EXPECT_EQ(grid.height(), height);
  EXPECT_DOUBLE_EQ(grid.originX(), origin_x);
  EXPECT_DOUBLE_EQ(grid.originY(), origin_y);
}

class ZoneTest : public ::testing::Test
{
protected:
  static plane_object::Block block(std::vector<Point> vertices)
  {
    return plane_object::Block(4, "b1", std::move(vertices));
  }

  map_mark_test::LogRecorder log_;
};

TEST_F(ZoneTest, CircleSetsTheLatticePointsWithinItsRadius)
{
  plane_object::CircleList zone(4, "c1", {{0.0, 0.0, 1.0}});
  const auto grid = zone.getGrid(0.5);
  expectGeometry(*grid, 7, 7, -1.5, -1.5);
  Cells expected;
  for (int i = -2; i <= 2; ++i) {
    for (int j = -2; j <= 2; ++j) {
      if (i * i + j * j <= 4) {
        expected.insert({3 + i, 3 + j});
      }
    }
  }
  EXPECT_EQ(expected.size(), 13u);
  EXPECT_EQ(setCells(*grid), expected);
}

TEST_F(ZoneTest, CircleListGridCoversOnlyItsOwnDiscs)
{
  plane_object::CircleList zone(
    4, "c2", {{-100.0, -50.0, 1.0}, {-99.0, -50.0, 0.0}, {0.0, 0.0, -1.0}});
  const auto grid = zone.getGrid(0.5);
  expectGeometry(*grid, 7, 7, -101.5, -51.5);
  EXPECT_TRUE(setCells(*grid).count({5, 3}));
  EXPECT_EQ(setCells(*plane_object::CircleList(4, "none", {}).getGrid(0.5)), Cells{});
}

TEST_F(ZoneTest, RectangleFillsItsInteriorAndOutline)
{
  auto zone = block({{0.0, 0.0, 0.0}, {4.0, 0.0, 0.0}, {4.0, 2.0, 0.0}, {0.0, 2.0, 0.0}});
  const auto grid = zone.getGrid(0.5);
  expectGeometry(*grid, 11, 7, -0.5, -0.5);
  EXPECT_EQ(setCells(*grid), rectangle(1, 9, 1, 5));
  EXPECT_TRUE(log_.lines().empty());
}

// The apex row has one outline cell and nothing to close its fill: it keeps that cell alone.
TEST_F(ZoneTest, SlantedTriangleNarrowsRowByRow)
{
  auto zone = block({{0.0, 0.0, 0.0}, {4.0, 0.0, 0.0}, {2.0, 2.0, 0.0}});
  const auto grid = zone.getGrid(1.0);
  expectGeometry(*grid, 7, 5, -1.0, -1.0);
  Cells expected = rectangle(1, 5, 1, 1);
  expected.merge(rectangle(2, 4, 2, 2));
  expected.insert({3, 3});
  EXPECT_EQ(setCells(*grid), expected);
}

// A row is filled from its first outline cell to the next one only, so of a U the left arm is
// solid and the notch stays free; the right arm keeps its outline.
TEST_F(ZoneTest, ConcaveRowFillsOnlyBetweenItsFirstTwoOutlineCells)
{
  auto zone = block(
    {{0, 0, 0}, {6, 0, 0}, {6, 4, 0}, {4, 4, 0}, {4, 2, 0}, {2, 2, 0}, {2, 4, 0}, {0, 4, 0}});
  const auto grid = zone.getGrid(1.0);
  expectGeometry(*grid, 9, 7, -1.0, -1.0);
  Cells expected = rectangle(1, 7, 1, 2);
  expected.merge(rectangle(1, 3, 3, 5));
  expected.merge(Cells{{5, 3}, {5, 4}, {5, 5}, {7, 3}, {7, 4}, {7, 5}});
  EXPECT_EQ(setCells(*grid), expected);
}

TEST_F(ZoneTest, BlockWithoutAreaGetsAnEmptyGridAndOneWarning)
{
  for (auto vertices : std::vector<std::vector<Point>>{
      {{0, 1, 0}, {3, 1, 0}, {5, 1, 0}}, {{2, 0, 0}, {2, 4, 0}}, {}})
  {
    log_.clear();
    auto zone = block(vertices);
    const auto grid = zone.getGrid(0.05);
    expectGeometry(*grid, 0, 0, 0.0, 0.0);
    EXPECT_EQ(grid->cells(), nullptr);
    EXPECT_EQ(zone.getGrid(0.05), grid);
    EXPECT_EQ(
      log_.lines(), std::vector{map_mark_test::warn("Block id b1 can not create a valid cache")});
    EXPECT_EQ(log_.lines()[0].function, "getGrid");
  }
}

TEST_F(ZoneTest, ZonesBeyondAnyGridAreRefusedWithAWarning)
{
  plane_object::CircleList huge(4, "c9", {{0.0, 0.0, 1e6}});
  EXPECT_EQ(huge.getGrid(0.05)->cellCount(), 0u);
  auto unplaced = block({{0, 0, 0}, {1, std::nan(""), 0}, {1, 1, 0}});
  EXPECT_EQ(unplaced.getGrid(0.05)->cellCount(), 0u);
  EXPECT_EQ(
    log_.lines(), (std::vector{
      map_mark_test::warn("Zone id c9 can not be rasterised at resolution 0.05"),
      map_mark_test::warn("Zone id b1 can not be rasterised at resolution 0.05")}));
}

TEST_F(ZoneTest, GridIsCachedPerResolution)
{
  plane_object::CircleList zone(5, "c3", {{1.0, 1.0, 0.3}});
  const auto first = zone.getGrid(0.05);
  EXPECT_EQ(zone.getGrid(0.05), first);
  const auto coarse = zone.getGrid(0.1);
  EXPECT_NE(coarse, first);
  EXPECT_EQ(coarse->resolution(), 0.1);
  const auto again = zone.getGrid(0.05);
  EXPECT_NE(again, first);
  EXPECT_EQ(zone.grid, again);
  EXPECT_EQ(setCells(*again), setCells(*first));
}

TEST(ZoneIntersectionTest, CountsElementsStrictlyWithinBothRadii)
{
  const plane_object::CircleList discs(4, "c", {{0.0, 0.0, -1.0}, {3.0, 0.0, 1.0}});
  EXPECT_TRUE(discs.intersects({3.0, 1.5, 0.6}));
  EXPECT_FALSE(discs.intersects({0.0, 0.0, 0.5}));
  EXPECT_FALSE(discs.intersects({3.0, 1.5, 0.5}));
  EXPECT_FALSE(discs.intersects({3.0, 0.0, -0.1}));
  const plane_object::Block square(4, "b", {{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0}});
  EXPECT_FALSE(square.intersects({1.0, 1.0, 0.5}));
  EXPECT_FALSE(square.intersects({3.0, 0.0, 1.0}));
  EXPECT_TRUE(square.intersects({3.0, 0.0, 1.01}));
  EXPECT_FALSE(plane_object::Block(4, "e", {}).intersects({0, 0, 10}));
}

// A zone limited to an area (the map image) keeps exactly the cells it has there, however far
// it reaches beyond: rows whose outline leaves the grid on one side or both are filled as on a
// grid wide enough for the whole polygon.
TEST_F(ZoneTest, ZoneLimitedToAnAreaKeepsItsCellsThere)
{
  const plane_object::ZoneExtent area{0.0, 0.0, 4.0, 3.0, true};
  const std::vector<std::vector<Point>> shapes{
    {{-20, -1, 0}, {30, 1.2, 0}, {2, 40, 0}},
    {{-6, -6, 0}, {9, -6, 0}, {9, 1.1, 0}, {2.3, 1.1, 0}, {2.3, 8, 0}, {-6, 8, 0}},
    {{-50, -50, 0}, {50, -50, 0}, {50, 50, 0}, {-50, 50, 0}},
  };
  for (const auto & vertices : shapes) {
    auto whole = block(vertices);
    auto limited = block(vertices);
    limited.limitTo(area);
    const auto whole_grid = whole.getGrid(0.25);
    const auto grid = limited.getGrid(0.25);
    EXPECT_LE(grid->width(), 17u);
    EXPECT_LE(grid->height(), 13u);
    std::size_t compared = 0;
    for (std::uint32_t row = 0; row < grid->height(); ++row) {
      for (std::uint32_t col = 0; col < grid->width(); ++col) {
        double wx = 0.0;
        double wy = 0.0;
        grid->mapToWorld(col, row, wx, wy);
        std::uint32_t whole_col = 0;
        std::uint32_t whole_row = 0;
        ASSERT_TRUE(whole_grid->worldToMap(wx, wy, whole_col, whole_row));
        EXPECT_EQ(grid->at(col, row), whole_grid->at(whole_col, whole_row)) << col << "," << row;
        ++compared;
      }
    }
    EXPECT_GT(compared, 150u);
  }

  plane_object::CircleList disc(4, "c1", {{2.0, 1.5, 1000.0}});
  disc.limitTo(area);
  const auto disc_grid = disc.getGrid(0.25);
  EXPECT_LE(disc_grid->cellCount(), 17u * 13u);
  EXPECT_EQ(setCells(*disc_grid).size(), disc_grid->cellCount());
}

// A disc's samples lie on cell borders (its grid starts one cell below its edge); rounding each
// of them on its own left holes all over a large disc.
TEST_F(ZoneTest, LargeDiscHasNoHoles)
{
  plane_object::CircleList disc(4, "c2", {{0.3, -0.7, 20.0}});
  const auto grid = disc.getGrid(0.05);
  std::size_t inside = 0;
  std::size_t holes = 0;
  for (std::uint32_t row = 0; row < grid->height(); ++row) {
    for (std::uint32_t col = 0; col < grid->width(); ++col) {
      double wx = 0.0;
      double wy = 0.0;
      grid->mapToWorld(col, row, wx, wy);
      if (std::hypot(wx - 0.3, wy + 0.7) < 19.9) {
        ++inside;
        holes += grid->at(col, row) ? 0 : 1;
      }
    }
  }
  EXPECT_GT(inside, 490000u);
  EXPECT_EQ(holes, 0u);
}

}  // namespace
