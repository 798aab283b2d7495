// The distance map as a host meets it: a GridMapROS node configured from a parameter file, its
// costmap filled by an OccupancyGrid published on the costmap node's map topic, and the answers
// read through MultiGridMap.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "nav_msgs/msg/occupancy_grid.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/state.hpp"

#include "quorvane_nav2_gridmap/gridmap_ros.hpp"

namespace
{

using quorvane_nav2_gridmap::GridMapROS;
using quorvane_nav2_gridmap::MultiGridMap;

constexpr char kParameters[] = R"(
/dm_costmap/dm_costmap:
  ros__parameters:
    global_frame: map
    robot_base_frame: base_link
    track_unknown_space: true
    trinary_costmap: false
/dm_gridmap/dm_gridmap:
  ros__parameters:
    plugins: ["distance"]
    distance:
      plugin: quorvane_nav2_gridmap::GridDistanceMap
      publish_as_occupancy: true
)";

class RosEnvironment : public ::testing::Environment
{
public:
  void SetUp() override
  {
    const std::string path = ::testing::TempDir() + "grid_distance_map_topic_params.yaml";
    std::ofstream(path) << kParameters;
    const char * argv[] = {"test_grid_distance_map_topic", "--ros-args", "--params-file", path.c_str()};
    rclcpp::init(4, argv);
  }

  void TearDown() override {rclcpp::shutdown();}
};

const ::testing::Environment * const kRosEnvironment =
  ::testing::AddGlobalTestEnvironment(new RosEnvironment);

// A map sends its resolution as a float: the costmap's cells are 0.05f m wide, slightly more than
// 0.05, and every threshold in cells follows from that.
const double kResolution = static_cast<double>(0.05f);

// A map of free cells with the occupancy values a test sets, and the costs the costmap node's
// static layer turns them into.
class CostGrid
{
public:
  CostGrid(unsigned int width, unsigned int height)
  : width_(width), height_(height), occupancy_(static_cast<size_t>(width) * height, 0),
    costs_(occupancy_.size(), 0) {}

  void lethal(unsigned int mx, unsigned int my) {set(mx, my, 100, 254);}
  void unknown(unsigned int mx, unsigned int my) {set(mx, my, -1, 255);}
  // 99 of 100 is the highest cost an occupancy value gives below lethal: 99 / 100 * 254.
  void almostLethal(unsigned int mx, unsigned int my) {set(mx, my, 99, 251);}

  nav_msgs::msg::OccupancyGrid toOccupancyGrid() const
  {
    nav_msgs::msg::OccupancyGrid map;
    map.header.frame_id = "map";
    map.info.resolution = 0.05f;
    map.info.width = width_;
    map.info.height = height_;
    map.info.origin.orientation.w = 1.0;
    map.data = occupancy_;
    return map;
  }

  bool matches(nav2_costmap_2d::Costmap2D & costmap) const
  {
    std::unique_lock<nav2_costmap_2d::Costmap2D::mutex_t> lock(*costmap.getMutex());
    if (costmap.getSizeInCellsX() != width_ || costmap.getSizeInCellsY() != height_) {
      return false;
    }
    return std::equal(costs_.begin(), costs_.end(), costmap.getCharMap());
  }

private:
  void set(unsigned int mx, unsigned int my, std::int8_t occupancy, unsigned char cost)
  {
    occupancy_[my * width_ + mx] = occupancy;
    costs_[my * width_ + mx] = cost;
  }

  unsigned int width_;
  unsigned int height_;
  std::vector<std::int8_t> occupancy_;
  std::vector<unsigned char> costs_;
};

class GridDistanceMapTopicTest : public ::testing::Test
{
protected:
  static void SetUpTestSuite()
  {
    node_ = std::make_shared<GridMapROS>("dm", "");
    node_->configure();
    node_->activate();
    map_server_ = std::make_shared<rclcpp::Node>("map_server");
    map_publisher_ = map_server_->create_publisher<nav_msgs::msg::OccupancyGrid>(
      "/dm_costmap/map", rclcpp::QoS(1).transient_local().reliable());
  }

  static void TearDownTestSuite()
  {
    map_publisher_.reset();
    map_server_.reset();
    node_.reset();
  }

  // Publishes the map, waits until the costmap node has taken it in and updates the grid maps.
  void load(const CostGrid & grid)
  {
    map_publisher_->publish(grid.toOccupancyGrid());
    nav2_costmap_2d::Costmap2D & costmap = *node_->costmap_ros_->getLayeredCostmap()->getCostmap();
    for (int attempt = 0; attempt < 10000 && !grid.matches(costmap); ++attempt) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(grid.matches(costmap)) << "the costmap node never took the map in";
    maps().updateMap();
  }

  // Loads the map while listening to the distance map's view and returns the view it publishes.
  nav_msgs::msg::OccupancyGrid loadAndReceiveView(const CostGrid & grid)
  {
    auto listener = std::make_shared<rclcpp::Node>("view_listener");
    std::shared_ptr<const nav_msgs::msg::OccupancyGrid> view;
    auto subscription = listener->create_subscription<nav_msgs::msg::OccupancyGrid>(
      "/dm_gridmap/publish_as_occupancy", rclcpp::QoS(1),
      [&view](std::shared_ptr<const nav_msgs::msg::OccupancyGrid> message) {view = message;});
    load(grid);
    rclcpp::executors::SingleThreadedExecutor executor;
    executor.add_node(listener);
    for (int attempt = 0; attempt < 1000 && !view; ++attempt) {
      executor.spin_some(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(view) << "no view published";
    return view ? *view : nav_msgs::msg::OccupancyGrid();
  }

  static MultiGridMap & maps() {return *node_->multi_grid_map_;}

  static std::shared_ptr<GridMapROS> node_;
  static std::shared_ptr<rclcpp::Node> map_server_;
  static std::shared_ptr<rclcpp::Publisher<nav_msgs::msg::OccupancyGrid>> map_publisher_;
};

std::shared_ptr<GridMapROS> GridDistanceMapTopicTest::node_;
std::shared_ptr<rclcpp::Node> GridDistanceMapTopicTest::map_server_;
std::shared_ptr<rclcpp::Publisher<nav_msgs::msg::OccupancyGrid>>
GridDistanceMapTopicTest::map_publisher_;

TEST_F(GridDistanceMapTopicTest, WaitsForTheCostmapAndHoldsTheDistanceMap)
{
  CostGrid grid(10, 10);
  grid.lethal(0, 0);
  load(grid);
  node_->waitForCostmap();
  ASSERT_EQ(maps().getGridMaps().size(), 1u);
  EXPECT_EQ(maps().getGridMaps().front()->getName(), "distance");
}

TEST_F(GridDistanceMapTopicTest, LoneObstacleGradesCostWithTruncation)
{
  CostGrid grid(100, 100);
  grid.lethal(50, 50);
  load(grid);
  EXPECT_EQ(maps().getCost(50, 50, true), 254u);
  EXPECT_TRUE(maps().inRisk(50, 50, 0));
  EXPECT_TRUE(maps().inDanger(50, 50, 0));
  // few_obstacle_distance 2.5 m is 49.9999993 cells of 0.05f m: 25 cells away the graded cost is
  // 126.99999, truncated to 126; 24 cells away it is 132.08, truncated to 132.
  EXPECT_EQ(maps().getCost(75, 50, true), 126u);
  EXPECT_EQ(maps().getCost(50, 26, true), 132u);
  EXPECT_EQ(maps().getCost(50, 0, true), 0u);
  EXPECT_EQ(maps().getCost(99, 99, true), 0u);
}

TEST_F(GridDistanceMapTopicTest, DisabledCostIsZeroEverywhere)
{
  CostGrid grid(30, 20);
  grid.lethal(10, 10);
  grid.unknown(11, 10);
  load(grid);
  for (unsigned int my = 0; my < 20; ++my) {
    for (unsigned int mx = 0; mx < 30; ++mx) {
      ASSERT_EQ(maps().getCost(mx, my, false), 0u) << mx << ", " << my;
    }
  }
}

TEST_F(GridDistanceMapTopicTest, PerilOnlyOnObstacleCells)
{
  CostGrid grid(40, 40);
  grid.lethal(20, 20);
  load(grid);
  const auto & distance_map = maps().getGridMaps().front();
  EXPECT_TRUE(distance_map->inPeril(20, 20, 0));
  EXPECT_FALSE(distance_map->inPeril(21, 20, 0));
  EXPECT_FALSE(distance_map->inPeril(20, 19, 0));
  EXPECT_FALSE(distance_map->inPeril(21, 21, 0));
}

TEST_F(GridDistanceMapTopicTest, UnknownCellsAreObstaclesButAlmostLethalOnesAreNot)
{
  CostGrid grid(40, 10);
  grid.unknown(5, 5);
  grid.almostLethal(30, 5);
  load(grid);
  EXPECT_DOUBLE_EQ(maps().getDistance(5, 5), 0.0);
  EXPECT_EQ(maps().getCost(5, 5, true), 254u);
  // The cell of cost 251 is 25 cells from the unknown one: no obstacle of its own.
  EXPECT_DOUBLE_EQ(maps().getDistance(30, 5), 25 * kResolution);
  EXPECT_EQ(maps().getCost(30, 5, true), 126u);
}

TEST_F(GridDistanceMapTopicTest, DistancesAreInMetresOfTheCostmapsResolution)
{
  CostGrid grid(40, 40);
  grid.lethal(20, 20);
  load(grid);
  EXPECT_DOUBLE_EQ(maps().getDistance(20, 20), 0.0);
  EXPECT_DOUBLE_EQ(maps().getDistance(21, 20), kResolution);
  EXPECT_DOUBLE_EQ(maps().getDistance(25, 20), 5 * kResolution);
  EXPECT_DOUBLE_EQ(maps().getDistance(23, 24), 5 * kResolution);
  EXPECT_DOUBLE_EQ(
    maps().getDistance(21, 21), static_cast<double>(std::sqrt(2.0f)) * kResolution);
}

TEST_F(GridDistanceMapTopicTest, DangerThresholdIsTheUnroundedQuotient)
{
  // danger_threshold 0.3 m is 5.9999999 cells of 0.05f m, not 6.
  CostGrid grid(60, 60);
  grid.lethal(10, 10);
  load(grid);
  EXPECT_TRUE(maps().inDanger(15, 13, 0));    // sqrt(34) = 5.83
  EXPECT_FALSE(maps().inDanger(16, 10, 0));   // exactly 6
  EXPECT_TRUE(maps().inDanger(16, 10, 1));    // 6 < 6.9999999
  EXPECT_TRUE(maps().inDanger(17, 13, 2));    // sqrt(58) = 7.62 < 7.9999999
  EXPECT_FALSE(maps().inDanger(18, 10, 2));   // exactly 8
}

TEST_F(GridDistanceMapTopicTest, RiskThresholdIsTheUnroundedQuotient)
{
  // risk_threshold 0.48 m is 9.5999999 cells of 0.05f m: 9.49 is in risk, 9.85 is not.
  CostGrid grid(60, 60);
  grid.lethal(10, 10);
  load(grid);
  EXPECT_TRUE(maps().inRisk(19, 13, 0));    // sqrt(90) = 9.49
  EXPECT_FALSE(maps().inRisk(19, 14, 0));   // sqrt(97) = 9.85
  EXPECT_TRUE(maps().inRisk(19, 10, 0));    // 9
  EXPECT_FALSE(maps().inRisk(20, 10, 0));   // 10
}

TEST_F(GridDistanceMapTopicTest, CellsOutsideTheGridAreInRiskDangerAndPeril)
{
  CostGrid grid(30, 20);
  grid.lethal(0, 0);
  load(grid);
  const auto & distance_map = maps().getGridMaps().front();
  EXPECT_TRUE(maps().inRisk(30, 5, 0));
  EXPECT_TRUE(maps().inDanger(30, 5, 0));
  EXPECT_TRUE(distance_map->inPeril(30, 5, 0));
  EXPECT_TRUE(maps().inRisk(5, 20, 0));
  EXPECT_TRUE(maps().inDanger(5, 20, 0));
  EXPECT_TRUE(distance_map->inPeril(5, 20, 0));
  EXPECT_FALSE(maps().inRisk(29, 19, 0));
}

TEST_F(GridDistanceMapTopicTest, ResizedCostmapsGiveDistancesOfTheirOwnShape)
{
  CostGrid tall(100, 200);
  tall.lethal(10, 150);
  load(tall);
  EXPECT_DOUBLE_EQ(maps().getDistance(10, 160), 10 * kResolution);

  // Same cell count, other shape.
  CostGrid wide(200, 100);
  wide.lethal(150, 10);
  load(wide);
  EXPECT_DOUBLE_EQ(maps().getDistance(160, 10), 10 * kResolution);
  EXPECT_DOUBLE_EQ(maps().getDistance(150, 30), 20 * kResolution);
  EXPECT_TRUE(maps().inRisk(199, 100, 0));
  EXPECT_FALSE(maps().inRisk(199, 99, 0));

  // Another cell count.
  CostGrid square(150, 150);
  square.lethal(149, 149);
  load(square);
  EXPECT_DOUBLE_EQ(maps().getDistance(149, 139), 10 * kResolution);
  EXPECT_DOUBLE_EQ(
    maps().getDistance(0, 0), static_cast<double>(std::sqrt(2.0f * 149 * 149)) * kResolution);
}

TEST_F(GridDistanceMapTopicTest, CostmapWithoutObstaclesIsSafeEverywhere)
{
  CostGrid grid(25, 25);
  load(grid);
  EXPECT_EQ(maps().getCost(12, 12, true), 0u);
  EXPECT_FALSE(maps().inRisk(12, 12, 0));
  EXPECT_FALSE(maps().inDanger(12, 12, 3));
  EXPECT_FALSE(maps().getGridMaps().front()->inPeril(0, 0, 0));
}

TEST_F(GridDistanceMapTopicTest, TwoValuedCostmapMarksCellsWithinTheChosenThreshold)
{
  CostGrid grid(40, 30);
  grid.lethal(10, 10);
  load(grid);
  const auto danger = maps().distanceToBiCostmap(true);
  const auto risk = maps().distanceToBiCostmap(false);
  ASSERT_EQ(danger->getSizeInCellsX(), 40u);
  ASSERT_EQ(danger->getSizeInCellsY(), 30u);
  EXPECT_DOUBLE_EQ(danger->getResolution(), kResolution);
  EXPECT_EQ(danger->getCost(15, 10), 254);   // 5
  EXPECT_EQ(danger->getCost(16, 10), 0);     // 6
  EXPECT_EQ(risk->getCost(16, 10), 254);
  EXPECT_EQ(risk->getCost(19, 10), 254);     // 9
  EXPECT_EQ(risk->getCost(20, 10), 0);       // 10
  EXPECT_EQ(risk->getCost(39, 29), 0);
}

TEST_F(GridDistanceMapTopicTest, OccupancyViewGradesDistancesByThresholds)
{
  CostGrid grid(250, 20);
  grid.lethal(0, 0);
  const auto view = loadAndReceiveView(grid);
  ASSERT_EQ(view.data.size(), 250u * 20u);
  auto at = [&view](unsigned int mx, unsigned int my) {return view.data[my * 250 + mx];};
  EXPECT_EQ(at(0, 0), 100);     // on the obstacle
  EXPECT_EQ(at(3, 0), 99);      // 3 cells: within danger
  EXPECT_EQ(at(7, 0), 127);     // 7 cells: within risk
  EXPECT_EQ(at(9, 9), 88);      // 12.7 cells: 100 - 12
  EXPECT_EQ(at(99, 0), 1);
  EXPECT_EQ(at(100, 0), 0);
  EXPECT_EQ(at(249, 0), 0);
  EXPECT_EQ(view.header.frame_id, "map");
  EXPECT_EQ(view.info.width, 250u);
  EXPECT_EQ(view.info.height, 20u);
  EXPECT_FLOAT_EQ(view.info.resolution, 0.05f);
  EXPECT_DOUBLE_EQ(view.info.origin.orientation.w, 1.0);
}

}  // namespace
