// Cell conversion between the costmaps of two grid-map nodes whose maps arrive on their costmap
// nodes' map topics. Resolutions are powers of two, exact in the maps' float field.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "nav_msgs/msg/occupancy_grid.hpp"
#include "rclcpp/rclcpp.hpp"

#include "quorvane_nav2_gridmap/gridmap_location_coverter.hpp"
#include "quorvane_nav2_gridmap/gridmap_ros.hpp"

namespace
{

using quorvane_nav2_gridmap::GridMapROS;
using quorvane_nav2_gridmap::GridmapLocationCoverter;

class RosEnvironment : public ::testing::Environment
{
public:
  void SetUp() override
  {
    const char * argv[] = {"test_gridmap_location_coverter"};
    rclcpp::init(1, argv);
  }

  void TearDown() override {rclcpp::shutdown();}
};

const ::testing::Environment * const kRosEnvironment =
  ::testing::AddGlobalTestEnvironment(new RosEnvironment);

struct Geometry
{
  unsigned int width;
  unsigned int height;
  double resolution;
  double origin_x;
  double origin_y;
};

class GridmapLocationCoverterTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    map_server_ = std::make_shared<rclcpp::Node>("converter_map_server");
    first_ = std::make_shared<GridMapROS>("first", "");
    second_ = std::make_shared<GridMapROS>("second", "");
    first_->configure();
    second_->configure();
    first_->activate();
    second_->activate();
  }

  // Gives the node's costmap this geometry through its map topic and waits until it has it.
  void shape(const std::shared_ptr<GridMapROS> & node, const std::string & name, const Geometry & geometry)
  {
    auto & publisher = name == "first" ? first_publisher_ : second_publisher_;
    if (!publisher) {
      publisher = map_server_->create_publisher<nav_msgs::msg::OccupancyGrid>(
        "/" + name + "_costmap/map", rclcpp::QoS(1).transient_local().reliable());
    }
    nav_msgs::msg::OccupancyGrid map;
    map.header.frame_id = "map";
    map.info.width = geometry.width;
    map.info.height = geometry.height;
    map.info.resolution = static_cast<float>(geometry.resolution);
    map.info.origin.position.x = geometry.origin_x;
    map.info.origin.position.y = geometry.origin_y;
    map.info.origin.orientation.w = 1.0;
    map.data.assign(static_cast<size_t>(geometry.width) * geometry.height, 0);
    publisher->publish(map);
    const auto * costmap = node->costmap_ros_->getLayeredCostmap()->getCostmap();
    auto has_geometry = [&] {
        std::unique_lock<nav2_costmap_2d::Costmap2D::mutex_t> lock(
          *const_cast<nav2_costmap_2d::Costmap2D *>(costmap)->getMutex());
        return costmap->getSizeInCellsX() == geometry.width &&
               costmap->getSizeInCellsY() == geometry.height &&
               costmap->getResolution() == map.info.resolution &&
               costmap->getOriginX() == geometry.origin_x &&
               costmap->getOriginY() == geometry.origin_y;
      };
    for (int attempt = 0; attempt < 10000 && !has_geometry(); ++attempt) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(has_geometry()) << name << " costmap never took its map";
  }

  std::shared_ptr<rclcpp::Node> map_server_;
  std::shared_ptr<rclcpp::Publisher<nav_msgs::msg::OccupancyGrid>> first_publisher_;
  std::shared_ptr<rclcpp::Publisher<nav_msgs::msg::OccupancyGrid>> second_publisher_;
  std::shared_ptr<GridMapROS> first_;
  std::shared_ptr<GridMapROS> second_;
};

TEST_F(GridmapLocationCoverterTest, EqualGeometryIsTheIdentityInsideTheTarget)
{
  shape(first_, "first", {200, 20, 0.125, 0.0, 0.0});
  shape(second_, "second", {100, 20, 0.125, 0.0, 0.0});
  GridmapLocationCoverter converter(first_, second_);
  unsigned int x = 0;
  unsigned int y = 0;
  for (unsigned int mx = 0; mx < 100; ++mx) {
    ASSERT_TRUE(converter.firstToSecondMap(mx, 7, x, y)) << mx;
    ASSERT_EQ(x, mx);
    ASSERT_EQ(y, 7u);
  }
}

TEST_F(GridmapLocationCoverterTest, CoordinateEqualToTheTargetSizeIsOutside)
{
  shape(first_, "first", {200, 30, 0.125, 0.0, 0.0});
  shape(second_, "second", {100, 20, 0.125, 0.0, 0.0});
  GridmapLocationCoverter converter(first_, second_);
  unsigned int x = 0;
  unsigned int y = 0;
  EXPECT_FALSE(converter.firstToSecondMap(100, 0, x, y));
  EXPECT_EQ(x, 100u);
  EXPECT_FALSE(converter.firstToSecondMap(101, 0, x, y));
  EXPECT_FALSE(converter.firstToSecondMap(0, 20, x, y));
  EXPECT_EQ(y, 20u);
  EXPECT_TRUE(converter.firstToSecondMap(0, 19, x, y));
}

TEST_F(GridmapLocationCoverterTest, CoarserTargetTakesTheCellHoldingTheCorner)
{
  shape(first_, "first", {40, 40, 0.0625, 0.0, 0.0});
  shape(second_, "second", {10, 10, 0.125, 0.0, 0.0});
  GridmapLocationCoverter converter(first_, second_);
  unsigned int x = 0;
  unsigned int y = 0;
  EXPECT_TRUE(converter.firstToSecondMap(7, 3, x, y));
  EXPECT_EQ(x, 3u);
  EXPECT_EQ(y, 1u);
  EXPECT_TRUE(converter.secondToFirstMap(3, 1, x, y));
  EXPECT_EQ(x, 6u);
  EXPECT_EQ(y, 2u);
  // Just below the target's width truncates to its last column; the width itself is outside.
  EXPECT_TRUE(converter.firstToSecondMap(19, 0, x, y));
  EXPECT_EQ(x, 9u);
  EXPECT_FALSE(converter.firstToSecondMap(20, 0, x, y));
  EXPECT_EQ(x, 10u);
}

TEST_F(GridmapLocationCoverterTest, CellLeftOfTheTargetIsOutsideWithTheTruncatedValue)
{
  shape(first_, "first", {20, 20, 0.125, 0.0, 0.0});
  shape(second_, "second", {20, 20, 0.125, 1.25, 0.0});
  GridmapLocationCoverter converter(first_, second_);
  unsigned int x = 0;
  unsigned int y = 0;
  EXPECT_FALSE(converter.firstToSecondMap(5, 0, x, y));
  EXPECT_EQ(x, static_cast<unsigned int>(-5));
  EXPECT_TRUE(converter.secondToFirstMap(5, 0, x, y));
  EXPECT_EQ(x, 15u);
}

TEST_F(GridmapLocationCoverterTest, MovedCostmapCountsOnlyAfterUpdateOrigin)
{
  shape(first_, "first", {20, 20, 0.125, 0.0, 0.0});
  shape(second_, "second", {20, 20, 0.125, 0.0, 0.0});
  GridmapLocationCoverter converter(first_, second_);
  shape(second_, "second", {20, 20, 0.125, 0.5, 0.0});
  unsigned int x = 0;
  unsigned int y = 0;
  EXPECT_TRUE(converter.firstToSecondMap(8, 2, x, y));
  EXPECT_EQ(x, 8u);
  converter.updateOrigin();
  EXPECT_TRUE(converter.firstToSecondMap(8, 2, x, y));
  EXPECT_EQ(x, 4u);
  EXPECT_EQ(y, 2u);
}

}  // namespace
