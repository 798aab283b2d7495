// A host that shuts ROS down while waiting for the costmap is not kept waiting.

#include <gtest/gtest.h>

#include <future>
#include <memory>

#include "rclcpp/rclcpp.hpp"

#include "quorvane_nav2_gridmap/gridmap_ros.hpp"

namespace
{

class GridMapROSShutdownTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    const char * argv[] = {"test_gridmap_ros_shutdown"};
    rclcpp::init(1, argv);
  }
};

TEST_F(GridMapROSShutdownTest, WaitForCostmapEndsWhenRosShutsDown)
{
  auto node = std::make_shared<quorvane_nav2_gridmap::GridMapROS>("shutdown", "");
  node->configure();
  node->activate();
  auto waiting = std::async(std::launch::async, [&node] {node->waitForCostmap();});
  // No map is ever published, so only the shutdown can end the wait.
  rclcpp::shutdown();
  waiting.get();
  EXPECT_FALSE(node->costmap_ros_->isCurrent());
}

}  // namespace
