// The road of one cloud, driven the way a host drives the library: parameters from a params file
// given to rclcpp::init, a map on the costmap node's map topic, TF, CameraInfo and
// SemanticPointCloud messages on topics, the node spun by the host's executor, updates and
// queries through MultiGridMap.

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "geometry_msgs/msg/point32.hpp"
#include "geometry_msgs/msg/transform_stamped.hpp"
#include "lifecycle_msgs/msg/state.hpp"
#include "nav_msgs/msg/occupancy_grid.hpp"
#include "quorvane_protocol/msg/semantic_point_cloud.hpp"
#include "rclcpp/rclcpp.hpp"
#include "sensor_msgs/msg/camera_info.hpp"
#include "sensor_msgs/point_cloud2_iterator.hpp"
#include "tf2_ros/static_transform_broadcaster.h"
#include "tf2_ros/transform_broadcaster.h"

#include "quorvane_nav2_gridmap/gridmap_ros.hpp"
#include "quorvane_nav2_gridmap/multi_grid_map.hpp"
#include "quorvane_nav2_gridmap/obs_type_bit_map.hpp"

namespace
{

using namespace std::chrono_literals;
using quorvane_nav2_gridmap::ObsTypeBitMap;

// Each test runs its own grid-map node, so that nothing one test leaves behind reaches another.
const std::vector<std::string> kGridMapNames{"e2e_marking", "e2e_clearing"};

constexpr unsigned int kPeril = 0x2;
constexpr unsigned int kCategory300 = 0x4;
constexpr unsigned int kCategory103 = 0x8;
constexpr unsigned int kNarrowPassage = 0x10;
constexpr unsigned int kCategory105 = 0x20;

// A 5 m x 5 m room at 0.05 m, walled by two cells on every side.
constexpr unsigned int kMapCells = 100;
constexpr double kResolution = 0.05;
constexpr unsigned int kWallCells = 2;

// The robot stands still; its camera sits 0.2 m ahead of base_link, 0.5 m above the floor,
// looking along x.
constexpr double kRobotX = 1.0;
constexpr double kRobotY = 2.5;
constexpr double kCameraForward = 0.2;
constexpr double kCameraHeight = 0.5;
constexpr double kNearDistance = 0.3;
constexpr double kFarDistance = 4.0;
constexpr double kFocalLength = 400.0;
constexpr double kCentreU = 320.0;
constexpr double kCentreV = 240.0;

constexpr auto kEventTimeout = 30s;

struct WorldPoint
{
  double x;
  double y;
  double z;
};

struct SubCloud
{
  std::uint32_t category;
  bool is_polygon;
  std::vector<WorldPoint> points;
};

class TemporaryDirectory
{
public:
  TemporaryDirectory()
  {
    std::string pattern =
      (std::filesystem::temp_directory_path() / "quorvane_end_to_end_XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
      throw std::system_error(errno, std::generic_category(), "mkdtemp");
    }
    path_ = pattern;
  }
  ~TemporaryDirectory()
  {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TemporaryDirectory(const TemporaryDirectory &) = delete;
  TemporaryDirectory & operator=(const TemporaryDirectory &) = delete;

  const std::filesystem::path & path() const {return path_;}

private:
  std::filesystem::path path_;
};

void writeFile(const std::filesystem::path & file, const std::string & content)
{
  std::filesystem::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary);
  out << content;
}

// One map, "room", whose zone file draws a narrow corridor in the room's north-west corner:
// pixels 10..30 x 10..20 of a 100-pixel image are map x 0.5..1.5 m, y 4.0..4.5 m.
void writeMapDirectory(const std::filesystem::path & directory)
{
  writeFile(directory / "history.map", "room\n");
  writeFile(
    directory / "room" / "map.yaml",
    "image: map.pgm\nmode: trinary\nresolution: 0.05\norigin: [0.0, 0.0, 0.0]\nnegate: 0\n"
    "occupied_thresh: 0.65\nfree_thresh: 0.25\n");
  writeFile(
    directory / "room" / "map.pgm",
    "P5\n100 100\n255\n" + std::string(kMapCells * kMapCells, static_cast<char>(254)));
  writeFile(
    directory / "room" / "mark.yaml",
    "editlayout:\n"
    "  - id: 7\n"
    "    type: narrow corridor\n"
    "    desctype: block\n"
    "    rectangle:\n"
    "      - {x: 10, y: 10}\n"
    "      - {x: 30, y: 10}\n"
    "      - {x: 30, y: 20}\n"
    "      - {x: 10, y: 20}\n");
}

std::string cameraTopic(const std::string & name) {return "/" + name + "/camera/cloud";}
std::string cameraInfoTopic(const std::string & name) {return "/" + name + "/camera/info";}

std::string paramsFor(const std::string & name, const std::filesystem::path & map_directory)
{
  return "/" + name + "_costmap/" + name + "_costmap:\n"
         "  ros__parameters:\n"
         "    global_frame: map\n"
         "    robot_base_frame: base_link\n"
         "    resolution: 0.05\n"
         "/" + name + "_gridmap/" + name + "_gridmap:\n"
         "  ros__parameters:\n"
         "    plugins: [\"distance\", \"obstacle_type\"]\n"
         "    distance:\n"
         "      plugin: quorvane_nav2_gridmap::GridDistanceMap\n"
         "    obstacle_type:\n"
         "      plugin: quorvane_nav2_gridmap::GridObstacleType\n"
         // Only the cameras may remove a remembered obstacle in these tests.
         "      decay_time: 0.0\n"
         "      local_cache_distance: 0.0\n"
         "      occlusion_clearing: true\n"
         "      observation_sources: camera\n"
         "      camera:\n"
         "        topic: " + cameraTopic(name) + "\n"
         "        camera_info_topic: " + cameraInfoTopic(name) + "\n"
         "        marking: true\n"
         "        min_obstacle_height: -0.5\n"
         "        max_obstacle_height: 2.0\n"
         "        min_detect_distance: 0.3\n"
         "        max_detect_distance: 4.0\n"
         "      map_path_str: " + map_directory.string() + "\n";
}

class RosWithParamsFile
{
public:
  explicit RosWithParamsFile(const std::filesystem::path & params_file)
  {
    const std::string file = params_file.string();
    const char * argv[] = {"test_end_to_end", "--ros-args", "--params-file", file.c_str()};
    rclcpp::init(4, argv);
  }
  ~RosWithParamsFile() {rclcpp::shutdown();}
  RosWithParamsFile(const RosWithParamsFile &) = delete;
  RosWithParamsFile & operator=(const RosWithParamsFile &) = delete;
};

nav_msgs::msg::OccupancyGrid walledRoom(const rclcpp::Time & stamp)
{
  nav_msgs::msg::OccupancyGrid grid;
  grid.header.frame_id = "map";
  grid.header.stamp = stamp;
  grid.info.resolution = static_cast<float>(kResolution);
  grid.info.width = kMapCells;
  grid.info.height = kMapCells;
  grid.info.origin.orientation.w = 1.0;
  grid.data.assign(kMapCells * kMapCells, 0);
  for (unsigned int y = 0; y < kMapCells; ++y) {
    for (unsigned int x = 0; x < kMapCells; ++x) {
      const bool wall = x < kWallCells || y < kWallCells || x >= kMapCells - kWallCells ||
        y >= kMapCells - kWallCells;
      grid.data[y * kMapCells + x] = wall ? 100 : 0;
    }
  }
  return grid;
}

geometry_msgs::msg::TransformStamped transform(
  const std::string & parent, const std::string & child, double x, double y, double z,
  double qx, double qy, double qz, double qw)
{
  geometry_msgs::msg::TransformStamped t;
  t.header.frame_id = parent;
  t.child_frame_id = child;
  t.transform.translation.x = x;
  t.transform.translation.y = y;
  t.transform.translation.z = z;
  t.transform.rotation.x = qx;
  t.transform.rotation.y = qy;
  t.transform.rotation.z = qz;
  t.transform.rotation.w = qw;
  return t;
}

sensor_msgs::msg::CameraInfo cameraInfo(const rclcpp::Time & stamp)
{
  sensor_msgs::msg::CameraInfo info;
  info.header.stamp = stamp;
  info.header.frame_id = "camera_optical";
  info.width = 640;
  info.height = 480;
  info.distortion_model = "plumb_bob";
  info.k = {kFocalLength, 0.0, kCentreU, 0.0, kFocalLength, kCentreV, 0.0, 0.0, 1.0};
  info.r = {1.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0};
  info.p = {
    kFocalLength, 0.0, kCentreU, 0.0, 0.0, kFocalLength, kCentreV, 0.0, 0.0, 0.0, 1.0, 0.0};
  return info;
}

// The camera body frame looks along x with z up, from above the robot's front.
geometry_msgs::msg::Point32 toCameraBody(const WorldPoint & p)
{
  geometry_msgs::msg::Point32 body;
  body.x = static_cast<float>(p.x - kRobotX - kCameraForward);
  body.y = static_cast<float>(p.y - kRobotY);
  body.z = static_cast<float>(p.z - kCameraHeight);
  return body;
}

sensor_msgs::msg::PointCloud2 pointCloud(const std::vector<WorldPoint> & points)
{
  sensor_msgs::msg::PointCloud2 cloud;
  sensor_msgs::PointCloud2Modifier modifier(cloud);
  modifier.setPointCloud2FieldsByString(1, "xyz");
  modifier.resize(points.size());
  sensor_msgs::PointCloud2Iterator<float> x(cloud, "x");
  sensor_msgs::PointCloud2Iterator<float> y(cloud, "y");
  sensor_msgs::PointCloud2Iterator<float> z(cloud, "z");
  for (const auto & point : points) {
    const auto body = toCameraBody(point);
    *x = body.x;
    *y = body.y;
    *z = body.z;
    ++x;
    ++y;
    ++z;
  }
  return cloud;
}

// The floor the camera covers between its near and far distances, in the body frame.
std::vector<geometry_msgs::msg::Point32> viewOutline()
{
  const double spread = kCentreU / kFocalLength;
  auto corner = [](double forward, double left) {
      geometry_msgs::msg::Point32 p;
      p.x = static_cast<float>(forward);
      p.y = static_cast<float>(left);
      return p;
    };
  return {
    corner(kNearDistance, kNearDistance * spread), corner(kFarDistance, kFarDistance * spread),
    corner(kFarDistance, -kFarDistance * spread), corner(kNearDistance, -kNearDistance * spread)};
}

// Points on a square patch of side 0.12 m at one height: nine distinct cells.
std::vector<WorldPoint> patch(double x, double y, double z)
{
  std::vector<WorldPoint> points;
  for (double dx : {-0.06, 0.0, 0.06}) {
    for (double dy : {-0.06, 0.0, 0.06}) {
      points.push_back({x + dx, y + dy, z});
    }
  }
  return points;
}

// A camera driver that keeps its CameraInfo coming, as real drivers do: the library fetches
// one message when it first needs the camera's frustum.
class CameraInfoStream
{
public:
  CameraInfoStream(const rclcpp::Node::SharedPtr & node, const std::string & topic)
  : publisher_(node->create_publisher<sensor_msgs::msg::CameraInfo>(topic, rclcpp::QoS(1))),
    thread_([this, node]() {
        while (running_ && rclcpp::ok()) {
          publisher_->publish(cameraInfo(node->now()));
          std::this_thread::sleep_for(10ms);
        }
      })
  {
  }
  ~CameraInfoStream()
  {
    running_ = false;
    thread_.join();
  }
  CameraInfoStream(const CameraInfoStream &) = delete;
  CameraInfoStream & operator=(const CameraInfoStream &) = delete;

private:
  std::atomic<bool> running_{true};
  rclcpp::Publisher<sensor_msgs::msg::CameraInfo>::SharedPtr publisher_;
  std::thread thread_;
};

class HostExecutor
{
public:
  using Nodes = std::vector<rclcpp::node_interfaces::NodeBaseInterface::SharedPtr>;

  explicit HostExecutor(const Nodes & nodes)
  : nodes_(nodes)
  {
    for (const auto & node : nodes_) {
      executor_.add_node(node);
    }
    thread_ = std::thread(
      [this]() {
        while (running_ && rclcpp::ok()) {
          executor_.spin_once(20ms);
        }
      });
  }
  ~HostExecutor()
  {
    running_ = false;
    executor_.cancel();
    thread_.join();
    for (const auto & node : nodes_) {
      executor_.remove_node(node);
    }
  }
  HostExecutor(const HostExecutor &) = delete;
  HostExecutor & operator=(const HostExecutor &) = delete;

private:
  rclcpp::executors::SingleThreadedExecutor executor_;
  Nodes nodes_;
  std::atomic<bool> running_{true};
  std::thread thread_;
};

class EndToEndTest : public ::testing::Test
{
protected:
  void TearDown() override
  {
    camera_info_.reset();
    executor_.reset();
    if (gridmap_) {
      gridmap_->deactivate();
      gridmap_->cleanup();
      gridmap_.reset();
    }
  }

  // Everything a navigation host does before its first update.
  void startHost(const std::string & name)
  {
    host_ = rclcpp::Node::make_shared(name + "_host");
    map_pub_ = host_->create_publisher<nav_msgs::msg::OccupancyGrid>(
      "/" + name + "_costmap/map", rclcpp::QoS(1).transient_local().reliable());
    cloud_pub_ = host_->create_publisher<quorvane_protocol::msg::SemanticPointCloud>(
      cameraTopic(name), rclcpp::SensorDataQoS());
    tf_ = std::make_unique<tf2_ros::TransformBroadcaster>(host_);
    static_tf_ = std::make_unique<tf2_ros::StaticTransformBroadcaster>(host_);
    static_tf_->sendTransform(
      std::vector<geometry_msgs::msg::TransformStamped>{
        transform("base_link", "camera_link", kCameraForward, 0.0, kCameraHeight, 0, 0, 0, 1),
        transform("camera_link", "camera_optical", 0, 0, 0, -0.5, 0.5, -0.5, 0.5)});
    map_pub_->publish(walledRoom(host_->now()));

    gridmap_ = std::make_shared<quorvane_nav2_gridmap::GridMapROS>(name, "");
    ASSERT_EQ(gridmap_->configure().id(), lifecycle_msgs::msg::State::PRIMARY_STATE_INACTIVE);
    ASSERT_EQ(gridmap_->activate().id(), lifecycle_msgs::msg::State::PRIMARY_STATE_ACTIVE);
    executor_ = std::make_unique<HostExecutor>(
      HostExecutor::Nodes{gridmap_->get_node_base_interface(), host_->get_node_base_interface()});
    camera_info_ = std::make_unique<CameraInfoStream>(host_, cameraInfoTopic(name));
    gridmap_->waitForCostmap();
  }

  quorvane_nav2_gridmap::MultiGridMap & maps() {return *gridmap_->multi_grid_map_;}

  // Pose first, then the cloud with the same stamp, as a driver on a localised robot does.
  void publishCloud(const std::vector<SubCloud> & sub_clouds)
  {
    const rclcpp::Time stamp = host_->now();
    auto pose = transform("map", "base_link", kRobotX, kRobotY, 0.0, 0, 0, 0, 1);
    pose.header.stamp = stamp;
    tf_->sendTransform(pose);

    quorvane_protocol::msg::SemanticPointCloud message;
    message.header.stamp = stamp;
    message.header.frame_id = "camera_link";
    for (const auto & sub_cloud : sub_clouds) {
      quorvane_protocol::msg::SemanticCloud cloud;
      cloud.category = sub_cloud.category;
      cloud.is_polygon = sub_cloud.is_polygon ? 1 : 0;
      cloud.cloud = pointCloud(sub_cloud.points);
      cloud.cloud.header = message.header;
      message.clouds.push_back(cloud);
    }
    message.shape.points = viewOutline();
    cloud_pub_->publish(message);
  }

  // Publishes, updates and asks again until `done` holds; false when it never did.
  bool updateUntil(const std::function<void()> & publish, const std::function<bool()> & done)
  {
    const auto deadline = std::chrono::steady_clock::now() + kEventTimeout;
    while (std::chrono::steady_clock::now() < deadline) {
      publish();
      std::this_thread::sleep_for(50ms);
      maps().updateMap();
      if (done()) {
        return true;
      }
    }
    return false;
  }

  ObsTypeBitMap bitsAt(double x, double y)
  {
    unsigned int mx = 0;
    unsigned int my = 0;
    EXPECT_TRUE(maps().costmap_->worldToMap(x, y, mx, my)) << x << ", " << y;
    ObsTypeBitMap bits;
    bits.reset();
    EXPECT_TRUE(maps().getObstacleType(mx, my, bits));
    return bits;
  }

  bool storedBitsAt(double x, double y, unsigned int mask)
  {
    unsigned int mx = 0;
    unsigned int my = 0;
    EXPECT_TRUE(maps().costmap_->worldToMap(x, y, mx, my));
    return maps().isObstacleType(mx, my, mask);
  }

  rclcpp::Node::SharedPtr host_;
  rclcpp::Publisher<nav_msgs::msg::OccupancyGrid>::SharedPtr map_pub_;
  rclcpp::Publisher<quorvane_protocol::msg::SemanticPointCloud>::SharedPtr cloud_pub_;
  std::unique_ptr<tf2_ros::TransformBroadcaster> tf_;
  std::unique_ptr<tf2_ros::StaticTransformBroadcaster> static_tf_;
  std::shared_ptr<quorvane_nav2_gridmap::GridMapROS> gridmap_;
  std::unique_ptr<HostExecutor> executor_;
  std::unique_ptr<CameraInfoStream> camera_info_;
};

TEST_F(EndToEndTest, CloudCategoriesReachGetObstacleTypeBesideZonesAndPeril)
{
  startHost("e2e_marking");
  // A person (103) and a box (300) ahead, with a stray point below the floor that the height
  // band must drop, and a spill (105) given by its outline only.
  std::vector<WorldPoint> box = patch(3.025, 2.025, 0.3);
  box.push_back({3.525, 3.525, -0.2});
  const std::vector<SubCloud> scene{
    {103, false, patch(2.525, 2.925, 0.6)},
    {300, false, box},
    {105, true, {{2.025, 2.225, 0.02}, {2.425, 2.225, 0.02}, {2.425, 2.525, 0.02},
        {2.025, 2.525, 0.02}}},
  };
  ASSERT_TRUE(
    updateUntil(
      [&]() {publishCloud(scene);},
      [&]() {return bitsAt(2.525, 2.925).any(kCategory103);}))
    << "the person never reached the obstacle-type grid";

  EXPECT_EQ(bitsAt(2.525, 2.925).bits_, kCategory103);
  EXPECT_EQ(bitsAt(2.585, 2.865).bits_, kCategory103);
  EXPECT_EQ(bitsAt(3.025, 2.025).bits_, kCategory300);
  // The polygon is filled: its middle is marked although no point lies there.
  EXPECT_EQ(bitsAt(2.225, 2.375).bits_, kCategory105);
  EXPECT_EQ(bitsAt(2.075, 2.475).bits_, kCategory105);
  EXPECT_EQ(bitsAt(3.525, 3.525).bits_, 0u) << "a point below the height band was marked";
  EXPECT_EQ(bitsAt(1.625, 1.225).bits_, 0u);

  // The zone of the map directory named in the params file shares the grid.
  EXPECT_EQ(bitsAt(1.025, 4.275).bits_, kNarrowPassage);

  // Peril comes from the distance map at query time and is never stored.
  EXPECT_EQ(bitsAt(0.025, 2.525).bits_, kPeril);
  EXPECT_FALSE(storedBitsAt(0.025, 2.525, kPeril));
  EXPECT_EQ(bitsAt(4.97, 4.97).bits_, kPeril);
}

TEST_F(EndToEndTest, RememberedObstacleIsClearedOnceTheCameraSeesThroughIt)
{
  startHost("e2e_clearing");
  // Seen first: a low object on the left, 1.3 m ahead of the camera, and one on the right,
  // 3 m ahead.
  const WorldPoint near_left{2.525, 2.925, 0.3};
  const WorldPoint far_right{4.225, 2.075, 0.2};
  const std::vector<SubCloud> first_view{
    {103, false, patch(near_left.x, near_left.y, near_left.z)},
    {103, false, patch(far_right.x, far_right.y, far_right.z)},
  };
  ASSERT_TRUE(
    updateUntil(
      [&]() {publishCloud(first_view);},
      [&]() {
        return bitsAt(near_left.x, near_left.y).any(kCategory103) &&
        bitsAt(far_right.x, far_right.y).any(kCategory103);
      }));

  // Then both objects are gone from the camera's answer: it sees the floor free up to a tall
  // shelf 2 m ahead on the right. The left object's place is in plain view and must be
  // cleared; the right object's place is hidden behind the shelf and must be remembered.
  std::vector<WorldPoint> shelf;
  for (double y = 1.875; y <= 2.476; y += 0.05) {
    for (double z = 0.1; z <= 1.01; z += 0.15) {
      shelf.push_back({3.225, y, z});
    }
  }
  const std::vector<SubCloud> second_view{{300, false, shelf}};
  ASSERT_TRUE(
    updateUntil(
      [&]() {publishCloud(second_view);},
      [&]() {return !bitsAt(near_left.x, near_left.y).any(kCategory103);}))
    << "the obstacle in plain view was never cleared";

  EXPECT_EQ(bitsAt(3.225, 2.175).bits_, kCategory300);
  for (int update = 0; update < 5; ++update) {
    publishCloud(second_view);
    std::this_thread::sleep_for(50ms);
    maps().updateMap();
  }
  EXPECT_EQ(bitsAt(near_left.x, near_left.y).bits_, 0u);
  EXPECT_EQ(bitsAt(far_right.x, far_right.y).bits_, kCategory103)
    << "the obstacle hidden behind the shelf was forgotten";
}

}  // namespace

int main(int argc, char ** argv)
{
  ::testing::InitGoogleTest(&argc, argv);
  TemporaryDirectory directory;
  writeMapDirectory(directory.path() / "maps");
  std::string params;
  for (const auto & name : kGridMapNames) {
    params += paramsFor(name, directory.path() / "maps");
  }
  writeFile(directory.path() / "params.yaml", params);
  RosWithParamsFile ros(directory.path() / "params.yaml");
  return RUN_ALL_TESTS();
}
