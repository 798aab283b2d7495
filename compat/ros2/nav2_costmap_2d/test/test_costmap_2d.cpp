#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "nav2_costmap_2d/cost_values.hpp"
#include "nav2_costmap_2d/costmap_2d.hpp"

using nav2_costmap_2d::Costmap2D;
using nav2_costmap_2d::MapLocation;

class Costmap2DTest : public ::testing::Test
{
protected:
  // 10 x 5 cells of 0.5 m, lower-left corner at (1, -2).
  Costmap2D map_{10, 5, 0.5, 1.0, -2.0, 7};

  static geometry_msgs::msg::Point point(double x, double y)
  {
    geometry_msgs::msg::Point p;
    p.x = x;
    p.y = y;
    return p;
  }

  static int countCells(Costmap2D & map, unsigned char value)
  {
    int count = 0;
    for (unsigned int i = 0; i < map.getSizeInCellsX() * map.getSizeInCellsY(); ++i) {
      count += map.getCost(i) == value ? 1 : 0;
    }
    return count;
  }
};

// ---- geometry ----------------------------------------------------------------------------

TEST_F(Costmap2DTest, ConstructionFillsEveryCellWithTheDefault)
{
  EXPECT_EQ(map_.getSizeInCellsX(), 10u);
  EXPECT_EQ(map_.getSizeInCellsY(), 5u);
  EXPECT_DOUBLE_EQ(map_.getResolution(), 0.5);
  EXPECT_DOUBLE_EQ(map_.getOriginX(), 1.0);
  EXPECT_DOUBLE_EQ(map_.getOriginY(), -2.0);
  EXPECT_EQ(map_.getDefaultValue(), 7);
  EXPECT_EQ(countCells(map_, 7), 50);
}

TEST_F(Costmap2DTest, SizeInMetersIsHalfACellShort)
{
  EXPECT_DOUBLE_EQ(map_.getSizeInMetersX(), 4.75);
  EXPECT_DOUBLE_EQ(map_.getSizeInMetersY(), 2.25);
}

TEST_F(Costmap2DTest, MapToWorldGivesCellCentres)
{
  double wx, wy;
  map_.mapToWorld(0, 0, wx, wy);
  EXPECT_DOUBLE_EQ(wx, 1.25);
  EXPECT_DOUBLE_EQ(wy, -1.75);
  map_.mapToWorld(9, 4, wx, wy);
  EXPECT_DOUBLE_EQ(wx, 5.75);
  EXPECT_DOUBLE_EQ(wy, 0.25);
}

TEST_F(Costmap2DTest, WorldToMapTruncatesAndChecksBounds)
{
  unsigned int mx = 99, my = 99;
  EXPECT_TRUE(map_.worldToMap(1.0, -2.0, mx, my));
  EXPECT_EQ(mx, 0u);
  EXPECT_EQ(my, 0u);
  EXPECT_TRUE(map_.worldToMap(1.99, -0.51, mx, my));
  EXPECT_EQ(mx, 1u);
  EXPECT_EQ(my, 2u);
  // Left of or below the origin: false and outputs untouched.
  mx = my = 99;
  EXPECT_FALSE(map_.worldToMap(0.99, 0.0, mx, my));
  EXPECT_EQ(mx, 99u);
  EXPECT_FALSE(map_.worldToMap(2.0, -2.01, mx, my));
  EXPECT_EQ(my, 99u);
  // Beyond the far edge: false but the cell is still written.
  EXPECT_FALSE(map_.worldToMap(6.0, 0.4, mx, my));
  EXPECT_EQ(mx, 10u);
  EXPECT_EQ(my, 4u);
}

TEST_F(Costmap2DTest, WorldToMapNoBoundsTruncatesTowardZero)
{
  int mx, my;
  map_.worldToMapNoBounds(0.8, -3.1, mx, my);
  EXPECT_EQ(mx, 0);   // -0.4 cells
  EXPECT_EQ(my, -2);  // -2.2 cells
  map_.worldToMapNoBounds(8.0, 1.0, mx, my);
  EXPECT_EQ(mx, 14);
  EXPECT_EQ(my, 6);
}

TEST_F(Costmap2DTest, WorldToMapEnforceBoundsClampsOutsidePoints)
{
  int mx, my;
  map_.worldToMapEnforceBounds(-5.0, -9.0, mx, my);
  EXPECT_EQ(mx, 0);
  EXPECT_EQ(my, 0);
  map_.worldToMapEnforceBounds(50.0, 50.0, mx, my);
  EXPECT_EQ(mx, 9);
  EXPECT_EQ(my, 4);
  map_.worldToMapEnforceBounds(6.0, 0.5, mx, my);  // exactly on the far edges: not clamped
  EXPECT_EQ(mx, 10);
  EXPECT_EQ(my, 5);
}

TEST_F(Costmap2DTest, IndexIsRowMajor)
{
  EXPECT_EQ(map_.getIndex(3, 2), 23u);
  unsigned int mx, my;
  map_.indexToCells(23, mx, my);
  EXPECT_EQ(mx, 3u);
  EXPECT_EQ(my, 2u);
  map_.setCost(3, 2, 200);
  EXPECT_EQ(map_.getCharMap()[23], 200);
  EXPECT_EQ(map_.getCost(23), 200);
}

TEST_F(Costmap2DTest, CellDistanceRoundsUp)
{
  EXPECT_EQ(map_.cellDistance(1.2), 3u);
  EXPECT_EQ(map_.cellDistance(1.0), 2u);
  EXPECT_EQ(map_.cellDistance(-1.0), 0u);
}

// ---- construction from an occupancy grid -------------------------------------------------

TEST_F(Costmap2DTest, OccupancyGridValuesAreScaledToCosts)
{
  nav_msgs::msg::OccupancyGrid grid;
  grid.info.width = 3;
  grid.info.height = 2;
  grid.info.resolution = 0.25f;
  grid.info.origin.position.x = -1.0;
  grid.info.origin.position.y = 2.0;
  grid.data = {-1, 0, 50, 100, 1, 99};
  Costmap2D map(grid);
  EXPECT_EQ(map.getSizeInCellsX(), 3u);
  EXPECT_EQ(map.getSizeInCellsY(), 2u);
  EXPECT_DOUBLE_EQ(map.getResolution(), 0.25);
  EXPECT_DOUBLE_EQ(map.getOriginX(), -1.0);
  EXPECT_DOUBLE_EQ(map.getOriginY(), 2.0);
  EXPECT_EQ(map.getDefaultValue(), nav2_costmap_2d::FREE_SPACE);
  EXPECT_EQ(map.getCost(0, 0), nav2_costmap_2d::NO_INFORMATION);
  EXPECT_EQ(map.getCost(1, 0), 0);
  EXPECT_EQ(map.getCost(2, 0), 127);
  EXPECT_EQ(map.getCost(0, 1), 254);
  EXPECT_EQ(map.getCost(1, 1), 3);
  EXPECT_EQ(map.getCost(2, 1), 251);
}

TEST_F(Costmap2DTest, ShortOccupancyGridIsRejected)
{
  nav_msgs::msg::OccupancyGrid grid;
  grid.info.width = 3;
  grid.info.height = 2;
  grid.info.resolution = 0.25f;
  grid.data = {0, 0, 0};
  EXPECT_THROW(Costmap2D{grid}, std::invalid_argument);
}

// ---- copies ------------------------------------------------------------------------------

TEST_F(Costmap2DTest, CopyIsDeepAndIndependent)
{
  map_.setCost(2, 3, 99);
  Costmap2D copy(map_);
  EXPECT_EQ(copy.getSizeInCellsX(), 10u);
  EXPECT_DOUBLE_EQ(copy.getOriginY(), -2.0);
  EXPECT_EQ(copy.getCost(2, 3), 99);
  EXPECT_NE(copy.getCharMap(), map_.getCharMap());
  EXPECT_NE(copy.getMutex(), map_.getMutex());
  map_.setCost(2, 3, 1);
  EXPECT_EQ(copy.getCost(2, 3), 99);
}

TEST_F(Costmap2DTest, CopyDoesNotCarryTheDefaultValue)
{
  Costmap2D copy(map_);
  EXPECT_NE(copy.getDefaultValue(), map_.getDefaultValue());
  Costmap2D assigned(2, 2, 1.0, 0.0, 0.0, 42);
  assigned = map_;
  EXPECT_EQ(assigned.getDefaultValue(), 42);
  EXPECT_EQ(assigned.getSizeInCellsX(), 10u);
  EXPECT_EQ(assigned.getCost(9, 4), 7);
}

TEST_F(Costmap2DTest, CopyUnderTheSourceMutexWhileAnotherThreadWrites)
{
  std::thread writer([this] {
      for (int i = 0; i < 500; ++i) {
        std::unique_lock<Costmap2D::mutex_t> lock(*map_.getMutex());
        for (unsigned int c = 0; c < 50; ++c) {
          map_.getCharMap()[c] = static_cast<unsigned char>(i % 200);
        }
      }
    });
  for (int i = 0; i < 200; ++i) {
    std::unique_lock<Costmap2D::mutex_t> lock(*map_.getMutex());
    const Costmap2D snapshot(map_);
    lock.unlock();
    // Every cell is written in one locked pass, so a snapshot is never torn.
    for (unsigned int c = 1; c < 50; ++c) {
      ASSERT_EQ(snapshot.getCost(c), snapshot.getCost(0u));
    }
  }
  writer.join();
}

TEST_F(Costmap2DTest, MutexIsRecursive)
{
  std::unique_lock<Costmap2D::mutex_t> outer(*map_.getMutex());
  // resetMap locks the same mutex again on this thread.
  map_.resetMap(0, 0, 2, 2);
  std::unique_lock<Costmap2D::mutex_t> inner(*map_.getMutex());
  EXPECT_TRUE(inner.owns_lock());
}

TEST_F(Costmap2DTest, CopyCostmapWindowTakesAWorldWindow)
{
  map_.setCost(4, 2, 150);
  Costmap2D window;
  ASSERT_TRUE(window.copyCostmapWindow(map_, 2.1, -1.1, 1.5, 1.0));
  EXPECT_EQ(window.getSizeInCellsX(), 3u);
  EXPECT_EQ(window.getSizeInCellsY(), 2u);
  EXPECT_DOUBLE_EQ(window.getOriginX(), 2.1);  // kept exactly, not snapped to the grid
  EXPECT_DOUBLE_EQ(window.getOriginY(), -1.1);
  EXPECT_EQ(window.getCost(2, 1), 150);
  EXPECT_FALSE(window.copyCostmapWindow(map_, 0.0, -1.0, 1.0, 1.0));
  EXPECT_FALSE(window.copyCostmapWindow(window, 2.1, -1.1, 0.5, 0.5));
}

TEST_F(Costmap2DTest, CopyWindowCopiesACellRectangle)
{
  Costmap2D source(4, 4, 1.0, 0.0, 0.0, 0);
  source.setCost(1, 1, 10);
  source.setCost(2, 2, 20);
  ASSERT_TRUE(map_.copyWindow(source, 1, 1, 3, 3, 5, 0));
  EXPECT_EQ(map_.getCost(5, 0), 10);
  EXPECT_EQ(map_.getCost(6, 1), 20);
  EXPECT_EQ(map_.getCost(6, 0), 0);
  EXPECT_EQ(map_.getCost(7, 0), 7);
  EXPECT_FALSE(map_.copyWindow(source, 0, 0, 5, 2, 0, 0));
  EXPECT_FALSE(map_.copyWindow(source, 0, 0, 2, 2, 9, 0));
}

// ---- resizing, resetting, moving ---------------------------------------------------------

TEST_F(Costmap2DTest, ResizeRefillsWithTheDefault)
{
  map_.setCost(0, 0, 1);
  map_.resizeMap(4, 3, 0.1, -1.0, -1.0);
  EXPECT_EQ(map_.getSizeInCellsX(), 4u);
  EXPECT_DOUBLE_EQ(map_.getResolution(), 0.1);
  EXPECT_DOUBLE_EQ(map_.getOriginX(), -1.0);
  EXPECT_EQ(countCells(map_, 7), 12);
}

TEST_F(Costmap2DTest, ResetMapCoversAHalfOpenRectangle)
{
  map_.resetMapToValue(0, 0, 10, 5, 100);
  map_.resetMap(2, 1, 4, 3);
  EXPECT_EQ(countCells(map_, 7), 4);
  EXPECT_EQ(map_.getCost(2, 1), 7);
  EXPECT_EQ(map_.getCost(3, 2), 7);
  EXPECT_EQ(map_.getCost(4, 2), 100);
  EXPECT_EQ(map_.getCost(3, 3), 100);
}

TEST_F(Costmap2DTest, UpdateOriginShiftsByWholeCellsAndKeepsWorldPositions)
{
  map_.setCost(4, 3, 55);  // world centre (3.25, -0.25)
  map_.updateOrigin(2.3, -1.2);
  EXPECT_DOUBLE_EQ(map_.getOriginX(), 2.0);
  EXPECT_DOUBLE_EQ(map_.getOriginY(), -1.5);
  unsigned int mx, my;
  ASSERT_TRUE(map_.worldToMap(3.25, -0.25, mx, my));
  EXPECT_EQ(map_.getCost(mx, my), 55);
  // Cells that came into view take the default value.
  EXPECT_EQ(map_.getCost(9, 4), 7);
  EXPECT_EQ(countCells(map_, 55), 1);
}

TEST_F(Costmap2DTest, UpdateOriginFarAwayClearsEverything)
{
  map_.setCost(0, 0, 55);
  map_.updateOrigin(100.0, 100.0);
  EXPECT_EQ(countCells(map_, 7), 50);
}

// ---- polygons ----------------------------------------------------------------------------

TEST_F(Costmap2DTest, ConvexPolygonCostFillsTheInterior)
{
  Costmap2D map(10, 10, 1.0, 0.0, 0.0, 0);
  const std::vector<geometry_msgs::msg::Point> square =
  {point(2.5, 2.5), point(6.5, 2.5), point(6.5, 5.5), point(2.5, 5.5)};
  ASSERT_TRUE(map.setConvexPolygonCost(square, 100));
  EXPECT_EQ(countCells(map, 100), 5 * 4);
  EXPECT_EQ(map.getCost(4, 4), 100);
  EXPECT_EQ(map.getCost(7, 4), 0);
  EXPECT_EQ(map.getCost(4, 6), 0);
}

TEST_F(Costmap2DTest, ConvexPolygonOffTheMapIsRefused)
{
  Costmap2D map(10, 10, 1.0, 0.0, 0.0, 0);
  const std::vector<geometry_msgs::msg::Point> triangle =
  {point(2.5, 2.5), point(16.5, 2.5), point(6.5, 5.5)};
  EXPECT_FALSE(map.setConvexPolygonCost(triangle, 100));
  EXPECT_EQ(countCells(map, 100), 0);
}

TEST_F(Costmap2DTest, PolygonOutlineVisitsEveryEdgeCell)
{
  Costmap2D map(10, 10, 1.0, 0.0, 0.0, 0);
  std::vector<MapLocation> outline;
  map.polygonOutlineCells({{1, 1}, {4, 1}, {4, 3}}, outline);
  std::vector<std::pair<unsigned int, unsigned int>> cells;
  for (const auto & c : outline) {
    cells.emplace_back(c.x, c.y);
  }
  for (auto expected : std::vector<std::pair<unsigned int, unsigned int>>{
      {1, 1}, {2, 1}, {3, 1}, {4, 1}, {4, 2}, {4, 3}})
  {
    EXPECT_NE(std::find(cells.begin(), cells.end(), expected), cells.end())
      << expected.first << "," << expected.second;
  }
  for (const auto & c : cells) {
    EXPECT_LE(c.first, 4u);
    EXPECT_GE(c.first, 1u);
    EXPECT_LE(c.second, 3u);
  }
}

// ---- saving ------------------------------------------------------------------------------

TEST_F(Costmap2DTest, SaveMapWritesAsciiPgm)
{
  Costmap2D map(3, 2, 1.0, 0.0, 0.0, 4);
  map.setCost(2, 1, 254);
  const auto path = std::filesystem::temp_directory_path() /
    ("costmap_save_" + std::to_string(::getpid()) + ".pgm");
  ASSERT_TRUE(map.saveMap(path.string()));
  std::ifstream in(path);
  std::stringstream content;
  content << in.rdbuf();
  std::filesystem::remove(path);
  EXPECT_EQ(content.str(), "P2\n3\n2\n255\n4 4 4 \n4 4 254 \n");
  EXPECT_FALSE(map.saveMap("/nonexistent-dir/x.pgm"));
}
