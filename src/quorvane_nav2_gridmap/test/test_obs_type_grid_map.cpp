// The obstacle-type grid: category bits per cell, geometry, resizing and its occupancy view.

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>
#include <new>

#include "quorvane_nav2_gridmap/map_mark/plane_object.hpp"
#include "quorvane_nav2_gridmap/obs_type_grid_map.hpp"

namespace
{

using quorvane_nav2_gridmap::ObsTypeBitMap;
using quorvane_nav2_gridmap::ObsTypeGridMap;

class ObsTypeGridMapTest : public ::testing::Test
{
protected:
  // 10 x 10 cells at 0.05 m with origin (0, 0).
  ObsTypeGridMap grid_{10, 10, 0.05, 0.0, 0.0};

  std::int8_t viewOf(unsigned int mx, unsigned int my)
  {
    const auto view = grid_.changeToOccupancyGrid("map", rclcpp::Time(0, 0));
    return view->data[my * view->info.width + mx];
  }
};

TEST_F(ObsTypeGridMapTest, StartsClearWithTheGivenGeometryOrEmpty)
{
  EXPECT_EQ(grid_.getWidth(), 10u);
  EXPECT_EQ(grid_.getHeight(), 10u);
  const auto view = grid_.changeToOccupancyGrid("map", rclcpp::Time(0, 0));
  EXPECT_EQ(std::count(view->data.begin(), view->data.end(), 0), 100);
  ObsTypeGridMap empty;
  EXPECT_EQ(empty.getWidth(), 0u);
  EXPECT_TRUE(empty.changeToOccupancyGrid("map", rclcpp::Time(0, 0))->data.empty());
}

TEST_F(ObsTypeGridMapTest, SetCostAddsCategoryBitsToOneCellOnly)
{
  grid_.setCost(103, 0, 0);
  grid_.setCost(300, 0, 0);
  EXPECT_EQ(grid_.get(0, 0).bits_, 0xCu);
  EXPECT_EQ(grid_.get(1, 0).bits_, 0u);

  grid_.setCost(103, 5, 5);
  grid_.setCost(999, 5, 5);
  EXPECT_EQ(grid_.get(5, 5).bits_, 0x8u);
  EXPECT_EQ(grid_.get(0, 0).bits_, 0xCu);
  EXPECT_EQ(grid_.get(5, 4).bits_, 0u);
  EXPECT_EQ(grid_.get(4, 5).bits_, 0u);
}

TEST_F(ObsTypeGridMapTest, SetReplacesAndMergeAddsByRowMajorIndex)
{
  grid_.set(3 * 10 + 2, 0x20);
  EXPECT_EQ(grid_.get(2, 3).bits_, 0x20u);
  ObsTypeBitMap more;
  more.set(0x400);
  grid_.merge(3 * 10 + 2, more);
  EXPECT_EQ(grid_.get(2, 3).bits_, 0x420u);
  grid_.set(3 * 10 + 2, 0x4);
  EXPECT_EQ(grid_.get(2, 3).bits_, 0x4u);
}

TEST_F(ObsTypeGridMapTest, OccupancyViewShowsCategoriesByPrecedence)
{
  grid_.setCost(103, 0, 0);
  grid_.setCost(300, 0, 0);
  grid_.setCost(500, 1, 0);
  grid_.setCost(103, 2, 0);
  grid_.setCost(500, 2, 0);
  grid_.set(3, 0x400);
  EXPECT_EQ(viewOf(0, 0), 100);
  EXPECT_EQ(viewOf(1, 0), 98);
  EXPECT_EQ(viewOf(2, 0), 127);
  EXPECT_EQ(viewOf(3, 0), 98);
  EXPECT_EQ(viewOf(4, 0), 0);
}

TEST_F(ObsTypeGridMapTest, OccupancyViewCarriesGeometryFrameAndStamp)
{
  ObsTypeGridMap grid(4, 3, 0.1, -1.5, 2.25);
  grid.setCost(300, 3, 2);
  const auto view = grid.changeToOccupancyGrid("odom", rclcpp::Time(12, 500));
  EXPECT_EQ(view->header.frame_id, "odom");
  EXPECT_EQ(view->header.stamp.sec, 12);
  EXPECT_EQ(view->header.stamp.nanosec, 500u);
  EXPECT_FLOAT_EQ(view->info.resolution, 0.1f);
  EXPECT_EQ(view->info.width, 4u);
  EXPECT_EQ(view->info.height, 3u);
  EXPECT_DOUBLE_EQ(view->info.origin.position.x, -1.5);
  EXPECT_DOUBLE_EQ(view->info.origin.position.y, 2.25);
  EXPECT_DOUBLE_EQ(view->info.origin.orientation.w, 1.0);
  ASSERT_EQ(view->data.size(), 12u);
  EXPECT_EQ(view->data[11], 100);
}

TEST_F(ObsTypeGridMapTest, ResizeToSameShapeKeepsBitsAndMovesGeometry)
{
  grid_.setCost(204, 4, 4);
  grid_.resize(10, 10, 0.1, 1.0, 2.0);
  EXPECT_EQ(grid_.get(4, 4).bits_, 0x200u);
  EXPECT_DOUBLE_EQ(grid_.getResolution(), 0.1);
  EXPECT_DOUBLE_EQ(grid_.getOriginX(), 1.0);
  EXPECT_DOUBLE_EQ(grid_.getOriginY(), 2.0);
}

TEST_F(ObsTypeGridMapTest, ResizeToNewWidthOrResetClearsEveryCell)
{
  grid_.setCost(204, 4, 4);
  grid_.resize(12, 10, 0.05, 0.0, 0.0);
  EXPECT_EQ(grid_.getWidth(), 12u);
  auto view = grid_.changeToOccupancyGrid("map", rclcpp::Time(0, 0));
  EXPECT_EQ(std::count(view->data.begin(), view->data.end(), 0), 120);
  grid_.setCost(105, 11, 9);
  grid_.resetGrid();
  EXPECT_FALSE(grid_.get(11, 9).any());
}

TEST_F(ObsTypeGridMapTest, NegativeCellCountThrowsAndLeavesAnEmptyGrid)
{
  EXPECT_THROW(grid_.resize(-5, 10, 0.05, 0.0, 0.0), std::bad_array_new_length);
  EXPECT_EQ(grid_.getWidth(), 0u);
  EXPECT_EQ(grid_.getHeight(), 0u);
  EXPECT_TRUE(grid_.changeToOccupancyGrid("map", rclcpp::Time(0, 0))->data.empty());
  // The mutex was released: the grid can be sized again.
  grid_.resize(3, 2, 0.05, 0.0, 0.0);
  EXPECT_EQ(grid_.getWidth(), 3u);
  EXPECT_FALSE(grid_.get(2, 1).any());
}

TEST_F(ObsTypeGridMapTest, WorldToMapTruncatesAndRejectsOutsidePoints)
{
  unsigned int mx = 77;
  unsigned int my = 77;
  EXPECT_TRUE(grid_.worldToMap(0.0, 0.0, mx, my));
  EXPECT_EQ(mx, 0u);
  EXPECT_EQ(my, 0u);
  EXPECT_TRUE(grid_.worldToMap(0.499, 0.0, mx, my));
  EXPECT_EQ(mx, 9u);
  EXPECT_EQ(my, 0u);
  EXPECT_FALSE(grid_.worldToMap(0.5, 0.0, mx, my));
  EXPECT_EQ(mx, 10u);
  mx = 77;
  my = 77;
  EXPECT_FALSE(grid_.worldToMap(-0.01, 0.0, mx, my));
  EXPECT_EQ(mx, 77u);
  EXPECT_EQ(my, 77u);
}

TEST_F(ObsTypeGridMapTest, WorldToMapRejectsPointsThatNoCellHolds)
{
  // 20 x 20 cells at 0.5 m: x = (2^32 + 5) * 0.5 would wrap to column 5 if it were converted.
  ObsTypeGridMap grid(20, 20, 0.5, 0.0, 0.0);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (const double bad : {nan, inf, -inf, 1e30, -1e30, 1e19, (4294967296.0 + 5.0) * 0.5,
      static_cast<double>(FLT_MAX), std::numeric_limits<double>::max()})
  {
    unsigned int mx = 77;
    unsigned int my = 77;
    EXPECT_FALSE(grid.worldToMap(bad, 1.0, mx, my)) << bad;
    EXPECT_FALSE(grid.worldToMap(1.0, bad, mx, my)) << bad;
    EXPECT_FALSE(grid.worldToMap(bad, bad, mx, my)) << bad;
    EXPECT_NE(mx, 5u) << bad;
    EXPECT_NE(mx, 0u) << bad;
  }

  // A circle zone placed at a sentinel position reaches no cell of the map.
  plane_object::CircleList far_zone(5, "far", {plane_object::Point{1e30, 1e30, 1.0}});
  const auto zone = far_zone.getGrid(0.5);
  int zone_cells = 0;
  for (std::uint32_t row = 0; row < zone->height(); ++row) {
    for (std::uint32_t col = 0; col < zone->width(); ++col) {
      if (!zone->at(col, row)) {
        continue;
      }
      ++zone_cells;
      double wx = 0.0;
      double wy = 0.0;
      zone->mapToWorld(col, row, wx, wy);
      unsigned int mx = 0;
      unsigned int my = 0;
      EXPECT_FALSE(grid.worldToMap(wx, wy, mx, my)) << mx << ", " << my;
    }
  }
  EXPECT_GT(zone_cells, 0);
}

TEST_F(ObsTypeGridMapTest, MapToWorldGivesTheCellCentre)
{
  double wx = 0.0;
  double wy = 0.0;
  grid_.mapToWorld(0, 0, wx, wy);
  EXPECT_DOUBLE_EQ(wx, 0.025);
  EXPECT_DOUBLE_EQ(wy, 0.025);
  grid_.mapToWorld(9, 3, wx, wy);
  EXPECT_DOUBLE_EQ(wx, 0.475);
  EXPECT_DOUBLE_EQ(wy, 0.175);
}

}  // namespace
