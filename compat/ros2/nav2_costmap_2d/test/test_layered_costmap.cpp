#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "nav2_costmap_2d/cost_values.hpp"
#include "nav2_costmap_2d/footprint.hpp"
#include "nav2_costmap_2d/layer.hpp"
#include "nav2_costmap_2d/layered_costmap.hpp"

using nav2_costmap_2d::Costmap2D;
using nav2_costmap_2d::LayeredCostmap;

// A layer that marks one world point and reports a fixed currency.
class MarkingLayer : public nav2_costmap_2d::Layer
{
public:
  MarkingLayer(double x, double y, unsigned char cost)
  : x_(x), y_(y), cost_(cost)
  {
    current_ = true;
    enabled_ = true;
  }

  void setState(bool current, bool enabled)
  {
    current_ = current;
    enabled_ = enabled;
  }

  void reset() override {}
  bool isClearable() override {return false;}

  void updateBounds(
    double, double, double, double * min_x, double * min_y, double * max_x,
    double * max_y) override
  {
    *min_x = std::min(*min_x, x_);
    *min_y = std::min(*min_y, y_);
    *max_x = std::max(*max_x, x_);
    *max_y = std::max(*max_y, y_);
  }

  void updateCosts(Costmap2D & master_grid, int min_i, int min_j, int max_i, int max_j) override
  {
    bounds_seen = {min_i, min_j, max_i, max_j};
    unsigned int mx, my;
    if (master_grid.worldToMap(x_, y_, mx, my)) {
      master_grid.setCost(mx, my, cost_);
    }
  }

  void matchSize() override {++match_size_calls;}
  void onFootprintChanged() override {++footprint_changes;}
  void onInitialize() override {++initializations;}

  std::vector<int> bounds_seen;
  int match_size_calls{0};
  int footprint_changes{0};
  int initializations{0};

private:
  double x_, y_;
  unsigned char cost_;
};

class LayeredCostmapTest : public ::testing::Test
{
protected:
  static geometry_msgs::msg::Point point(double x, double y)
  {
    geometry_msgs::msg::Point p;
    p.x = x;
    p.y = y;
    return p;
  }

  LayeredCostmap layered_{"map", false, true};
};

// ---- master costmap ----------------------------------------------------------------------

TEST_F(LayeredCostmapTest, StartsEmptyWithTheUnknownDefaultWhenTracking)
{
  EXPECT_EQ(layered_.getGlobalFrameID(), "map");
  EXPECT_FALSE(layered_.isRolling());
  EXPECT_TRUE(layered_.isTrackingUnknown());
  EXPECT_EQ(layered_.getCostmap()->getSizeInCellsX(), 0u);
  EXPECT_FALSE(layered_.isInitialized());
  LayeredCostmap untracked("odom", true, false);
  EXPECT_FALSE(untracked.isTrackingUnknown());
  EXPECT_TRUE(untracked.isRolling());
}

TEST_F(LayeredCostmapTest, ResizeShapesTheMasterAndTellsLayers)
{
  auto layer = std::make_shared<MarkingLayer>(1.0, 1.0, 100);
  layered_.addPlugin(layer);
  layered_.resizeMap(40, 20, 0.05, -1.0, -0.5, true);
  Costmap2D * master = layered_.getCostmap();
  EXPECT_EQ(master->getSizeInCellsX(), 40u);
  EXPECT_EQ(master->getSizeInCellsY(), 20u);
  EXPECT_DOUBLE_EQ(master->getOriginX(), -1.0);
  EXPECT_EQ(master->getCost(0, 0), nav2_costmap_2d::NO_INFORMATION);
  EXPECT_TRUE(layered_.isSizeLocked());
  EXPECT_EQ(layer->match_size_calls, 1);
  EXPECT_FALSE(layered_.isOutofBounds(0.9, 0.4));
  EXPECT_TRUE(layered_.isOutofBounds(1.0, 0.0));
}

// ---- footprint ---------------------------------------------------------------------------

TEST_F(LayeredCostmapTest, FootprintSetsTheRadiiAndNotifiesLayers)
{
  EXPECT_DOUBLE_EQ(layered_.getInscribedRadius(), 0.1);
  EXPECT_DOUBLE_EQ(layered_.getCircumscribedRadius(), 1.0);
  auto layer = std::make_shared<MarkingLayer>(0.0, 0.0, 1);
  layered_.addPlugin(layer);
  const std::vector<geometry_msgs::msg::Point> footprint{
    point(0.4, 0.2), point(0.4, -0.2), point(-0.4, -0.2), point(-0.4, 0.2)};
  layered_.setFootprint(footprint);
  EXPECT_EQ(layered_.getFootprint().size(), 4u);
  EXPECT_NEAR(layered_.getInscribedRadius(), 0.2, 1e-12);
  EXPECT_NEAR(layered_.getCircumscribedRadius(), std::hypot(0.4, 0.2), 1e-12);
  EXPECT_EQ(layer->footprint_changes, 1);
}

// ---- currency ----------------------------------------------------------------------------

TEST_F(LayeredCostmapTest, CurrentWithoutLayers)
{
  EXPECT_TRUE(layered_.isCurrent());
}

TEST_F(LayeredCostmapTest, CurrentOnlyWhenEveryEnabledLayerIs)
{
  auto a = std::make_shared<MarkingLayer>(0.0, 0.0, 1);
  auto b = std::make_shared<MarkingLayer>(0.0, 0.0, 1);
  layered_.addPlugin(a);
  layered_.addFilter(b);
  EXPECT_TRUE(layered_.isCurrent());
  b->setState(false, true);
  EXPECT_FALSE(layered_.isCurrent());
  b->setState(false, false);  // a disabled layer does not hold the map back
  EXPECT_TRUE(layered_.isCurrent());
  a->setState(false, true);
  EXPECT_FALSE(layered_.isCurrent());
}

// ---- update cycle ------------------------------------------------------------------------

TEST_F(LayeredCostmapTest, UpdateLetsLayersWriteWithinTheirBounds)
{
  auto near = std::make_shared<MarkingLayer>(1.25, 0.75, 100);
  auto far = std::make_shared<MarkingLayer>(3.75, 2.25, 200);
  layered_.addPlugin(near);
  layered_.addPlugin(far);
  layered_.resizeMap(10, 10, 0.5, 0.0, 0.0);
  layered_.updateMap(0.0, 0.0, 0.0);
  Costmap2D * master = layered_.getCostmap();
  EXPECT_EQ(master->getCost(2, 1), 100);
  EXPECT_EQ(master->getCost(7, 4), 200);
  EXPECT_EQ(master->getCost(0, 0), nav2_costmap_2d::NO_INFORMATION);
  EXPECT_EQ(near->bounds_seen, (std::vector<int>{2, 1, 8, 5}));
  unsigned int x0, xn, y0, yn;
  layered_.getBounds(&x0, &xn, &y0, &yn);
  EXPECT_EQ(x0, 2u);
  EXPECT_EQ(xn, 8u);
  EXPECT_TRUE(layered_.isInitialized());
  double minx, miny, maxx, maxy;
  layered_.getUpdatedBounds(minx, miny, maxx, maxy);
  EXPECT_DOUBLE_EQ(minx, 1.25);
  EXPECT_DOUBLE_EQ(maxy, 2.25);
}

TEST_F(LayeredCostmapTest, FiltersWorkOnACopyOfTheLayersOutput)
{
  auto layer = std::make_shared<MarkingLayer>(1.25, 1.25, 100);
  auto filter = std::make_shared<MarkingLayer>(1.25, 1.25, 150);
  layered_.addPlugin(layer);
  layered_.addFilter(filter);
  layered_.resizeMap(10, 10, 0.5, 0.0, 0.0);
  layered_.updateMap(0.0, 0.0, 0.0);
  EXPECT_EQ(layered_.getCostmap()->getCost(2, 2), 150);
}

TEST_F(LayeredCostmapTest, RollingWindowFollowsTheRobot)
{
  LayeredCostmap rolling("odom", true, false);
  rolling.resizeMap(10, 10, 1.0, 0.0, 0.0);
  rolling.getCostmap()->setCost(7, 7, 50);  // world (7.5, 7.5)
  rolling.updateMap(10.0, 10.0, 0.0);
  Costmap2D * master = rolling.getCostmap();
  // size in metres is 9.5, so the origin moves to trunc(5.25) = 5 cells.
  EXPECT_DOUBLE_EQ(master->getOriginX(), 5.0);
  EXPECT_DOUBLE_EQ(master->getOriginY(), 5.0);
  EXPECT_EQ(master->getCost(2, 2), 50);
}

TEST_F(LayeredCostmapTest, LayerInitializeRecordsItsParentAndName)
{
  auto layer = std::make_shared<MarkingLayer>(0.0, 0.0, 1);
  layer->initialize(&layered_, "static_layer", nullptr, {}, nullptr);
  EXPECT_EQ(layer->getName(), "static_layer");
  EXPECT_EQ(layer->getFullName("map_topic"), "static_layer.map_topic");
  EXPECT_EQ(layer->initializations, 1);
  layered_.setFootprint(nav2_costmap_2d::makeFootprintFromRadius(0.3));
  EXPECT_EQ(layer->getFootprint().size(), 16u);
}
