// The plain records of the depth-camera pipeline: the bounds of a cloud, deep copies, and the
// defaults the option records carry before any parameter is read.

#include <gtest/gtest.h>

#include "quorvane_nav2_gridmap/costmap_depth_camera/frustum_observation_options.hpp"
#include "quorvane_nav2_gridmap/costmap_depth_camera/observation.hpp"
#include "quorvane_nav2_gridmap/costmap_depth_camera/point_cloud_with_time.hpp"

namespace costmap_depth_camera
{
namespace
{

PointCloud cloudOf(std::initializer_list<Eigen::Vector3f> points)
{
  PointCloud cloud;
  cloud.points.resize(3, static_cast<Eigen::Index>(points.size()));
  Eigen::Index column = 0;
  for (const auto & point : points) {
    cloud.points.col(column++) = point;
  }
  cloud.updateEdge();
  return cloud;
}

std::array<float, 4> boundsOf(const PointCloud & cloud)
{
  return {cloud.min_x, cloud.min_y, cloud.max_x, cloud.max_y};
}

class CameraRecords : public ::testing::Test {};

TEST_F(CameraRecords, BoundsCoverXAndYOnly)
{
  PointCloud emptied = cloudOf({{1.0f, 2.0f, 3.0f}});
  emptied.points.resize(3, 0);
  emptied.updateEdge();
  EXPECT_EQ(boundsOf(emptied), (std::array<float, 4>{0.0f, 0.0f, 0.0f, 0.0f}));
  EXPECT_EQ(boundsOf(cloudOf({{-1.5f, 2.5f, 9.0f}})), (std::array<float, 4>{-1.5f, 2.5f, -1.5f, 2.5f}));
  EXPECT_EQ(
    boundsOf(cloudOf({{1.0f, 5.0f, -100.0f}, {-2.0f, 3.0f, 100.0f}, {4.0f, -1.0f, 0.0f},
      {1.0f, 7.0f, 1000.0f}})), (std::array<float, 4>{-2.0f, -1.0f, 4.0f, 7.0f}));
}

TEST_F(CameraRecords, CopiesOwnTheirPoints)
{
  PointCloud original = cloudOf({{1.0f, 2.0f, 3.0f}, {4.0f, 5.0f, 6.0f}});
  original.category = 17;
  original.is_polygon = 1;
  const PointCloud copy(original);
  PointCloudWithTime remembered(original);
  Observation observation;
  observation.clouds.push_back(original);
  const Observation observation_copy(observation);
  original.points(0, 0) = 99.0f;
  observation.clouds[0].points(0, 0) = 99.0f;

  EXPECT_EQ(copy.points(0, 0), 1.0f);
  EXPECT_EQ(copy.category, 17u);
  EXPECT_EQ(copy.is_polygon, 1u);
  EXPECT_EQ(remembered.points(0, 0), 1.0f);
  EXPECT_EQ(remembered.max_y, 5.0f);
  EXPECT_EQ(observation_copy.clouds[0].points(0, 0), 1.0f);
}

TEST_F(CameraRecords, RememberedCloudStartsWithoutTimeAndHullAndCopiesBoth)
{
  PointCloudWithTime remembered(cloudOf({{1.0f, 2.0f, 3.0f}, {4.0f, 5.0f, 6.0f}, {0.0f, 9.0f, 1.0f}}));
  EXPECT_EQ(remembered.time, 0.0);
  EXPECT_TRUE(remembered.polygon.empty());

  remembered.time = 12.5;
  remembered.polygon = {{1.0f, 2.0f}, {4.0f, 5.0f}, {0.0f, 9.0f}};
  const PointCloudWithTime copy(remembered);
  remembered.polygon.clear();
  EXPECT_EQ(copy.time, 12.5);
  ASSERT_EQ(copy.polygon.size(), 3u);
  EXPECT_EQ(copy.polygon[2], cv::Point2f(0.0f, 9.0f));
}

TEST_F(CameraRecords, DefaultsClearThroughTheFrustumAndMarkNothing)
{
  const FrustumDetectorStrategy s;
  EXPECT_EQ(
    (std::array<std::int32_t, 8>{s.no_reference_point, s.out_of_theta, s.near_range_without_point,
      s.near_range_with_point, s.far_range_without_point, s.far_range_with_point,
      s.inside_without_point, s.inside_with_point}),
    (std::array<std::int32_t, 8>{3, 4, 3, 3, 4, 4, 3, 3}));
  const FrustumObservationOptions source;
  EXPECT_EQ(source.msg_type, "SemanticPointCloud");
  EXPECT_FALSE(source.marking);
}

}  // namespace
}  // namespace costmap_depth_camera
