// Camera sources fed what robots really send, while the host's executor spins the grid-map node:
// clouds stamped before 1970, CameraInfos that cannot be used or that change, and frustum bins
// finer than the defaults on a real camera, tilted or not.

#include <chrono>
#include <cmath>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "geometry_msgs/msg/transform_stamped.hpp"
#include "lifecycle_msgs/msg/state.hpp"
#include "quorvane_protocol/msg/semantic_point_cloud.hpp"
#include "sensor_msgs/msg/camera_info.hpp"
#include "tf2_geometry_msgs/tf2_geometry_msgs.hpp"
#include "tf2_ros/static_transform_broadcaster.h"

#include "test_gridmap_ros_support.hpp"
#include "quorvane_nav2_gridmap/gridmap_ros.hpp"

namespace
{

using lifecycle_msgs::msg::State;
using quorvane_nav2_gridmap::GridMapROS;
using quorvane_protocol::msg::SemanticPointCloud;
using sensor_msgs::msg::CameraInfo;

constexpr unsigned int kWallBit = 0x4;

// A 5 m square costmap of 0.1 m cells per node; one camera source "front" on /<name>/cloud whose
// CameraInfo comes on /<name>/camera_info. Remembered clouds go only by clearing.
std::string nodeParameters(const std::string & name, const std::string & source)
{
  return "/" + name + "_costmap/" + name + "_costmap:\n  ros__parameters:\n"
         "    resolution: 0.1\n"
         "/" + name + "_gridmap/" + name + "_gridmap:\n  ros__parameters:\n"
         "    plugins: [\"obstacle\"]\n"
         "    obstacle:\n      plugin: quorvane_nav2_gridmap::GridObstacleType\n"
         "      enable_near_blocked_protection: false\n      clearing_min_point_cloud: 0\n"
         "      decay_time: 0.0\n      local_cache_distance: 0.0\n"
         "      observation_sources: front\n"
         "      front:\n        topic: /" + name + "/cloud\n        marking: true\n"
         "        camera_info_topic: /" + name + "/camera_info\n" + source;
}

// "camera" bins its frustum far finer than the defaults, as a real camera allows; "too_fine" beyond
// what any grid holds; "tilted" as fine as a level camera allows.
const auto * const kRos = ::testing::AddGlobalTestEnvironment(
  new gridmap_test::RosEnvironment(
    nodeParameters(
      "camera", "        frustum_theta_resolution: 0.005\n        frustum_r_resolution: 0.01\n") +
    nodeParameters(
      "too_fine",
      "        frustum_theta_resolution: 0.0001\n        frustum_r_resolution: 0.0001\n") +
    nodeParameters(
      "tilted", "        frustum_theta_resolution: 0.002\n        frustum_r_resolution: 0.01\n")));

// A VGA camera of 65 degrees across.
CameraInfo vgaCamera(double focal_length = 500.0)
{
  return gridmap_test::vgaCameraInfo("camera_optical", focal_length);
}

// One wall point (category 300) at (x, y, 0.5) of the map, stamped now.
SemanticPointCloud wallAt(float x, float y) {return gridmap_test::wallFrame("map", x, y, 0.5f);}

// Cell centres along the camera's view.
float cellCentre(unsigned int cell) {return 0.1f * static_cast<float>(cell) + 0.05f;}

std::vector<std::string> linesWith(
  gridmap_test::CapturingSink & sink, spdlog::level::level_enum level, const std::string & text)
{
  std::vector<std::string> found;
  for (const auto & line : sink.linesAt(level)) {
    if (line.text.find(text) != std::string::npos) {
      found.push_back(line.text);
    }
  }
  return found;
}

// One configured and active grid-map node spun by a host of `threads` threads, with a camera at
// (0.5, 2.55, 0.5) of the map looking along x, pitched `pitch` radians down.
class CameraRig
{
public:
  explicit CameraRig(const std::string & name, std::size_t threads = 1, double pitch = 0.0)
  : helper_(std::make_shared<rclcpp::Node>(name + "_camera")),
    node_(std::make_shared<GridMapROS>(name, "")),
    clouds_(helper_->create_publisher<SemanticPointCloud>("/" + name + "/cloud", 10)),
    camera_info_(helper_->create_publisher<CameraInfo>("/" + name + "/camera_info", 1))
  {
    geometry_msgs::msg::TransformStamped optical;
    optical.header.frame_id = "map";
    optical.child_frame_id = "camera_optical";
    optical.transform.translation.x = 0.5;
    optical.transform.translation.y = 2.55;
    optical.transform.translation.z = 0.5;
    tf2::Quaternion down;
    down.setRPY(0.0, pitch, 0.0);
    optical.transform.rotation = tf2::toMsg(down * tf2::Quaternion(-0.5, 0.5, -0.5, 0.5));
    broadcaster_ = std::make_shared<tf2_ros::StaticTransformBroadcaster>(helper_);
    broadcaster_->sendTransform(optical);
    EXPECT_EQ(node_->configure().id(), State::PRIMARY_STATE_INACTIVE);
    EXPECT_EQ(node_->activate().id(), State::PRIMARY_STATE_ACTIVE);
    host_ = gridmap_test::spinningHost({node_->get_node_base_interface()}, threads);
    EXPECT_TRUE(gridmap_test::waitUntil([this] {return clouds_->get_subscription_count() > 0;}));
    EXPECT_TRUE(
      gridmap_test::waitUntil([this] {return camera_info_->get_subscription_count() > 0;}));
  }

  void publish(const SemanticPointCloud & cloud) {clouds_->publish(cloud);}
  void publish(const CameraInfo & info) {camera_info_->publish(info);}

  bool wallIn(unsigned int mx, unsigned int my)
  {
    node_->multi_grid_map_->updateMap();
    return node_->multi_grid_map_->isObstacleType(mx, my, kWallBit);
  }

  // Sends a wall point `cell` cells ahead on the camera's axis and waits until an update marks it.
  bool frameMarks(unsigned int cell)
  {
    publish(wallAt(cellCentre(cell), 2.55f));
    return gridmap_test::waitUntil([this, cell] {return wallIn(cell, 25);});
  }

  // Shows the camera empty views (their one point lies behind it, each in a cell of its own)
  // until an update after one of them no longer holds the wall in cell (`cell`, `wall_row`).
  bool viewClears(unsigned int cell, unsigned int wall_row = 25)
  {
    for (unsigned int row = 0; row < 20; ++row) {
      publish(wallAt(cellCentre(2), cellCentre(row)));
      if (!gridmap_test::waitUntil([this, row] {return wallIn(2, row);})) {
        return false;
      }
      if (!wallIn(cell, wall_row)) {
        return true;
      }
    }
    return false;
  }

private:
  std::shared_ptr<rclcpp::Node> helper_;
  std::shared_ptr<tf2_ros::StaticTransformBroadcaster> broadcaster_;
  std::shared_ptr<GridMapROS> node_;
  std::shared_ptr<rclcpp::Publisher<SemanticPointCloud>> clouds_;
  std::shared_ptr<rclcpp::Publisher<CameraInfo>> camera_info_;
  std::shared_ptr<void> host_;
};

class CameraSourceFaultsTest : public ::testing::Test
{
protected:
  void SetUp() override {sink_ = gridmap_test::CapturingSink::attach();}
  void TearDown() override {sink_->detach();}

  // At most one line a second is a throttle's promise, whatever the machine's speed.
  static std::size_t throttledLimit(std::chrono::steady_clock::time_point since)
  {
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - since;
    return 1 + static_cast<std::size_t>(std::ceil(elapsed.count()));
  }

  std::shared_ptr<gridmap_test::CapturingSink> sink_;
};

TEST_F(CameraSourceFaultsTest, CloudsStampedBefore1970AreDroppedWithAWarningAndLaterOnesMarked)
{
  CameraRig rig("camera");
  const auto started = std::chrono::steady_clock::now();
  for (int i = 0; i < 20; ++i) {
    auto cloud = wallAt(cellCentre(30), 2.55f);
    cloud.header.stamp.sec = -1 - i;
    rig.publish(cloud);
  }
  EXPECT_TRUE(rig.frameMarks(20));
  EXPECT_FALSE(rig.wallIn(30, 25));
  const std::size_t warnings =
    linesWith(*sink_, spdlog::level::warn, "Source obstacle.front drops clouds").size();
  EXPECT_GE(warnings, 1u);
  EXPECT_LE(warnings, throttledLimit(started));
}

TEST_F(CameraSourceFaultsTest, RefusedCameraInfoIsJudgedOnceAndFramesGoOnWithoutWaitingForIt)
{
  CameraRig rig("camera");
  const auto context = rclcpp::contexts::get_global_default_context();
  const std::size_t shutdown_callbacks = context->get_on_shutdown_callbacks().size();
  const auto started = std::chrono::steady_clock::now();
  constexpr unsigned int kFrames = 25;
  // The driver sends its all-zero calibration, newly stamped, before every frame.
  for (unsigned int cell = 10; cell < 10 + kFrames; ++cell) {
    rig.publish(vgaCamera(0.0));
    ASSERT_TRUE(rig.frameMarks(cell)) << cell;
  }
  EXPECT_EQ(linesWith(*sink_, spdlog::level::err, "refuses the camera info").size(), 1u);
  const std::size_t warnings = linesWith(
    *sink_, spdlog::level::warn,
    "do not have frustum. camera_info_topic: \"/camera/camera_info\"").size();
  EXPECT_GE(warnings, 1u);
  EXPECT_LE(warnings, throttledLimit(started));
  EXPECT_EQ(context->get_on_shutdown_callbacks().size(), shutdown_callbacks);
  // Marked without clearing meanwhile; a usable CameraInfo then gives the camera its clearing,
  // fine bins and all.
  EXPECT_TRUE(rig.wallIn(10, 25));
  rig.publish(vgaCamera());
  EXPECT_TRUE(rig.viewClears(10));
  EXPECT_EQ(linesWith(*sink_, spdlog::level::err, "camera info").size(), 1u);
}

TEST_F(CameraSourceFaultsTest, BinsTooFineForAnyGridAreBlamedOnTheSettingsNotTheCamera)
{
  CameraRig rig("too_fine");
  rig.publish(vgaCamera());
  ASSERT_TRUE(rig.frameMarks(30));
  EXPECT_FALSE(rig.viewClears(30));
  const auto errors = linesWith(*sink_, spdlog::level::err, "camera info");
  ASSERT_EQ(errors.size(), 1u);
  for (const std::string expected : {"obstacle.front", "frustum_theta_resolution 0.0001",
      "frustum_r_resolution 0.0001"})
  {
    EXPECT_NE(errors.front().find(expected), std::string::npos) << errors.front();
  }
  EXPECT_EQ(errors.front().find("refuses the camera info"), std::string::npos);
}

TEST_F(CameraSourceFaultsTest, RefusedCameraInfosAreReportedAtMostOnceASecondWhateverArrives)
{
  CameraRig rig("camera");
  const auto started = std::chrono::steady_clock::now();
  // A NaN never equals itself, and two refused calibrations take turns.
  for (unsigned int cell = 10; cell < 35; ++cell) {
    rig.publish(vgaCamera(cell % 2 == 0 ? std::nan("") : 0.0));
    ASSERT_TRUE(rig.frameMarks(cell)) << cell;
  }
  const auto errors = linesWith(*sink_, spdlog::level::err, "refuses the camera info");
  EXPECT_GE(errors.size(), 1u);
  EXPECT_LE(errors.size(), throttledLimit(started));
}

TEST_F(CameraSourceFaultsTest, TiltedCameraWhoseGridOutgrowsItsPoseClearsNothingAndSaysSoOnce)
{
  // Pitched 55 degrees down, this camera's frustum needs more bins of 0.002 rad by 0.01 m than a
  // grid holds, though level it does not.
  CameraRig rig("tilted", 1, 55.0 * M_PI / 180.0);
  rig.publish(vgaCamera());
  // In view: 0.55 m ahead and 0.4 m below the camera.
  rig.publish(gridmap_test::wallFrame("map", cellCentre(10), 2.55f, 0.1f));
  ASSERT_TRUE(gridmap_test::waitUntil([&rig] {return rig.wallIn(10, 25);}));
  EXPECT_FALSE(rig.viewClears(10));
  const auto errors = linesWith(*sink_, spdlog::level::err, "in this pose");
  ASSERT_EQ(errors.size(), 1u);
  for (const std::string expected : {"obstacle.front", "frustum_theta_resolution (now 0.002)",
      "frustum_r_resolution (now 0.01)"})
  {
    EXPECT_NE(errors.front().find(expected), std::string::npos) << errors.front();
  }
}

TEST_F(CameraSourceFaultsTest, FrustumClearsOnlyOnceAFrameBroughtItsCameraPose)
{
  CameraRig rig("camera");
  // 1.5 m above the map's origin, far from the camera's view.
  rig.publish(gridmap_test::wallFrame("map", 0.35f, 0.35f, 1.5f));
  ASSERT_TRUE(gridmap_test::waitUntil([&rig] {return rig.wallIn(3, 3);}));
  // The frame that takes the CameraInfo was stored without a frustum; its point lies beyond the
  // reach of a frustum placed at the origin.
  rig.publish(vgaCamera());
  rig.publish(gridmap_test::wallFrame("map", 4.95f, 4.95f, 0.5f));
  ASSERT_TRUE(gridmap_test::waitUntil([&] {
      return rig.wallIn(49, 49) && !linesWith(*sink_, spdlog::level::info, "builds the").empty();
    }));
  for (int update = 0; update < 10; ++update) {
    ASSERT_TRUE(rig.wallIn(3, 3)) << update;
  }
}

class CameraInfoChangeTest : public CameraSourceFaultsTest,
  public ::testing::WithParamInterface<std::size_t> {};

TEST_P(CameraInfoChangeTest, ChangedCameraInfoRebuildsTheFrustumOnce)
{
  CameraRig rig("camera", GetParam());
  rig.publish(vgaCamera());
  ASSERT_TRUE(rig.frameMarks(20));
  // Reconfigured to 320 x 240: 35 degrees across instead of 65.
  CameraInfo narrow = vgaCamera();
  narrow.width = 320;
  narrow.height = 240;
  narrow.p[2] = 160.0;
  narrow.p[6] = 120.0;
  rig.publish(narrow);
  // In the old view, not in the new one: 1.05 m ahead, 0.5 m aside.
  rig.publish(gridmap_test::wallFrame("map", cellCentre(15), 3.05f, 0.5f));
  ASSERT_TRUE(gridmap_test::waitUntil([&rig] {return rig.wallIn(15, 30);}));
  // Resent newly stamped, as drivers do.
  narrow.header.stamp.sec += 1;
  rig.publish(narrow);
  EXPECT_FALSE(rig.viewClears(15, 30));
  EXPECT_EQ(linesWith(*sink_, spdlog::level::info, "rebuilds the frustum").size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
  SingleAndMultiThreadedHosts, CameraInfoChangeTest, ::testing::Values(1, 4));

}  // namespace
