// What a footprint check costs a controller: scoring against the snapshot it already holds, and
// an updating check, which copies the whole costmap first. A plain memcpy of the costmap's cells
// is the floor for that copy. Each costmap size gets its own grid-map node, brought up as a host
// does, with its map published on the costmap node's map topic.

#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "geometry_msgs/msg/pose2_d.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "nav_msgs/msg/occupancy_grid.hpp"
#include "quorvane_nav2_gridmap/collision/collision_check.hpp"
#include "quorvane_nav2_gridmap/collision/spin_collision.hpp"
#include "quorvane_nav2_gridmap/gridmap_ros.hpp"
#include "rclcpp/rclcpp.hpp"

namespace
{

constexpr double kResolution = 0.05;
const std::vector<unsigned int> kSizes{200, 2000};

std::string hostName(unsigned int cells)
{
  return "bench" + std::to_string(cells);
}

// A 0.6 m x 0.4 m robot, the same for every costmap node.
std::string parameters()
{
  std::string yaml;
  for (const unsigned int cells : kSizes) {
    yaml += "/**/" + hostName(cells) + "_costmap:\n"
      "  ros__parameters:\n"
      "    footprint: \"[[0.3, 0.2], [0.3, -0.2], [-0.3, -0.2], [-0.3, 0.2]]\"\n"
      "    footprint_padding: 0.0\n";
  }
  return yaml;
}

// A square costmap of `cells` x `cells`, free inside a lethal border.
nav_msgs::msg::OccupancyGrid borderedMap(unsigned int cells)
{
  nav_msgs::msg::OccupancyGrid map;
  map.header.frame_id = "map";
  map.info.resolution = kResolution;
  map.info.width = cells;
  map.info.height = cells;
  map.info.origin.orientation.w = 1.0;
  map.data.assign(static_cast<size_t>(cells) * cells, 0);
  for (unsigned int i = 0; i < cells; ++i) {
    map.data[i] = 100;
    map.data[static_cast<size_t>(cells - 1) * cells + i] = 100;
    map.data[static_cast<size_t>(i) * cells] = 100;
    map.data[static_cast<size_t>(i) * cells + cells - 1] = 100;
  }
  return map;
}

class BenchHost
{
public:
  explicit BenchHost(unsigned int cells)
  : cells_(cells),
    map_node_(rclcpp::Node::make_shared(hostName(cells) + "_map_server")),
    host_(std::make_shared<quorvane_nav2_gridmap::GridMapROS>(hostName(cells), ""))
  {
    map_publisher_ = map_node_->create_publisher<nav_msgs::msg::OccupancyGrid>(
      "/" + hostName(cells) + "_costmap/map", rclcpp::QoS(1).reliable().transient_local());
    map_publisher_->publish(borderedMap(cells));
    host_->configure();
    host_->activate();
    host_->waitForCostmap();
    checker_ = std::make_shared<Collision::CollisionCheck>(host_);
    spin_ = std::make_shared<Collision::SpinCollision>(checker_);
  }

  ~BenchHost()
  {
    spin_.reset();
    checker_.reset();
    host_->deactivate();
    host_.reset();
  }

  geometry_msgs::msg::Pose2D centre() const
  {
    geometry_msgs::msg::Pose2D pose;
    pose.x = cells_ * kResolution / 2.0;
    pose.y = cells_ * kResolution / 2.0;
    pose.theta = 0.3;
    return pose;
  }

  geometry_msgs::msg::PoseStamped stampedCentre() const
  {
    geometry_msgs::msg::PoseStamped pose;
    pose.header.frame_id = "map";
    pose.pose.position.x = centre().x;
    pose.pose.position.y = centre().y;
    pose.pose.orientation.w = 1.0;
    return pose;
  }

  nav2_costmap_2d::Costmap2D & master() const
  {
    return *host_->costmap_ros_->getLayeredCostmap()->getCostmap();
  }

  Collision::CollisionCheck & checker() {return *checker_;}
  Collision::SpinCollision & spin() {return *spin_;}
  size_t cellCount() const {return static_cast<size_t>(cells_) * cells_;}

private:
  unsigned int cells_;
  rclcpp::Node::SharedPtr map_node_;
  rclcpp::Publisher<nav_msgs::msg::OccupancyGrid>::SharedPtr map_publisher_;
  std::shared_ptr<quorvane_nav2_gridmap::GridMapROS> host_;
  std::shared_ptr<Collision::CollisionCheck> checker_;
  std::shared_ptr<Collision::SpinCollision> spin_;
};

void scoreOnSnapshot(benchmark::State & state, BenchHost * host)
{
  const auto pose = host->centre();
  if (!host->checker().isCollisionFreePose(pose, true)) {
    state.SkipWithError("the benchmark pose collides");
    return;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(host->checker().isCollisionFreePose(pose, false));
  }
}

void scoreWithUpdate(benchmark::State & state, BenchHost * host)
{
  const auto pose = host->centre();
  for (auto _ : state) {
    benchmark::DoNotOptimize(host->checker().isCollisionFreePose(pose, true));
  }
  state.SetBytesProcessed(
    static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(host->cellCount()));
}

void fullTurn(benchmark::State & state, BenchHost * host)
{
  const auto pose = host->stampedCentre();
  double neg_reached = 0.0;
  double pos_reached = 0.0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(host->spin().getCollisionFreeAngle(pose, neg_reached, pos_reached));
  }
}

void copyCells(benchmark::State & state, BenchHost * host)
{
  auto & master = host->master();
  std::vector<unsigned char> copy(host->cellCount());
  for (auto _ : state) {
    std::unique_lock<nav2_costmap_2d::Costmap2D::mutex_t> lock(*master.getMutex());
    std::memcpy(copy.data(), master.getCharMap(), copy.size());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(
    static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(copy.size()));
}

void registerBenchmarks(std::map<unsigned int, std::unique_ptr<BenchHost>> & hosts)
{
  for (auto & [cells, host] : hosts) {
    const std::string size = "/" + std::to_string(cells) + "x" + std::to_string(cells);
    benchmark::RegisterBenchmark(
      ("isCollisionFreePose_update_false" + size).c_str(), scoreOnSnapshot, host.get());
    benchmark::RegisterBenchmark(
      ("isCollisionFreePose_update_true" + size).c_str(), scoreWithUpdate, host.get());
    benchmark::RegisterBenchmark(
      ("getCollisionFreeAngle" + size).c_str(), fullTurn, host.get());
    benchmark::RegisterBenchmark(("memcpy_costmap_cells" + size).c_str(), copyCells, host.get());
  }
}

}  // namespace

int main(int argc, char ** argv)
{
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }

  char pattern[] = "/tmp/bench_collision_checkXXXXXX";
  const std::string directory = mkdtemp(pattern);
  const std::string file = directory + "/costmap.yaml";
  std::ofstream(file) << parameters();
  const char * ros_argv[] = {argv[0], "--ros-args", "--params-file", file.c_str()};
  rclcpp::init(4, ros_argv);
  {
    std::map<unsigned int, std::unique_ptr<BenchHost>> hosts;
    for (const unsigned int cells : kSizes) {
      hosts.emplace(cells, std::make_unique<BenchHost>(cells));
    }
    registerBenchmarks(hosts);
    benchmark::RunSpecifiedBenchmarks();
  }
  benchmark::Shutdown();
  rclcpp::shutdown();
  std::filesystem::remove_all(directory);
  return 0;
}
