// Copyright (c) 2026 Quorvane
// All rights reserved.

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "lifecycle_msgs/msg/state.hpp"
#include "nav2_costmap_2d/cost_values.hpp"
#include "nav2_costmap_2d/quorvane_costmap_2d_ros.hpp"
#include "nav2_util/quorvane_node_thread.hpp"
#include "nav_msgs/msg/occupancy_grid.hpp"
#include "rclcpp/rclcpp.hpp"
#include "tf2/LinearMath/Quaternion.h"
#include "tf2/utils.h"
#include "tf2_geometry_msgs/tf2_geometry_msgs.hpp"
#include "tf2_ros/static_transform_broadcaster.h"

namespace
{

using namespace std::chrono_literals;
using lifecycle_msgs::msg::State;
using nav2_costmap_2d::QuorvaneCostmap2DROS;

constexpr auto kGenerousWait = 30s;

nav_msgs::msg::OccupancyGrid makeMap(
  unsigned int width, unsigned int height, float resolution, double origin_x, double origin_y,
  const std::vector<int8_t> & data)
{
  nav_msgs::msg::OccupancyGrid map;
  map.header.frame_id = "map";
  map.info.width = width;
  map.info.height = height;
  map.info.resolution = resolution;
  map.info.origin.position.x = origin_x;
  map.info.origin.position.y = origin_y;
  map.info.origin.orientation.w = 1.0;
  map.data = data;
  return map;
}

class QuorvaneCostmap2DROSTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    helper_ = std::make_shared<rclcpp::Node>("map_server_like");
  }

  void TearDown() override
  {
    thread_.reset();
  }

  std::shared_ptr<QuorvaneCostmap2DROS> makeCostmap(
    const std::vector<rclcpp::Parameter> & overrides = {})
  {
    return std::make_shared<QuorvaneCostmap2DROS>(
      "local_costmap", "", "local_costmap",
      rclcpp::NodeOptions().parameter_overrides(overrides));
  }

  // Spins the costmap node the way its owner does.
  void spin(const std::shared_ptr<QuorvaneCostmap2DROS> & costmap)
  {
    thread_ = std::make_unique<nav2_util::QuorvaneNodeThread>(costmap->get_node_base_interface());
  }

  void publishMap(const nav_msgs::msg::OccupancyGrid & map, const std::string & topic)
  {
    if (!map_pub_) {
      map_pub_ = helper_->create_publisher<nav_msgs::msg::OccupancyGrid>(
        topic, rclcpp::QoS(rclcpp::KeepLast(1)).reliable().transient_local());
    }
    map_pub_->publish(map);
  }

  // Waits, under the master costmap's own lock, until the costmap satisfies `done`.
  static bool waitForMaster(
    QuorvaneCostmap2DROS & costmap,
    const std::function<bool(const nav2_costmap_2d::Costmap2D &)> & done)
  {
    auto * master = costmap.getCostmap();
    const auto deadline = std::chrono::steady_clock::now() + kGenerousWait;
    while (std::chrono::steady_clock::now() < deadline) {
      {
        std::unique_lock<nav2_costmap_2d::Costmap2D::mutex_t> lock(*master->getMutex());
        if (done(*master)) {
          return true;
        }
      }
      std::this_thread::sleep_for(2ms);
    }
    return false;
  }

  static bool waitForSize(QuorvaneCostmap2DROS & costmap, unsigned int x, unsigned int y)
  {
    return waitForMaster(
      costmap, [x, y](const nav2_costmap_2d::Costmap2D & master) {
        return master.getSizeInCellsX() == x && master.getSizeInCellsY() == y;
      });
  }

  static void expectPoint(const geometry_msgs::msg::Point & p, double x, double y)
  {
    EXPECT_NEAR(p.x, x, 1e-6);
    EXPECT_NEAR(p.y, y, 1e-6);
  }

  rclcpp::Node::SharedPtr helper_;
  rclcpp::Publisher<nav_msgs::msg::OccupancyGrid>::SharedPtr map_pub_;
  std::unique_ptr<nav2_util::QuorvaneNodeThread> thread_;
};

TEST_F(QuorvaneCostmap2DROSTest, IsNamedAndPlacedByItsArguments)
{
  auto costmap = std::make_shared<QuorvaneCostmap2DROS>("local_costmap", "/robot", "local_costmap");
  EXPECT_STREQ(costmap->get_name(), "local_costmap");
  EXPECT_STREQ(costmap->get_namespace(), "/robot/local_costmap");
  EXPECT_EQ(costmap->getName(), "local_costmap");
  EXPECT_EQ(costmap->get_current_state().id(), State::PRIMARY_STATE_UNCONFIGURED);
}

TEST_F(QuorvaneCostmap2DROSTest, NothingExistsBeforeConfigure)
{
  auto costmap = makeCostmap();
  EXPECT_EQ(costmap->getLayeredCostmap(), nullptr);
  EXPECT_EQ(costmap->getCostmap(), nullptr);
  EXPECT_EQ(costmap->getTfBuffer(), nullptr);
  EXPECT_FALSE(costmap->isCurrent());
  geometry_msgs::msg::PoseStamped pose;
  EXPECT_FALSE(costmap->getRobotPose(pose));
}

TEST_F(QuorvaneCostmap2DROSTest, ConfigureAppliesTheDefaults)
{
  auto costmap = makeCostmap();
  EXPECT_EQ(costmap->configure().id(), State::PRIMARY_STATE_INACTIVE);
  EXPECT_EQ(costmap->getGlobalFrameID(), "map");
  EXPECT_EQ(costmap->getBaseFrameID(), "base_link");
  EXPECT_DOUBLE_EQ(costmap->getTransformTolerance(), 0.3);
  ASSERT_NE(costmap->getTfBuffer(), nullptr);
  ASSERT_NE(costmap->getLayeredCostmap(), nullptr);
  auto * master = costmap->getCostmap();
  ASSERT_EQ(master, costmap->getLayeredCostmap()->getCostmap());
  EXPECT_EQ(master->getSizeInCellsX(), 100u);
  EXPECT_EQ(master->getSizeInCellsY(), 100u);
  EXPECT_DOUBLE_EQ(master->getResolution(), 0.05);
  EXPECT_EQ(master->getCost(0, 0), nav2_costmap_2d::NO_INFORMATION);
  EXPECT_TRUE(costmap->getLayeredCostmap()->isTrackingUnknown());
}

TEST_F(QuorvaneCostmap2DROSTest, ParametersComeFromNodeOptionsOverrides)
{
  auto costmap = makeCostmap(
    {rclcpp::Parameter("global_frame", "odom"),
      rclcpp::Parameter("robot_base_frame", "base_footprint"),
      rclcpp::Parameter("transform_tolerance", 0.5),
      rclcpp::Parameter("resolution", 0.1),
      rclcpp::Parameter("width", 3),
      rclcpp::Parameter("height", 2),
      rclcpp::Parameter("origin_x", -1.5),
      rclcpp::Parameter("origin_y", 2.0),
      rclcpp::Parameter("track_unknown_space", false)});
  costmap->configure();
  EXPECT_EQ(costmap->getGlobalFrameID(), "odom");
  EXPECT_EQ(costmap->getBaseFrameID(), "base_footprint");
  EXPECT_DOUBLE_EQ(costmap->getTransformTolerance(), 0.5);
  EXPECT_EQ(costmap->getLayeredCostmap()->getGlobalFrameID(), "odom");
  auto * master = costmap->getCostmap();
  EXPECT_EQ(master->getSizeInCellsX(), 30u);
  EXPECT_EQ(master->getSizeInCellsY(), 20u);
  EXPECT_DOUBLE_EQ(master->getOriginX(), -1.5);
  EXPECT_DOUBLE_EQ(master->getOriginY(), 2.0);
  EXPECT_EQ(master->getCost(29, 19), nav2_costmap_2d::FREE_SPACE);
}

TEST_F(QuorvaneCostmap2DROSTest, ParametersFromAParamsFileKeyedByTheFullName)
{
  char dir_template[] = "/tmp/quorvane_costmap_params_XXXXXX";
  ASSERT_NE(mkdtemp(dir_template), nullptr);
  const std::string path = std::string(dir_template) + "/costmap.yaml";
  {
    std::ofstream yaml(path);
    yaml << "/robot/local_costmap/local_costmap:\n"
         << "  ros__parameters:\n"
         << "    global_frame: odom\n"
         << "    width: 2\n"
         << "    footprint: \"[[0.2, 0.1], [-0.2, 0.1], [-0.2, -0.1]]\"\n";
  }
  auto costmap = std::make_shared<QuorvaneCostmap2DROS>(
    "local_costmap", "/robot", "local_costmap",
    rclcpp::NodeOptions().arguments({"--ros-args", "--params-file", path}));
  costmap->configure();
  std::remove(path.c_str());
  rmdir(dir_template);

  EXPECT_EQ(costmap->getGlobalFrameID(), "odom");
  EXPECT_EQ(costmap->getCostmap()->getSizeInCellsX(), 40u);
  EXPECT_EQ(costmap->getCostmap()->getSizeInCellsY(), 100u);
  EXPECT_EQ(costmap->getUnpaddedRobotFootprint().size(), 3u);
}

TEST_F(QuorvaneCostmap2DROSTest, BadResolutionFailsConfigure)
{
  auto costmap = makeCostmap({rclcpp::Parameter("resolution", 0.0)});
  EXPECT_NE(costmap->configure().id(), State::PRIMARY_STATE_INACTIVE);
}

TEST_F(QuorvaneCostmap2DROSTest, FootprintFromTheFootprintParameter)
{
  auto costmap = makeCostmap(
    {rclcpp::Parameter("footprint", "[[0.5, 0.3], [-0.5, 0.3], [-0.5, -0.3], [0.5, -0.3]]"),
      rclcpp::Parameter("footprint_padding", 0.1)});
  costmap->configure();
  EXPECT_FALSE(costmap->getUseRadius());
  const auto unpadded = costmap->getUnpaddedRobotFootprint();
  ASSERT_EQ(unpadded.size(), 4u);
  expectPoint(unpadded[1], -0.5, 0.3);
  const auto padded = costmap->getRobotFootprint();
  ASSERT_EQ(padded.size(), 4u);
  expectPoint(padded[0], 0.6, 0.4);
  expectPoint(padded[1], -0.6, 0.4);
  expectPoint(padded[2], -0.6, -0.4);
  expectPoint(padded[3], 0.6, -0.4);
  const auto & layered_footprint = costmap->getLayeredCostmap()->getFootprint();
  ASSERT_EQ(layered_footprint.size(), 4u);
  expectPoint(layered_footprint[2], -0.6, -0.4);
}

TEST_F(QuorvaneCostmap2DROSTest, FootprintFromTheRobotRadius)
{
  auto costmap = makeCostmap(
    {rclcpp::Parameter("robot_radius", 0.4), rclcpp::Parameter("footprint_padding", 0.05)});
  costmap->configure();
  EXPECT_TRUE(costmap->getUseRadius());
  const auto padded = costmap->getRobotFootprint();
  ASSERT_EQ(padded.size(), 16u);
  expectPoint(padded[0], 0.45, 0.0);
  expectPoint(padded[2], 0.4 * M_SQRT1_2 + 0.05, 0.4 * M_SQRT1_2 + 0.05);
  expectPoint(padded[10], -0.4 * M_SQRT1_2 - 0.05, -0.4 * M_SQRT1_2 - 0.05);
  const auto unpadded = costmap->getUnpaddedRobotFootprint();
  for (const auto & p : unpadded) {
    EXPECT_NEAR(std::hypot(p.x, p.y), 0.4, 1e-9);
  }
}

TEST_F(QuorvaneCostmap2DROSTest, InvalidFootprintFallsBackToTheRadius)
{
  auto costmap = makeCostmap(
    {rclcpp::Parameter("footprint", "[[0.5, 0.3], [-0.5]]"),
      rclcpp::Parameter("robot_radius", 0.2)});
  costmap->configure();
  EXPECT_TRUE(costmap->getUseRadius());
  EXPECT_EQ(costmap->getRobotFootprint().size(), 16u);
}

TEST_F(QuorvaneCostmap2DROSTest, MapPublishedOnItsTopicFillsTheCostmapCellByCell)
{
  auto costmap = makeCostmap();
  publishMap(makeMap(3, 2, 0.1f, -1.0, 2.0, {0, 50, 100, -1, 20, 99}), "/local_costmap/map");
  costmap->configure();
  spin(costmap);

  ASSERT_TRUE(waitForSize(*costmap, 3, 2));
  auto * master = costmap->getCostmap();
  std::unique_lock<nav2_costmap_2d::Costmap2D::mutex_t> lock(*master->getMutex());
  EXPECT_DOUBLE_EQ(master->getResolution(), static_cast<double>(0.1f));
  EXPECT_DOUBLE_EQ(master->getOriginX(), -1.0);
  EXPECT_DOUBLE_EQ(master->getOriginY(), 2.0);
  const std::vector<unsigned char> expected{0, 127, 254, 255, 50, 251};
  for (unsigned int i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(master->getCost(i), expected[i]) << "cell " << i;
  }
}

TEST_F(QuorvaneCostmap2DROSTest, CurrentOnceActiveWithAMap)
{
  auto costmap = makeCostmap();
  costmap->configure();
  spin(costmap);
  costmap->activate();
  EXPECT_FALSE(costmap->isCurrent());

  publishMap(makeMap(4, 4, 0.05f, 0.0, 0.0, std::vector<int8_t>(16, 0)), "/local_costmap/map");

  ASSERT_TRUE(waitForSize(*costmap, 4, 4));
  EXPECT_TRUE(costmap->isCurrent());
  EXPECT_TRUE(costmap->getLayeredCostmap()->isCurrent());
}

TEST_F(QuorvaneCostmap2DROSTest, MapAloneIsNotEnoughWhileInactive)
{
  auto costmap = makeCostmap();
  costmap->configure();
  spin(costmap);
  publishMap(makeMap(4, 4, 0.05f, 0.0, 0.0, std::vector<int8_t>(16, 0)), "/local_costmap/map");
  ASSERT_TRUE(waitForSize(*costmap, 4, 4));
  EXPECT_FALSE(costmap->isCurrent());

  costmap->activate();
  EXPECT_TRUE(costmap->isCurrent());
  costmap->deactivate();
  EXPECT_FALSE(costmap->isCurrent());
}

TEST_F(QuorvaneCostmap2DROSTest, MapTopicParameterIsHonoured)
{
  auto costmap = makeCostmap({rclcpp::Parameter("map_topic", "/static/grid")});
  costmap->configure();
  spin(costmap);
  costmap->activate();
  publishMap(makeMap(5, 1, 0.05f, 0.0, 0.0, std::vector<int8_t>(5, 100)), "/static/grid");
  ASSERT_TRUE(waitForSize(*costmap, 5, 1));
  EXPECT_TRUE(costmap->isCurrent());
}

TEST_F(QuorvaneCostmap2DROSTest, WithoutStaticMapCurrentWhenActive)
{
  auto costmap = makeCostmap({rclcpp::Parameter("use_static_map", false)});
  costmap->configure();
  EXPECT_FALSE(costmap->isCurrent());
  costmap->activate();
  EXPECT_TRUE(costmap->isCurrent());
}

TEST_F(QuorvaneCostmap2DROSTest, MasterCostmapSurvivesCleanupAndReconfigure)
{
  auto costmap = makeCostmap();
  publishMap(makeMap(4, 4, 0.05f, 0.0, 0.0, std::vector<int8_t>(16, 100)), "/local_costmap/map");
  costmap->configure();
  auto * layered = costmap->getLayeredCostmap();
  auto * master = costmap->getCostmap();
  spin(costmap);
  costmap->activate();
  ASSERT_TRUE(waitForSize(*costmap, 4, 4));
  EXPECT_TRUE(costmap->isCurrent());

  costmap->deactivate();
  costmap->cleanup();
  EXPECT_EQ(costmap->getCostmap(), master);
  EXPECT_FALSE(costmap->isCurrent());

  // The transform listener and its callback group stay from the first configure on.
  size_t groups = 0;
  costmap->get_node_base_interface()->for_each_callback_group([&groups](auto) {++groups;});
  costmap->configure();
  size_t groups_after = 0;
  costmap->get_node_base_interface()->for_each_callback_group(
    [&groups_after](auto) {++groups_after;});
  EXPECT_EQ(groups_after, groups);
  EXPECT_EQ(costmap->count_subscribers("/tf"), 1u);
  EXPECT_EQ(costmap->getLayeredCostmap(), layered);
  EXPECT_EQ(costmap->getCostmap(), master);
  // As the owner does on reconfigure: the new thread starts before the old one is dropped.
  spin(costmap);
  costmap->activate();
  // The map is published once only; transient local delivers it to the new subscription.
  ASSERT_TRUE(
    waitForMaster(
      *costmap, [](const nav2_costmap_2d::Costmap2D & m) {
        return m.getSizeInCellsX() == 4 && m.getCost(3, 3) == nav2_costmap_2d::LETHAL_OBSTACLE;
      }));
  EXPECT_TRUE(costmap->isCurrent());
}

TEST_F(QuorvaneCostmap2DROSTest, RobotPoseThroughTheTfBuffer)
{
  auto costmap = makeCostmap({rclcpp::Parameter("robot_base_frame", "base_footprint")});
  costmap->configure();
  spin(costmap);

  geometry_msgs::msg::TransformStamped t;
  t.header.frame_id = "map";
  t.header.stamp = helper_->now();
  t.child_frame_id = "base_footprint";
  t.transform.translation.x = 2.0;
  t.transform.translation.y = -1.0;
  tf2::Quaternion q;
  q.setRPY(0.0, 0.0, 0.5);
  t.transform.rotation = tf2::toMsg(q);
  tf2_ros::StaticTransformBroadcaster broadcaster(helper_);
  broadcaster.sendTransform(t);

  auto buffer = costmap->getTfBuffer();
  ASSERT_TRUE(
    buffer->canTransform("map", "base_footprint", tf2::TimePointZero, tf2::durationFromSec(30)));
  geometry_msgs::msg::PoseStamped pose;
  ASSERT_TRUE(costmap->getRobotPose(pose));
  EXPECT_EQ(pose.header.frame_id, "map");
  EXPECT_NEAR(pose.pose.position.x, 2.0, 1e-9);
  EXPECT_NEAR(pose.pose.position.y, -1.0, 1e-9);
  EXPECT_NEAR(tf2::getYaw(pose.pose.orientation), 0.5, 1e-9);
}

TEST_F(QuorvaneCostmap2DROSTest, ShutdownFromActiveStopsBeingCurrent)
{
  auto costmap = makeCostmap({rclcpp::Parameter("use_static_map", false)});
  costmap->configure();
  costmap->activate();
  ASSERT_TRUE(costmap->isCurrent());
  EXPECT_EQ(costmap->shutdown().id(), State::PRIMARY_STATE_FINALIZED);
  EXPECT_FALSE(costmap->isCurrent());
}

TEST_F(QuorvaneCostmap2DROSTest, ReleasedOnceItsOwnersLetGo)
{
  auto costmap = makeCostmap();
  costmap->configure();
  spin(costmap);
  costmap->activate();
  publishMap(makeMap(2, 2, 0.05f, 0.0, 0.0, std::vector<int8_t>(4, 0)), "/local_costmap/map");
  ASSERT_TRUE(waitForSize(*costmap, 2, 2));
  std::weak_ptr<QuorvaneCostmap2DROS> weak = costmap;

  thread_.reset();
  costmap.reset();

  // Nothing the node created (listener, subscription callback) may keep it alive.
  EXPECT_TRUE(weak.expired());
}

}  // namespace

int main(int argc, char ** argv)
{
  ::testing::InitGoogleTest(&argc, argv);
  rclcpp::init(argc, argv);
  const int result = RUN_ALL_TESTS();
  rclcpp::shutdown();
  return result;
}
