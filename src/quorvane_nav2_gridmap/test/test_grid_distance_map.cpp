// The distance-map plugin on a costmap the test fills directly: its parameters, a resolution of
// exactly 0.05 m (as a costmap sized from its own parameters has), grids without cells, wide
// grids and resizing.

#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "rclcpp_lifecycle/lifecycle_node.hpp"

#include "test_gridmap_ros_support.hpp"
#include "quorvane_nav2_gridmap/grid_distance_map.hpp"

namespace
{

using quorvane_nav2_gridmap::GridDistanceMap;

const auto * const kRos = ::testing::AddGlobalTestEnvironment(
  new gridmap_test::RosEnvironment(R"(
/distance_host:
  ros__parameters:
    tuned:
      risk_threshold: 1.0
      danger_threshold: 0.5
      few_obstacle_distance: 0.5
    viewed:
      publish_as_occupancy: true
    broken:
      risk_threshold: "far"
)"));

class GridDistanceMapTest : public ::testing::Test
{
protected:
  std::shared_ptr<GridDistanceMap> initialised(
    const std::string & name, nav2_costmap_2d::Costmap2D * costmap = nullptr)
  {
    auto map = std::make_shared<GridDistanceMap>();
    map->initialize(name, node_, "map", nullptr, costmap ? costmap : &costmap_, nullptr);
    return map;
  }

  std::shared_ptr<rclcpp_lifecycle::LifecycleNode> node_ =
    std::make_shared<rclcpp_lifecycle::LifecycleNode>("distance_host");
  nav2_costmap_2d::Costmap2D costmap_{100, 100, 0.05, 0.0, 0.0};
};

TEST_F(GridDistanceMapTest, DeclaresItsParametersWithDefaults)
{
  const auto map = initialised("dist");
  EXPECT_DOUBLE_EQ(node_->get_parameter("dist.risk_threshold").as_double(), 0.48);
  EXPECT_DOUBLE_EQ(node_->get_parameter("dist.danger_threshold").as_double(), 0.3);
  EXPECT_DOUBLE_EQ(node_->get_parameter("dist.few_obstacle_distance").as_double(), 2.5);
  EXPECT_FALSE(node_->get_parameter("dist.publish_as_occupancy").as_bool());
  EXPECT_EQ(node_->count_publishers("/publish_as_occupancy"), 0u);
  const auto viewed = initialised("viewed");
  EXPECT_EQ(node_->count_publishers("/publish_as_occupancy"), 1u);
}

TEST_F(GridDistanceMapTest, ThresholdsComeFromTheParameterFile)
{
  auto map = initialised("tuned");
  costmap_.setCost(0, 0, 254);
  map->updateMap();
  // few_obstacle_distance 10 cells, risk 20 cells, danger 10 cells.
  EXPECT_EQ(map->getCost(5, 0, true), 127u);
  EXPECT_EQ(map->getCost(10, 0, true), 0u);
  EXPECT_TRUE(map->inRisk(19, 0, 0));
  EXPECT_FALSE(map->inRisk(20, 0, 0));
  EXPECT_TRUE(map->inDanger(9, 0, 0));
  EXPECT_FALSE(map->inDanger(10, 0, 0));
}

TEST_F(GridDistanceMapTest, BadParameterOrGoneNodeFailsInitialisation)
{
  EXPECT_THROW(initialised("broken"), std::runtime_error);
  auto map = std::make_shared<GridDistanceMap>();
  try {
    map->initialize("dist", std::weak_ptr<rclcpp_lifecycle::LifecycleNode>(), "map", nullptr, &costmap_, nullptr);
    FAIL() << "no exception";
  } catch (const std::runtime_error & error) {
    EXPECT_STREQ(error.what(), "Failed to lock node");
  }
}

TEST_F(GridDistanceMapTest, ThresholdsAtExactResolutionAreUnroundedQuotients)
{
  auto map = initialised("dist");
  costmap_.setCost(50, 50, 254);
  map->updateMap();
  // 2.5 m is 50 cells: 25 cells away the graded cost is exactly 127.0.
  EXPECT_EQ(map->getCost(50, 50, true), 254u);
  EXPECT_EQ(map->getCost(75, 50, true), 127u);
  // 0.3 / 0.05 is 5.999999999999999: exactly 6 cells is out of danger.
  EXPECT_TRUE(map->inDanger(55, 53, 0));    // sqrt(34) = 5.83
  EXPECT_FALSE(map->inDanger(56, 50, 0));
  EXPECT_TRUE(map->inDanger(57, 53, 2));    // sqrt(58) = 7.62
  EXPECT_FALSE(map->inDanger(58, 50, 2));   // exactly 8
  // 0.48 / 0.05 is 9.6.
  EXPECT_TRUE(map->inRisk(59, 53, 0));      // sqrt(90) = 9.49
  EXPECT_FALSE(map->inRisk(59, 54, 0));     // sqrt(97) = 9.85
}

TEST_F(GridDistanceMapTest, LethalAndUnknownCostsAreObstaclesBut253IsNot)
{
  auto map = initialised("dist");
  costmap_.setCost(10, 10, 254);
  costmap_.setCost(40, 10, 255);
  costmap_.setCost(70, 10, 253);
  map->updateMap();
  EXPECT_TRUE(map->inPeril(10, 10, 0));
  EXPECT_TRUE(map->inPeril(40, 10, 0));
  EXPECT_DOUBLE_EQ(map->getDistance(70, 10), 30.0);
}

TEST_F(GridDistanceMapTest, BeforeTheFirstUpdateEveryCellAnswersAsOutsideTheGrid)
{
  auto map = initialised("dist");
  EXPECT_TRUE(map->inPeril(0, 0, 0));
  EXPECT_TRUE(map->inRisk(0, 0, 0));
  EXPECT_EQ(map->getCost(0, 0, true), 254u);
  EXPECT_DOUBLE_EQ(map->getDistance(0, 0), 0.0);
}

TEST_F(GridDistanceMapTest, CostmapWithoutCellsIsServedAsAllOutside)
{
  auto map = initialised("dist");
  costmap_.setCost(3, 3, 254);
  map->updateMap();
  EXPECT_FALSE(map->inPeril(4, 3, 0));
  costmap_.resizeMap(0, 0, 0.05, 0.0, 0.0);
  map->updateMap();
  EXPECT_TRUE(map->inPeril(4, 3, 0));
  EXPECT_TRUE(map->inDanger(0, 0, 0));
  EXPECT_EQ(map->getCost(0, 0, false), 0u);
  EXPECT_EQ(map->distanceToBiCostmap(true)->getSizeInCellsX(), 0u);
  costmap_.resizeMap(8, 6, 0.1, 0.0, 0.0);
  costmap_.setCost(7, 5, 255);
  map->updateMap();
  EXPECT_DOUBLE_EQ(map->getDistance(7, 0), 5.0);
  EXPECT_DOUBLE_EQ(map->getDistance(3, 5), 4.0);
}

TEST_F(GridDistanceMapTest, EveryLethalCellOfAWideCostmapIsInPeril)
{
  // 5000 columns of 0.05 m: a 250 m wide global costmap.
  nav2_costmap_2d::Costmap2D wide(5000, 60, 0.05, 0.0, 0.0);
  std::mt19937 random(13);
  std::bernoulli_distribution lethal(0.01);
  std::vector<std::pair<unsigned int, unsigned int>> lethal_cells;
  for (unsigned int my = 0; my < 60; ++my) {
    for (unsigned int mx = 0; mx < 5000; ++mx) {
      if (lethal(random)) {
        wide.setCost(mx, my, 254);
        lethal_cells.emplace_back(mx, my);
      }
    }
  }
  auto map = initialised("dist", &wide);
  map->updateMap();
  int not_in_peril = 0;
  for (const auto & [mx, my] : lethal_cells) {
    not_in_peril += !map->inPeril(mx, my, 0) || map->getCost(mx, my, true) != 254u;
  }
  EXPECT_EQ(not_in_peril, 0) << "of " << lethal_cells.size() << " lethal cells";
}

TEST_F(GridDistanceMapTest, UpdatesFollowTheCostmapAndItsOrigin)
{
  auto map = initialised("dist");
  costmap_.setCost(10, 10, 254);
  map->updateMap();
  EXPECT_DOUBLE_EQ(map->getDistance(20, 10), 10.0);
  costmap_.setCost(10, 10, 0);
  costmap_.setCost(25, 10, 254);
  map->updateMap();
  EXPECT_DOUBLE_EQ(map->getDistance(20, 10), 5.0);
  costmap_.updateOrigin(-2.0, 3.0);
  map->updateMap();
  const auto bi_costmap = map->distanceToBiCostmap(false);
  EXPECT_DOUBLE_EQ(bi_costmap->getOriginX(), costmap_.getOriginX());
  EXPECT_DOUBLE_EQ(bi_costmap->getOriginY(), costmap_.getOriginY());
  EXPECT_EQ(bi_costmap->getSizeInCellsX(), 100u);
}

}  // namespace
