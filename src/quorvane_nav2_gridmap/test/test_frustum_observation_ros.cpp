// FrustumObservationRos as its host runs it: clouds, camera info and transforms published on the
// graph with the plugin's node spun by an executor; map updates from the host's thread, also on
// hand-built observations and detectors; the debug topics and the summary line.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <rclcpp/rclcpp.hpp>
#include <rclcpp_lifecycle/lifecycle_node.hpp>
#include <sensor_msgs/point_cloud2_iterator.hpp>
#include <spdlog/sinks/base_sink.h>
#include <tf2/time.h>
#include <tf2_ros/buffer.h>
#include <tf2_ros/create_timer_ros.h>
#include <tf2_ros/static_transform_broadcaster.h>
#include <tf2_ros/transform_broadcaster.h>
#include <tf2_ros/transform_listener.h>

#include "quorvane_nav2_gridmap/costmap_depth_camera/frustum_observation_ros.hpp"
#include "quorvane_nav2_gridmap/logger.hpp"
#include "quorvane_nav2_gridmap/obs_type_grid_map.hpp"
#include "test_gridmap_ros_support.hpp"

namespace
{

using costmap_depth_camera::FrustumDetector;
using costmap_depth_camera::FrustumObservationOptions;
using costmap_depth_camera::FrustumObservationRos;
using costmap_depth_camera::FrustumObservationRosOptions;
using costmap_depth_camera::Observation;
using costmap_depth_camera::ObservationBuffer;
using costmap_depth_camera::PointCloud;
using quorvane_protocol::msg::SemanticPointCloud;
using visualization_msgs::msg::Marker;
using visualization_msgs::msg::MarkerArray;
using Detectors = std::vector<std::shared_ptr<FrustumDetector>>;
using Points = std::vector<Eigen::Vector3f>;

constexpr int kWall = 300;
constexpr int kPerson = 103;
constexpr unsigned int kWallBit = 0x4;
constexpr unsigned int kPersonBit = 0x8;

class CollectingSink : public spdlog::sinks::base_sink<std::mutex>
{
public:
  // The text after the level tag of every line containing `text`.
  std::vector<std::string> matching(const std::string & text)
  {
    std::lock_guard<std::mutex> guard(mutex_);
    std::vector<std::string> found;
    for (const auto & line : lines_) {
      if (line.find(text) != std::string::npos) {
        found.push_back(line.substr(line.find(']') + 2));
      }
    }
    return found;
  }

protected:
  void sink_it_(const spdlog::details::log_msg & message) override
  {
    lines_.emplace_back(message.payload.data(), message.payload.size());
  }
  void flush_() override {}

private:
  std::vector<std::string> lines_;
};

// Opens the marking step of an update to observations and detectors built by hand.
class FrontEnd : public FrustumObservationRos
{
public:
  using FrustumObservationRos::FrustumObservationRos;
  using FrustumObservationRos::markObservations;
};

PointCloud cloudOf(int category, const Points & points, bool polygon = false)
{
  PointCloud cloud;
  cloud.category = static_cast<std::uint32_t>(category);
  cloud.is_polygon = polygon ? 1 : 0;
  cloud.points.resize(3, static_cast<Eigen::Index>(points.size()));
  for (std::size_t i = 0; i < points.size(); ++i) {
    cloud.points.col(static_cast<Eigen::Index>(i)) = points[i];
  }
  cloud.updateEdge();
  return cloud;
}

// `count` points one 0.1 m cell apart along x, rising 0.02 m per point along y.
PointCloud rowOf(int count, float x0, float y0)
{
  Points points;
  for (int i = 0; i < count; ++i) {
    const auto step = static_cast<float>(i);
    points.emplace_back(x0 + 0.1f * step, y0 + 0.02f * step, 0.0f);
  }
  return cloudOf(kWall, points);
}

double secondsNow()
{
  return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

Observation observationAt(double seconds, std::vector<PointCloud> clouds)
{
  Observation observation;
  observation.stamp = rclcpp::Time(static_cast<std::int64_t>(seconds * 1e9));
  observation.frame = "map";
  observation.clouds = std::move(clouds);
  return observation;
}

// A 640 x 480 camera 0.5 m above the origin looking along +x, refilled with `seen` and stamped
// `seconds`; a stamp of 0 leaves it without a transform.
std::shared_ptr<FrustumDetector> cameraStamped(int seconds, const Points & seen = {})
{
  sensor_msgs::msg::CameraInfo info;
  info.header.frame_id = "front_camera";
  info.width = 640;
  info.height = 480;
  info.p = {500.0, 0.0, 320.0, 0.0, 0.0, 500.0, 240.0, 0.0, 0.0, 0.0, 1.0, 0.0};
  auto detector = std::make_shared<FrustumDetector>(
    info, 0.5f, 5.0f, 0.0881f, 0.05f, 0.0f, costmap_depth_camera::FrustumDetectorStrategy());
  if (seconds == 0) {
    return detector;
  }
  geometry_msgs::msg::TransformStamped pose;
  pose.header.stamp.sec = seconds;
  pose.transform.translation.z = 0.5;
  pose.transform.rotation.x = -0.5;
  pose.transform.rotation.y = 0.5;
  pose.transform.rotation.z = -0.5;
  pose.transform.rotation.w = 0.5;
  geometry_msgs::msg::Polygon shape;
  for (const auto & [x, y] : {std::pair{0.6f, -0.1f}, {5.0f, -3.0f}, {5.0f, 3.0f}, {0.6f, 0.1f}}) {
    geometry_msgs::msg::Point32 vertex;
    vertex.x = x;
    vertex.y = y;
    shape.points.push_back(vertex);
  }
  detector->clear();
  detector->setTrans(pose);
  detector->setShape(shape);
  detector->accumulateDepthGrid(cloudOf(kWall, seen).points);
  detector->fixSetting();
  return detector;
}

bool waitFor(const std::function<bool()> & condition)
{
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

class FrustumObservationRosTest : public ::testing::Test
{
protected:
  struct Bounds
  {
    double min_x{std::numeric_limits<double>::max()};
    double min_y{std::numeric_limits<double>::max()};
    double max_x{0.0};
    double max_y{0.0};
  };

  static void SetUpTestSuite()
  {
    if (!rclcpp::ok()) {
      rclcpp::init(0, nullptr);
    }
  }

  void SetUp() override
  {
    static int instance = 0;
    suffix_ = std::to_string(++instance);
    node_ = std::make_shared<rclcpp_lifecycle::LifecycleNode>("obstacle_type", "/t" + suffix_);
    peer_ = std::make_shared<rclcpp::Node>("camera_driver", "/t" + suffix_);
    tf_buffer_ = std::make_unique<tf2_ros::Buffer>(node_->get_clock());
    tf_buffer_->setCreateTimerInterface(
      std::make_shared<tf2_ros::CreateTimerROS>(
        node_->get_node_base_interface(), node_->get_node_timers_interface()));
    listener_ = std::make_unique<tf2_ros::TransformListener>(*tf_buffer_);
    marker_subscription_ = peer_->create_subscription<MarkerArray>(
      "frustum_debug_markers", 10, [this](MarkerArray::ConstSharedPtr array) {
        std::lock_guard<std::mutex> guard(markers_mutex_);
        marker_arrays_.push_back(*array);
      });
    host_ = std::make_unique<gridmap_test::SpinningHost<>>(
      gridmap_test::SpinningHost<>::Nodes{node_->get_node_base_interface(),
        peer_->get_node_base_interface()});

    options_.global_frame = "map";
    options_.transform_tolerance = 0.5;
    source_.buffer_options.source_name = "obstacle_type.front";
    source_.buffer_options.topic = "front_cloud";
    source_.buffer_options.observation_persistence = 100.0;
    source_.marking = true;
    logger_ = quorvane::Logger::Instance("spdlog").logger_;
    sink_ = std::make_shared<CollectingSink>();
    logger_->sinks().push_back(sink_);
  }

  void TearDown() override
  {
    stop_camera_info_ = true;
    if (camera_info_thread_.joinable()) {
      camera_info_thread_.join();
    }
    // Empty when SetUp failed before the host started.
    host_.reset();
    front_end_.reset();
    auto & sinks = logger_->sinks();
    sinks.erase(std::remove(sinks.begin(), sinks.end(), sink_), sinks.end());
  }

  // The grid the front end is built for is 10 m square at 0.1 m from the world origin.
  void build(unsigned int size_x = 100)
  {
    front_end_ =
      std::make_unique<FrontEnd>(node_, options_, *tf_buffer_, size_x, 100, 0.1, 0.0, 0.0);
    if (options_.enable_frustum_trace) {
      node_->configure();
      node_->activate();
    }
  }

  void listen()
  {
    build();
    front_end_->addObservationBufferListen(source_);
    front_end_->activate();
  }

  // The marking step of an update, with the robot in the middle of the grid.
  Bounds mark(const std::vector<Observation> & observations, const Detectors & detectors = {})
  {
    grid_.resetGrid();
    Bounds bounds;
    front_end_->markObservations(
      grid_, observations, detectors, 5.0, 5.0, &bounds.min_x, &bounds.min_y, &bounds.max_x,
      &bounds.max_y, std::chrono::system_clock::now());
    return bounds;
  }

  // Takes the coordinates as the points carry them, so that the cell is the one they mark.
  unsigned int bitsAt(float x, float y) const
  {
    unsigned int mx = 0;
    unsigned int my = 0;
    EXPECT_TRUE(grid_.worldToMap(x, y, mx, my));
    return grid_.get(mx, my).bits_;
  }

  bool becomesMarked(float x, float y)
  {
    return waitFor([this, x, y] {
               grid_.resetGrid();
               Bounds b;
               front_end_->updatePointCloud3DMap(
                 grid_, &b.min_x, &b.min_y, &b.max_x, &b.max_y, 5.0, 5.0);
               return bitsAt(x, y) == kWallBit;
             });
  }

  void sendCameraPose(double x, double y)
  {
    geometry_msgs::msg::TransformStamped camera;
    camera.header.frame_id = "map";
    camera.child_frame_id = "camera";
    camera.transform.translation.x = x;
    camera.transform.translation.y = y;
    camera.transform.rotation.w = 1.0;
    static_broadcaster_ = std::make_unique<tf2_ros::StaticTransformBroadcaster>(peer_);
    static_broadcaster_->sendTransform(camera);
  }

  // Clouds published after this reach the callback on the executor's thread, as in steady state.
  void sendCameraPoseAndWait(double x, double y)
  {
    sendCameraPose(x, y);
    ASSERT_TRUE(waitFor([this] {
        return tf_buffer_->canTransform("map", "camera", tf2::TimePointZero);
      }));
  }

  bool hasSubscribers(bool expected)
  {
    return waitFor([this, expected] {
               return (node_->count_subscribers("front_cloud") > 0) == expected;
             });
  }

  // A wall sub-cloud with one point at (x, y, 0.5) of the camera frame.
  void publishCloud(float x, float y, const rclcpp::Time & stamp)
  {
    if (!cloud_publisher_) {
      cloud_publisher_ =
        peer_->create_publisher<SemanticPointCloud>(source_.buffer_options.topic, 10);
    }
    SemanticPointCloud message;
    message.header.frame_id = "camera";
    message.header.stamp = stamp;
    message.clouds.resize(1);
    message.clouds[0].category = kWall;
    sensor_msgs::PointCloud2Modifier modifier(message.clouds[0].cloud);
    modifier.setPointCloud2FieldsByString(1, "xyz");
    modifier.resize(1);
    sensor_msgs::PointCloud2Iterator<float> it(message.clouds[0].cloud, "x");
    it[0] = x;
    it[1] = y;
    it[2] = 0.5f;
    cloud_publisher_->publish(message);
  }

  // While `absurd_camera_info_` is set, the camera claims an image of 2^32 - 1 pixels a side.
  void publishCameraInfoContinuously(const std::string & topic)
  {
    auto publisher = peer_->create_publisher<sensor_msgs::msg::CameraInfo>(topic, 10);
    camera_info_thread_ = std::thread([this, publisher] {
        sensor_msgs::msg::CameraInfo info;
        info.header.frame_id = "camera";
        info.p = {500.0, 0.0, 320.0, 0.0, 0.0, 500.0, 240.0, 0.0, 0.0, 0.0, 1.0, 0.0};
        while (!stop_camera_info_) {
          info.width = absurd_camera_info_ ? 0xffffffffu : 640u;
          info.height = absurd_camera_info_ ? 0xffffffffu : 480u;
          publisher->publish(info);
          std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
      });
  }

  std::vector<std::string> slowMarkingSources()
  {
    std::vector<std::pair<std::string, double>> slow;
    front_end_->checkAllMarkingObsHZ(slow);
    std::vector<std::string> names;
    for (const auto & entry : slow) {
      names.push_back(entry.first);
    }
    return names;
  }

  MarkerArray nextMarkers(const std::function<void()> & publish)
  {
    std::size_t before = 0;
    {
      std::lock_guard<std::mutex> guard(markers_mutex_);
      before = marker_arrays_.size();
    }
    publish();
    EXPECT_TRUE(waitFor([this, before] {
        std::lock_guard<std::mutex> guard(markers_mutex_);
        return marker_arrays_.size() > before;
      }));
    std::lock_guard<std::mutex> guard(markers_mutex_);
    return marker_arrays_.empty() ? MarkerArray() : marker_arrays_.back();
  }

  static std::vector<Marker> inNamespace(const MarkerArray & array, const std::string & ns)
  {
    std::vector<Marker> found;
    std::copy_if(
      array.markers.begin(), array.markers.end(), std::back_inserter(found),
      [&ns](const Marker & marker) {return marker.ns == ns;});
    return found;
  }

  std::string suffix_;
  rclcpp_lifecycle::LifecycleNode::SharedPtr node_;
  rclcpp::Node::SharedPtr peer_;
  std::unique_ptr<tf2_ros::Buffer> tf_buffer_;
  std::unique_ptr<tf2_ros::TransformListener> listener_;
  std::unique_ptr<tf2_ros::StaticTransformBroadcaster> static_broadcaster_;
  rclcpp::Publisher<SemanticPointCloud>::SharedPtr cloud_publisher_;
  rclcpp::Subscription<MarkerArray>::SharedPtr marker_subscription_;
  std::mutex markers_mutex_;
  std::vector<MarkerArray> marker_arrays_;
  std::unique_ptr<gridmap_test::SpinningHost<>> host_;
  std::thread camera_info_thread_;
  std::atomic<bool> stop_camera_info_{false};
  std::atomic<bool> absurd_camera_info_{false};
  FrustumObservationRosOptions options_;
  FrustumObservationOptions source_;
  quorvane_nav2_gridmap::ObsTypeGridMap grid_{100, 100, 0.1, 0.0, 0.0};
  std::unique_ptr<FrontEnd> front_end_;
  std::shared_ptr<spdlog::logger> logger_;
  std::shared_ptr<CollectingSink> sink_;
};

// Subscription front end.

TEST_F(FrustumObservationRosTest, CloudWaitsForItsTransformAndIsMarkedWhereItLands)
{
  listen();
  publishCloud(0.05f, 0.05f, node_->now());
  sendCameraPose(2.0, 3.0);
  EXPECT_TRUE(becomesMarked(2.05f, 3.05f));
}

TEST_F(FrustumObservationRosTest, SensorFrameMustBeTransformableToo)
{
  source_.sensor_frame = "camera_mount";
  listen();
  sendCameraPose(2.0, 3.0);
  // The mount is known only from ten seconds on, so the first cloud can never be delivered.
  const rclcpp::Time start = node_->now();
  tf2_ros::TransformBroadcaster broadcaster(peer_);
  for (const double offset : {10.0, 11.0}) {
    geometry_msgs::msg::TransformStamped mount;
    mount.header.frame_id = "camera";
    mount.header.stamp = start + rclcpp::Duration::from_seconds(offset);
    mount.child_frame_id = "camera_mount";
    mount.transform.rotation.w = 1.0;
    broadcaster.sendTransform(mount);
  }
  publishCloud(0.05f, 0.05f, start);
  publishCloud(2.05f, 0.05f, start + rclcpp::Duration::from_seconds(10.5));

  EXPECT_TRUE(becomesMarked(4.05f, 3.05f));
  EXPECT_EQ(bitsAt(2.05f, 3.05f), 0u);
}

TEST_F(FrustumObservationRosTest, SubscribedOnlyWhileActive)
{
  build();
  front_end_->addObservationBufferListen(source_);
  EXPECT_TRUE(hasSubscribers(false));
  front_end_->activate();
  EXPECT_EQ(node_->count_subscribers("front_cloud"), 1u);
  front_end_->deactivate();
  EXPECT_TRUE(hasSubscribers(false));
}

TEST_F(FrustumObservationRosTest, DetectorIsBuiltFromTheFirstCameraInfoThatArrives)
{
  options_.occlusion_clearing = true;
  source_.buffer_options.camera_info_topic = "front_info";
  publishCameraInfoContinuously("front_info");
  listen();
  sendCameraPoseAndWait(2.0, 3.0);
  publishCloud(0.05f, 0.05f, node_->now());
  ASSERT_TRUE(becomesMarked(2.05f, 3.05f));
  publishCloud(1.05f, 0.05f, node_->now());
  ASSERT_TRUE(becomesMarked(3.05f, 3.05f));
  EXPECT_EQ(sink_->matching("do not have frustum").size(), 1u);
}

TEST_F(FrustumObservationRosTest, WithoutCameraInfoTopicTheMissingFrustumIsWarnedAboutOnce)
{
  options_.occlusion_clearing = true;
  listen();
  sendCameraPose(2.0, 3.0);
  publishCloud(0.05f, 0.05f, node_->now());
  ASSERT_TRUE(becomesMarked(2.05f, 3.05f));
  // Beyond what a line a second would hold back.
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  publishCloud(1.05f, 0.05f, node_->now());
  ASSERT_TRUE(becomesMarked(3.05f, 3.05f));
  EXPECT_EQ(
    sink_->matching("do not have frustum"), std::vector<std::string>(
      1, "Warning: semanticPointCloudCallback find frame front_cloud do not have frustum. "
      "camera_info_topic: \"\"; without one this source marks and never clears"));
}

TEST_F(FrustumObservationRosTest, UnknownMessageTypeThrowsAfterTheBufferWasAdded)
{
  build();
  source_.msg_type = "PointCloud2";
  source_.marking = false;
  try {
    front_end_->addObservationBufferListen(source_);
    ADD_FAILURE() << "no exception";
  } catch (const std::runtime_error & error) {
    EXPECT_STREQ(error.what(), "Unknown message type: PointCloud2");
  }
  EXPECT_TRUE(hasSubscribers(false));
  EXPECT_TRUE(front_end_->setObservationMarkingStatus("obstacle_type.front", true));
}

TEST_F(FrustumObservationRosTest, MarkingStatusChangesOnlyTheSourceItNames)
{
  build();
  for (const auto & [name, marking] : {std::pair{"a", true}, {"b", true}, {"c", false}}) {
    source_.buffer_options.source_name = name;
    source_.buffer_options.topic = std::string(name) + "_cloud";
    source_.buffer_options.expected_hz = 1000;  // never met: every marking source is listed
    source_.marking = marking;
    front_end_->addObservationBufferListen(source_);
  }
  using Names = std::vector<std::string>;
  EXPECT_TRUE(front_end_->setObservationMarkingStatus("b", true));
  EXPECT_EQ(slowMarkingSources(), (Names{"a", "b"}));
  EXPECT_FALSE(front_end_->setObservationMarkingStatus("c", false));
  EXPECT_FALSE(front_end_->setObservationMarkingStatus("z", true));
  EXPECT_TRUE(front_end_->setObservationMarkingStatus("a", false));
  EXPECT_EQ(slowMarkingSources(), (Names{"b"}));
  EXPECT_TRUE(front_end_->setObservationMarkingStatus("c", true));
  EXPECT_TRUE(front_end_->setObservationMarkingStatus("a", true));
  EXPECT_EQ(slowMarkingSources(), (Names{"b", "c", "a"}));
}

TEST_F(FrustumObservationRosTest, CallbackOutlivingTheNodeBuffersTheCloudAndReleasesTheLock)
{
  options_.occlusion_clearing = true;
  auto gone = std::make_shared<rclcpp_lifecycle::LifecycleNode>("gone", "/t" + suffix_);
  FrustumObservationRos front_end(gone, options_, *tf_buffer_, 100, 100, 0.1, 0.0, 0.0);
  gone.reset();
  geometry_msgs::msg::TransformStamped camera;
  camera.header.frame_id = "map";
  camera.child_frame_id = "camera";
  camera.transform.rotation.w = 1.0;
  tf_buffer_->setTransform(camera, "test", true);
  source_.buffer_options.camera_info_topic = "front_info";
  auto buffer = std::make_shared<ObservationBuffer>(
    source_.buffer_options, "map", *tf_buffer_, 0.5, node_->get_clock(), node_->get_logger(),
    nullptr);
  auto message = std::make_shared<SemanticPointCloud>();
  message->header.frame_id = "camera";
  message->header.stamp = node_->now();

  EXPECT_NO_THROW(front_end.semanticPointCloudCallback(message, buffer));
  // A frame never asks the node for anything: no CameraInfo is waited for on it.
  EXPECT_TRUE(sink_->matching("node cannot be nullptr").empty());
  EXPECT_EQ(sink_->matching("do not have frustum").size(), 1u);
  EXPECT_FALSE(buffer->frustum_detector_);
  ASSERT_TRUE(buffer->lock_.try_lock());
  std::vector<Observation> observations;
  buffer->getObservations(observations);
  buffer->lock_.unlock();
  EXPECT_EQ(observations.size(), 1u);
}

TEST_F(FrustumObservationRosTest, AbsurdCameraInfoBuildsNoDetectorUntilASaneOneArrives)
{
  options_.occlusion_clearing = true;
  source_.buffer_options.camera_info_topic = "front_info";
  absurd_camera_info_ = true;
  publishCameraInfoContinuously("front_info");
  listen();
  sendCameraPoseAndWait(2.0, 3.0);
  const auto detectors = [this] {
      std::vector<Observation> observations;
      Detectors found;
      front_end_->getMarkingObservations(observations, found);
      return found;
    };

  ASSERT_TRUE(waitFor([&] {
      publishCloud(0.05f, 0.05f, node_->now());
      return !sink_->matching("refuses the camera info").empty();
    }));
  const auto refusals = sink_->matching("refuses the camera info");
  EXPECT_NE(refusals.front().find("source obstacle_type.front (topic front_info"), std::string::npos)
    << refusals.front();
  EXPECT_TRUE(detectors().empty());
  // The map update goes on without clearing by this camera.
  Bounds bounds;
  EXPECT_NO_THROW(
    front_end_->updatePointCloud3DMap(
      grid_, &bounds.min_x, &bounds.min_y, &bounds.max_x, &bounds.max_y, 5.0, 5.0));

  absurd_camera_info_ = false;
  EXPECT_TRUE(waitFor([&] {
      publishCloud(0.05f, 0.05f, node_->now());
      return detectors().size() == 1u;
    }));
  const Detectors built = detectors();
  ASSERT_EQ(built.size(), 1u);
  EXPECT_EQ(built.front()->camera().width, 640u);
}

// Marking and clearing on hand-built observations.

TEST_F(FrustumObservationRosTest, PointsAndHullsOffEveryCellMarkNothing)
{
  build();
  const float big = std::numeric_limits<float>::max();
  // A driver's sentinel passes as a finite number; a cell index computed from it would wrap.
  mark({observationAt(secondsNow(), {
      cloudOf(kWall, {{1e30f, 1e30f, 0.5f}, {big, 1.0f, 0.5f}, {1.0f, -big, 0.5f},
        {4294967296.0f * 0.1f + 0.5f, 1.0f, 0.5f}}),
      cloudOf(kWall, {{1.0f, 1.0f, 0.5f}, {2.0f, 1.0f, 0.5f}, {1e30f, 1e30f, 0.5f}}, true)})});
  for (unsigned int my = 0; my < grid_.getHeight(); ++my) {
    for (unsigned int mx = 0; mx < grid_.getWidth(); ++mx) {
      EXPECT_EQ(grid_.get(mx, my).bits_, 0u) << mx << ", " << my;
    }
  }
}

TEST_F(FrustumObservationRosTest, TopPointsOfACellWithinAMillimetreAllMark)
{
  build();
  mark({observationAt(secondsNow(), {
      cloudOf(kWall, {{2.01f, 2.01f, 1.0f}, {3.01f, 3.01f, 1.0f}}),
      cloudOf(kPerson, {{2.05f, 2.05f, 1.0005f}, {3.05f, 3.05f, 1.002f}})})});
  EXPECT_EQ(bitsAt(2.01f, 2.01f), kWallBit | kPersonBit);
  EXPECT_EQ(bitsAt(3.01f, 3.01f), kPersonBit);
}

TEST_F(FrustumObservationRosTest, PolygonFillsItsHullOnlyWhenItLiesOnTheGrid)
{
  build();
  const Points square{
    {1.0f, 1.0f, 0.0f}, {3.0f, 1.0f, 0.0f}, {3.0f, 3.0f, 0.0f}, {1.0f, 3.0f, 0.0f}};
  mark({observationAt(secondsNow(), {
      cloudOf(kWall, square, true),
      cloudOf(kPerson, {{5.01f, 1.01f, 0.2f}, {5.31f, 1.01f, 0.2f}}),
      cloudOf(kPerson, {{6.0f, 6.0f, 0.0f}, {8.0f, 6.0f, 0.0f}, {10.5f, 8.0f, 0.0f}}, true),
      cloudOf(kPerson, {{7.0f, 1.0f, 0.0f}, {8.0f, 2.0f, 0.0f}}, true)})});
  EXPECT_EQ(bitsAt(2.0f, 2.0f), kWallBit);
  EXPECT_EQ(bitsAt(5.01f, 1.01f), kPersonBit);
  EXPECT_EQ(bitsAt(5.15f, 1.01f), 0u);
  EXPECT_EQ(bitsAt(8.0f, 6.5f), 0u);  // a hull vertex off the grid
  EXPECT_EQ(bitsAt(7.0f, 1.0f), 0u);  // two vertices make no area
}

TEST_F(FrustumObservationRosTest, PolygonFillFollowsTheWidthOfTheGridWritten)
{
  build(20);
  mark({observationAt(secondsNow(), {cloudOf(kWall, {
      {1.0f, 1.0f, 0.0f}, {3.0f, 1.0f, 0.0f}, {3.0f, 3.0f, 0.0f}, {1.0f, 3.0f, 0.0f}}, true)})});
  EXPECT_EQ(bitsAt(2.5f, 2.0f), kWallBit);
  EXPECT_EQ(bitsAt(2.0f, 3.5f), 0u);
  EXPECT_EQ(bitsAt(0.5f, 1.5f), 0u);
}

TEST_F(FrustumObservationRosTest, BoundsWidenToEveryCloudAndAnEmptyCloudReachesTheOrigin)
{
  build();
  const double now = secondsNow();
  Bounds bounds =
    mark({observationAt(now, {cloudOf(kWall, {{2.0f, 3.0f, 0.0f}, {4.0f, 6.0f, 0.0f}})})});
  EXPECT_EQ(std::vector<double>({bounds.min_x, bounds.min_y, bounds.max_x, bounds.max_y}),
    std::vector<double>({2.0, 3.0, 4.0, 6.0}));
  bounds = mark({observationAt(now + 1.0, {cloudOf(kWall, {})})});
  EXPECT_EQ(std::vector<double>({bounds.min_x, bounds.min_y}), std::vector<double>({0.0, 0.0}));
}

TEST_F(FrustumObservationRosTest, DecayedCloudIsMarkedOnceMoreThenForgotten)
{
  options_.decay_time = 5.0;
  options_.occlusion_clearing = true;
  build();
  mark({observationAt(secondsNow() - 10.0, {cloudOf(kWall, {{2.0f, 2.0f, 0.0f}})}),
      observationAt(secondsNow() - 1.0, {cloudOf(kWall, {{4.0f, 4.0f, 0.0f}})})});
  mark({});
  EXPECT_EQ(bitsAt(2.0f, 2.0f), kWallBit);
  mark({});
  EXPECT_EQ(bitsAt(2.0f, 2.0f), 0u);
  EXPECT_EQ(bitsAt(4.0f, 4.0f), kWallBit);
}

TEST_F(FrustumObservationRosTest, CloudWithBothEdgesOfOneAxisFarFromTheRobotIsDropped)
{
  options_.local_cache_distance = 3.0;
  options_.occlusion_clearing = true;
  build();
  mark({observationAt(secondsNow() - 1.0, {
      cloudOf(kWall, {{9.0f, 4.0f, 0.0f}, {9.5f, 4.5f, 0.0f}}),
      cloudOf(kWall, {{1.5f, 1.0f, 0.0f}, {8.5f, 1.2f, 0.0f}}),
      cloudOf(kPerson, {{1.5f, 5.0f, 0.0f}, {8.5f, 5.5f, 0.0f}}),  // spans the robot in x
      cloudOf(kPerson, {{7.0f, 2.0f, 0.0f}, {8.5f, 8.0f, 0.0f}})})});
  mark({});
  mark({});
  EXPECT_EQ(bitsAt(9.5f, 4.5f), 0u);
  EXPECT_EQ(bitsAt(1.5f, 1.0f), 0u);
  EXPECT_EQ(bitsAt(1.5f, 5.0f), 0u);
  EXPECT_EQ(bitsAt(7.0f, 2.0f), kPersonBit);
}

TEST_F(FrustumObservationRosTest, RememberedCloudAsOldAsTheOldestCurrentOneIsSuperseded)
{
  options_.occlusion_clearing = true;
  build();
  const double then = secondsNow() - 2.0;
  mark({observationAt(then, {cloudOf(kWall, {{2.0f, 2.0f, 0.0f}})})});
  mark({observationAt(then + 1.0, {cloudOf(kPerson, {{4.0f, 4.0f, 0.0f}})}),
      observationAt(then, {cloudOf(kPerson, {{6.0f, 6.0f, 0.0f}})})});
  EXPECT_EQ(bitsAt(2.0f, 2.0f), kWallBit);
  mark({});
  EXPECT_EQ(bitsAt(2.0f, 2.0f), 0u);
  EXPECT_EQ(bitsAt(6.0f, 6.0f), kPersonBit);
}

TEST_F(FrustumObservationRosTest, WithoutOcclusionClearingARememberedCloudIsLeftUnmarked)
{
  build();
  mark({observationAt(secondsNow() - 1.0, {cloudOf(kWall, {{2.0f, 2.0f, 0.0f}})})});
  EXPECT_EQ(bitsAt(2.0f, 2.0f), kWallBit);
  mark({});
  EXPECT_EQ(bitsAt(2.0f, 2.0f), 0u);
}

TEST_F(FrustumObservationRosTest, PointsInCellsOfCurrentCloudsAreMarkedOnceMoreThenCleared)
{
  options_.occlusion_clearing = true;
  build();
  const double then = secondsNow() - 2.0;
  mark({observationAt(then, {cloudOf(kWall, {{2.01f, 2.01f, 0.0f}, {3.0f, 3.0f, 0.0f}})})});
  mark({observationAt(then + 1.0, {cloudOf(kPerson, {{2.05f, 2.05f, -1.0f}})})});
  EXPECT_EQ(bitsAt(2.01f, 2.01f), kWallBit | kPersonBit);
  mark({});
  EXPECT_EQ(bitsAt(2.01f, 2.01f), kPersonBit);
  EXPECT_EQ(bitsAt(3.0f, 3.0f), kWallBit);
}

TEST_F(FrustumObservationRosTest, CloudLeftWithTooFewPointsIsForgotten)
{
  options_.occlusion_clearing = true;
  options_.clearing_min_point_cloud = 2;
  build();
  mark({observationAt(secondsNow() - 2.0, {
      cloudOf(kWall, {{1.0f, 1.0f, 0.0f}, {1.5f, 1.0f, 0.0f}}),
      cloudOf(kPerson, {{3.0f, 1.0f, 0.0f}, {3.5f, 1.0f, 0.0f}, {4.0f, 1.0f, 0.0f}})})});
  mark({});
  EXPECT_EQ(bitsAt(1.0f, 1.0f), kWallBit);
  mark({});
  EXPECT_EQ(bitsAt(1.0f, 1.0f), 0u);
  EXPECT_EQ(bitsAt(3.0f, 1.0f), kPersonBit);
}

TEST_F(FrustumObservationRosTest, NearBlockedCameraClearsOnlyWithMorePointsThanTheThreshold)
{
  options_.occlusion_clearing = true;
  options_.enable_near_blocked_protection = true;
  const Detectors detectors{cameraStamped(100, {{3.0f, 0.0f, 0.0f}})};
  ASSERT_EQ(detectors[0]->points_used(), 1);
  for (const int threshold : {1, 0}) {
    options_.number_points_considered_as_blocked = threshold;
    build();
    mark({observationAt(secondsNow() - 2.0, {cloudOf(kWall, {{2.0f, 0.3f, 0.2f}})})}, detectors);
    mark({}, detectors);
    mark({}, detectors);
    EXPECT_EQ(bitsAt(2.0f, 0.3f), threshold == 1 ? kWallBit : 0u) << "threshold " << threshold;
  }
}

TEST_F(FrustumObservationRosTest, PolygonHullIsRecomputedOnlyWhenMoreThanTwoAndEnoughPointsWent)
{
  options_.occlusion_clearing = true;
  build();
  const double then = secondsNow() - 2.0;
  const Points ten{
    {1.0f, 1.0f, 0.0f}, {3.0f, 1.0f, 0.0f}, {1.0f, 3.0f, 0.0f}, {3.01f, 3.01f, 0.0f},
    {2.0f, 2.0f, 0.0f}, {1.5f, 1.5f, 0.0f}, {1.5f, 2.0f, 0.0f}, {2.0f, 1.5f, 0.0f},
    {2.51f, 2.01f, 0.0f}, {2.01f, 2.51f, 0.0f}};
  const Points four{
    {5.0f, 5.0f, 0.0f}, {7.01f, 5.01f, 0.0f}, {7.01f, 7.01f, 0.0f}, {5.0f, 7.0f, 0.0f}};
  mark({observationAt(then, {cloudOf(kWall, ten, true), cloudOf(kWall, four, true)})});
  // Takes three of the ten points (30 %) and two of the four.
  mark({observationAt(then + 1.0, {cloudOf(kPerson, {
      {3.05f, 3.05f, 0.0f}, {2.55f, 2.05f, 0.0f}, {2.05f, 2.55f, 0.0f}, {7.05f, 5.05f, 0.0f},
      {7.05f, 7.05f, 0.0f}})})});
  mark({});
  EXPECT_EQ(bitsAt(2.85f, 2.75f), 0u);
  EXPECT_EQ(bitsAt(1.55f, 1.55f), kWallBit);
  EXPECT_EQ(bitsAt(6.85f, 6.75f), kWallBit);
}

// Debug markers and summary.

TEST_F(FrustumObservationRosTest, EmptyUpdatePublishesAnEmptyArrayAndAZeroSummary)
{
  options_.enable_frustum_trace = true;
  options_.name = "front";
  build();
  EXPECT_TRUE(nextMarkers([this] {mark({});}).markers.empty());
  EXPECT_EQ(
    sink_->matching("front, "), (std::vector<std::string>{
    "front, frustum num 0, obs num 0, obs-point num 0, buffer num 0, buffer-point num 0."}));
  EXPECT_EQ(sink_->matching("FrustumObservationRos name front updatePointCloud3DMap").size(), 1u);
}

TEST_F(FrustumObservationRosTest, StampedDetectorsShowTheirOutlineAndTwoViewSlabs)
{
  options_.enable_frustum_trace = true;
  options_.name = "stamped";
  build();
  const Detectors detectors{cameraStamped(0), cameraStamped(100), cameraStamped(200)};
  const MarkerArray array = nextMarkers([&] {front_end_->publishDebugMarkers({}, detectors);});

  const auto shapes = inNamespace(array, "stamped.shape");
  ASSERT_EQ(shapes.size(), 2u);
  EXPECT_EQ(shapes[1].id, 1);
  EXPECT_EQ(shapes[1].type, Marker::LINE_LIST);
  EXPECT_EQ(shapes[1].header.frame_id, "map");
  EXPECT_EQ(shapes[1].header.stamp.sec, 200);
  EXPECT_EQ(shapes[1].points.size(), 16u);
  EXPECT_DOUBLE_EQ(shapes[1].scale.x, 0.02);
  EXPECT_FLOAT_EQ(shapes[1].color.r, 240.0f / 255.0f);
  EXPECT_FLOAT_EQ(shapes[1].color.a, 0.6f);
  const auto slabs = inNamespace(array, "stamped.frustum");
  ASSERT_EQ(slabs.size(), 4u);
  for (int id = 0; id < 4; ++id) {
    EXPECT_EQ(slabs[id].id, id);
    EXPECT_EQ(slabs[id].type, Marker::CUBE);
    EXPECT_EQ(slabs[id].header.frame_id, "front_camera");
    EXPECT_EQ(slabs[id].header.stamp.sec, id < 2 ? 100 : 200);
  }
  EXPECT_DOUBLE_EQ(slabs[1].pose.position.z, 5.0);
  // (640 - 320) * 5 / 500 and (480 - 240) * 0.5 / 500, each widened by 1e-6
  EXPECT_FLOAT_EQ(static_cast<float>(slabs[1].scale.x), 3.200001f);
  EXPECT_FLOAT_EQ(static_cast<float>(slabs[0].scale.y), 0.240001f);
  EXPECT_DOUBLE_EQ(slabs[0].scale.z, 0.02);
}

TEST_F(FrustumObservationRosTest, CloudBoxesStackByIdWithAlphaByPointCount)
{
  options_.enable_frustum_trace = true;
  options_.occlusion_clearing = true;
  options_.name = "boxes";
  build();
  const Observation observation = observationAt(secondsNow(), {
      rowOf(250, 1.05f, 1.0f), rowOf(0, 0.0f, 0.0f), rowOf(25, 2.05f, 2.0f),
      rowOf(3, 4.05f, 3.0f)});
  const MarkerArray array =
    nextMarkers([&] {mark({observation}, {cameraStamped(300)});});

  const auto current = inNamespace(array, "boxes.cur_pc");
  ASSERT_EQ(current.size(), 3u);
  EXPECT_FLOAT_EQ(current[0].color.a, 0.5f);
  EXPECT_FLOAT_EQ(current[1].color.a, 0.2f);
  EXPECT_EQ(current[2].id, 2);
  EXPECT_DOUBLE_EQ(current[2].pose.position.z, 0.1);
  EXPECT_NEAR(current[2].pose.position.x, 4.15, 1e-6);
  EXPECT_NEAR(current[2].scale.x, 0.1, 1e-6);
  EXPECT_EQ(current[2].header.frame_id, "map");
  EXPECT_EQ(current[2].header.stamp.sec, 300);
  const auto remembered = inNamespace(array, "boxes.buffer");
  ASSERT_EQ(remembered.size(), 4u);
  EXPECT_FLOAT_EQ(remembered[1].color.a, 0.1f);
  EXPECT_FLOAT_EQ(remembered[3].color.r, 234.0f / 255.0f);
  EXPECT_DOUBLE_EQ(remembered[3].pose.position.z, -0.15);
  EXPECT_NEAR(remembered[3].scale.x, 0.2, 1e-6);
  EXPECT_EQ(
    sink_->matching("boxes, "), (std::vector<std::string>{
    "boxes, frustum num 1, obs num 3, obs-point num 278, buffer num 4, buffer-point num 278."}));
}

TEST_F(FrustumObservationRosTest, SummaryOfOneNameAtMostOnceInFiveSecondsOfDetectorTime)
{
  options_.enable_frustum_trace = true;
  options_.name = "throttled";
  build();
  for (const int seconds : {1000, 1003, 1006, 1011}) {
    nextMarkers([&] {front_end_->publishDebugMarkers({}, {cameraStamped(seconds)});});
  }
  // Another instance with the same name shares the throttle.
  FrustumObservationRos twin(node_, options_, *tf_buffer_, 100, 100, 0.1, 0.0, 0.0);
  twin.publishDebugMarkers({}, {cameraStamped(1010)});
  EXPECT_EQ(sink_->matching("throttled, frustum num 1").size(), 2u);
}

}  // namespace
