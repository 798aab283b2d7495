// The observation buffer of one depth camera, fed with semantic clouds laid out as the camera
// driver publishes them and with transforms through a real tf2_ros::Buffer: the camera body
// sits at (1, 2, 0.5) in the map looking along +y, its optical frame below it. The node's ROS
// clock is simulated, so ages and rates are exact.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <Eigen/Geometry>
#include <rcl/time.h>
#include <rclcpp/logger.hpp>
#include <sensor_msgs/point_cloud2_iterator.hpp>
#include <spdlog/sinks/base_sink.h>

#include "quorvane_nav2_gridmap/costmap_depth_camera/observation_buffer.hpp"

namespace costmap_depth_camera
{
namespace
{

constexpr float kEps = 1e-4f;
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

class CaptureSink : public spdlog::sinks::base_sink<std::mutex>
{
public:
  struct Line {spdlog::level::level_enum level; std::string text, file;};
  std::vector<Line> lines;

  // The first line beginning with `prefix`.
  const Line * find(const std::string & prefix) const
  {
    for (const auto & line : lines) {
      if (line.text.rfind(prefix, 0) == 0) {return &line;}
    }
    return nullptr;
  }

protected:
  void sink_it_(const spdlog::details::log_msg & message) override
  {
    const std::string payload(message.payload.data(), message.payload.size());
    lines.push_back({message.level, payload.substr(payload.find("] ") + 2), message.source.filename});
  }
  void flush_() override {}
};

using Points = std::vector<std::array<float, 3>>;

// Float32 x, y, z padded to a 16-byte point, `height` rows.
sensor_msgs::msg::PointCloud2 xyzCloud(const Points & points, std::uint32_t height = 1)
{
  sensor_msgs::msg::PointCloud2 cloud;
  cloud.header.frame_id = "camera_link";
  sensor_msgs::PointCloud2Modifier modifier(cloud);
  modifier.setPointCloud2FieldsByString(1, "xyz");
  modifier.resize(points.size());
  cloud.height = height;
  cloud.width = static_cast<std::uint32_t>(points.size()) / height;
  cloud.row_step = cloud.width * cloud.point_step;
  if (points.empty()) {
    return cloud;  // an iterator over no data is undefined
  }
  sensor_msgs::PointCloud2Iterator<float> x(cloud, "x");
  for (const auto & point : points) {
    x[0] = point[0];
    x[1] = point[1];
    x[2] = point[2];
    ++x;
  }
  return cloud;
}

quorvane_protocol::msg::SemanticCloud subCloud(
  std::uint32_t category, const Points & points, std::uint8_t is_polygon = 0)
{
  quorvane_protocol::msg::SemanticCloud sub_cloud;
  sub_cloud.category = category;
  sub_cloud.is_polygon = is_polygon;
  sub_cloud.cloud = xyzCloud(points);
  return sub_cloud;
}

// The driver's view outline on the floor, in the camera body frame.
const std::vector<std::array<float, 2>> kOutline{{0.3f, -0.3f}, {5.0f, -5.0f}, {5.0f, 5.0f},
  {0.3f, 0.3f}};

quorvane_protocol::msg::SemanticPointCloud frame(
  const builtin_interfaces::msg::Time & stamp,
  std::vector<quorvane_protocol::msg::SemanticCloud> clouds = {})
{
  quorvane_protocol::msg::SemanticPointCloud message;
  message.header.frame_id = "camera_link";
  message.header.stamp = stamp;
  message.clouds = std::move(clouds);
  for (const auto & [x, y] : kOutline) {
    geometry_msgs::msg::Point32 vertex;
    vertex.x = x;
    vertex.y = y;
    message.shape.points.push_back(vertex);
  }
  return message;
}

geometry_msgs::msg::TransformStamped staticTransform(
  const std::string & parent, const std::string & child, const Eigen::Vector3d & translation,
  const Eigen::Quaterniond & rotation)
{
  geometry_msgs::msg::TransformStamped transform;
  transform.header.frame_id = parent;
  transform.child_frame_id = child;
  transform.transform.translation.x = translation.x();
  transform.transform.translation.y = translation.y();
  transform.transform.translation.z = translation.z();
  transform.transform.rotation.x = rotation.x();
  transform.transform.rotation.y = rotation.y();
  transform.transform.rotation.z = rotation.z();
  transform.transform.rotation.w = rotation.w();
  return transform;
}

std::shared_ptr<FrustumDetector> makeDetector(const std::string & frame = "camera_optical")
{
  sensor_msgs::msg::CameraInfo info;
  info.header.frame_id = frame;
  info.width = 640;
  info.height = 480;
  info.p = {320.0, 0.0, 320.0, 0.0, 0.0, 320.0, 240.0, 0.0, 0.0, 0.0, 1.0, 0.0};
  return std::make_shared<FrustumDetector>(
    info, 0.3f, 5.0f, 0.0881f, 0.05f, 0.0f, FrustumDetectorStrategy());
}

class ObservationBufferTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    ASSERT_EQ(rcl_enable_ros_time_override(clock_->get_clock_handle()), RCL_RET_OK);
    setNow(1000.0);
    tf_buffer_.setUsingDedicatedThread(true);
    tf_buffer_.setTransform(staticTransform("map", "camera_link", {1.0, 2.0, 0.5},
      Eigen::Quaterniond(Eigen::AngleAxisd(M_PI / 2, Eigen::Vector3d::UnitZ()))), "test", true);
    Eigen::Matrix3d optical;
    optical << 0, 0, 1, -1, 0, 0, 0, -1, 0;
    tf_buffer_.setTransform(staticTransform("camera_link", "camera_optical", {0.0, 0.0, 0.0},
      Eigen::Quaterniond(optical)), "test", true);
    options_.source_name = "obstacle_type.front_camera";
    quorvane::Logger::Instance("spdlog").logger_->sinks().push_back(sink_);
  }

  void TearDown() override
  {
    auto & sinks = quorvane::Logger::Instance("spdlog").logger_->sinks();
    sinks.erase(std::remove(sinks.begin(), sinks.end(), sink_), sinks.end());
  }

  std::unique_ptr<ObservationBuffer> makeBuffer(std::shared_ptr<FrustumDetector> detector = nullptr)
  {
    return std::make_unique<ObservationBuffer>(options_, "map", tf_buffer_, 0.05, clock_,
      rclcpp::get_logger("observation_buffer_test"), std::move(detector));
  }

  void setNow(double seconds)
  {
    ASSERT_EQ(
      rcl_set_ros_time_override(
        clock_->get_clock_handle(), rclcpp::Duration::from_seconds(seconds).nanoseconds()),
      RCL_RET_OK);
  }

  builtin_interfaces::msg::Time ago(double seconds) const
  {
    return clock_->now() - rclcpp::Duration::from_seconds(seconds);
  }

  static std::vector<Observation> stored(ObservationBuffer & buffer)
  {
    std::vector<Observation> observations;
    buffer.getObservations(observations);
    return observations;
  }

  std::shared_ptr<rclcpp::Clock> clock_ = std::make_shared<rclcpp::Clock>(RCL_ROS_TIME);
  tf2_ros::Buffer tf_buffer_{std::make_shared<rclcpp::Clock>(RCL_SYSTEM_TIME)};
  ObservationBufferOptions options_;
  std::shared_ptr<CaptureSink> sink_ = std::make_shared<CaptureSink>();
};

TEST_F(ObservationBufferTest, StoresEachSubCloudInTheGlobalFrame)
{
  auto buffer = makeBuffer();
  const auto stamp = ago(0.0);
  ASSERT_TRUE(buffer->bufferCloud(frame(stamp, {subCloud(7, {{1.0f, 0.0f, 0.3f}, {2.0f, -1.0f, 0.0f}}),
      subCloud(500, {{0.5f, 0.5f, 1.0f}}, 1)})));
  const auto observations = stored(*buffer);
  ASSERT_EQ(observations.size(), 1u);
  EXPECT_EQ(observations[0].frame, "map");
  EXPECT_EQ(observations[0].stamp, stamp);
  ASSERT_EQ(observations[0].clouds.size(), 2u);
  const PointCloud & first = observations[0].clouds[0];
  EXPECT_EQ(first.category, 7u);
  ASSERT_EQ(first.points.cols(), 2);
  // Yawed by 90 degrees: camera x becomes map y, camera y becomes map -x.
  EXPECT_TRUE(first.points.col(0).isApprox(Eigen::Vector3f(1.0f, 3.0f, 0.8f), kEps));
  EXPECT_TRUE(first.points.col(1).isApprox(Eigen::Vector3f(2.0f, 4.0f, 0.5f), kEps));
  EXPECT_NEAR(first.min_x, 1.0f, kEps);
  EXPECT_NEAR(first.max_y, 4.0f, kEps);
  const PointCloud & polygon = observations[0].clouds[1];
  EXPECT_EQ(polygon.category, 500u);
  EXPECT_EQ(polygon.is_polygon, 1u);
  EXPECT_TRUE(polygon.points.col(0).isApprox(Eigen::Vector3f(0.5f, 2.5f, 1.5f), kEps));
}

TEST_F(ObservationBufferTest, KeepsFinitePointsInsideTheInclusiveHeightBand)
{
  auto buffer = makeBuffer();
  ASSERT_TRUE(buffer->bufferCloud(frame(ago(0.0), {subCloud(1, {{1.0f, 0.0f, -0.5f},
      {1.0f, 0.0f, 2.0f}, {1.0f, 0.0f, -0.5001f}, {1.0f, 0.0f, 2.0001f}, {kInf, 0.0f, 0.0f},
      {0.0f, -kInf, 0.0f}, {kNaN, 0.0f, 0.0f}, {0.0f, kNaN, 0.0f}, {0.0f, 0.0f, kNaN}})})));
  const PointCloud cloud = stored(*buffer)[0].clouds[0];
  ASSERT_EQ(cloud.points.cols(), 2);
  // The band is taken in the cloud frame, before the camera's 0.5 m height is added.
  EXPECT_NEAR(cloud.points(2, 0), 0.0f, kEps);
  EXPECT_NEAR(cloud.points(2, 1), 2.5f, kEps);
}

TEST_F(ObservationBufferTest, ReadsHeightTimesWidthPointsAndStoresEmptyClouds)
{
  auto buffer = makeBuffer();
  auto organised = subCloud(1, {});
  organised.cloud = xyzCloud({{1.0f, 0.0f, 0.0f}, {2.0f, 0.0f, 0.0f}, {3.0f, 0.0f, 0.0f},
      {1.0f, 1.0f, 0.0f}, {2.0f, 1.0f, 0.0f}, {3.0f, 1.0f, 0.0f}, {9.0f, 9.0f, 0.0f},
      {9.0f, 9.0f, 0.0f}}, 2);
  organised.cloud.width = 3;  // the last two points lie beyond height x width
  ASSERT_TRUE(buffer->bufferCloud(frame(ago(0.0), {organised, subCloud(4, {{1.0f, 0.0f, 5.0f}}),
      subCloud(5, {})})));
  const auto clouds = stored(*buffer)[0].clouds;
  ASSERT_EQ(clouds.size(), 3u);
  EXPECT_EQ(clouds[0].points.cols(), 6);
  EXPECT_LT(clouds[0].min_x, 1.5f);  // map x = 1 - camera y: no surplus point at camera y 9
  for (const PointCloud & empty : {clouds[1], clouds[2]}) {
    EXPECT_EQ(empty.points.cols(), 0);
    EXPECT_EQ(empty.min_x, 0.0f);
    EXPECT_EQ(empty.max_y, 0.0f);
  }
  ASSERT_TRUE(buffer->bufferCloud(frame(ago(0.0))));
  EXPECT_TRUE(stored(*buffer)[0].clouds.empty());
}

TEST_F(ObservationBufferTest, RefusesAMessageWithoutFrameAndLeavesTheBufferAlone)
{
  auto buffer = makeBuffer();
  auto message = frame(ago(0.0), {subCloud(1, {{1.0f, 0.0f, 0.0f}})});
  message.header.frame_id.clear();
  EXPECT_FALSE(buffer->bufferCloud(message));
  EXPECT_TRUE(stored(*buffer).empty());
  const auto * line = sink_->find("Warning: Pointcloud's frame_id is empty!");
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(line->level, spdlog::level::warn);
  EXPECT_EQ(line->file, "./src/costmap_depth_camera/observation_buffer.cpp");
}

TEST_F(ObservationBufferTest, FailedLookupChangesNothing)
{
  auto buffer = makeBuffer(makeDetector());
  const auto stamp = ago(0.0);
  ASSERT_TRUE(buffer->bufferCloud(frame(stamp, {subCloud(1, {{1.0f, 0.0f, 0.0f}})})));
  const auto transform = buffer->camera_transform();
  const auto shape = buffer->shape();
  const rclcpp::Time updated = buffer->last_updated();

  auto unknown = frame(ago(0.0), {subCloud(2, {{3.0f, 0.0f, 0.0f}})});
  unknown.header.frame_id = "nowhere";
  unknown.shape.points.resize(1);
  EXPECT_FALSE(buffer->bufferCloud(unknown));
  const auto observations = stored(*buffer);
  ASSERT_EQ(observations.size(), 1u);
  EXPECT_EQ(observations[0].stamp, stamp);
  EXPECT_EQ(buffer->camera_transform(), transform);
  EXPECT_EQ(buffer->shape(), shape);
  EXPECT_EQ(buffer->last_updated(), updated);
  const auto * line = sink_->find(
    "TF Exception that should never happen for global frame: map, cloud frame: nowhere, ");
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(line->level, spdlog::level::err);
  EXPECT_NE(line->text.find(", error code is 101100016"), std::string::npos);

  // A camera frame tf does not know refuses the message as well.
  auto unmounted = makeBuffer(makeDetector("unmounted_optical"));
  EXPECT_FALSE(unmounted->bufferCloud(frame(ago(0.0), {subCloud(1, {{1.0f, 0.0f, 0.0f}})})));
  EXPECT_TRUE(stored(*unmounted).empty());
  EXPECT_TRUE(unmounted->shape().points.empty());
}

TEST_F(ObservationBufferTest, RefusesMalformedSubCloudsWhole)
{
  using sensor_msgs::msg::PointField;
  auto no_z = subCloud(2, {{1.0f, 0.0f, 0.0f}});
  sensor_msgs::PointCloud2Modifier(no_z.cloud).setPointCloud2Fields(
    2, "x", 1, PointField::FLOAT32, "y", 1, PointField::FLOAT32);
  auto double_z = subCloud(2, {{1.0f, 0.0f, 0.0f}});
  sensor_msgs::PointCloud2Modifier(double_z.cloud).setPointCloud2Fields(
    3, "x", 1, PointField::FLOAT32, "y", 1, PointField::FLOAT32, "z", 1, PointField::FLOAT64);
  auto truncated = subCloud(2, {{1.0f, 0.0f, 0.0f}, {2.0f, 0.0f, 0.0f}});
  truncated.cloud.data.pop_back();
  // 2^31 x 2^31 points of 16 bytes are 2^66 bytes, which wraps to 0 in 64 bits.
  auto wrapping = subCloud(2, {{1.0f, 0.0f, 0.0f}});
  wrapping.cloud.height = 1u << 31;
  wrapping.cloud.width = 1u << 31;

  auto buffer = makeBuffer();
  for (const auto & malformed : {no_z, double_z, truncated, wrapping}) {
    sink_->lines.clear();
    EXPECT_FALSE(buffer->bufferCloud(frame(ago(0.0), {subCloud(1, {{1.0f, 0.0f, 0.0f}}), malformed})));
    const auto * line = sink_->find("ObservationBuffer obstacle_type.front_camera refuses");
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->level, spdlog::level::err);
    EXPECT_NE(line->text.find("sub-cloud 1"), std::string::npos) << line->text;
  }
  EXPECT_TRUE(stored(*buffer).empty());
}

TEST_F(ObservationBufferTest, RefusesAStampBefore1970SoNoLaterReadThrows)
{
  options_.observation_persistence = 1.0;
  auto buffer = makeBuffer(makeDetector());
  builtin_interfaces::msg::Time before_1970;
  before_1970.sec = -5;
  before_1970.nanosec = 100;
  EXPECT_FALSE(buffer->bufferCloud(frame(before_1970, {subCloud(1, {{1.0f, 0.0f, 0.0f}})})));
  const auto * line = sink_->find("ObservationBuffer obstacle_type.front_camera refuses the cloud");
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(line->level, spdlog::level::warn);
  EXPECT_NE(line->text.find("before 1970"), std::string::npos) << line->text;

  std::vector<Observation> observations;
  std::vector<std::shared_ptr<FrustumDetector>> detectors;
  EXPECT_NO_THROW(buffer->getObservationsAndFrustumDetector(observations, detectors, false));
  EXPECT_TRUE(observations.empty());
  EXPECT_TRUE(buffer->shape().points.empty());
  // The next sane frame is stored as usual.
  EXPECT_TRUE(buffer->bufferCloud(frame(ago(0.0), {subCloud(1, {{1.0f, 0.0f, 0.0f}})})));
  EXPECT_NO_THROW(buffer->getObservationsAndFrustumDetector(observations, detectors, false));
  EXPECT_EQ(observations.size(), 1u);
}

TEST_F(ObservationBufferTest, ReadsFieldsAtAnyByteOffset)
{
  using sensor_msgs::msg::PointField;
  const Points points{{1.0f, 0.0f, 0.3f}, {2.0f, -1.0f, 0.0f}, {kNaN, 0.0f, 0.0f},
    {3.0f, 1.0f, 0.5f}};
  // A one-byte tag before x, and the fields in another order with an odd point step.
  for (const auto & [x_offset, y_offset, z_offset, step] :
    {std::array<std::uint32_t, 4>{1, 5, 9, 13}, {10, 3, 15, 21}, {2, 6, 10, 14}})
  {
    auto sub_cloud = subCloud(7, {});
    auto & cloud = sub_cloud.cloud;
    cloud.fields.clear();
    for (const auto & [name, offset] : {std::pair{"x", x_offset}, {"y", y_offset}, {"z", z_offset}}) {
      PointField field;
      field.name = name;
      field.offset = offset;
      field.datatype = PointField::FLOAT32;
      field.count = 1;
      cloud.fields.push_back(field);
    }
    cloud.point_step = step;
    cloud.height = 1;
    cloud.width = static_cast<std::uint32_t>(points.size());
    cloud.row_step = cloud.width * step;
    cloud.data.assign(cloud.row_step, 0xAB);
    for (std::size_t i = 0; i < points.size(); ++i) {
      std::uint8_t * point = cloud.data.data() + i * step;
      std::memcpy(point + x_offset, &points[i][0], sizeof(float));
      std::memcpy(point + y_offset, &points[i][1], sizeof(float));
      std::memcpy(point + z_offset, &points[i][2], sizeof(float));
    }
    auto buffer = makeBuffer();
    ASSERT_TRUE(buffer->bufferCloud(frame(ago(0.0), {sub_cloud})));
    const PointCloud stored_cloud = stored(*buffer)[0].clouds[0];
    ASSERT_EQ(stored_cloud.points.cols(), 3) << step;
    EXPECT_TRUE(stored_cloud.points.col(0).isApprox(Eigen::Vector3f(1.0f, 3.0f, 0.8f), kEps));
    EXPECT_TRUE(stored_cloud.points.col(1).isApprox(Eigen::Vector3f(2.0f, 4.0f, 0.5f), kEps));
    EXPECT_TRUE(stored_cloud.points.col(2).isApprox(Eigen::Vector3f(0.0f, 5.0f, 1.0f), kEps));
    EXPECT_NEAR(stored_cloud.min_x, 0.0f, kEps);
    EXPECT_NEAR(stored_cloud.max_y, 5.0f, kEps);
  }
}

TEST_F(ObservationBufferTest, WithoutPersistenceOnlyTheNewestIsKept)
{
  auto buffer = makeBuffer();
  for (double age : {0.3, 0.2, 0.1}) {
    ASSERT_TRUE(buffer->bufferCloud(frame(ago(age))));
  }
  const auto newest = ago(0.0);
  ASSERT_TRUE(buffer->bufferCloud(frame(newest)));
  const auto observations = stored(*buffer);
  ASSERT_EQ(observations.size(), 1u);
  EXPECT_EQ(observations[0].stamp, newest);
}

TEST_F(ObservationBufferTest, WithPersistenceTheFirstStaleObservationEndsTheList)
{
  options_.observation_persistence = 1.0;
  setNow(997.0);
  auto buffer = makeBuffer();
  for (double stamp : {997.5, 998.5, 999.5}) {
    ASSERT_TRUE(buffer->bufferCloud(frame(rclcpp::Time(rclcpp::Duration::from_seconds(stamp)
      .nanoseconds(), RCL_ROS_TIME))));
  }
  // The oldest is exactly the keep time old: not yet stale.
  setNow(998.5);
  std::vector<Observation> observations(1);  // appended to, never cleared
  buffer->getObservations(observations);
  ASSERT_EQ(observations.size(), 4u);
  EXPECT_EQ(rclcpp::Time(observations[1].stamp).seconds(), 999.5);
  EXPECT_EQ(rclcpp::Time(observations[3].stamp).seconds(), 997.5);

  // Aged 0.5 s, 1.5 s and 2.5 s: only the newest stays.
  setNow(1000.0);
  const auto kept = stored(*buffer);
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(rclcpp::Time(kept[0].stamp).seconds(), 999.5);

  // Already stale when it arrives: purged at once together with everything behind it.
  EXPECT_TRUE(buffer->bufferCloud(frame(ago(1.2))));
  EXPECT_TRUE(stored(*buffer).empty());
}

TEST_F(ObservationBufferTest, RateIsStampsOverTheSpanOfTheLastTenSeconds)
{
  double hz = 0.0;
  EXPECT_TRUE(makeBuffer()->checkHZ(hz));
  EXPECT_EQ(hz, -1.0);

  options_.expected_hz = 10;
  const auto measured = [this](std::vector<double> ages, double & rate) {
      auto buffer = makeBuffer();
      for (double age : ages) {
        buffer->cacheForHZ(clock_->now() - rclcpp::Duration::from_seconds(age));
      }
      return buffer->checkHZ(rate);
    };
  const auto evenly = [](int count, double spacing, std::vector<double> ages) {
      for (int i = 0; i < count; ++i) {
        ages.push_back(4.9 - spacing * i);
      }
      return ages;
    };
  EXPECT_FALSE(measured({}, hz));
  EXPECT_EQ(hz, 0.0);
  EXPECT_TRUE(measured(evenly(50, 0.1, {}), hz));
  EXPECT_DOUBLE_EQ(hz, 50 / 4.9);
  EXPECT_FALSE(measured(evenly(20, 0.25, {}), hz));
  EXPECT_DOUBLE_EQ(hz, 20 / 4.9);
  // Stamps older than ten seconds leave; one exactly ten seconds old stays.
  EXPECT_TRUE(measured(evenly(50, 0.1, {30.0, 12.0}), hz));
  EXPECT_DOUBLE_EQ(hz, 50 / 4.9);
  EXPECT_FALSE(measured({12.0, 10.0, 5.0, 1.0}, hz));
  EXPECT_DOUBLE_EQ(hz, 3 / 10.0);
  // A span under a millisecond cannot be measured.
  EXPECT_FALSE(measured({0.0009}, hz));
  EXPECT_EQ(hz, 0.0);
}

TEST_F(ObservationBufferTest, StoredMessagesFeedTheRate)
{
  options_.expected_hz = 5;
  auto buffer = makeBuffer();
  buffer->cacheForHZ(clock_->now() - rclcpp::Duration::from_seconds(1.0));
  for (int i = 0; i < 4; ++i) {
    ASSERT_TRUE(buffer->bufferCloud(frame(ago(0.0))));
  }
  double hz = 0.0;
  EXPECT_TRUE(buffer->checkHZ(hz));
  EXPECT_DOUBLE_EQ(hz, 5.0);
}

TEST_F(ObservationBufferTest, WithoutDetectorTheRefillOnlyCollectsObservations)
{
  auto buffer = makeBuffer();
  ASSERT_TRUE(buffer->bufferCloud(frame(ago(0.0), {subCloud(1, {{1.0f, 0.0f, 0.0f}})})));
  std::vector<Observation> observations;
  std::vector<std::shared_ptr<FrustumDetector>> detectors;
  buffer->getObservationsAndFrustumDetector(observations, detectors, true);
  EXPECT_EQ(observations.size(), 1u);
  EXPECT_TRUE(detectors.empty());
  EXPECT_EQ(sink_->find("ObservationBuffer::getObservationsAndFrustumDetector"), nullptr);
}

TEST_F(ObservationBufferTest, RefillBinsEveryStoredPointLikeTheDetectorItself)
{
  options_.observation_persistence = 5.0;
  auto detector = makeDetector();
  auto buffer = makeBuffer(detector);
  ASSERT_TRUE(buffer->bufferCloud(frame(ago(0.2), {subCloud(1, {{2.0f, 0.0f, 0.3f},
      {2.0f, 0.2f, 0.5f}}), subCloud(2, {{-1.0f, 0.0f, 0.0f}})})));
  const auto stamp = ago(0.0);
  ASSERT_TRUE(buffer->bufferCloud(frame(stamp, {subCloud(3, {{3.0f, -0.5f, 0.1f}}), subCloud(4, {})})));

  std::vector<Observation> observations;
  std::vector<std::shared_ptr<FrustumDetector>> detectors;
  buffer->getObservationsAndFrustumDetector(observations, detectors, true);
  ASSERT_EQ(detectors.size(), 1u);
  EXPECT_EQ(detectors[0], detector);
  EXPECT_TRUE(detector->initialised());
  EXPECT_EQ(detector->cloud_count(), 4);
  EXPECT_EQ(detector->points_used(), 3);  // the point behind the camera is outside the grid
  EXPECT_TRUE(detector->origin().isApprox(Eigen::Vector3f(1.0f, 2.0f, 0.5f), kEps));
  EXPECT_EQ(detector->stamp(), rclcpp::Time(stamp, RCL_ROS_TIME));
  // Each point in a cell of its own; the highest tangent is camera point (2, 0.2, 0.5).
  EXPECT_EQ((detector->grid().array() > -kInf).count(), 3);
  EXPECT_NEAR(detector->grid().maxCoeff(), 0.5f / std::sqrt(4.04f), kEps);
  ASSERT_EQ(buffer->shape().points.size(), kOutline.size());
  for (std::size_t i = 0; i < kOutline.size(); ++i) {
    EXPECT_NEAR(buffer->shape().points[i].x, 1.0f - kOutline[i][1], kEps);
    EXPECT_NEAR(buffer->shape().points[i].y, 2.0f + kOutline[i][0], kEps);
  }

  // The same refill by hand from the kept transform, shape and points.
  auto expected = makeDetector();
  expected->clear();
  expected->setTrans(buffer->camera_transform());
  expected->setShape(buffer->shape());
  for (const auto & observation : observations) {
    for (const auto & cloud : observation.clouds) {
      expected->accumulateDepthGrid(cloud.points);
    }
  }
  expected->fixSetting();
  EXPECT_EQ(detector->grid(), expected->grid());
  EXPECT_EQ(detector->points_used(), expected->points_used());
  EXPECT_EQ(detector->start_angle(), expected->start_angle());
  EXPECT_EQ(detector->min_range(), expected->min_range());
  const auto * line = sink_->find("ObservationBuffer::getObservationsAndFrustumDetector use time ");
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(line->level, spdlog::level::info);
}

}  // namespace
}  // namespace costmap_depth_camera
