// Cell conversion between the costmaps of two grid-map nodes whose maps arrive on their costmap
// nodes' map topics. Resolutions are powers of two, exact in the maps' float field.

#include <memory>

#include "test_gridmap_ros_support.hpp"
#include "quorvane_nav2_gridmap/gridmap_location_coverter.hpp"

namespace
{

using gridmap_test::CostGrid;
using quorvane_nav2_gridmap::GridMapROS;
using quorvane_nav2_gridmap::GridmapLocationCoverter;

const auto * const kRos = ::testing::AddGlobalTestEnvironment(new gridmap_test::RosEnvironment(""));

class GridmapLocationCoverterTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    for (auto * node : {&first_, &second_}) {
      (*node)->configure();
      (*node)->activate();
    }
  }

  void shape(const CostGrid & first, const CostGrid & second)
  {
    ASSERT_TRUE(first_server_.serve(first, costmapOf(first_)));
    ASSERT_TRUE(second_server_.serve(second, costmapOf(second_)));
  }

  static nav2_costmap_2d::Costmap2D & costmapOf(const std::shared_ptr<GridMapROS> & node)
  {
    return *node->costmap_ros_->getLayeredCostmap()->getCostmap();
  }

  std::shared_ptr<rclcpp::Node> helper_ = std::make_shared<rclcpp::Node>("converter_helper");
  gridmap_test::MapServer first_server_{helper_, "/first_costmap"};
  gridmap_test::MapServer second_server_{helper_, "/second_costmap"};
  std::shared_ptr<GridMapROS> first_ = std::make_shared<GridMapROS>("first", "");
  std::shared_ptr<GridMapROS> second_ = std::make_shared<GridMapROS>("second", "");
  unsigned int x_{0};
  unsigned int y_{0};
};

TEST_F(GridmapLocationCoverterTest, EqualGeometryIsTheIdentityInsideTheTarget)
{
  shape(CostGrid(200, 20, 0.125f), CostGrid(100, 20, 0.125f));
  GridmapLocationCoverter converter(first_, second_);
  for (unsigned int mx = 0; mx < 100; ++mx) {
    ASSERT_TRUE(converter.firstToSecondMap(mx, 7, x_, y_)) << mx;
    ASSERT_EQ(x_, mx);
    ASSERT_EQ(y_, 7u);
  }
}

TEST_F(GridmapLocationCoverterTest, CoordinateEqualToTheTargetSizeIsOutside)
{
  shape(CostGrid(200, 30, 0.125f), CostGrid(100, 20, 0.125f));
  GridmapLocationCoverter converter(first_, second_);
  EXPECT_FALSE(converter.firstToSecondMap(100, 0, x_, y_));
  EXPECT_EQ(x_, 100u);
  EXPECT_FALSE(converter.firstToSecondMap(101, 0, x_, y_));
  EXPECT_FALSE(converter.firstToSecondMap(0, 20, x_, y_));
  EXPECT_EQ(y_, 20u);
  EXPECT_TRUE(converter.firstToSecondMap(0, 19, x_, y_));
}

TEST_F(GridmapLocationCoverterTest, CoarserTargetTakesTheCellHoldingTheCorner)
{
  shape(CostGrid(40, 40, 0.0625f), CostGrid(10, 10, 0.125f));
  GridmapLocationCoverter converter(first_, second_);
  EXPECT_TRUE(converter.firstToSecondMap(7, 3, x_, y_));
  EXPECT_EQ(x_, 3u);
  EXPECT_EQ(y_, 1u);
  EXPECT_TRUE(converter.secondToFirstMap(3, 1, x_, y_));
  EXPECT_EQ(x_, 6u);
  EXPECT_EQ(y_, 2u);
  // Just below the target's width truncates to its last column; the width itself is outside.
  EXPECT_TRUE(converter.firstToSecondMap(19, 0, x_, y_));
  EXPECT_EQ(x_, 9u);
  EXPECT_FALSE(converter.firstToSecondMap(20, 0, x_, y_));
}

TEST_F(GridmapLocationCoverterTest, CellLeftOfTheTargetIsOutsideWithTheTruncatedValue)
{
  shape(CostGrid(20, 20, 0.125f), CostGrid(20, 20, 0.125f, 1.25, 0.0));
  GridmapLocationCoverter converter(first_, second_);
  EXPECT_FALSE(converter.firstToSecondMap(5, 0, x_, y_));
  EXPECT_EQ(x_, static_cast<unsigned int>(-5));
  EXPECT_TRUE(converter.secondToFirstMap(5, 0, x_, y_));
  EXPECT_EQ(x_, 15u);
}

TEST_F(GridmapLocationCoverterTest, MovedCostmapCountsOnlyAfterUpdateOrigin)
{
  shape(CostGrid(20, 20, 0.125f), CostGrid(20, 20, 0.125f));
  GridmapLocationCoverter converter(first_, second_);
  ASSERT_TRUE(second_server_.serve(CostGrid(20, 20, 0.125f, 0.5, 0.0), costmapOf(second_)));
  EXPECT_TRUE(converter.firstToSecondMap(8, 2, x_, y_));
  EXPECT_EQ(x_, 8u);
  converter.updateOrigin();
  EXPECT_TRUE(converter.firstToSecondMap(8, 2, x_, y_));
  EXPECT_EQ(x_, 4u);
  EXPECT_EQ(y_, 2u);
}

}  // namespace
