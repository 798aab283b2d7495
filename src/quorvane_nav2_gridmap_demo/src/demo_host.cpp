#include "quorvane_nav2_gridmap_demo/demo_host.hpp"

#include <cmath>
#include <future>
#include <iomanip>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <utility>

#include "geometry_msgs/msg/pose.hpp"
#include "geometry_msgs/msg/pose2_d.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "geometry_msgs/msg/twist.hpp"
#include "lifecycle_msgs/msg/state.hpp"
#include "nav2_costmap_2d/cost_values.hpp"
#include "quorvane_nav2_gridmap/collision/collision_check.hpp"
#include "quorvane_nav2_gridmap/collision/spin_collision.hpp"

#include "quorvane_nav2_gridmap_demo/grid_images.hpp"
#include "quorvane_nav2_gridmap_demo/occupancy_grid_from_map.hpp"

namespace quorvane_nav2_gridmap_demo
{
namespace
{

using namespace std::chrono_literals;

// GridMapROS("demo", "") is /demo_gridmap/demo_gridmap; its costmap node is
// /demo_costmap/demo_costmap and reads its map from /demo_costmap/map.
constexpr char kGridMapName[] = "demo";
constexpr char kMapTopic[] = "/demo_costmap/map";
constexpr char kLoadMapService[] = "/demo_gridmap/load_map";
constexpr char kGlobalFrame[] = "map";

constexpr auto kUpdatePeriod = 100ms;
constexpr char kReportFile[] = "report.txt";
constexpr double kDistanceSaturationM = 2.5;

// A wall cell that only the second sample map has: the costmap holds that map once it is lethal.
constexpr double kSecondMapWallX = 6.0;
constexpr double kSecondMapWallY = 8.0;

std::vector<NamedPoint> namedPoints()
{
  return {
    {"robot", 1.5, 3.5},
    {"spill", 2.85, 3.8},
    {"box", 4.2, 3.0},
    {"doorway of map A", 4.5, 6.0},
    {"doorway of map B", 6.0, 5.0},
    {"east aisle of map A", 8.8, 2.5},
    {"by the pallet", 7.2, 2.5},
    {"west wall", 0.05, 5.0},
  };
}

CameraSettings cameraSettings()
{
  CameraSettings settings;
  settings.cloud_topic = "/front_camera/semantic_cloud";
  settings.camera_info_topic = "/front_camera/camera_info";
  settings.global_frame = kGlobalFrame;
  return settings;
}

geometry_msgs::msg::Quaternion yawToQuaternion(double yaw)
{
  geometry_msgs::msg::Quaternion q;
  q.z = std::sin(yaw / 2.0);
  q.w = std::cos(yaw / 2.0);
  return q;
}

geometry_msgs::msg::Pose2D pose2D(double x, double y, double yaw)
{
  geometry_msgs::msg::Pose2D pose;
  pose.x = x;
  pose.y = y;
  pose.theta = yaw;
  return pose;
}

geometry_msgs::msg::Pose pose3D(const geometry_msgs::msg::Pose2D & pose2d)
{
  geometry_msgs::msg::Pose pose;
  pose.position.x = pose2d.x;
  pose.position.y = pose2d.y;
  pose.orientation = yawToQuaternion(pose2d.theta);
  return pose;
}

geometry_msgs::msg::PoseStamped poseStamped(const geometry_msgs::msg::Pose2D & pose2d)
{
  geometry_msgs::msg::PoseStamped pose;
  pose.header.frame_id = kGlobalFrame;
  pose.pose = pose3D(pose2d);
  return pose;
}

geometry_msgs::msg::Twist forwardTwist(double speed)
{
  geometry_msgs::msg::Twist twist;
  twist.linear.x = speed;
  return twist;
}

std::string poseText(const geometry_msgs::msg::Pose2D & pose)
{
  std::ostringstream text;
  text << std::fixed << std::setprecision(2) << "(" << pose.x << ", " << pose.y << ", "
       << pose.theta << ")";
  return text.str();
}

constexpr double kFullTurn = 6.283185307179586;

// A spin reports the offset of its first colliding heading, or one step past a full turn.
std::string turnText(double reached)
{
  std::ostringstream text;
  text << std::fixed << std::setprecision(2);
  if (std::abs(reached) > kFullTurn) {
    text << "free through " << reached << " rad";
  } else {
    text << "collides at " << reached << " rad";
  }
  return text.str();
}

const char * freeOrBlocked(bool free)
{
  return free ? "free" : "in collision";
}

std::ofstream openReport(const std::filesystem::path & folder)
{
  std::filesystem::create_directories(folder);
  const std::filesystem::path file = folder / kReportFile;
  std::ofstream report(file);
  if (!report) {
    throw std::runtime_error("cannot write " + file.string());
  }
  return report;
}

void requireState(
  const rclcpp_lifecycle::State & state, uint8_t expected, const std::string & transition)
{
  if (state.id() != expected) {
    throw std::runtime_error(
            transition + " left the grid-map node " + state.label() + " instead");
  }
}

}  // namespace

DemoHost::DemoHost(DemoOptions options, WorkingMapDirectory & maps, std::ostream & console)
: options_(std::move(options)),
  output_folder_(std::filesystem::absolute(options_.output).lexically_normal()),
  maps_(maps),
  report_(openReport(output_folder_)),
  console_(console),
  named_points_(namedPoints()),
  host_node_(rclcpp::Node::make_shared("demo_host")),
  camera_node_(rclcpp::Node::make_shared("front_camera_driver")),
  map_pub_(host_node_->create_publisher<nav_msgs::msg::OccupancyGrid>(
      kMapTopic, rclcpp::QoS(1).transient_local().reliable())),
  load_map_client_(host_node_->create_client<nav2_msgs::srv::LoadMap>(kLoadMapService))
{
}

DemoHost::~DemoHost()
{
  camera_.reset();
  executor_.reset();
  if (gridmap_) {
    stopNode();
  }
}

bool DemoHost::run()
{
  const std::string first_map = maps_.currentMapId();
  const std::string second_map = "warehouse_b";
  report_ << "Map directory (working copy): " << maps_.path().string() << ", current map "
          << first_map << "\n";
  publishMap(first_map);
  startGridMapNode();
  const std::vector<std::string> plugins = loadedPlugins();
  printPlugins(report_, plugins);
  printPluginSummary(console_, plugins);

  camera_ = std::make_unique<SimulatedDepthCamera>(camera_node_, cameraSettings());
  gridmap_->waitForCostmap();
  auto & maps = *gridmap_->multi_grid_map_;
  report_ << "Costmap current: " << maps.costmap_->getSizeInCellsX() << " x "
          << maps.costmap_->getSizeInCellsY() << " cells at " << maps.costmap_->getResolution()
          << " m\n";

  const std::vector<double> update_ms = updateFor(options_.update_duration);
  printUpdateTimes(report_, update_ms);
  report_ << "Camera frames published: " << camera_->framesPublished() << "\n";

  const CategoryCounts counts = countCategories(maps);
  printCategoryCounts(report_, counts);
  printUpdateSummary(console_, first_map, maps, update_ms, camera_->framesPublished(), counts);
  printZones(report_, summariseZones(maps, named_points_));
  printNamedPoints(report_, maps, named_points_);
  writeImages(first_map);
  const bool collisions_answered = reportCollisionAnswers();
  const bool zones_changed = switchMapAndReportZones(second_map);

  const bool categories_seen =
    counts.category_103 > 0 && counts.category_300 > 0 && counts.category_105 > 0;
  if (!categories_seen) {
    reportFailure("not every camera category reached the obstacle-type grid");
  }
  console_ << "Written to " << output_folder_.string() << "/: " << kReportFile
           << " (the full report), " << first_map << "_grids.png, " << second_map
           << "_grids.png (each also in parts, _distance.png and _obstacle_types.png)\n";
  return categories_seen && collisions_answered && zones_changed;
}

void DemoHost::startGridMapNode()
{
  // Default node options: the process's --params-file configures both nodes.
  gridmap_ = std::make_shared<quorvane_nav2_gridmap::GridMapROS>(kGridMapName, "");
  requireState(
    gridmap_->configure(), lifecycle_msgs::msg::State::PRIMARY_STATE_INACTIVE, "configure");
  requireState(
    gridmap_->activate(), lifecycle_msgs::msg::State::PRIMARY_STATE_ACTIVE, "activate");
  // The camera subscriptions and load_map live in the node's own callback groups: the host
  // spins them, the library spins only its plugins' group and the costmap node.
  executor_ = std::make_unique<SpinningExecutor>(
    std::vector<rclcpp::node_interfaces::NodeBaseInterface::SharedPtr>{
      gridmap_->get_node_base_interface(), host_node_->get_node_base_interface()});
}

void DemoHost::publishMap(const std::string & map_id)
{
  auto grid = occupancyGridFromMap(maps_.mapMetaFile(map_id), kGlobalFrame);
  grid.header.stamp = host_node_->now();
  grid.info.map_load_time = grid.header.stamp;
  map_pub_->publish(grid);
}

std::vector<std::string> DemoHost::loadedPlugins() const
{
  std::vector<std::string> plugins;
  const std::vector<std::string> names = gridmap_->get_parameter("plugins").as_string_array();
  for (const auto & name : names) {
    plugins.push_back(name + " = " + gridmap_->get_parameter(name + ".plugin").as_string());
  }
  return plugins;
}

std::vector<double> DemoHost::updateFor(std::chrono::milliseconds duration)
{
  std::vector<double> update_ms;
  auto next = std::chrono::steady_clock::now();
  const auto end = next + duration;
  while (next < end && rclcpp::ok()) {
    const auto start = std::chrono::steady_clock::now();
    gridmap_->multi_grid_map_->updateMap();
    update_ms.push_back(
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    next += kUpdatePeriod;
    std::this_thread::sleep_until(next);
  }
  return update_ms;
}

bool DemoHost::reportCollisionAnswers()
{
  auto checker = std::make_shared<Collision::CollisionCheck>(gridmap_);
  Collision::SpinCollision spin(checker);

  const auto robot = pose2D(1.5, 3.5, 0.0);
  const auto against_wall = pose2D(0.2, 5.0, 0.0);
  const auto near_wall = pose2D(0.5, 5.0, 0.0);
  report_ << "Collision checks (footprint 0.6 m x 0.5 m):\n";
  const bool robot_free = checker->isCollisionFreePose(robot, true);
  report_ << "  isCollisionFreePose " << poseText(robot) << ": " << freeOrBlocked(robot_free)
          << "\n";
  const bool wall_free = checker->isCollisionFreePose(against_wall, true);
  report_ << "  isCollisionFreePose " << poseText(against_wall) << ": "
          << freeOrBlocked(wall_free) << "\n";
  const bool ahead_free = checker->isCollisionFreeDt(pose3D(robot), forwardTwist(0.5), 1.0);
  report_ << "  isCollisionFreeDt from " << poseText(robot) << " at 0.5 m/s for 1.0 s: "
          << freeOrBlocked(ahead_free) << "\n";
  const bool back_free = checker->isCollisionFreeDt(pose3D(robot), forwardTwist(-1.0), 1.3);
  report_ << "  isCollisionFreeDt from " << poseText(robot) << " at -1.0 m/s for 1.3 s: "
          << freeOrBlocked(back_free) << "\n";

  for (const auto & pose : {robot, near_wall}) {
    double neg_reached = 0.0;
    double pos_reached = 0.0;
    const bool full_turn = spin.getCollisionFreeAngle(poseStamped(pose), neg_reached, pos_reached);
    report_ << "  getCollisionFreeAngle at " << poseText(pose) << ": "
            << (full_turn ? "a full turn is free" : "no full turn") << "; clockwise "
            << turnText(neg_reached) << ", counter-clockwise " << turnText(pos_reached)
            << "\n";
  }
  console_ << "Collision checks: robot pose " << freeOrBlocked(robot_free)
           << ", pose against the west wall " << freeOrBlocked(wall_free) << ", 0.5 m ahead "
           << freeOrBlocked(ahead_free) << ", 1.3 m back " << freeOrBlocked(back_free) << "\n";
  // The sample map leaves the robot room to move and puts the wall where the checks expect it.
  const bool as_expected = robot_free && !wall_free && ahead_free && !back_free;
  if (!as_expected) {
    reportFailure("the collision answers do not match the sample map");
  }
  return as_expected;
}

void DemoHost::reportFailure(const std::string & what)
{
  report_ << "FAILED: " << what << "\n";
  console_ << "FAILED: " << what << "\n";
}

void DemoHost::writeImages(const std::string & map_id)
{
  auto & maps = *gridmap_->multi_grid_map_;
  const cv::Mat distance = distanceImage(
    maps, kDistanceSaturationM, map_id + ": distance to the nearest lethal or unknown cell");
  const cv::Mat obstacle_types =
    obstacleTypeImage(maps, map_id + ": obstacle types and zones (getObstacleType)");
  writePng(output_folder_ / (map_id + "_distance.png"), distance);
  writePng(output_folder_ / (map_id + "_obstacle_types.png"), obstacle_types);
  writePng(output_folder_ / (map_id + "_grids.png"), sideBySide(distance, obstacle_types));
  report_ << "Images of " << map_id << " written to " << output_folder_.string() << "/: "
          << map_id << "_distance.png, " << map_id << "_obstacle_types.png, " << map_id
          << "_grids.png\n";
}

void DemoHost::waitUntilCostmapHasObstacleAt(double x, double y, std::chrono::milliseconds limit)
{
  auto * costmap = gridmap_->multi_grid_map_->costmap_;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    {
      std::unique_lock<nav2_costmap_2d::Costmap2D::mutex_t> lock(*costmap->getMutex());
      unsigned int mx = 0;
      unsigned int my = 0;
      if (costmap->worldToMap(x, y, mx, my) &&
        costmap->getCost(mx, my) == nav2_costmap_2d::LETHAL_OBSTACLE)
      {
        return;
      }
    }
    std::this_thread::sleep_for(50ms);
  }
  throw std::runtime_error("the costmap did not take the new map");
}

void DemoHost::announceMap(const std::filesystem::path & meta_file)
{
  if (!load_map_client_->wait_for_service(5s)) {
    throw std::runtime_error(std::string("no service ") + kLoadMapService);
  }
  auto request = std::make_shared<nav2_msgs::srv::LoadMap::Request>();
  request->map_url = meta_file.string();
  auto response = load_map_client_->async_send_request(request);
  if (response.wait_for(5s) != std::future_status::ready) {
    throw std::runtime_error(std::string(kLoadMapService) + " did not answer");
  }
  report_ << "load_map(" << request->map_url << ") answered, result "
          << static_cast<int>(response.get()->result) << "\n";
}

bool DemoHost::switchMapAndReportZones(const std::string & next_map_id)
{
  auto & maps = *gridmap_->multi_grid_map_;
  const std::string previous_map_id = maps_.currentMapId();
  const ZoneSummary before = summariseZones(maps, named_points_);

  // What a map manager does: make the map current, serve it, then announce it.
  maps_.selectMap(next_map_id);
  publishMap(next_map_id);
  waitUntilCostmapHasObstacleAt(kSecondMapWallX, kSecondMapWallY, 5000ms);
  announceMap(maps_.mapMetaFile(next_map_id));
  updateFor(1000ms);

  const ZoneSummary after = summariseZones(maps, named_points_);
  printZoneChange(report_, previous_map_id, before, next_map_id, after, named_points_);
  printZoneChangeSummary(console_, next_map_id, before, after);
  printZones(report_, after);
  writeImages(next_map_id);

  const bool changed = before.narrow_at_point != after.narrow_at_point &&
    before.priority_cells != after.priority_cells;
  if (!changed) {
    reportFailure("the zones did not change after load_map");
  }
  return changed;
}

void DemoHost::stopNode()
{
  gridmap_->deactivate();
  gridmap_->cleanup();
  gridmap_->shutdown();
  gridmap_.reset();
}

}  // namespace quorvane_nav2_gridmap_demo
