#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

#include "nav2_costmap_2d/cost_values.hpp"
#include "nav2_costmap_2d/costmap_layer.hpp"
#include "nav2_costmap_2d/layered_costmap.hpp"

using nav2_costmap_2d::Costmap2D;
using nav2_costmap_2d::NO_INFORMATION;

// Exposes the merge rules of CostmapLayer.
class GridLayer : public nav2_costmap_2d::CostmapLayer
{
public:
  GridLayer() {enabled_ = true;}

  void reset() override {}
  bool isClearable() override {return true;}
  void updateBounds(double, double, double, double *, double *, double *, double *) override {}
  void updateCosts(Costmap2D & master, int min_i, int min_j, int max_i, int max_j) override
  {
    updateWithMax(master, min_i, min_j, max_i, max_j);
  }

  void disable() {enabled_ = false;}

  using CostmapLayer::touch;
  using CostmapLayer::updateWithAddition;
  using CostmapLayer::updateWithMax;
  using CostmapLayer::updateWithOverwrite;
  using CostmapLayer::updateWithTrueOverwrite;
  using CostmapLayer::useExtraBounds;
};

class CostmapLayerTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    layered_.resizeMap(4, 3, 0.5, 1.0, 2.0);
    layer_->initialize(&layered_, "grid", nullptr, {}, nullptr);
    layered_.addPlugin(layer_);
    layer_->matchSize();
    // Layer: one unknown cell, a low and a high cost; master: unknown, mid and low costs.
    layer_->setCost(0, 0, NO_INFORMATION);
    layer_->setCost(1, 0, 10);
    layer_->setCost(2, 0, 200);
    layer_->setCost(3, 0, 100);
    master_ = layered_.getCostmap();
    master_->setCost(0, 0, 50);
    master_->setCost(1, 0, 100);
    master_->setCost(2, 0, 100);
    master_->setCost(3, 0, NO_INFORMATION);
  }

  nav2_costmap_2d::LayeredCostmap layered_{"map", false, true};
  std::shared_ptr<GridLayer> layer_ = std::make_shared<GridLayer>();
  Costmap2D * master_{nullptr};
};

// ---- sizing ------------------------------------------------------------------------------

TEST_F(CostmapLayerTest, MatchSizeCopiesTheMasterGeometry)
{
  EXPECT_EQ(layer_->getSizeInCellsX(), 4u);
  EXPECT_EQ(layer_->getSizeInCellsY(), 3u);
  EXPECT_DOUBLE_EQ(layer_->getResolution(), 0.5);
  EXPECT_DOUBLE_EQ(layer_->getOriginY(), 2.0);
  layered_.resizeMap(8, 8, 0.25, 0.0, 0.0);  // the layered costmap calls matchSize itself
  EXPECT_EQ(layer_->getSizeInCellsX(), 8u);
}

// ---- merge rules -------------------------------------------------------------------------

TEST_F(CostmapLayerTest, MaxRaisesAndFillsUnknownButSkipsOwnUnknown)
{
  layer_->updateWithMax(*master_, 0, 0, 4, 1);
  EXPECT_EQ(master_->getCost(0, 0), 50);
  EXPECT_EQ(master_->getCost(1, 0), 100);
  EXPECT_EQ(master_->getCost(2, 0), 200);
  EXPECT_EQ(master_->getCost(3, 0), 100);
}

TEST_F(CostmapLayerTest, OverwriteCopiesKnownCells)
{
  layer_->updateWithOverwrite(*master_, 0, 0, 4, 1);
  EXPECT_EQ(master_->getCost(0, 0), 50);
  EXPECT_EQ(master_->getCost(1, 0), 10);
  EXPECT_EQ(master_->getCost(2, 0), 200);
}

TEST_F(CostmapLayerTest, TrueOverwriteCopiesUnknownToo)
{
  layer_->updateWithTrueOverwrite(*master_, 0, 0, 2, 1);
  EXPECT_EQ(master_->getCost(0, 0), NO_INFORMATION);
  EXPECT_EQ(master_->getCost(1, 0), 10);
  EXPECT_EQ(master_->getCost(2, 0), 100);  // outside the window
}

TEST_F(CostmapLayerTest, AdditionCapsBelowInscribed)
{
  layer_->updateWithAddition(*master_, 0, 0, 4, 1);
  EXPECT_EQ(master_->getCost(0, 0), 50);
  EXPECT_EQ(master_->getCost(1, 0), 110);
  EXPECT_EQ(master_->getCost(2, 0), 252);
  EXPECT_EQ(master_->getCost(3, 0), 100);
}

TEST_F(CostmapLayerTest, DisabledLayerLeavesTheMasterAlone)
{
  layer_->disable();
  layer_->updateWithMax(*master_, 0, 0, 4, 1);
  layer_->updateWithTrueOverwrite(*master_, 0, 0, 4, 1);
  EXPECT_EQ(master_->getCost(1, 0), 100);
  EXPECT_EQ(master_->getCost(3, 0), NO_INFORMATION);
}

// ---- clearing and bounds -----------------------------------------------------------------

TEST_F(CostmapLayerTest, ClearAreaSetsStrictInteriorOrExteriorToUnknown)
{
  layer_->resetMapToValue(0, 0, 4, 3, 5);
  layer_->clearArea(0, 0, 3, 2, false);  // strictly inside: x in {1, 2}, y = 1
  EXPECT_EQ(layer_->getCost(1, 1), NO_INFORMATION);
  EXPECT_EQ(layer_->getCost(2, 1), NO_INFORMATION);
  EXPECT_EQ(layer_->getCost(0, 1), 5);
  EXPECT_EQ(layer_->getCost(1, 0), 5);
  layer_->resetMapToValue(0, 0, 4, 3, 5);
  layer_->clearArea(0, 0, 3, 2, true);
  EXPECT_EQ(layer_->getCost(1, 1), 5);
  EXPECT_EQ(layer_->getCost(3, 2), NO_INFORMATION);
}

TEST_F(CostmapLayerTest, ExtraBoundsAreUsedOnce)
{
  double min_x = 0.0, min_y = 0.0, max_x = 1.0, max_y = 1.0;
  layer_->touch(2.0, -1.0, &min_x, &min_y, &max_x, &max_y);
  EXPECT_DOUBLE_EQ(max_x, 2.0);
  EXPECT_DOUBLE_EQ(min_y, -1.0);
  layer_->addExtraBounds(-3.0, -4.0, 5.0, 6.0);
  layer_->useExtraBounds(&min_x, &min_y, &max_x, &max_y);
  EXPECT_DOUBLE_EQ(min_x, -3.0);
  EXPECT_DOUBLE_EQ(max_y, 6.0);
  double a = 0.0, b = 0.0, c = 0.0, d = 0.0;
  layer_->useExtraBounds(&a, &b, &c, &d);
  EXPECT_DOUBLE_EQ(a, 0.0);
  EXPECT_DOUBLE_EQ(d, 0.0);
}
