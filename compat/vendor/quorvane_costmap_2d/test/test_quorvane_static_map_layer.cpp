// Copyright (c) 2026 Quorvane
// All rights reserved.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "nav2_costmap_2d/cost_values.hpp"
#include "nav2_costmap_2d/layered_costmap.hpp"
#include "nav2_costmap_2d/quorvane_static_map_layer.hpp"
#include "rclcpp/logger.hpp"

namespace
{

using nav2_costmap_2d::QuorvaneStaticMapLayer;

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
  map.data = data;
  return map;
}

class QuorvaneStaticMapLayerTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    layered_ = std::make_unique<nav2_costmap_2d::LayeredCostmap>("map", false, true);
    layered_->resizeMap(10, 10, 0.05, 0.0, 0.0);
    layer_ = std::make_shared<QuorvaneStaticMapLayer>(*layered_, rclcpp::get_logger("test"));
    layered_->addPlugin(layer_);
    layer_->configure(QuorvaneStaticMapLayer::Settings());
  }

  void configure(const QuorvaneStaticMapLayer::Settings & settings)
  {
    layer_->configure(settings);
  }

  unsigned char cost(unsigned int x, unsigned int y)
  {
    return layered_->getCostmap()->getCost(x, y);
  }

  std::unique_ptr<nav2_costmap_2d::LayeredCostmap> layered_;
  std::shared_ptr<QuorvaneStaticMapLayer> layer_;
};

TEST_F(QuorvaneStaticMapLayerTest, InterpretsOccupancyLikeNavStaticLayer)
{
  EXPECT_EQ(layer_->interpretValue(static_cast<unsigned char>(-1)), nav2_costmap_2d::NO_INFORMATION);
  EXPECT_EQ(layer_->interpretValue(0), nav2_costmap_2d::FREE_SPACE);
  EXPECT_EQ(layer_->interpretValue(100), nav2_costmap_2d::LETHAL_OBSTACLE);
  EXPECT_EQ(layer_->interpretValue(50), 127);
  EXPECT_EQ(layer_->interpretValue(99), 251);
  EXPECT_EQ(layer_->interpretValue(1), 2);
  // Values no occupancy grid should carry count as obstacles, as in nav2.
  EXPECT_EQ(layer_->interpretValue(120), nav2_costmap_2d::LETHAL_OBSTACLE);
  EXPECT_EQ(layer_->interpretValue(static_cast<unsigned char>(-2)), nav2_costmap_2d::LETHAL_OBSTACLE);
}

TEST_F(QuorvaneStaticMapLayerTest, UnknownIsFreeWhenNotTracked)
{
  QuorvaneStaticMapLayer::Settings settings;
  settings.track_unknown_space = false;
  configure(settings);
  EXPECT_EQ(layer_->interpretValue(static_cast<unsigned char>(-1)), nav2_costmap_2d::FREE_SPACE);
}

TEST_F(QuorvaneStaticMapLayerTest, TrinaryMapsEverythingBelowLethalToFree)
{
  QuorvaneStaticMapLayer::Settings settings;
  settings.trinary_costmap = true;
  configure(settings);
  EXPECT_EQ(layer_->interpretValue(99), nav2_costmap_2d::FREE_SPACE);
  EXPECT_EQ(layer_->interpretValue(100), nav2_costmap_2d::LETHAL_OBSTACLE);
  EXPECT_EQ(layer_->interpretValue(static_cast<unsigned char>(-1)), nav2_costmap_2d::NO_INFORMATION);
}

TEST_F(QuorvaneStaticMapLayerTest, LowerLethalThresholdScalesBelowIt)
{
  QuorvaneStaticMapLayer::Settings settings;
  settings.lethal_cost_threshold = 50;
  configure(settings);
  EXPECT_EQ(layer_->interpretValue(50), nav2_costmap_2d::LETHAL_OBSTACLE);
  EXPECT_EQ(layer_->interpretValue(25), 127);
}

TEST_F(QuorvaneStaticMapLayerTest, MapSetsMasterGeometryAndCells)
{
  layer_->processMap(makeMap(3, 2, 0.1f, -1.0, 2.0, {0, 50, 100, -1, 20, 99}));
  const auto * master = layered_->getCostmap();
  EXPECT_EQ(master->getSizeInCellsX(), 3u);
  EXPECT_EQ(master->getSizeInCellsY(), 2u);
  EXPECT_DOUBLE_EQ(master->getResolution(), static_cast<double>(0.1f));
  EXPECT_DOUBLE_EQ(master->getOriginX(), -1.0);
  EXPECT_DOUBLE_EQ(master->getOriginY(), 2.0);
  EXPECT_EQ(cost(0, 0), 0);
  EXPECT_EQ(cost(1, 0), 127);
  EXPECT_EQ(cost(2, 0), 254);
  EXPECT_EQ(cost(0, 1), 255);
  EXPECT_EQ(cost(1, 1), 50);
  EXPECT_EQ(cost(2, 1), 251);
}

TEST_F(QuorvaneStaticMapLayerTest, CurrentOnlyWhileActiveWithAMap)
{
  EXPECT_FALSE(layered_->isCurrent());
  layer_->activate();
  EXPECT_FALSE(layered_->isCurrent());
  layer_->processMap(makeMap(2, 2, 0.05f, 0.0, 0.0, {0, 0, 0, 0}));
  EXPECT_TRUE(layered_->isCurrent());
  layer_->deactivate();
  EXPECT_FALSE(layered_->isCurrent());
  layer_->activate();
  EXPECT_TRUE(layered_->isCurrent());
  layer_->reset();
  EXPECT_FALSE(layered_->isCurrent());
}

TEST_F(QuorvaneStaticMapLayerTest, MapBeforeActivationCountsOnceActive)
{
  layer_->processMap(makeMap(2, 2, 0.05f, 0.0, 0.0, {0, 0, 0, 0}));
  EXPECT_FALSE(layered_->isCurrent());
  layer_->activate();
  EXPECT_TRUE(layered_->isCurrent());
}

TEST_F(QuorvaneStaticMapLayerTest, WithoutStaticMapCurrentAsSoonAsActive)
{
  QuorvaneStaticMapLayer::Settings settings;
  settings.use_static_map = false;
  configure(settings);
  EXPECT_FALSE(layered_->isCurrent());
  layer_->activate();
  EXPECT_TRUE(layered_->isCurrent());
}

TEST_F(QuorvaneStaticMapLayerTest, MalformedMapsAreIgnored)
{
  layer_->activate();
  layer_->processMap(makeMap(3, 2, 0.05f, 0.0, 0.0, {0, 0, 0}));
  layer_->processMap(makeMap(0, 2, 0.05f, 0.0, 0.0, {}));
  layer_->processMap(makeMap(1, 1, 0.0f, 0.0, 0.0, {0}));
  layer_->processMap(makeMap(1, 1, -0.5f, 0.0, 0.0, {0}));
  EXPECT_FALSE(layered_->isCurrent());
  EXPECT_EQ(layered_->getCostmap()->getSizeInCellsX(), 10u);
  EXPECT_EQ(cost(0, 0), nav2_costmap_2d::NO_INFORMATION);
}

TEST_F(QuorvaneStaticMapLayerTest, MasterKeepsItsAddressAcrossMaps)
{
  const auto * master = layered_->getCostmap();
  layer_->processMap(makeMap(4, 4, 0.05f, 0.0, 0.0, std::vector<int8_t>(16, 100)));
  layer_->processMap(makeMap(6, 2, 0.2f, 1.0, 1.0, std::vector<int8_t>(12, 0)));
  EXPECT_EQ(layered_->getCostmap(), master);
  EXPECT_EQ(master->getSizeInCellsX(), 6u);
  EXPECT_EQ(cost(5, 1), 0);
}

TEST_F(QuorvaneStaticMapLayerTest, UpdateCostsRestoresTheMapIntoTheMaster)
{
  layer_->processMap(makeMap(2, 2, 0.05f, 0.0, 0.0, {100, 0, 0, 100}));
  auto & master = *layered_->getCostmap();
  master.setCost(0, 0, 7);
  master.setCost(1, 1, 7);
  layer_->updateCosts(master, 0, 0, 1, 2);
  EXPECT_EQ(cost(0, 0), 254);
  EXPECT_EQ(cost(1, 1), 7);
}

}  // namespace
