// The checker is driven as a host drives it: a GridMapROS node whose costmap node takes its
// footprint from a parameters file and its map from an OccupancyGrid on its map topic.

#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <spdlog/sinks/base_sink.h>

#include "geometry_msgs/msg/point.hpp"
#include "geometry_msgs/msg/pose.hpp"
#include "geometry_msgs/msg/pose2_d.hpp"
#include "geometry_msgs/msg/twist.hpp"
#include "nav2_costmap_2d/cost_values.hpp"
#include "nav_msgs/msg/occupancy_grid.hpp"
#include "quorvane_nav2_gridmap/collision/collision_check.hpp"
#include "quorvane_nav2_gridmap/gridmap_ros.hpp"
#include "quorvane_nav2_gridmap/logger.hpp"
#include "rclcpp/rclcpp.hpp"

namespace
{

using geometry_msgs::msg::Point;
using geometry_msgs::msg::Pose2D;
using Footprint = std::vector<Point>;

constexpr double kPi = 3.141592653589793;
constexpr double kResolution = 0.05;
constexpr unsigned int kCells = 80;  // 4 m x 4 m from the origin (0, 0)
constexpr const char * kSource = "./src/collision/collision_check.cpp";

// A square robot of 0.5 m; no padding, so the outline lies exactly where the file says.
constexpr const char * kParameters =
  "/**/collision_costmap:\n"
  "  ros__parameters:\n"
  "    footprint: \"[[0.25, 0.25], [0.25, -0.25], [-0.25, -0.25], [-0.25, 0.25]]\"\n"
  "    footprint_padding: 0.0\n";

// Occupancy values and the costs the costmap node's static layer makes of them.
constexpr int8_t kFree = 0;
constexpr int8_t kHighestNonLethal = 99;  // 251
constexpr int8_t kLethal = 100;           // 254
constexpr int8_t kNoInformation = -1;     // 255

// Robot centre (2.02, 2.02): its outline runs through cells 35 and 45 in x and y, off every
// cell boundary. Cell (45, 40) lies on the outline's right edge.
constexpr double kCentre = 2.02;
constexpr unsigned int kOutlineX = 45;
constexpr unsigned int kOutlineY = 40;

Pose2D pose2d(double x, double y, double theta)
{
  Pose2D pose;
  pose.x = x;
  pose.y = y;
  pose.theta = theta;
  return pose;
}

Point point(double x, double y)
{
  Point p;
  p.x = x;
  p.y = y;
  return p;
}

nav_msgs::msg::OccupancyGrid freeMap()
{
  nav_msgs::msg::OccupancyGrid map;
  map.header.frame_id = "map";
  map.info.resolution = kResolution;
  map.info.width = kCells;
  map.info.height = kCells;
  map.info.origin.orientation.w = 1.0;
  map.data.assign(kCells * kCells, kFree);
  return map;
}

nav_msgs::msg::OccupancyGrid mapWith(unsigned int mx, unsigned int my, int8_t value)
{
  auto map = freeMap();
  map.data[my * kCells + mx] = value;
  return map;
}

// The text of the std::runtime_error that `call` raises; empty when it raises none.
template<typename Call>
std::string runtimeErrorOf(Call call)
{
  try {
    call();
  } catch (const std::runtime_error & error) {
    return error.what();
  }
  return "";
}

struct LogLine
{
  std::string text;
  std::string file;
  std::string function;
};

// Keeps every line the facade emits while a test runs.
class CaptureSink : public spdlog::sinks::base_sink<std::mutex>
{
public:
  std::vector<LogLine> lines;

protected:
  void sink_it_(const spdlog::details::log_msg & message) override
  {
    lines.push_back(
      {std::string(message.payload.data(), message.payload.size()),
        message.source.filename ? message.source.filename : "",
        message.source.funcname ? message.source.funcname : ""});
  }
  void flush_() override {}
};

class CollisionCheckTest : public ::testing::Test
{
protected:
  static void SetUpTestSuite()
  {
    setenv("SPDLOG_LEVEL", "info", 1);
    char pattern[] = "/tmp/collision_check_testXXXXXX";
    directory_ = mkdtemp(pattern);
    const std::string file = directory_ + "/costmap.yaml";
    std::ofstream(file) << kParameters;
    const char * argv[] = {"test_collision_check", "--ros-args", "--params-file", file.c_str()};
    rclcpp::init(4, argv);
  }

  static void TearDownTestSuite()
  {
    rclcpp::shutdown();
    std::filesystem::remove_all(directory_);
  }

  void SetUp() override
  {
    map_node_ = rclcpp::Node::make_shared("collision_test_map_server");
    map_publisher_ = map_node_->create_publisher<nav_msgs::msg::OccupancyGrid>(
      "/collision_costmap/map", rclcpp::QoS(1).reliable().transient_local());
    auto & logger = quorvane::Logger::Instance("spdlog");
    sink_ = std::make_shared<CaptureSink>();
    logger.logger_->sinks().push_back(sink_);
  }

  void TearDown() override
  {
    auto & sinks = quorvane::Logger::Instance("spdlog").logger_->sinks();
    sinks.erase(std::remove(sinks.begin(), sinks.end(), sink_), sinks.end());
    checker_.reset();
    host_.reset();
  }

  // Brings the grid-map node up on `map` as a host does and builds the checker on it.
  void startHost(const nav_msgs::msg::OccupancyGrid & map)
  {
    map_publisher_->publish(map);
    host_ = std::make_shared<quorvane_nav2_gridmap::GridMapROS>("collision", "");
    host_->configure();
    host_->activate();
    host_->waitForCostmap();
    checker_ = std::make_shared<Collision::CollisionCheck>(host_);
    // Only the checker's own lines are of interest (a slow costmap makes the wait log too).
    sink_->lines.clear();
  }

  // A new map reaches the master costmap on the costmap thread; wait until it shows.
  void replaceMap(const nav_msgs::msg::OccupancyGrid & map, unsigned int mx, unsigned int my,
    unsigned char expected_cost)
  {
    map_publisher_->publish(map);
    auto * master = host_->costmap_ros_->getLayeredCostmap()->getCostmap();
    for (int attempt = 0; attempt < 2000; ++attempt) {
      {
        std::unique_lock<nav2_costmap_2d::Costmap2D::mutex_t> lock(*master->getMutex());
        if (master->getCost(mx, my) == expected_cost) {
          return;
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    FAIL() << "the costmap node never applied the new map";
  }

  // The prefix the facade gives the line that follows `before` by `offset` lines.
  static std::string errorLine(unsigned int before, unsigned int offset, const std::string & text)
  {
    return fmt::format("{:3d} [ERROR] {}", (before + offset) & 127U, text);
  }

  static unsigned int counter()
  {
    return quorvane::Logger::Instance("spdlog").counter_.load();
  }

  std::vector<std::string> loggedTexts() const
  {
    std::vector<std::string> texts;
    for (const auto & line : sink_->lines) {
      texts.push_back(line.text);
    }
    return texts;
  }

  static inline std::string directory_;
  rclcpp::Node::SharedPtr map_node_;
  rclcpp::Publisher<nav_msgs::msg::OccupancyGrid>::SharedPtr map_publisher_;
  std::shared_ptr<CaptureSink> sink_;
  std::shared_ptr<quorvane_nav2_gridmap::GridMapROS> host_;
  std::shared_ptr<Collision::CollisionCheck> checker_;
};

void expectFootprint(const Footprint & actual, const Footprint & expected)
{
  ASSERT_EQ(actual.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_NEAR(actual[i].x, expected[i].x, 1e-9) << "vertex " << i;
    EXPECT_NEAR(actual[i].y, expected[i].y, 1e-9) << "vertex " << i;
  }
}

// --- motion model -------------------------------------------------------------------------

TEST_F(CollisionCheckTest, MotionModelTakesOneStraightStepAtTheStartHeading)
{
  Collision::CollisionCheck checker(nullptr);
  geometry_msgs::msg::Twist twist;
  twist.linear.x = 1.0;
  twist.angular.z = 0.5;
  const auto moved = checker.computeNewPosition(pose2d(3.0, 4.0, 0.0), twist, 2.0);
  EXPECT_DOUBLE_EQ(moved.x, 5.0);
  EXPECT_DOUBLE_EQ(moved.y, 4.0);
  EXPECT_DOUBLE_EQ(moved.theta, 1.0);
}

TEST_F(CollisionCheckTest, MotionModelSendsLateralVelocityToTheLeftOfTheHeading)
{
  Collision::CollisionCheck checker(nullptr);
  geometry_msgs::msg::Twist twist;
  twist.linear.y = 1.0;
  const auto moved = checker.computeNewPosition(pose2d(3.0, 4.0, kPi / 2.0), twist, 2.0);
  EXPECT_NEAR(moved.x, 1.0, 1e-12);
  EXPECT_NEAR(moved.y, 4.0, 1e-12);
  EXPECT_DOUBLE_EQ(moved.theta, kPi / 2.0);
}

TEST_F(CollisionCheckTest, MotionModelNeitherNormalisesTheHeadingNorUsesOtherTwistParts)
{
  Collision::CollisionCheck checker(nullptr);
  geometry_msgs::msg::Twist twist;
  twist.angular.z = 2.0;
  twist.linear.z = 5.0;
  twist.angular.x = 1.0;
  const auto moved = checker.computeNewPosition(pose2d(0.5, 0.5, 3.0), twist, 1.5);
  EXPECT_DOUBLE_EQ(moved.x, 0.5);
  EXPECT_DOUBLE_EQ(moved.y, 0.5);
  EXPECT_DOUBLE_EQ(moved.theta, 6.0);
}

// --- scores ---------------------------------------------------------------------------------

TEST_F(CollisionCheckTest, HighestMapCostBelowLethalIsFree)
{
  startHost(mapWith(kOutlineX, kOutlineY, kHighestNonLethal));
  EXPECT_DOUBLE_EQ(checker_->scorePose(pose2d(kCentre, kCentre, 0.0), true), 251.0);
  EXPECT_TRUE(checker_->isCollisionFreePose(pose2d(kCentre, kCentre, 0.0), false));
}

TEST_F(CollisionCheckTest, InscribedCostOnTheOutlineIsStillFree)
{
  // A static map tops out at 251 below lethal; 253 comes from inflation, which this costmap
  // node has no layer for. So the cell is written into the master costmap the way an
  // inflation layer writes it, under the costmap's lock.
  startHost(freeMap());
  auto * master = host_->costmap_ros_->getLayeredCostmap()->getCostmap();
  {
    std::unique_lock<nav2_costmap_2d::Costmap2D::mutex_t> lock(*master->getMutex());
    master->setCost(kOutlineX, kOutlineY, nav2_costmap_2d::INSCRIBED_INFLATED_OBSTACLE);
  }
  EXPECT_DOUBLE_EQ(checker_->scorePose(pose2d(kCentre, kCentre, 0.0), true), 253.0);
  EXPECT_TRUE(checker_->isCollisionFreePose(pose2d(kCentre, kCentre, 0.0), false));
}

TEST_F(CollisionCheckTest, LethalCostOnTheOutlineCollides)
{
  startHost(mapWith(kOutlineX, kOutlineY, kLethal));
  EXPECT_DOUBLE_EQ(checker_->scorePose(pose2d(kCentre, kCentre, 0.0), true), 254.0);
  EXPECT_FALSE(checker_->isCollisionFreePose(pose2d(kCentre, kCentre, 0.0), false));
  EXPECT_TRUE(sink_->lines.empty()) << "a collision is an answer, not an error";
}

TEST_F(CollisionCheckTest, CellWithoutInformationOnTheOutlineCollides)
{
  startHost(mapWith(kOutlineX, kOutlineY, kNoInformation));
  EXPECT_DOUBLE_EQ(checker_->scorePose(pose2d(kCentre, kCentre, 0.0), true), 255.0);
  EXPECT_FALSE(checker_->isCollisionFreePose(pose2d(kCentre, kCentre, 0.0), false));
}

TEST_F(CollisionCheckTest, ObstacleAwayFromTheFootprintLeavesThePoseFree)
{
  startHost(mapWith(kOutlineX + 5, kOutlineY, kLethal));
  EXPECT_DOUBLE_EQ(checker_->scorePose(pose2d(kCentre, kCentre, 0.0), true), 0.0);
  EXPECT_TRUE(checker_->isCollisionFreePose(pose2d(kCentre, kCentre, 0.0), true));
  // A quarter metre further right, the right edge runs over the obstacle's column.
  EXPECT_FALSE(checker_->isCollisionFreePose(pose2d(kCentre + 0.25, kCentre, 0.0), false));
}

TEST_F(CollisionCheckTest, FootprintReachingOverTheEdgeCollidesWithoutAnError)
{
  startHost(freeMap());
  EXPECT_FALSE(checker_->isCollisionFreePose(pose2d(0.1, kCentre, 0.0), true));
  EXPECT_TRUE(sink_->lines.empty());
}

// --- poses off the grid ---------------------------------------------------------------------

TEST_F(CollisionCheckTest, PoseOffTheGridIsLoggedAndFailsTheCheck)
{
  startHost(freeMap());
  EXPECT_EQ(
    runtimeErrorOf([this] {checker_->scorePose(pose2d(-1.0, kCentre, 0.0), true);}),
    "Pose Goes Off Grid.");
  sink_->lines.clear();

  const unsigned int before = counter();
  EXPECT_FALSE(checker_->isCollisionFreePose(pose2d(-1.0, 2.5, 0.0), true));
  EXPECT_EQ(
    loggedTexts(),
    (std::vector<std::string>{
      errorLine(before, 1, "Pose Goes Off Grid when collision_checker_.worldToMap, pose(-1, 2.5)"),
      errorLine(before, 2, "Failed to check pose score, error code is 101100018")}));
  ASSERT_EQ(sink_->lines.size(), 2U);
  EXPECT_EQ(sink_->lines[0].file, kSource);
  EXPECT_EQ(sink_->lines[0].function, "scorePose");
  EXPECT_EQ(sink_->lines[1].file, kSource);
  EXPECT_EQ(sink_->lines[1].function, "isCollisionFreePose");
}

TEST_F(CollisionCheckTest, PoseOffTheGridWithAFootprintFailsWithOnlyTheCodeLine)
{
  startHost(freeMap());
  const Footprint small{point(0.1, 0.0), point(-0.1, 0.1), point(-0.1, -0.1)};
  EXPECT_EQ(
    runtimeErrorOf([&] {checker_->scorePose(pose2d(kCentre, 4.5, 0.0), true, small);}),
    "Pose Goes Off Grid.");
  EXPECT_TRUE(sink_->lines.empty());

  const unsigned int before = counter();
  EXPECT_FALSE(checker_->isCollisionFreePose(pose2d(kCentre, 4.5, 0.0), true, small));
  EXPECT_EQ(
    loggedTexts(),
    (std::vector<std::string>{
      errorLine(before, 1, "Failed to check pose score, error code is 101100018")}));
}

TEST_F(CollisionCheckTest, PoseOffTheGridOfTheSnapshotFailsEvenWithoutAnUpdate)
{
  startHost(freeMap());
  EXPECT_TRUE(checker_->isCollisionFreePose(pose2d(kCentre, kCentre, 0.0), true));
  EXPECT_FALSE(checker_->isCollisionFreePose(pose2d(kCentre, -0.5, 0.0), false));
  EXPECT_EQ(sink_->lines.size(), 2U);
}

// --- footprint cache ------------------------------------------------------------------------

TEST_F(CollisionCheckTest, UpdatingTakesTheCostmapNodesFootprintPlacedAtThePose)
{
  startHost(freeMap());
  expectFootprint(
    checker_->getFootprint(pose2d(1.0, 2.0, 0.0), true),
    {point(1.25, 2.25), point(1.25, 1.75), point(0.75, 1.75), point(0.75, 2.25)});
  // A quarter turn maps (x, y) to (-y, x) before the move.
  expectFootprint(
    checker_->getFootprint(pose2d(1.0, 2.0, kPi / 2.0), false),
    {point(0.75, 2.25), point(1.25, 2.25), point(1.25, 1.75), point(0.75, 1.75)});
}

TEST_F(CollisionCheckTest, FootprintArgumentReplacesTheCacheOnlyWhenUpdating)
{
  startHost(freeMap());
  const Footprint triangle{point(0.1, 0.0), point(-0.1, 0.1), point(-0.1, -0.1)};
  const Footprint bar{point(1.0, 0.0), point(-1.0, 0.0)};
  expectFootprint(
    checker_->getFootprint(pose2d(1.0, 1.0, 0.0), true, triangle),
    {point(1.1, 1.0), point(0.9, 1.1), point(0.9, 0.9)});
  // Without an update the argument is ignored and the first overload keeps the triangle too.
  expectFootprint(
    checker_->getFootprint(pose2d(2.0, 1.0, 0.0), false, bar),
    {point(2.1, 1.0), point(1.9, 1.1), point(1.9, 0.9)});
  expectFootprint(
    checker_->getFootprint(pose2d(2.0, 2.0, 0.0), false),
    {point(2.1, 2.0), point(1.9, 2.1), point(1.9, 1.9)});
  // An empty argument falls back to the costmap node's footprint.
  expectFootprint(
    checker_->getFootprint(pose2d(1.0, 2.0, 0.0), true, {}),
    {point(1.25, 2.25), point(1.25, 1.75), point(0.75, 1.75), point(0.75, 2.25)});
}

TEST_F(CollisionCheckTest, ScoringUsesTheFootprintCachedByTheLastUpdate)
{
  startHost(mapWith(kOutlineX, kOutlineY, kLethal));
  const Pose2D centre = pose2d(kCentre, kCentre, 0.0);
  const Footprint triangle{point(0.1, 0.0), point(-0.1, 0.1), point(-0.1, -0.1)};
  EXPECT_TRUE(checker_->isCollisionFreePose(centre, true, triangle));
  EXPECT_TRUE(checker_->isCollisionFreePose(centre, false));
  EXPECT_FALSE(checker_->isCollisionFreePose(centre, true));
  EXPECT_TRUE(checker_->isCollisionFreePose(centre, true, triangle));
  EXPECT_FALSE(checker_->isCollisionFreePose(centre, true, {}));
}

// --- snapshot -------------------------------------------------------------------------------

TEST_F(CollisionCheckTest, SnapshotIgnoresLaterCostmapChangesUntilTheNextUpdate)
{
  startHost(freeMap());
  const Pose2D centre = pose2d(kCentre, kCentre, 0.0);
  ASSERT_TRUE(checker_->isCollisionFreePose(centre, true));

  replaceMap(mapWith(kOutlineX, kOutlineY, kLethal), kOutlineX, kOutlineY, 254);
  EXPECT_TRUE(checker_->isCollisionFreePose(centre, false));
  EXPECT_DOUBLE_EQ(checker_->scorePose(centre, false), 0.0);
  EXPECT_FALSE(checker_->isCollisionFreePose(centre, true));

  replaceMap(freeMap(), kOutlineX, kOutlineY, 0);
  EXPECT_FALSE(checker_->isCollisionFreePose(centre, false));
  EXPECT_TRUE(checker_->isCollisionFreePose(centre, true));
}

// --- velocity checks ------------------------------------------------------------------------

geometry_msgs::msg::Pose facing(double x, double y, double yaw)
{
  geometry_msgs::msg::Pose pose;
  pose.position.x = x;
  pose.position.y = y;
  pose.orientation.z = std::sin(yaw / 2.0);
  pose.orientation.w = std::cos(yaw / 2.0);
  return pose;
}

geometry_msgs::msg::Twist forward(double speed)
{
  geometry_msgs::msg::Twist twist;
  twist.linear.x = speed;
  return twist;
}

TEST_F(CollisionCheckTest, VelocityCheckTestsThePoseReachedAlongTheHeading)
{
  // Half a metre ahead of the right edge: reached after one second at 0.5 m/s.
  startHost(mapWith(kOutlineX + 10, kOutlineY, kLethal));
  EXPECT_TRUE(checker_->isCollisionFreeDt(facing(kCentre, kCentre, 0.0), forward(0.5), 0.0));
  EXPECT_FALSE(checker_->isCollisionFreeDt(facing(kCentre, kCentre, 0.0), forward(0.5), 1.0));
  EXPECT_TRUE(checker_->isCollisionFreeDt(facing(kCentre, kCentre, kPi), forward(0.5), 1.0));
}

TEST_F(CollisionCheckTest, VelocityCheckWithAFootprintScoresThatFootprint)
{
  startHost(mapWith(kOutlineX + 10, kOutlineY, kLethal));
  const Footprint triangle{point(0.1, 0.0), point(-0.1, 0.1), point(-0.1, -0.1)};
  EXPECT_TRUE(
    checker_->isCollisionFreeDt(facing(kCentre, kCentre, 0.0), forward(0.5), 1.0, triangle));
  EXPECT_FALSE(
    checker_->isCollisionFreeDt(facing(kCentre, kCentre, 0.0), forward(0.5), 1.0, {}));
}

TEST_F(CollisionCheckTest, VelocityCheckAlwaysTakesAFreshSnapshot)
{
  startHost(freeMap());
  ASSERT_TRUE(checker_->isCollisionFreeDt(facing(kCentre, kCentre, 0.0), forward(0.5), 0.0));
  replaceMap(mapWith(kOutlineX, kOutlineY, kLethal), kOutlineX, kOutlineY, 254);
  EXPECT_FALSE(checker_->isCollisionFreeDt(facing(kCentre, kCentre, 0.0), forward(0.5), 0.0));
}

// --- failures that become a pose that is not free -----------------------------------------

TEST_F(CollisionCheckTest, ScoringBeforeAnySnapshotFails)
{
  startHost(freeMap());
  EXPECT_THROW(checker_->scorePose(pose2d(kCentre, kCentre, 0.0), false), std::runtime_error);

  const unsigned int before = counter();
  EXPECT_FALSE(checker_->isCollisionFreePose(pose2d(kCentre, kCentre, 0.0), false));
  EXPECT_FALSE(checker_->isCollisionFreePose(pose2d(kCentre, kCentre, 0.0), false, {}));
  const std::string code_line = "Failed to check pose score, error code is 101100018";
  EXPECT_EQ(
    loggedTexts(),
    (std::vector<std::string>{errorLine(before, 1, code_line), errorLine(before, 2, code_line)}));
  EXPECT_TRUE(checker_->isCollisionFreePose(pose2d(kCentre, kCentre, 0.0), true));
}

TEST_F(CollisionCheckTest, EmptyCachedFootprintFails)
{
  startHost(freeMap());
  // The snapshot is taken before the pose is found off the grid; the footprint never is.
  EXPECT_FALSE(checker_->isCollisionFreePose(pose2d(-1.0, kCentre, 0.0), true));
  sink_->lines.clear();

  EXPECT_THROW(checker_->scorePose(pose2d(kCentre, kCentre, 0.0), false), std::runtime_error);
  const unsigned int before = counter();
  EXPECT_FALSE(checker_->isCollisionFreePose(pose2d(kCentre, kCentre, 0.0), false));
  EXPECT_EQ(
    loggedTexts(),
    (std::vector<std::string>{
      errorLine(before, 1, "Failed to check pose score, error code is 101100018")}));
}

TEST_F(CollisionCheckTest, SnapshotFailureIsLoggedAndRaisedAgainWithItsText)
{
  // A host that forgot to configure its node: the costmap node has no costmap yet.
  auto unconfigured = std::make_shared<quorvane_nav2_gridmap::GridMapROS>("unconfigured", "");
  Collision::CollisionCheck checker(unconfigured);

  const std::string raised =
    runtimeErrorOf([&checker] {checker.scorePose(pose2d(kCentre, kCentre, 0.0), true);});
  ASSERT_FALSE(raised.empty());
  ASSERT_EQ(sink_->lines.size(), 1U);
  EXPECT_EQ(sink_->lines[0].text.substr(3), " [ERROR] e.what: " + raised);
  EXPECT_EQ(sink_->lines[0].function, "scorePose");
  sink_->lines.clear();

  const unsigned int before = counter();
  EXPECT_FALSE(checker.isCollisionFreePose(pose2d(kCentre, kCentre, 0.0), true, {}));
  EXPECT_EQ(
    loggedTexts(),
    (std::vector<std::string>{
      errorLine(before, 1, "e.what: " + raised),
      errorLine(before, 2, "Failed to check pose score, error code is 101100018")}));
  EXPECT_FALSE(
    checker.isCollisionFreeDt(facing(kCentre, kCentre, 0.0), forward(0.0), 1.0));
}

}  // namespace
