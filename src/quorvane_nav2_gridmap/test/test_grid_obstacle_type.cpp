// The obstacle-type plugin as a host meets it: loaded with the distance map by GridMapROS from a
// parameter file, reading its zones from a map directory, answering through MultiGridMap,
// following load_map and publishing its two views.

#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <functional>
#include <mutex>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "lifecycle_msgs/msg/state.hpp"
#include "nav2_msgs/srv/load_map.hpp"
#include "nav_msgs/msg/occupancy_grid.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rosgraph_msgs/msg/clock.hpp"
#include "sensor_msgs/msg/point_cloud2.hpp"
#include "sensor_msgs/point_cloud2_iterator.hpp"

#include "quorvane_nav2_gridmap/gridmap_ros.hpp"
#include "test_map_mark_support.hpp"

namespace
{

using map_mark_test::LogLine;
using map_mark_test::LogRecorder;
using map_mark_test::ScratchDirectory;
using quorvane_nav2_gridmap::GridMap;
using quorvane_nav2_gridmap::GridMapROS;
using quorvane_nav2_gridmap::MultiGridMap;
using quorvane_nav2_gridmap::ObsTypeBitMap;

// Every map and costmap here is 20 x 20 cells of 0.5 m with its origin at (0, 0), except the wide
// one. A zone pixel (x, y) of a 20-pixel-high image lies at map (0.5 x, 0.5 (20 - y)).
ScratchDirectory * map_root = nullptr;

std::string costmapParameters(const std::string & name, int width_m)
{
  return "/" + name + "_costmap/" + name + "_costmap:\n  ros__parameters:\n"
         "    resolution: 0.5\n    width: " + std::to_string(width_m) + "\n    height: 10\n"
         "    track_unknown_space: false\n";
}

std::string gridmapParameters(const std::string & name, const std::string & obstacle)
{
  return "/" + name + "_gridmap/" + name + "_gridmap:\n  ros__parameters:\n"
         "    plugins: [\"distance\", \"obstacle\"]\n"
         "    distance:\n      plugin: quorvane_nav2_gridmap::GridDistanceMap\n"
         "    obstacle:\n      plugin: quorvane_nav2_gridmap::GridObstacleType\n" + obstacle;
}

std::string mapDirectoryOf(const std::string & name)
{
  return "      map_path_str: " + (map_root->path() / name).string() + "\n";
}

std::string parameterFile()
{
  std::string yaml;
  for (const char * name : {"plain", "tuned", "sources", "twice", "listsdefault", "badtype",
      "mistyped", "zones", "views", "peril"})
  {
    yaml += costmapParameters(name, 10);
  }
  yaml += costmapParameters("wide", 2500);
  yaml += gridmapParameters("plain", "");
  yaml += gridmapParameters(
    "tuned",
    "      enable_trace_merge_map: true\n      enable_near_blocked_protection: false\n"
    "      number_points_considered_as_blocked: 9\n      forced_clearing_distance: 0.4\n"
    "      transform_tolerance: 0.7\n      enable_frustum_trace: true\n      decay_time: 1.5\n"
    "      local_cache_distance: 6.0\n      occlusion_clearing: false\n"
    "      clearing_min_point_cloud: 7\n      percentage_reduction_map_size: 0.6\n");
  yaml += gridmapParameters(
    "sources",
    "      observation_sources: \"front\\tback\\n  side   east\"\n"
    "      observation_source_default_conf:\n        topic: /camera/shared\n"
    "        max_detect_distance: 4.0\n        marking: true\n"
    "        frustum_strategy_enable: true\n        frustum_strategy:\n"
    "          inside_with_point: 4\n"
    "      front:\n        topic: /camera/front\n        max_detect_distance: 6.0\n"
    "      back:\n        frustum_strategy:\n          out_of_theta: 1\n"
    "      side:\n        frustum_strategy_enable: true\n        frustum_strategy:\n"
    "          inside_with_point: 1\n"
    "      east:\n        frustum_strategy_enable: true\n        marking: false\n");
  yaml += gridmapParameters(
    "twice", "      observation_sources: front front\n      front:\n        topic: /twice/front\n");
  yaml += gridmapParameters(
    "listsdefault",
    "      observation_sources: observation_source_default_conf\n"
    "      observation_source_default_conf:\n        topic: /listsdefault/cloud\n");
  yaml += gridmapParameters(
    "badtype",
    "      observation_sources: lidar\n"
    "      lidar:\n        topic: /badtype/cloud\n        msg_type: PointCloud2\n");
  yaml += gridmapParameters("mistyped", "      decay_time: \"long\"\n");
  yaml += gridmapParameters(
    "zones", mapDirectoryOf("zones") +
    "      map_id_file: current.map\n      map_meta_yaml_file: meta.yaml\n"
    "      map_mark_yaml_file: zones.yaml\n");
  yaml += gridmapParameters(
    "views", mapDirectoryOf("views") + "      enable_trace_merge_map: true\n");
  yaml += "/views_gridmap/views_gridmap:\n  ros__parameters:\n    use_sim_time: true\n";
  yaml += gridmapParameters("peril", mapDirectoryOf("peril"));
  yaml += gridmapParameters("wide", mapDirectoryOf("wide"));
  return yaml;
}

class RosEnvironment : public ::testing::Environment
{
public:
  void SetUp() override
  {
    setenv("SPDLOG_STDOUT", "false", 1);
    setenv("SPDLOG_LEVEL", "debug", 1);
    map_root = new ScratchDirectory();
    const std::string path = map_root->write("parameters.yaml", parameterFile()).string();
    const char * argv[] = {"test_grid_obstacle_type", "--ros-args", "--params-file", path.c_str()};
    rclcpp::init(4, argv);
  }

  void TearDown() override
  {
    rclcpp::shutdown();
    delete map_root;
  }
};

const ::testing::Environment * const kRosEnvironment =
  ::testing::AddGlobalTestEnvironment(new RosEnvironment);

// One zone of the mark file: its mark type and shape keywords and its pixels.
struct Zone
{
  std::string type;
  std::string shape;
  std::vector<std::pair<int, int>> pixels;
};

// The block of map cells [x0, x1] x [y0, y1] of 0.5 m (inclusive), as zone file pixels.
Zone block(const std::string & type, int x0, int y0, int x1, int y1)
{
  return {type, "block", {{x0, 20 - y0}, {x1, 20 - y0}, {x1, 20 - y1}, {x0, 20 - y1}}};
}

class GridObstacleTypeTest : public ::testing::Test
{
protected:
  void SetUp() override {helper_ = std::make_shared<rclcpp::Node>("obstacle_test_helper");}

  // Writes map `id` into the map directory of the node `name`: meta file, image and zones, under
  // the default file names except for the node "zones".
  void writeMap(
    const std::string & name, const std::string & id, const std::vector<Zone> & zones,
    int image_width = 20) const
  {
    const bool renamed = name == "zones";
    const std::string directory = name + "/" + id + "/";
    map_root->write(
      directory + (renamed ? "meta.yaml" : "map.yaml"),
      "image: map.pgm\nresolution: 0.5\norigin: [0.0, 0.0, 0.0]\nnegate: 0\n"
      "occupied_thresh: 0.65\nfree_thresh: 0.196\n");
    map_root->write(
      directory + "map.pgm", "P5\n" + std::to_string(image_width) + " 20\n255\n" +
      std::string(static_cast<std::size_t>(image_width) * 20, '\xfe'));
    std::ostringstream marks;
    marks << "editlayout:\n";
    int zone_id = 1;
    for (const Zone & zone : zones) {
      marks << "  - type: " << zone.type << "\n    desctype: " << zone.shape
            << "\n    id: " << id << "-" << zone_id++ << "\n    rectangle:\n";
      for (const auto & [x, y] : zone.pixels) {
        marks << "      - {x: " << x << ", y: " << y << "}\n";
      }
    }
    map_root->write(directory + (renamed ? "zones.yaml" : "mark.yaml"), marks.str());
  }

  // Names map `id` in the history file of the map directory of the node `name`.
  void selectMap(const std::string & name, const std::string & id) const
  {
    map_root->write(name + "/" + (name == "zones" ? "current.map" : "history.map"), id + "\n");
  }

  std::shared_ptr<GridMapROS> configured(const std::string & name)
  {
    auto node = std::make_shared<GridMapROS>(name, "");
    EXPECT_EQ(node->configure().id(), lifecycle_msgs::msg::State::PRIMARY_STATE_INACTIVE);
    return node;
  }

  static std::shared_ptr<GridMap> obstaclePlugin(const GridMapROS & node)
  {
    for (const auto & map : node.multi_grid_map_->getGridMaps()) {
      if (map->getType() == quorvane_nav2_gridmap::GRIDMAP_TYPE_OBSTACLE) {
        return map;
      }
    }
    return nullptr;
  }

  static unsigned int bitsAt(const MultiGridMap & maps, unsigned int mx, unsigned int my)
  {
    ObsTypeBitMap bits;
    maps.getObstacleType(mx, my, bits);
    return bits.bits_;
  }

  static bool contains(const std::vector<LogLine> & lines, const LogLine & wanted)
  {
    return std::find(lines.begin(), lines.end(), wanted) != lines.end();
  }

  // Spins the helper until `done` holds; false after 10 s.
  bool spinHelperUntil(const std::function<bool()> & done)
  {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
      rclcpp::spin_some(helper_);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done();
  }

  bool callLoadMap(GridMapROS & node, const std::string & service)
  {
    rclcpp::executors::SingleThreadedExecutor host;
    host.add_node(node.get_node_base_interface());
    std::thread host_thread([&host] {host.spin();});
    auto client = helper_->create_client<nav2_msgs::srv::LoadMap>(service);
    bool answered = client->wait_for_service(std::chrono::seconds(10));
    if (answered) {
      auto request = std::make_shared<nav2_msgs::srv::LoadMap::Request>();
      request->map_url = "/ignored/map.yaml";
      auto future = client->async_send_request(request);
      answered = rclcpp::spin_until_future_complete(helper_, future, std::chrono::seconds(10)) ==
        rclcpp::FutureReturnCode::SUCCESS &&
        future.get()->result == nav2_msgs::srv::LoadMap::Response::RESULT_SUCCESS;
    }
    host.cancel();
    host_thread.join();
    return answered;
  }

  std::shared_ptr<rclcpp::Node> helper_;
};

TEST_F(GridObstacleTypeTest, DeclaresEveryParameterWithItsDefault)
{
  LogRecorder log;
  auto node = configured("plain");
  const auto value = [&node](const std::string & key) {
      return node->get_parameter("obstacle." + key);
    };
  EXPECT_FALSE(value("enable_trace_merge_map").as_bool());
  EXPECT_TRUE(value("enable_near_blocked_protection").as_bool());
  EXPECT_EQ(value("number_points_considered_as_blocked").as_int(), 5);
  EXPECT_DOUBLE_EQ(value("forced_clearing_distance").as_double(), 0.1);
  EXPECT_DOUBLE_EQ(value("transform_tolerance").as_double(), 0.2);
  EXPECT_FALSE(value("enable_frustum_trace").as_bool());
  EXPECT_DOUBLE_EQ(value("decay_time").as_double(), 5.0);
  EXPECT_DOUBLE_EQ(value("local_cache_distance").as_double(), 3.0);
  EXPECT_TRUE(value("occlusion_clearing").as_bool());
  EXPECT_EQ(value("clearing_min_point_cloud").as_int(), 3);
  EXPECT_DOUBLE_EQ(value("percentage_reduction_map_size").as_double(), 0.2);
  EXPECT_EQ(value("observation_sources").as_string(), "");
  EXPECT_EQ(value("map_id_file").as_string(), "history.map");
  EXPECT_EQ(value("map_mark_yaml_file").as_string(), "mark.yaml");
  EXPECT_EQ(value("map_meta_yaml_file").as_string(), "map.yaml");
  EXPECT_EQ(value("map_path_str").as_string(), "/opt/quorvane/data/resource/map/");

  const std::string conf = "observation_source_default_conf.";
  EXPECT_EQ(value(conf + "topic").as_string(), "");
  EXPECT_EQ(value(conf + "msg_type").as_string(), "SemanticPointCloud");
  EXPECT_EQ(value(conf + "sensor_frame").as_string(), "");
  EXPECT_EQ(value(conf + "camera_info_topic").as_string(), "");
  EXPECT_DOUBLE_EQ(value(conf + "observation_persistence").as_double(), 0.0);
  EXPECT_DOUBLE_EQ(value(conf + "expected_update_rate").as_double(), 0.0);
  EXPECT_DOUBLE_EQ(value(conf + "min_obstacle_height").as_double(), -0.5);
  EXPECT_DOUBLE_EQ(value(conf + "max_obstacle_height").as_double(), 2.0);
  EXPECT_DOUBLE_EQ(value(conf + "min_detect_distance").as_double(), 0.0);
  EXPECT_DOUBLE_EQ(value(conf + "max_detect_distance").as_double(), 8.0);
  EXPECT_DOUBLE_EQ(value(conf + "frustum_theta_resolution").as_double(), 0.0881);
  EXPECT_DOUBLE_EQ(value(conf + "frustum_obstruct_theta_tolerance").as_double(), 0.0);
  EXPECT_DOUBLE_EQ(value(conf + "frustum_r_resolution").as_double(), 0.05);
  EXPECT_FALSE(value(conf + "marking").as_bool());
  EXPECT_FALSE(value(conf + "frustum_strategy_enable").as_bool());
  EXPECT_FALSE(node->has_parameter("obstacle." + conf + "frustum_strategy.no_reference_point"));

  EXPECT_EQ(node->count_publishers("/plain_gridmap/trace_merge_occupancy"), 0u);
  EXPECT_EQ(node->count_publishers("/plain_gridmap/frustum_debug_markers"), 0u);
  EXPECT_EQ(node->count_publishers("/plain_gridmap/mark_objs"), 1u);
  // The default map directory does not exist here: no zones, and the plugin still configures.
  EXPECT_TRUE(contains(log.lines(), map_mark_test::info(
      "GridObstacleType::updateMap set narrow_corridor_objs_ size 0, "
      "priority_passage_objs_ size 0")));
  EXPECT_TRUE(contains(log.lines(), map_mark_test::info(
      "[PriorityPassage] GridObstacleType(obstacle) no converted priority passage coordinates")));
}

TEST_F(GridObstacleTypeTest, PluginWideValuesOfTheParameterFileWin)
{
  auto node = configured("tuned");
  const auto value = [&node](const std::string & key) {
      return node->get_parameter("obstacle." + key);
    };
  EXPECT_FALSE(value("enable_near_blocked_protection").as_bool());
  EXPECT_EQ(value("number_points_considered_as_blocked").as_int(), 9);
  EXPECT_DOUBLE_EQ(value("forced_clearing_distance").as_double(), 0.4);
  EXPECT_DOUBLE_EQ(value("transform_tolerance").as_double(), 0.7);
  EXPECT_DOUBLE_EQ(value("decay_time").as_double(), 1.5);
  EXPECT_DOUBLE_EQ(value("local_cache_distance").as_double(), 6.0);
  EXPECT_FALSE(value("occlusion_clearing").as_bool());
  EXPECT_EQ(value("clearing_min_point_cloud").as_int(), 7);
  EXPECT_DOUBLE_EQ(value("percentage_reduction_map_size").as_double(), 0.6);
  // The two switches that create publishers are seen on the graph.
  EXPECT_EQ(node->count_publishers("/tuned_gridmap/trace_merge_occupancy"), 1u);
  EXPECT_EQ(node->count_publishers("/tuned_gridmap/frustum_debug_markers"), 1u);
  EXPECT_EQ(node->count_publishers("/tuned_gridmap/combined_pcl"), 1u);
}

TEST_F(GridObstacleTypeTest, SourcesTakeOwnThenDefaultConfigurationThenBuiltInValues)
{
  auto node = configured("sources");
  const auto value = [&node](const std::string & key) {
      return node->get_parameter("obstacle." + key);
    };
  // Tabs, new lines and runs of blanks all separate source names: four sources are subscribed.
  EXPECT_EQ(node->count_subscribers("/camera/front"), 1u);
  EXPECT_EQ(node->count_subscribers("/camera/shared"), 3u);
  EXPECT_DOUBLE_EQ(value("front.max_detect_distance").as_double(), 6.0);
  EXPECT_DOUBLE_EQ(value("back.max_detect_distance").as_double(), 4.0);
  EXPECT_DOUBLE_EQ(value("back.min_detect_distance").as_double(), 0.0);
  EXPECT_TRUE(value("back.marking").as_bool());
  EXPECT_FALSE(value("east.marking").as_bool());

  // The default configuration's own switch does not switch on the sources' strategy keys, and
  // keys set for a source whose switch is off are never declared.
  EXPECT_EQ(
    value("observation_source_default_conf.frustum_strategy.inside_with_point").as_int(), 4);
  EXPECT_FALSE(value("back.frustum_strategy_enable").as_bool());
  EXPECT_FALSE(node->has_parameter("obstacle.back.frustum_strategy.out_of_theta"));
  EXPECT_FALSE(node->has_parameter("obstacle.front.frustum_strategy.inside_with_point"));
  // A source that reads its strategy keys defaults them to the default configuration's.
  EXPECT_EQ(value("east.frustum_strategy.inside_with_point").as_int(), 4);
  EXPECT_EQ(value("east.frustum_strategy.out_of_theta").as_int(), 4);
  EXPECT_EQ(value("east.frustum_strategy.no_reference_point").as_int(), 3);
  EXPECT_EQ(value("side.frustum_strategy.inside_with_point").as_int(), 1);
}

TEST_F(GridObstacleTypeTest, ASourceListedTwiceFailsAtItsFirstKey)
{
  auto node = std::make_shared<GridMapROS>("twice", "");
  EXPECT_THROW(
    node->on_configure(node->get_current_state()),
    rclcpp::exceptions::ParameterAlreadyDeclaredException);
  EXPECT_TRUE(node->has_parameter("obstacle.front.marking"));
  EXPECT_FALSE(node->has_parameter("obstacle.map_id_file"));
}

TEST_F(GridObstacleTypeTest, TheDefaultConfigurationCannotBeListedAsASource)
{
  auto node = std::make_shared<GridMapROS>("listsdefault", "");
  EXPECT_THROW(
    node->on_configure(node->get_current_state()),
    rclcpp::exceptions::ParameterAlreadyDeclaredException);
}

TEST_F(GridObstacleTypeTest, UnknownMessageTypeFailsConfiguration)
{
  auto node = std::make_shared<GridMapROS>("badtype", "");
  try {
    node->on_configure(node->get_current_state());
    FAIL() << "configured a source of another message type";
  } catch (const std::runtime_error & error) {
    EXPECT_STREQ(error.what(), "Unknown message type: PointCloud2");
  }
}

TEST_F(GridObstacleTypeTest, ParameterOfAnotherTypeFailsConfiguration)
{
  auto node = std::make_shared<GridMapROS>("mistyped", "");
  EXPECT_THROW(
    node->on_configure(node->get_current_state()),
    rclcpp::exceptions::InvalidParameterTypeException);
}

TEST_F(GridObstacleTypeTest, ZonesOfTheMapDirectoryBecomeCategoryBitsAndDistances)
{
  // The narrow corridor is drawn 300 times over: each of its cells is counted every time.
  std::vector<Zone> zones(300, block("narrow corridor", 2, 2, 4, 3));
  zones.push_back(block("priority passage", 6, 6, 10, 10));
  writeMap("zones", "m1", zones);
  selectMap("zones", "m1");
  LogRecorder log;
  auto node = configured("zones");
  auto plugin = obstaclePlugin(*node);
  auto & maps = *node->multi_grid_map_;
  ObsTypeBitMap bits;
  EXPECT_FALSE(plugin->getObstacleType(3, 2, bits));
  log.clear();
  maps.updateMap();

  EXPECT_TRUE(plugin->getObstacleType(0, 0, bits));
  EXPECT_EQ(bits.bits_, 0u);
  for (unsigned int my = 0; my < 20; ++my) {
    for (unsigned int mx = 0; mx < 20; ++mx) {
      const bool narrow = mx >= 2 && mx <= 4 && my >= 2 && my <= 3;
      const bool passage = mx >= 6 && mx <= 10 && my >= 6 && my <= 10;
      EXPECT_EQ(bitsAt(maps, mx, my), narrow ? 0x10u : passage ? 0x400u : 0u) << mx << "," << my;
      EXPECT_EQ(maps.inNarrowPassage(mx, my, 0), narrow);
      EXPECT_EQ(maps.inPriorityPassage(mx, my, 0), passage);
    }
  }
  EXPECT_TRUE(maps.hasPriorityPassage());
  EXPECT_FLOAT_EQ(maps.getPriorityPassageBoundaryDist(8, 8), 3.0f);
  EXPECT_FLOAT_EQ(maps.getPriorityPassageBoundaryDist(7, 8), 2.0f);
  EXPECT_FLOAT_EQ(maps.getPriorityPassageBoundaryDist(6, 9), 1.0f);
  EXPECT_FLOAT_EQ(maps.getPriorityPassageBoundaryDist(5, 8), 0.0f);
  EXPECT_TRUE(contains(log.lines(), {spdlog::level::debug,
      "GridObstacleType::updateMap set SEMANTIC_NARROW_PASSAGE count 1800", {}, {}}));
  EXPECT_TRUE(contains(log.lines(), map_mark_test::info(
      "[PriorityPassage] GridObstacleType loaded priority passage objects: 1, cells: 25")));
}

TEST_F(GridObstacleTypeTest, PerilOfTheDistanceMapIsAddedToTheObstacleType)
{
  writeMap("peril", "m1", {block("narrow corridor", 2, 2, 4, 3)});
  selectMap("peril", "m1");
  auto node = configured("peril");
  node->activate();
  nav_msgs::msg::OccupancyGrid map;
  map.header.frame_id = "map";
  map.info.resolution = 0.5f;
  map.info.width = 20;
  map.info.height = 20;
  map.info.origin.orientation.w = 1.0;
  map.data.assign(400, 0);
  map.data[2 * 20 + 3] = 100;
  auto map_publisher = helper_->create_publisher<nav_msgs::msg::OccupancyGrid>(
    "/peril_costmap/map", rclcpp::QoS(1).transient_local().reliable());
  map_publisher->publish(map);
  node->waitForCostmap();
  auto & maps = *node->multi_grid_map_;
  maps.updateMap();

  EXPECT_EQ(bitsAt(maps, 3, 2), 0x10u | 0x2u);
  EXPECT_EQ(bitsAt(maps, 2, 2), 0x10u);
  EXPECT_FALSE(maps.isObstacleType(3, 2, 0x2));
  EXPECT_TRUE(maps.isObstacleType(3, 2, 0x10));
}

TEST_F(GridObstacleTypeTest, LoadMapSwitchesTheZonesAtTheNextUpdateOnly)
{
  writeMap(
    "zones", "m1",
    {block("narrow corridor", 2, 2, 4, 3), block("priority passage", 6, 6, 10, 10)});
  writeMap("zones", "m2", {block("priority passage", 2, 12, 4, 14)});
  selectMap("zones", "m1");
  auto node = configured("zones");
  auto & maps = *node->multi_grid_map_;
  maps.updateMap();
  selectMap("zones", "m2");
  maps.updateMap();
  EXPECT_TRUE(maps.inPriorityPassage(8, 8, 0)) << "the map changed without a load_map call";

  ASSERT_TRUE(callLoadMap(*node, "/zones_gridmap/load_map"));
  EXPECT_TRUE(maps.inPriorityPassage(8, 8, 0)) << "the zones changed before the next update";
  EXPECT_FALSE(maps.inPriorityPassage(3, 13, 0));
  LogRecorder log;
  maps.updateMap();
  EXPECT_FALSE(maps.inPriorityPassage(8, 8, 0));
  EXPECT_FALSE(maps.inNarrowPassage(3, 2, 0));
  EXPECT_TRUE(maps.inPriorityPassage(3, 13, 0));
  EXPECT_FLOAT_EQ(maps.getPriorityPassageBoundaryDist(3, 13), 2.0f);
  EXPECT_TRUE(contains(log.lines(), map_mark_test::info(
      "GridObstacleType::updateMap set narrow_corridor_objs_ size 0, "
      "priority_passage_objs_ size 1")));
  EXPECT_EQ(
    std::count_if(
      log.lines().begin(), log.lines().end(),
      [](const LogLine & line) {return line.text.rfind("read map mark file ", 0) == 0;}), 1)
    << "both kinds of zone come from one reading of the zone file";
  EXPECT_TRUE(contains(log.lines(), map_mark_test::info(
      "[PriorityPassage] GridObstacleType(obstacle) converted priority passage id: m2-1, "
      "desc_type: block, points(map): (1.000, 6.000), (2.000, 6.000), (2.000, 7.000), "
      "(1.000, 7.000)")));
}

TEST_F(GridObstacleTypeTest, FailedZoneReloadLeavesNoZonesAndIsNotRetried)
{
  writeMap("zones", "m1", {block("priority passage", 6, 6, 10, 10)});
  selectMap("zones", "m1");
  auto node = configured("zones");
  auto & maps = *node->multi_grid_map_;
  selectMap("zones", "missing");
  ASSERT_TRUE(callLoadMap(*node, "/zones_gridmap/load_map"));
  ASSERT_NO_THROW(maps.updateMap());
  EXPECT_FALSE(maps.hasPriorityPassage());
  EXPECT_FALSE(maps.inPriorityPassage(8, 8, 0));

  // The flag went with the failed reload: a repaired directory is read at the next load_map only.
  selectMap("zones", "m1");
  LogRecorder log;
  maps.updateMap();
  EXPECT_FALSE(maps.inPriorityPassage(8, 8, 0));
  EXPECT_TRUE(contains(log.lines(), map_mark_test::info(
      "[PriorityPassage] GridObstacleType loaded priority passage objects: 0, cells: 0")));
  ASSERT_TRUE(callLoadMap(*node, "/zones_gridmap/load_map"));
  maps.updateMap();
  EXPECT_TRUE(maps.inPriorityPassage(8, 8, 0));
}

// Whatever stands in a map file's place (a FIFO without a writer, a directory, an endless device,
// a map id holding a NUL), a reload fails on its own: the update neither blocks nor throws, the
// zones are cleared, and the reload after the directory is repaired finds them again.
TEST_F(GridObstacleTypeTest, MapFileThatIsNotARegularFileFailsOnlyItsReload)
{
  writeMap("zones", "m1", {block("priority passage", 6, 6, 10, 10)});
  selectMap("zones", "m1");
  auto node = configured("zones");
  auto & maps = *node->multi_grid_map_;
  maps.updateMap();
  ASSERT_TRUE(maps.inPriorityPassage(8, 8, 0));

  const std::filesystem::path directory = map_root->path() / "zones";
  const std::vector<std::pair<std::string, std::function<void()>>> breakages{
    {"zone file as a FIFO", [&] {
        std::filesystem::remove(directory / "m1/zones.yaml");
        ASSERT_EQ(::mkfifo((directory / "m1/zones.yaml").c_str(), 0600), 0);
      }},
    {"meta file as a directory", [&] {
        std::filesystem::remove(directory / "m1/meta.yaml");
        std::filesystem::create_directory(directory / "m1/meta.yaml");
      }},
    {"history file on /dev/zero", [&] {
        std::filesystem::remove(directory / "current.map");
        std::filesystem::create_symlink("/dev/zero", directory / "current.map");
      }},
    {"history id with a NUL", [&] {
        std::filesystem::remove(directory / "current.map");
        map_root->write("zones/current.map", std::string("m1\0x\n", 5));
      }},
    {"image as a FIFO", [&] {
        std::filesystem::remove(directory / "m1/map.pgm");
        ASSERT_EQ(::mkfifo((directory / "m1/map.pgm").c_str(), 0600), 0);
      }},
  };
  for (const auto & [what, breakMap] : breakages) {
    breakMap();
    ASSERT_TRUE(callLoadMap(*node, "/zones_gridmap/load_map")) << what;
    EXPECT_NO_THROW(maps.updateMap()) << what;
    EXPECT_FALSE(maps.inPriorityPassage(8, 8, 0)) << what;
    EXPECT_FALSE(maps.hasPriorityPassage()) << what;

    std::filesystem::remove_all(directory / "m1");
    std::filesystem::remove(directory / "current.map");
    writeMap("zones", "m1", {block("priority passage", 6, 6, 10, 10)});
    selectMap("zones", "m1");
    ASSERT_TRUE(callLoadMap(*node, "/zones_gridmap/load_map")) << what;
    maps.updateMap();
    EXPECT_TRUE(maps.inPriorityPassage(8, 8, 0)) << what;
  }
}

TEST_F(GridObstacleTypeTest, PassageOutsideTheWindowIsReportedAndIgnored)
{
  // On the map image, which is wider than the costmap's window.
  writeMap("zones", "m3", {block("priority passage", 40, 2, 42, 4)}, 50);
  selectMap("zones", "m3");
  auto node = configured("zones");
  auto & maps = *node->multi_grid_map_;
  LogRecorder log;
  maps.updateMap();
  EXPECT_TRUE(contains(log.lines(), map_mark_test::warn(
      "[PriorityPassage] GridObstacleType found priority passage objects, but no cells were "
      "written to gridmap")));
  EXPECT_FALSE(maps.hasPriorityPassage());
  EXPECT_FLOAT_EQ(maps.getPriorityPassageBoundaryDist(10, 10), 0.0f);
}

TEST_F(GridObstacleTypeTest, CellsOutsideTheGridAnswerAsEmptyCells)
{
  writeMap("zones", "m1", {block("priority passage", 15, 15, 19, 19)});
  selectMap("zones", "m1");
  auto node = configured("zones");
  auto plugin = obstaclePlugin(*node);
  auto & maps = *node->multi_grid_map_;
  maps.updateMap();
  ASSERT_TRUE(plugin->inPriorityPassage(19, 19, 0));
  LogRecorder log;
  for (const auto & [mx, my] : std::vector<std::pair<unsigned int, unsigned int>>{
      {20, 19}, {19, 20}, {4000000000u, 0}, {0, 4000000000u}})
  {
    ObsTypeBitMap bits;
    bits.set(0xffu);
    EXPECT_FALSE(plugin->getObstacleType(mx, my, bits));
    EXPECT_EQ(bits.bits_, 0u);
    EXPECT_FALSE(plugin->inPriorityPassage(mx, my, 0));
    EXPECT_FALSE(plugin->inNarrowPassage(mx, my, 0));
    EXPECT_FLOAT_EQ(plugin->getPriorityPassageBoundaryDist(mx, my), 0.0f);
    // A footprint at the costmap's edge asks like this thousands of times a second.
    EXPECT_EQ(bitsAt(maps, mx, my), 0x2u);
    EXPECT_FALSE(maps.isObstacleType(mx, my, ~0u));
  }
  EXPECT_EQ(log.lines(), std::vector<LogLine>{});
}

TEST_F(GridObstacleTypeTest, PassageDistancesAreExactOnAGridWiderThan4096Cells)
{
  writeMap("wide", "m1", {block("priority passage", 4500, 6, 4504, 10)}, 5000);
  selectMap("wide", "m1");
  auto node = configured("wide");
  auto & maps = *node->multi_grid_map_;
  maps.updateMap();
  ASSERT_EQ(node->costmap_ros_->getLayeredCostmap()->getCostmap()->getSizeInCellsX(), 5000u);
  int wrong = 0;
  for (unsigned int my = 0; my < 20; ++my) {
    for (unsigned int mx = 0; mx < 5000; ++mx) {
      const int dx = std::min(static_cast<int>(mx) - 4500, 4504 - static_cast<int>(mx));
      const int dy = std::min(static_cast<int>(my) - 6, 10 - static_cast<int>(my));
      const float expected = dx < 0 || dy < 0 ? 0.0f : static_cast<float>(std::min(dx, dy) + 1);
      if (maps.getPriorityPassageBoundaryDist(mx, my) != expected) {
        ++wrong;
      }
    }
  }
  EXPECT_EQ(wrong, 0);
}

// The window moves back and forth by whole cells, cutting the passages with its left and lower
// edges on the way, once by half a cell and once to another resolution: the cells, their count and
// the distances follow exactly.
TEST_F(GridObstacleTypeTest, PassagesFollowAMovingWindowExactly)
{
  writeMap(
    "zones", "m1",
    {block("priority passage", 6, 6, 10, 10), block("priority passage", 13, 2, 16, 4)});
  selectMap("zones", "m1");
  auto node = configured("zones");
  node->activate();
  auto map_publisher = helper_->create_publisher<nav_msgs::msg::OccupancyGrid>(
    "/zones_costmap/map", rclcpp::QoS(1).transient_local().reliable());
  auto & maps = *node->multi_grid_map_;
  auto * master = node->costmap_ros_->getLayeredCostmap()->getCostmap();
  struct Window
  {
    double origin_x;
    double origin_y;
    double resolution;
  };
  for (const Window & window : std::vector<Window>{
      {0.0, 0.0, 0.5}, {4.0, 0.5, 0.5}, {-1.0, 2.0, 0.5}, {-1.0, 2.0, 0.25}, {0.25, 0.0, 0.5},
      {0.0, 0.0, 0.5}})
  {
    const int cells = static_cast<int>(10.0 / window.resolution);
    nav_msgs::msg::OccupancyGrid map;
    map.header.frame_id = "map";
    map.info.resolution = static_cast<float>(window.resolution);
    map.info.width = cells;
    map.info.height = cells;
    map.info.origin.position.x = window.origin_x;
    map.info.origin.position.y = window.origin_y;
    map.info.origin.orientation.w = 1.0;
    map.data.assign(static_cast<std::size_t>(cells * cells), 0);
    map_publisher->publish(map);
    const auto moved = [master, &window]() {
        std::unique_lock<nav2_costmap_2d::Costmap2D::mutex_t> lock(*master->getMutex());
        return master->getOriginX() == window.origin_x &&
               master->getOriginY() == window.origin_y &&
               master->getResolution() == window.resolution;
      };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!moved() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const std::string where = "window origin (" + std::to_string(window.origin_x) + ", " +
      std::to_string(window.origin_y) + ") at " + std::to_string(window.resolution) + " m";
    ASSERT_TRUE(moved()) << where;
    LogRecorder log;
    maps.updateMap();
    ASSERT_TRUE(maps.hasPriorityPassage()) << where;

    // Drawn at the window's resolution, a block covers the cells from its lower left corner to
    // its upper right one, each by its centre: a window cell holding one is a passage cell.
    const auto in_passage = [&window](int mx, int my) {
        const double half = window.resolution / 2.0;
        const double x = window.origin_x + mx * window.resolution;
        const double y = window.origin_y + my * window.resolution;
        const auto covers = [half](double corner, double low, double high) {
            return corner > low - half && corner <= high + half;
          };
        return (covers(x, 3.0, 5.0) && covers(y, 3.0, 5.0)) ||
               (covers(x, 6.5, 8.0) && covers(y, 1.0, 2.0));
      };
    std::vector<std::pair<int, int>> outside;
    int passage_cells = 0;
    int wrong_cells = 0;
    for (int my = 0; my < cells; ++my) {
      for (int mx = 0; mx < cells; ++mx) {
        passage_cells += in_passage(mx, my) ? 1 : 0;
        wrong_cells += maps.inPriorityPassage(mx, my, 0) != in_passage(mx, my) ? 1 : 0;
        if (!in_passage(mx, my)) {
          outside.emplace_back(mx, my);
        }
      }
    }
    EXPECT_EQ(wrong_cells, 0) << where;
    EXPECT_TRUE(contains(log.lines(), map_mark_test::info(
        "[PriorityPassage] GridObstacleType loaded priority passage objects: 2, cells: " +
        std::to_string(passage_cells)))) << where;
    int wrong_distances = 0;
    for (int my = 0; my < cells; ++my) {
      for (int mx = 0; mx < cells; ++mx) {
        int nearest = 0;
        if (in_passage(mx, my)) {
          nearest = 8 * cells * cells;
          for (const auto & [x, y] : outside) {
            nearest = std::min(nearest, (x - mx) * (x - mx) + (y - my) * (y - my));
          }
        }
        const float expected = static_cast<float>(std::sqrt(static_cast<double>(nearest)));
        wrong_distances += maps.getPriorityPassageBoundaryDist(mx, my) != expected ? 1 : 0;
      }
    }
    EXPECT_EQ(wrong_distances, 0) << where;
  }
}

TEST_F(GridObstacleTypeTest, ViewsShowTheZonesAndTheGrid)
{
  writeMap(
    "views", "m1",
    {block("narrow corridor", 2, 2, 4, 3), block("priority passage", 6, 6, 10, 10)});
  selectMap("views", "m1");
  auto node = configured("views");
  auto clock_publisher = helper_->create_publisher<rosgraph_msgs::msg::Clock>("/clock", 10);
  rosgraph_msgs::msg::Clock simulated;
  simulated.clock.sec = 42;
  ASSERT_TRUE(spinHelperUntil([&] {
      clock_publisher->publish(simulated);
      return node->now().seconds() == 42.0;
    }));

  sensor_msgs::msg::PointCloud2::SharedPtr cloud;
  nav_msgs::msg::OccupancyGrid::SharedPtr grid;
  auto cloud_subscription = helper_->create_subscription<sensor_msgs::msg::PointCloud2>(
    "/views_gridmap/mark_objs", 1, [&cloud](sensor_msgs::msg::PointCloud2::SharedPtr message) {
      cloud = message;
    });
  auto grid_subscription = helper_->create_subscription<nav_msgs::msg::OccupancyGrid>(
    "/views_gridmap/trace_merge_occupancy", rclcpp::QoS(1).transient_local(),
    [&grid](nav_msgs::msg::OccupancyGrid::SharedPtr message) {grid = message;});
  node->multi_grid_map_->updateMap();
  ASSERT_TRUE(spinHelperUntil([&] {return cloud && grid;}));

  // The zone cloud is published although the node, and so its publisher, is not active.
  EXPECT_EQ(cloud->header.frame_id, "map");
  EXPECT_EQ(cloud->header.stamp.sec, 42);
  ASSERT_EQ(cloud->width * cloud->height, 6u + 25u);
  sensor_msgs::PointCloud2ConstIterator<float> x(*cloud, "x");
  sensor_msgs::PointCloud2ConstIterator<float> y(*cloud, "y");
  sensor_msgs::PointCloud2ConstIterator<float> z(*cloud, "z");
  for (int i = 0; i < 31; ++i, ++x, ++y, ++z) {
    const bool narrow = i < 6;
    EXPECT_GE(*x, narrow ? 1.0f : 3.0f);
    EXPECT_LE(*x, narrow ? 2.5f : 5.5f);
    EXPECT_EQ(std::fmod(*x, 0.5f), 0.25f);
    EXPECT_EQ(*z, 0.0f);
  }

  EXPECT_EQ(grid->header.frame_id, "map");
  EXPECT_EQ(grid->header.stamp.sec, 42);
  ASSERT_EQ(grid->data.size(), 400u);
  EXPECT_NE(grid->data[2 * 20 + 3], 0);
  EXPECT_NE(grid->data[8 * 20 + 8], 0);
  EXPECT_EQ(grid->data[0], 0);
}

}  // namespace
