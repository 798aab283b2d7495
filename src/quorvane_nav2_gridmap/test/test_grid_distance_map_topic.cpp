// The distance map as a host meets it: a GridMapROS node configured from a parameter file, its
// costmap filled by an OccupancyGrid on the costmap node's map topic, answers read through
// MultiGridMap. A map sends its resolution as a float: the cells are 0.05f m, a little more than
// 0.05, and every threshold in cells follows from that.

#include <cmath>
#include <memory>

#include "test_gridmap_ros_support.hpp"
#include "quorvane_nav2_gridmap/gridmap_ros.hpp"

namespace
{

using gridmap_test::CostGrid;
using quorvane_nav2_gridmap::GridMapROS;
using quorvane_nav2_gridmap::MultiGridMap;

const double kResolution = static_cast<double>(0.05f);

const auto * const kRos = ::testing::AddGlobalTestEnvironment(
  new gridmap_test::RosEnvironment(R"(
/dm_gridmap/dm_gridmap:
  ros__parameters:
    plugins: ["distance"]
    distance:
      plugin: quorvane_nav2_gridmap::GridDistanceMap
      publish_as_occupancy: true
)"));

class GridDistanceMapTopicTest : public ::testing::Test
{
protected:
  static void SetUpTestSuite()
  {
    node_ = std::make_shared<GridMapROS>("dm", "");
    node_->configure();
    node_->activate();
    helper_ = std::make_shared<rclcpp::Node>("dm_helper");
    map_server_ = std::make_unique<gridmap_test::MapServer>(helper_, "/dm_costmap");
  }

  static void TearDownTestSuite()
  {
    map_server_.reset();
    helper_.reset();
    node_.reset();
  }

  // Serves the map, waits until the costmap holds it and updates the grid maps.
  void load(const CostGrid & grid)
  {
    ASSERT_TRUE(map_server_->serve(grid, *node_->costmap_ros_->getLayeredCostmap()->getCostmap()));
    maps().updateMap();
  }

  static MultiGridMap & maps() {return *node_->multi_grid_map_;}
  static quorvane_nav2_gridmap::GridMap & distanceMap() {return *maps().getGridMaps().front();}

  static std::shared_ptr<GridMapROS> node_;
  static std::shared_ptr<rclcpp::Node> helper_;
  static std::unique_ptr<gridmap_test::MapServer> map_server_;
};

std::shared_ptr<GridMapROS> GridDistanceMapTopicTest::node_;
std::shared_ptr<rclcpp::Node> GridDistanceMapTopicTest::helper_;
std::unique_ptr<gridmap_test::MapServer> GridDistanceMapTopicTest::map_server_;

TEST_F(GridDistanceMapTopicTest, LoneObstacleGradesCostWithTruncation)
{
  CostGrid grid(100, 100);
  grid.lethal(50, 50);
  load(grid);
  node_->waitForCostmap();
  EXPECT_EQ(maps().getCost(50, 50, true), 254u);
  // 2.5 m is 49.9999993 cells: 25 cells away the graded cost is 126.99999, 24 cells away 132.08.
  EXPECT_EQ(maps().getCost(75, 50, true), 126u);
  EXPECT_EQ(maps().getCost(50, 26, true), 132u);
  EXPECT_EQ(maps().getCost(50, 0, true), 0u);
  for (unsigned int mx = 0; mx < 100; ++mx) {
    ASSERT_EQ(maps().getCost(mx, 50, false), 0u) << mx;
  }
  EXPECT_TRUE(distanceMap().inPeril(50, 50, 0));
  EXPECT_FALSE(distanceMap().inPeril(51, 50, 0));
  EXPECT_FALSE(distanceMap().inPeril(51, 51, 0));
}

TEST_F(GridDistanceMapTopicTest, UnknownCellsAreObstaclesButAlmostLethalOnesAreNot)
{
  CostGrid grid(40, 10);
  grid.unknown(5, 5);
  grid.almostLethal(30, 5);
  load(grid);
  EXPECT_EQ(maps().getCost(5, 5, true), 254u);
  EXPECT_DOUBLE_EQ(maps().getDistance(30, 5), 25 * kResolution);
  EXPECT_EQ(maps().getCost(30, 5, true), 126u);
}

TEST_F(GridDistanceMapTopicTest, DistancesAreInMetresOfTheCostmapsResolution)
{
  CostGrid grid(40, 40);
  grid.lethal(20, 20);
  load(grid);
  EXPECT_DOUBLE_EQ(maps().getDistance(20, 20), 0.0);
  EXPECT_DOUBLE_EQ(maps().getDistance(25, 20), 5 * kResolution);
  EXPECT_DOUBLE_EQ(maps().getDistance(23, 24), 5 * kResolution);
  EXPECT_DOUBLE_EQ(maps().getDistance(21, 21), double{std::sqrt(2.0f)} * kResolution);
}

TEST_F(GridDistanceMapTopicTest, DangerAndRiskThresholdsAreUnroundedQuotients)
{
  // danger 0.3 m is 5.9999999 cells, risk 0.48 m is 9.5999999 cells.
  CostGrid grid(60, 60);
  grid.lethal(10, 10);
  load(grid);
  EXPECT_TRUE(maps().inDanger(15, 13, 0));    // sqrt(34) = 5.83
  EXPECT_FALSE(maps().inDanger(16, 10, 0));   // exactly 6
  EXPECT_TRUE(maps().inDanger(16, 10, 1));
  EXPECT_TRUE(maps().inDanger(17, 13, 2));    // sqrt(58) = 7.62
  EXPECT_FALSE(maps().inDanger(18, 10, 2));   // exactly 8
  EXPECT_TRUE(maps().inRisk(19, 13, 0));      // sqrt(90) = 9.49: out of risk were it 9 cells
  EXPECT_FALSE(maps().inRisk(19, 14, 0));     // sqrt(97) = 9.85: in risk were it 10 cells
}

TEST_F(GridDistanceMapTopicTest, CellsOutsideTheGridAreInRiskDangerAndPeril)
{
  CostGrid grid(30, 20);
  grid.lethal(0, 0);
  load(grid);
  for (const auto & [mx, my] : {std::pair{30u, 5u}, std::pair{5u, 20u}}) {
    EXPECT_TRUE(maps().inRisk(mx, my, 0));
    EXPECT_TRUE(maps().inDanger(mx, my, 0));
    EXPECT_TRUE(distanceMap().inPeril(mx, my, 0));
  }
  EXPECT_FALSE(maps().inRisk(29, 19, 0));
}

TEST_F(GridDistanceMapTopicTest, ResizedCostmapsGiveDistancesOfTheirOwnShape)
{
  CostGrid tall(100, 200);
  tall.lethal(10, 150);
  load(tall);
  EXPECT_DOUBLE_EQ(maps().getDistance(10, 160), 10 * kResolution);

  CostGrid wide(200, 100);  // the same cell count in another shape
  wide.lethal(150, 10);
  load(wide);
  EXPECT_DOUBLE_EQ(maps().getDistance(160, 10), 10 * kResolution);
  EXPECT_DOUBLE_EQ(maps().getDistance(150, 30), 20 * kResolution);
  EXPECT_TRUE(maps().inRisk(199, 100, 0));
  EXPECT_FALSE(maps().inRisk(199, 99, 0));

  CostGrid square(150, 150);  // another cell count
  square.lethal(149, 149);
  load(square);
  EXPECT_DOUBLE_EQ(maps().getDistance(149, 139), 10 * kResolution);
  EXPECT_DOUBLE_EQ(maps().getDistance(0, 0), double{std::sqrt(2.0f * 149 * 149)} * kResolution);
}

TEST_F(GridDistanceMapTopicTest, CostmapWithoutObstaclesIsSafeEverywhere)
{
  load(CostGrid(25, 25));
  EXPECT_EQ(maps().getCost(12, 12, true), 0u);
  EXPECT_FALSE(maps().inRisk(12, 12, 0));
  EXPECT_FALSE(maps().inDanger(12, 12, 3));
  EXPECT_FALSE(distanceMap().inPeril(0, 0, 0));
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
  EXPECT_EQ(danger->getCost(15, 10), 254);
  EXPECT_EQ(danger->getCost(16, 10), 0);
  EXPECT_EQ(risk->getCost(16, 10), 254);
  EXPECT_EQ(risk->getCost(19, 10), 254);
  EXPECT_EQ(risk->getCost(20, 10), 0);
}

TEST_F(GridDistanceMapTopicTest, OccupancyViewGradesDistancesByThresholds)
{
  std::shared_ptr<const nav_msgs::msg::OccupancyGrid> view;
  auto subscription = helper_->create_subscription<nav_msgs::msg::OccupancyGrid>(
    "/dm_gridmap/publish_as_occupancy", rclcpp::QoS(1),
    [&view](std::shared_ptr<const nav_msgs::msg::OccupancyGrid> message) {view = message;});
  CostGrid grid(250, 20);
  grid.lethal(0, 0);
  load(grid);
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(helper_);
  ASSERT_TRUE(gridmap_test::waitUntil([&] {executor.spin_some(); return view != nullptr;}));
  ASSERT_EQ(view->data.size(), 250u * 20u);
  auto at = [&view](unsigned int mx, unsigned int my) {return view->data[my * 250 + mx];};
  EXPECT_EQ(at(0, 0), 100);     // on the obstacle
  EXPECT_EQ(at(3, 0), 99);      // within danger
  EXPECT_EQ(at(7, 0), 127);     // within risk
  EXPECT_EQ(at(9, 9), 88);      // 12.7 cells
  EXPECT_EQ(at(99, 0), 1);
  EXPECT_EQ(at(100, 0), 0);
  EXPECT_EQ(at(249, 0), 0);
  EXPECT_EQ(view->header.frame_id, "map");
  EXPECT_EQ(view->info.width, 250u);
  EXPECT_FLOAT_EQ(view->info.resolution, 0.05f);
}

}  // namespace
