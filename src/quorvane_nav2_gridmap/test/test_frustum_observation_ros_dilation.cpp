// Dilation of semantic sub-clouds before they are buffered.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <sensor_msgs/point_cloud2_iterator.hpp>
#include <spdlog/sinks/base_sink.h>

#include "quorvane_nav2_gridmap/costmap_depth_camera/pointcloud_process.hpp"
#include "quorvane_nav2_gridmap/logger.hpp"

namespace
{

using costmap_depth_camera::PointCloudProcess;
using quorvane_protocol::msg::SemanticCloud;

// Collects the text of every log line while the test runs.
class CollectingSink : public spdlog::sinks::base_sink<std::mutex>
{
public:
  std::vector<std::string> lines;

protected:
  void sink_it_(const spdlog::details::log_msg & message) override
  {
    lines.emplace_back(message.payload.data(), message.payload.size());
  }
  void flush_() override {}
};

SemanticCloud subCloudOf(const std::vector<std::pair<float, float>> & points)
{
  SemanticCloud semantic_cloud;
  semantic_cloud.category = 300;
  semantic_cloud.is_polygon = 1;
  auto & cloud = semantic_cloud.cloud;
  cloud.height = 1;
  cloud.width = static_cast<std::uint32_t>(points.size());
  sensor_msgs::PointCloud2Modifier modifier(cloud);
  modifier.setPointCloud2FieldsByString(1, "xyz");
  modifier.resize(points.size());
  sensor_msgs::PointCloud2Iterator<float> it(cloud, "x");
  for (const auto & [x, y] : points) {
    it[0] = x;
    it[1] = y;
    it[2] = 0.7f;
    ++it;
  }
  return semantic_cloud;
}

std::vector<std::vector<float>> pointsOf(const SemanticCloud & semantic_cloud)
{
  std::vector<std::vector<float>> points;
  if (semantic_cloud.cloud.data.empty()) {
    return points;
  }
  sensor_msgs::PointCloud2ConstIterator<float> it(semantic_cloud.cloud, "x");
  for (; it != it.end(); ++it) {
    points.push_back({it[0], it[1], it[2]});
  }
  return points;
}

class PointCloudProcessTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    logger_ = quorvane::Logger::Instance("spdlog").logger_;
    ASSERT_TRUE(logger_);
    sink_ = std::make_shared<CollectingSink>();
    logger_->sinks().push_back(sink_);
  }

  void TearDown() override
  {
    auto & sinks = logger_->sinks();
    sinks.erase(std::remove(sinks.begin(), sinks.end(), sink_), sinks.end());
  }

  std::vector<std::string> allocationLines() const
  {
    std::vector<std::string> found;
    for (const auto & line : sink_->lines) {
      if (line.find("dilatePointCloud create a mat size is") != std::string::npos) {
        found.push_back(line.substr(line.find("[INFO] ")));
      }
    }
    return found;
  }

  std::shared_ptr<spdlog::logger> logger_;
  std::shared_ptr<CollectingSink> sink_;
  PointCloudProcess process_;
};

TEST_F(PointCloudProcessTest, SinglePointBecomesA3By3BlockAtTenthMetreSpacing)
{
  SemanticCloud semantic_cloud = subCloudOf({{1.0f, 2.0f}});
  process_.dilatePointCloud(semantic_cloud, 0.1);

  const auto points = pointsOf(semantic_cloud);
  ASSERT_EQ(points.size(), 9u);
  EXPECT_NEAR(points.front()[0], 0.9f, 1e-5);
  EXPECT_NEAR(points.front()[1], 1.9f, 1e-5);
  std::set<std::pair<long, long>> grid_positions;
  for (const auto & point : points) {
    EXPECT_FLOAT_EQ(point[2], 0.1f);
    grid_positions.emplace(std::lround(point[0] * 10), std::lround(point[1] * 10));
  }
  EXPECT_EQ(grid_positions.size(), 9u);
  EXPECT_TRUE(grid_positions.count({11, 21}));
  EXPECT_EQ(semantic_cloud.category, 300u);
  EXPECT_EQ(semantic_cloud.is_polygon, 1u);
  EXPECT_EQ(semantic_cloud.cloud.height, 1u);
  EXPECT_EQ(semantic_cloud.cloud.point_step, 16u);
  EXPECT_TRUE(semantic_cloud.cloud.header.frame_id.empty());
}

TEST_F(PointCloudProcessTest, TwoTenthsDilateTwoCellsEachWay)
{
  SemanticCloud semantic_cloud = subCloudOf({{0.0f, 0.0f}});
  process_.dilatePointCloud(semantic_cloud, 0.2);
  EXPECT_EQ(pointsOf(semantic_cloud).size(), 25u);
}

TEST_F(PointCloudProcessTest, ImagesGrowForAWideCloudAndAreReusedAfterwards)
{
  SemanticCloud small = subCloudOf({{0.0f, 0.0f}});
  process_.dilatePointCloud(small, 0.1);
  SemanticCloud wide = subCloudOf({{0.0f, 0.0f}, {60.0f, 0.0f}});
  process_.dilatePointCloud(wide, 0.1);
  SemanticCloud small_again = subCloudOf({{5.0f, 5.0f}});
  process_.dilatePointCloud(small_again, 0.1);

  EXPECT_EQ(
    allocationLines(), (std::vector<std::string>{
    "[INFO] [PointCloudProcess] dilatePointCloud create a mat size is 510x510",
    "[INFO] [PointCloudProcess] dilatePointCloud create a mat size is 610x610"}));
  EXPECT_EQ(pointsOf(wide).size(), 18u);
  EXPECT_EQ(pointsOf(small_again).size(), 9u);
}

TEST_F(PointCloudProcessTest, NonFinitePointsDoNotStretchTheRaster)
{
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  SemanticCloud semantic_cloud = subCloudOf({{nan, 1.0f}, {3.0f, 3.0f}, {inf, -inf}});
  process_.dilatePointCloud(semantic_cloud, 0.1);

  const auto points = pointsOf(semantic_cloud);
  ASSERT_EQ(points.size(), 9u);
  EXPECT_NEAR(points.front()[0], 2.9f, 1e-5);
}

TEST_F(PointCloudProcessTest, SubCloudWithoutDataIsLeftAsItIs)
{
  SemanticCloud semantic_cloud;
  semantic_cloud.category = 103;
  semantic_cloud.cloud.header.frame_id = "camera";
  process_.dilatePointCloud(semantic_cloud, 0.1);
  EXPECT_EQ(semantic_cloud.cloud.header.frame_id, "camera");
  EXPECT_TRUE(semantic_cloud.cloud.data.empty());
  EXPECT_TRUE(allocationLines().empty());
}

TEST_F(PointCloudProcessTest, SubCloudWhoseDataDoesNotHoldItsPointsIsLeftAsItIs)
{
  SemanticCloud cut_short = subCloudOf({{1.0f, 2.0f}, {3.0f, 4.0f}});
  cut_short.cloud.data.resize(cut_short.cloud.data.size() - 3);
  SemanticCloud no_step = subCloudOf({{1.0f, 2.0f}});
  no_step.cloud.point_step = 0;
  SemanticCloud no_y = subCloudOf({{1.0f, 2.0f}});
  no_y.cloud.fields.erase(no_y.cloud.fields.begin() + 1);
  // No points, but data bytes and no fields at all: nothing may look for x or y.
  SemanticCloud no_points_no_fields = subCloudOf({{1.0f, 2.0f}});
  no_points_no_fields.cloud.height = 0;
  no_points_no_fields.cloud.fields.clear();

  // A sentinel value far away would need a raster of more cells than memory holds.
  SemanticCloud sentinel = subCloudOf({{1.0f, 2.0f}, {1.0e30f, 2.0f}});

  for (const SemanticCloud & malformed :
    {cut_short, no_step, no_y, no_points_no_fields, sentinel})
  {
    SemanticCloud semantic_cloud = malformed;
    process_.dilatePointCloud(semantic_cloud, 0.1);
    EXPECT_EQ(semantic_cloud.cloud, malformed.cloud);
  }
  EXPECT_TRUE(allocationLines().empty());
}

}  // namespace
