// The highest-point filter of one map update: which points of the current clouds survive, and
// which cells count as covered by them.

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "quorvane_nav2_gridmap/costmap_depth_camera/cell_height_map.hpp"
#include "quorvane_nav2_gridmap/costmap_depth_camera/highest_point_filter.hpp"

namespace
{

using costmap_depth_camera::CellHeightMap;
using costmap_depth_camera::HighestPointFilter;
using costmap_depth_camera::PointCloud;

PointCloud cloudOf(std::initializer_list<std::initializer_list<float>> points)
{
  PointCloud cloud;
  cloud.points.resize(3, static_cast<Eigen::Index>(points.size()));
  Eigen::Index column = 0;
  for (const auto & point : points) {
    auto value = point.begin();
    cloud.points(0, column) = value[0];
    cloud.points(1, column) = value[1];
    cloud.points(2, column) = value[2];
    ++column;
  }
  return cloud;
}

std::vector<float> heights(const PointCloud & cloud)
{
  return std::vector<float>(cloud.points.row(2).begin(), cloud.points.row(2).end());
}

class HighestPointFilterTest : public ::testing::Test
{
protected:
  // Both passes over the clouds, in the order the update runs them.
  void filterAll(std::vector<PointCloud *> clouds)
  {
    for (auto * cloud : clouds) {
      filter_.keepRisingPoints(*cloud);
    }
    for (auto * cloud : clouds) {
      filter_.keepNearHighest(*cloud);
    }
  }

  CellHeightMap cells_;
  HighestPointFilter<CellHeightMap> filter_{cells_, 0.1};
};

TEST_F(HighestPointFilterTest, NearlyEqualPointsBothStayWhenTheHigherComesSecond)
{
  PointCloud cloud = cloudOf({{0.52f, 0.52f, 1.0f}, {0.53f, 0.54f, 1.0005f}});
  filterAll({&cloud});
  EXPECT_EQ(heights(cloud), (std::vector<float>{1.0f, 1.0005f}));
}

TEST_F(HighestPointFilterTest, NearlyEqualLowerPointIsDroppedWhenTheHigherComesFirst)
{
  PointCloud cloud = cloudOf({{0.52f, 0.52f, 1.0005f}, {0.53f, 0.54f, 1.0f}});
  filterAll({&cloud});
  EXPECT_EQ(heights(cloud), (std::vector<float>{1.0005f}));
}

TEST_F(HighestPointFilterTest, OnlyTheHigherOfTwoDistinctHeightsSurvivesInEitherOrder)
{
  PointCloud rising = cloudOf({{0.52f, 0.52f, 1.0f}, {0.53f, 0.54f, 1.002f}});
  PointCloud falling = cloudOf({{-0.52f, 0.52f, 1.002f}, {-0.53f, 0.54f, 1.0f}});
  filterAll({&rising, &falling});
  EXPECT_EQ(heights(rising), (std::vector<float>{1.002f}));
  EXPECT_EQ(heights(falling), (std::vector<float>{1.002f}));
}

TEST_F(HighestPointFilterTest, OfTwoEqualPointsOnlyTheFirstSurvives)
{
  PointCloud cloud = cloudOf({{0.52f, 0.52f, 0.7f}, {0.55f, 0.55f, 0.7f}, {0.9f, 0.9f, 0.1f}});
  filterAll({&cloud});
  EXPECT_EQ(cloud.points.cols(), 2);
  EXPECT_FLOAT_EQ(cloud.points(0, 0), 0.52f);
  EXPECT_FLOAT_EQ(cloud.points(0, 1), 0.9f);
}

TEST_F(HighestPointFilterTest, ALaterCloudRisingAboveAnEarlierOneEmptiesItsCell)
{
  PointCloud first = cloudOf({{2.01f, 2.01f, 0.3f}, {3.01f, 3.01f, 0.3f}});
  PointCloud second = cloudOf({{2.05f, 2.05f, 0.9f}});
  filterAll({&first, &second});
  EXPECT_EQ(first.points.cols(), 1);
  EXPECT_FLOAT_EQ(first.points(0, 0), 3.01f);
  EXPECT_EQ(second.points.cols(), 1);
}

TEST_F(HighestPointFilterTest, CellsStraddlingZeroShareIndexZero)
{
  PointCloud cloud = cloudOf({{0.05f, 0.3f, 1.0f}, {-0.05f, 0.3f, 2.0f}});
  filterAll({&cloud});
  EXPECT_EQ(heights(cloud), (std::vector<float>{2.0f}));
}

TEST_F(HighestPointFilterTest, UncoveredPointsMoveToTheFrontInOrder)
{
  PointCloud current = cloudOf({{1.01f, 1.01f, 0.0f}});
  filterAll({&current});
  PointCloud remembered =
    cloudOf({{5.0f, 5.0f, 1.0f}, {1.05f, 1.05f, 2.0f}, {6.0f, 6.0f, 3.0f}, {7.0f, 7.0f, 4.0f}});

  // Only the first three points take part; the fourth is beyond the count.
  const Eigen::Index left = filter_.keepUncovered(remembered, 3);

  EXPECT_EQ(left, 2);
  EXPECT_FLOAT_EQ(remembered.points(2, 0), 1.0f);
  EXPECT_FLOAT_EQ(remembered.points(2, 1), 3.0f);
}

}  // namespace
