#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <stdexcept>
#include <vector>

#include "nav2_costmap_2d/cost_values.hpp"
#include "nav2_costmap_2d/costmap_2d.hpp"
#include "nav2_costmap_2d/footprint_collision_checker.hpp"

using nav2_costmap_2d::Costmap2D;
using nav2_costmap_2d::Footprint;
using nav2_costmap_2d::FootprintCollisionChecker;

class FootprintCollisionCheckerTest : public ::testing::Test
{
protected:
  // 10 x 10 cells of 1 m at the origin, all free.
  std::shared_ptr<Costmap2D> costmap_ = std::make_shared<Costmap2D>(10, 10, 1.0, 0.0, 0.0, 0);
  FootprintCollisionChecker<std::shared_ptr<Costmap2D>> checker_{costmap_};

  static geometry_msgs::msg::Point point(double x, double y)
  {
    geometry_msgs::msg::Point p;
    p.x = x;
    p.y = y;
    return p;
  }

  // Square with cell-centre corners (2, 2) .. (6, 6): outline cells x or y in {2, 6}.
  Footprint square_{point(2.5, 2.5), point(6.5, 2.5), point(6.5, 6.5), point(2.5, 6.5)};
};

// ---- outline costs -----------------------------------------------------------------------

TEST_F(FootprintCollisionCheckerTest, FreeOutlineCostsNothing)
{
  EXPECT_DOUBLE_EQ(checker_.footprintCost(square_), 0.0);
}

TEST_F(FootprintCollisionCheckerTest, HighestOutlineCostWins)
{
  costmap_->setCost(4, 2, 100);
  costmap_->setCost(6, 5, 200);
  EXPECT_DOUBLE_EQ(checker_.footprintCost(square_), 200.0);
}

TEST_F(FootprintCollisionCheckerTest, InteriorCellsAreNotChecked)
{
  costmap_->setCost(4, 4, nav2_costmap_2d::LETHAL_OBSTACLE);
  EXPECT_DOUBLE_EQ(checker_.footprintCost(square_), 0.0);
}

TEST_F(FootprintCollisionCheckerTest, LethalCellOnTheClosingEdgeCounts)
{
  costmap_->setCost(2, 4, nav2_costmap_2d::LETHAL_OBSTACLE);  // on the edge last -> first
  EXPECT_DOUBLE_EQ(checker_.footprintCost(square_), 254.0);
}

TEST_F(FootprintCollisionCheckerTest, UnknownIsACostNotACollision)
{
  costmap_->setCost(3, 6, nav2_costmap_2d::NO_INFORMATION);
  EXPECT_DOUBLE_EQ(checker_.footprintCost(square_), 255.0);
}

TEST_F(FootprintCollisionCheckerTest, LethalEdgeStopsTheWalkBeforeLaterUnknownCells)
{
  costmap_->setCost(6, 4, nav2_costmap_2d::LETHAL_OBSTACLE);  // second edge
  costmap_->setCost(2, 4, nav2_costmap_2d::NO_INFORMATION);   // closing edge, never reached
  EXPECT_DOUBLE_EQ(checker_.footprintCost(square_), 254.0);
}

TEST_F(FootprintCollisionCheckerTest, UnknownBeforeLethalKeepsTheHigherCost)
{
  // The walk only stops when the running maximum is exactly lethal.
  costmap_->setCost(4, 2, nav2_costmap_2d::NO_INFORMATION);   // first edge
  costmap_->setCost(6, 4, nav2_costmap_2d::LETHAL_OBSTACLE);  // second edge
  EXPECT_DOUBLE_EQ(checker_.footprintCost(square_), 255.0);
}

TEST_F(FootprintCollisionCheckerTest, InscribedIsNotLethal)
{
  costmap_->setCost(6, 4, nav2_costmap_2d::INSCRIBED_INFLATED_OBSTACLE);
  EXPECT_DOUBLE_EQ(checker_.footprintCost(square_), 253.0);
}

TEST_F(FootprintCollisionCheckerTest, VertexOffTheMapIsLethal)
{
  EXPECT_DOUBLE_EQ(checker_.footprintCost({point(-0.5, 1.0), point(3, 1), point(3, 3)}), 254.0);
  EXPECT_DOUBLE_EQ(checker_.footprintCost({point(1, 1), point(12, 1), point(3, 3)}), 254.0);
}

TEST_F(FootprintCollisionCheckerTest, SinglePointScoresItsCell)
{
  costmap_->setCost(7, 8, 42);
  EXPECT_DOUBLE_EQ(checker_.footprintCost({point(7.2, 8.9)}), 42.0);
}

TEST_F(FootprintCollisionCheckerTest, EmptyFootprintIsRejected)
{
  EXPECT_THROW(checker_.footprintCost({}), std::invalid_argument);
}

// ---- lines and points --------------------------------------------------------------------

TEST_F(FootprintCollisionCheckerTest, LineCostTakesBothXThenBothY)
{
  costmap_->setCost(2, 8, 50);
  EXPECT_DOUBLE_EQ(checker_.lineCost(2, 2, 5, 8), 50.0);  // (2,5) -> (2,8), end included
  EXPECT_DOUBLE_EQ(checker_.lineCost(2, 5, 2, 2), 0.0);   // (2,2) -> (5,2)
  costmap_->setCost(5, 2, 60);
  EXPECT_DOUBLE_EQ(checker_.lineCost(2, 5, 2, 2), 60.0);
}

TEST_F(FootprintCollisionCheckerTest, DiagonalLineVisitsItsCells)
{
  costmap_->setCost(3, 2, 70);
  // (0,0) -> (6,4): x advances every step, y on 4 of them; (3, 2) lies on it.
  EXPECT_DOUBLE_EQ(checker_.lineCost(0, 6, 0, 4), 70.0);
  EXPECT_DOUBLE_EQ(checker_.lineCost(6, 0, 4, 0), 70.0);
}

TEST_F(FootprintCollisionCheckerTest, PointCostAndWorldToMapForwardToTheCostmap)
{
  costmap_->setCost(9, 0, 17);
  EXPECT_DOUBLE_EQ(checker_.pointCost(9, 0), 17.0);
  unsigned int mx, my;
  EXPECT_TRUE(checker_.worldToMap(9.5, 0.5, mx, my));
  EXPECT_EQ(mx, 9u);
  EXPECT_FALSE(checker_.worldToMap(10.5, 0.5, mx, my));
}

// ---- poses and costmap handling ----------------------------------------------------------

TEST_F(FootprintCollisionCheckerTest, CostAtPoseRotatesThenTranslates)
{
  // A 2 m bar along x; at (5, 5) turned 90 deg it covers cells (5, 4) .. (5, 6).
  const Footprint bar{point(-1.0, 0.0), point(1.0, 0.0)};
  costmap_->setCost(5, 6, 90);
  EXPECT_DOUBLE_EQ(checker_.footprintCostAtPose(5.5, 5.5, 0.0, bar), 0.0);
  EXPECT_DOUBLE_EQ(checker_.footprintCostAtPose(5.5, 5.5, M_PI / 2, bar), 90.0);
}

TEST_F(FootprintCollisionCheckerTest, SetCostmapSwitchesTheScoredMap)
{
  FootprintCollisionChecker<std::shared_ptr<Costmap2D>> empty;
  EXPECT_FALSE(empty.getCostmap());
  auto other = std::make_shared<Costmap2D>(10, 10, 1.0, 0.0, 0.0, 33);
  checker_.setCostmap(other);
  EXPECT_EQ(checker_.getCostmap(), other);
  EXPECT_DOUBLE_EQ(checker_.footprintCost(square_), 33.0);
}

TEST_F(FootprintCollisionCheckerTest, RawPointerInstantiationBehavesTheSame)
{
  costmap_->setCost(6, 6, 120);
  FootprintCollisionChecker<Costmap2D *> raw(costmap_.get());
  EXPECT_DOUBLE_EQ(raw.footprintCost(square_), 120.0);
  EXPECT_DOUBLE_EQ(raw.footprintCostAtPose(0.0, 0.0, 0.0, square_), 120.0);
}
