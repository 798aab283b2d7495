// The polygon raster as the marking uses it: outline cells of a convex hull on a row-major grid,
// then the column fill.

#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <vector>

#include "quorvane_nav2_gridmap/costmap_depth_camera/polygon_raster.hpp"

namespace
{

using costmap_depth_camera::MapLocation;
using costmap_depth_camera::PolygonRaster;
using Cells = std::vector<std::pair<unsigned int, unsigned int>>;

class PolygonRasterTest : public ::testing::Test
{
protected:
  static Cells asPairs(const std::vector<MapLocation> & cells)
  {
    Cells pairs;
    for (const auto & cell : cells) {
      pairs.emplace_back(cell.x, cell.y);
    }
    return pairs;
  }

  static std::set<std::pair<unsigned int, unsigned int>> distinct(
    const std::vector<MapLocation> & cells)
  {
    const Cells pairs = asPairs(cells);
    return {pairs.begin(), pairs.end()};
  }

  const std::vector<MapLocation> square_{{0, 0}, {2, 0}, {2, 2}, {0, 2}};
};

TEST_F(PolygonRasterTest, SquareFillsOutlineInXOrderThenEveryColumn)
{
  std::vector<MapLocation> cells;
  PolygonRaster(10).convexFillCells(square_, cells);

  const Cells expected{
    // the outline, sorted by x with each column's outline order kept
    {0, 0}, {0, 2}, {0, 2}, {0, 1}, {0, 0},
    {1, 0}, {1, 2},
    {2, 0}, {2, 0}, {2, 1}, {2, 2}, {2, 2},
    // the filled columns
    {0, 0}, {0, 1}, {0, 2}, {1, 0}, {1, 1}, {1, 2}, {2, 0}, {2, 1}, {2, 2}};
  EXPECT_EQ(asPairs(cells), expected);
}

TEST_F(PolygonRasterTest, OutlineRepeatsEveryVertexAtTheEndAndStartOfItsEdges)
{
  std::vector<MapLocation> cells;
  PolygonRaster(10).outlineCells(square_, cells);

  const Cells expected{
    {0, 0}, {1, 0}, {2, 0}, {2, 0}, {2, 1}, {2, 2}, {2, 2}, {1, 2}, {0, 2}, {0, 2}, {0, 1},
    {0, 0}};
  EXPECT_EQ(asPairs(cells), expected);
}

TEST_F(PolygonRasterTest, SteepEdgeStepsAlongY)
{
  std::vector<MapLocation> cells;
  PolygonRaster(20).outlineCells({{1, 1}, {3, 7}, {1, 7}}, cells);

  // First edge: six steps in y, two in x, ending on the second vertex.
  const Cells all = asPairs(cells);
  ASSERT_GE(all.size(), 7u);
  const Cells first_edge(all.begin(), all.begin() + 7);
  const Cells expected{{1, 1}, {1, 2}, {2, 3}, {2, 4}, {2, 5}, {3, 6}, {3, 7}};
  EXPECT_EQ(first_edge, expected);
}

TEST_F(PolygonRasterTest, TriangleCoversItsInteriorWithoutLeavingItsBox)
{
  std::vector<MapLocation> cells;
  PolygonRaster(50).convexFillCells({{10, 10}, {20, 10}, {10, 20}}, cells);

  const auto covered = distinct(cells);
  for (const auto & [x, y] : covered) {
    EXPECT_LE(x + y, 30u) << x << "," << y;  // the hypotenuse
    EXPECT_GE(x, 10u);
    EXPECT_GE(y, 10u);
  }
  EXPECT_TRUE(covered.count({11, 11}));
  EXPECT_TRUE(covered.count({15, 14}));
  EXPECT_FALSE(covered.count({19, 19}));
}

TEST_F(PolygonRasterTest, SameCellsWhateverTheRowWidthOfAGridThatHoldsThem)
{
  std::vector<MapLocation> narrow;
  std::vector<MapLocation> wide;
  PolygonRaster(6).convexFillCells({{1, 1}, {4, 2}, {3, 5}}, narrow);
  PolygonRaster(1000).convexFillCells({{1, 1}, {4, 2}, {3, 5}}, wide);
  EXPECT_EQ(asPairs(narrow), asPairs(wide));
}

TEST_F(PolygonRasterTest, FewerThanThreeVerticesAppendNothingAndKeepWhatWasThere)
{
  std::vector<MapLocation> cells{{7, 7}};
  PolygonRaster(10).convexFillCells({{0, 0}, {3, 0}}, cells);
  ASSERT_EQ(cells.size(), 1u);
  EXPECT_EQ(cells[0].x, 7u);
}

TEST_F(PolygonRasterTest, GridWithoutColumnsYieldsNoCell)
{
  std::vector<MapLocation> cells;
  PolygonRaster(0).convexFillCells(square_, cells);
  EXPECT_TRUE(cells.empty());
}

}  // namespace
