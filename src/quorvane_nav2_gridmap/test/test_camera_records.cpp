// The plain records of the depth-camera pipeline: bounds of a cloud, deep copies and the
// defaults every option record carries before the parameters are read.

#include <gtest/gtest.h>

#include "quorvane_nav2_gridmap/costmap_depth_camera/frustum_observation_options.hpp"
#include "quorvane_nav2_gridmap/costmap_depth_camera/frustum_observation_ros_options.hpp"
#include "quorvane_nav2_gridmap/costmap_depth_camera/observation.hpp"
#include "quorvane_nav2_gridmap/costmap_depth_camera/point_cloud.hpp"
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
  return cloud;
}

class CameraRecords : public ::testing::Test {};

TEST_F(CameraRecords, EmptyCloudHasZeroBoundsNotInfinities)
{
  PointCloud cloud = cloudOf({{1.0f, 2.0f, 3.0f}});
  cloud.updateEdge();
  cloud.points.resize(3, 0);
  cloud.updateEdge();
  EXPECT_EQ(cloud.min_x, 0.0f);
  EXPECT_EQ(cloud.min_y, 0.0f);
  EXPECT_EQ(cloud.max_x, 0.0f);
  EXPECT_EQ(cloud.max_y, 0.0f);
}

TEST_F(CameraRecords, SinglePointGivesADegenerateBoxAtThePoint)
{
  PointCloud cloud = cloudOf({{-1.5f, 2.5f, 9.0f}});
  cloud.updateEdge();
  EXPECT_EQ(cloud.min_x, -1.5f);
  EXPECT_EQ(cloud.max_x, -1.5f);
  EXPECT_EQ(cloud.min_y, 2.5f);
  EXPECT_EQ(cloud.max_y, 2.5f);
}

TEST_F(CameraRecords, BoundsCoverXAndYAndIgnoreZ)
{
  PointCloud cloud = cloudOf({{1.0f, 5.0f, -100.0f}, {-2.0f, 3.0f, 100.0f}, {4.0f, -1.0f, 0.0f},
      {1.0f, 7.0f, 1000.0f}});
  cloud.updateEdge();
  EXPECT_EQ(cloud.min_x, -2.0f);
  EXPECT_EQ(cloud.max_x, 4.0f);
  EXPECT_EQ(cloud.min_y, -1.0f);
  EXPECT_EQ(cloud.max_y, 7.0f);
}

TEST_F(CameraRecords, CopiedCloudOwnsItsPoints)
{
  PointCloud original = cloudOf({{1.0f, 2.0f, 3.0f}, {4.0f, 5.0f, 6.0f}});
  original.category = 17;
  original.is_polygon = 1;
  original.updateEdge();
  PointCloud copy(original);
  original.points(0, 0) = 99.0f;
  EXPECT_EQ(copy.points(0, 0), 1.0f);
  EXPECT_NE(copy.points.data(), original.points.data());
  EXPECT_EQ(copy.category, 17u);
  EXPECT_EQ(copy.is_polygon, 1u);
  EXPECT_EQ(copy.max_y, 5.0f);
}

TEST_F(CameraRecords, RememberedCloudStartsWithoutTimeAndHull)
{
  PointCloud cloud = cloudOf({{1.0f, 2.0f, 3.0f}, {4.0f, 5.0f, 6.0f}, {0.0f, 9.0f, 1.0f}});
  cloud.category = 3;
  cloud.is_polygon = 1;
  cloud.updateEdge();
  PointCloudWithTime remembered(cloud);
  EXPECT_EQ(remembered.time, 0.0);
  EXPECT_TRUE(remembered.polygon.empty());
  EXPECT_EQ(remembered.points, cloud.points);
  EXPECT_EQ(remembered.category, 3u);
  EXPECT_EQ(remembered.max_y, 9.0f);

  remembered.time = 12.5;
  remembered.polygon = {{1.0f, 2.0f}, {4.0f, 5.0f}, {0.0f, 9.0f}};
  remembered.updateEdge();
  PointCloudWithTime copy(remembered);
  remembered.polygon.clear();
  EXPECT_EQ(copy.time, 12.5);
  ASSERT_EQ(copy.polygon.size(), 3u);
  EXPECT_EQ(copy.polygon[2], cv::Point2f(0.0f, 9.0f));
}

TEST_F(CameraRecords, ObservationCopiesAreDeep)
{
  Observation observation;
  EXPECT_EQ(observation.stamp.sec, 0);
  EXPECT_EQ(observation.stamp.nanosec, 0u);
  EXPECT_TRUE(observation.frame.empty());
  observation.stamp.sec = 3;
  observation.frame = "map";
  observation.clouds.push_back(cloudOf({{1.0f, 1.0f, 1.0f}}));
  Observation copy(observation);
  observation.clouds[0].points(2, 0) = -1.0f;
  EXPECT_EQ(copy.stamp.sec, 3);
  EXPECT_EQ(copy.frame, "map");
  EXPECT_EQ(copy.clouds[0].points(2, 0), 1.0f);
}

TEST_F(CameraRecords, DefaultStrategyClearsInsideAndNearAndKeepsFarAndOutOfTheta)
{
  const FrustumDetectorStrategy strategy;
  EXPECT_EQ(strategy.no_reference_point, 3);
  EXPECT_EQ(strategy.out_of_theta, 4);
  EXPECT_EQ(strategy.near_range_without_point, 3);
  EXPECT_EQ(strategy.near_range_with_point, 3);
  EXPECT_EQ(strategy.far_range_without_point, 4);
  EXPECT_EQ(strategy.far_range_with_point, 4);
  EXPECT_EQ(strategy.inside_without_point, 3);
  EXPECT_EQ(strategy.inside_with_point, 3);
}

TEST_F(CameraRecords, SourceOptionsDefaultToAMarkingFreeSemanticCloudSource)
{
  const FrustumObservationOptions source;
  EXPECT_EQ(source.msg_type, "SemanticPointCloud");
  EXPECT_FALSE(source.marking);
  EXPECT_TRUE(source.sensor_frame.empty());
  EXPECT_EQ(source.buffer_options.expected_hz, 0);
  EXPECT_EQ(source.buffer_options.observation_persistence, 0.0);
  EXPECT_EQ(source.buffer_options.min_obstacle_height, -0.5);
  EXPECT_EQ(source.buffer_options.max_obstacle_height, 2.0);
  EXPECT_EQ(source.buffer_options.max_detect_distance, 8.0);
  EXPECT_EQ(source.buffer_options.frustum_theta_resolution, 0.0881);
  EXPECT_EQ(source.buffer_options.frustum_r_resolution, 0.05);

  const FrustumObservationRosOptions pipeline;
  EXPECT_FALSE(pipeline.enable_frustum_trace);
  EXPECT_EQ(pipeline.transform_tolerance, 0.2);
  EXPECT_EQ(pipeline.percentage_reduction_map_size, 0.2);
  EXPECT_EQ(pipeline.dilation_size, 0.0);
}

}  // namespace
}  // namespace costmap_depth_camera
