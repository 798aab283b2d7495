// What a velocity-step collision check costs a controller: isCollisionFreeDt takes a snapshot of
// the whole costmap and scores the README's 0.6 m x 0.5 m footprint on it. Its floor is a plain
// memcpy of the costmap's cells, timed alternately in the same loop. The grid-map node is brought
// up as a host does, with its map published on the costmap node's map topic.

#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "geometry_msgs/msg/pose.hpp"
#include "geometry_msgs/msg/twist.hpp"
#include "nav_msgs/msg/occupancy_grid.hpp"
#include "quorvane_nav2_gridmap/collision/collision_check.hpp"
#include "quorvane_nav2_gridmap/gridmap_ros.hpp"
#include "rclcpp/rclcpp.hpp"

#include "paired_timing.hpp"

namespace
{

constexpr double kResolution = 0.05;
const std::vector<unsigned int> kSizes{2000};

std::string hostName(unsigned int cells)
{
  return "bench" + std::to_string(cells);
}

// The README's 0.6 m x 0.5 m robot.
std::string parameters()
{
  std::string yaml;
  for (const unsigned int cells : kSizes) {
    yaml += "/**/" + hostName(cells) + "_costmap:\n"
      "  ros__parameters:\n"
      "    footprint: \"[[0.3, 0.25], [0.3, -0.25], [-0.3, -0.25], [-0.3, 0.25]]\"\n"
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
  }

  ~BenchHost()
  {
    checker_.reset();
    host_->deactivate();
    host_.reset();
  }

  // The robot in the middle of the map, heading along x.
  geometry_msgs::msg::Pose centre() const
  {
    geometry_msgs::msg::Pose pose;
    pose.position.x = cells_ * kResolution / 2.0;
    pose.position.y = cells_ * kResolution / 2.0;
    pose.orientation.w = 1.0;
    return pose;
  }

  nav2_costmap_2d::Costmap2D & master() const
  {
    return *host_->costmap_ros_->getLayeredCostmap()->getCostmap();
  }

  Collision::CollisionCheck & checker() {return *checker_;}
  size_t cellCount() const {return static_cast<size_t>(cells_) * cells_;}

private:
  unsigned int cells_;
  rclcpp::Node::SharedPtr map_node_;
  rclcpp::Publisher<nav_msgs::msg::OccupancyGrid>::SharedPtr map_publisher_;
  std::shared_ptr<quorvane_nav2_gridmap::GridMapROS> host_;
  std::shared_ptr<Collision::CollisionCheck> checker_;
};

void collisionFreeDt(benchmark::State & state, BenchHost * host)
{
  const auto pose = host->centre();
  geometry_msgs::msg::Twist twist;
  twist.linear.x = 0.5;
  if (!host->checker().isCollisionFreeDt(pose, twist, 1.0)) {
    state.SkipWithError("the benchmark pose collides");
    return;
  }
  const auto & master = host->master();
  std::vector<unsigned char> copy(host->cellCount());
  quorvane_bench::runPaired(
    state, "collision_free_dt_snapshot",
    [host, &pose, &twist]() {
      benchmark::DoNotOptimize(host->checker().isCollisionFreeDt(pose, twist, 1.0));
    },
    [&master, &copy]() {
      std::memcpy(copy.data(), master.getCharMap(), copy.size());
      benchmark::DoNotOptimize(copy.data());
      benchmark::ClobberMemory();
    });
}

void registerBenchmarks(std::map<unsigned int, std::unique_ptr<BenchHost>> & hosts)
{
  for (auto & [cells, host] : hosts) {
    const std::string size = "/" + std::to_string(cells) + "x" + std::to_string(cells);
    benchmark::RegisterBenchmark(("isCollisionFreeDt" + size).c_str(), collisionFreeDt, host.get())
    ->UseManualTime()->MinTime(1.0)->Unit(benchmark::kMillisecond);
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
