// The checker is driven as a host drives it: a GridMapROS node whose costmap node takes its
// footprint from a parameters file and its map from an OccupancyGrid on its map topic.

#include <gtest/gtest.h>


#include <cmath>
#include <limits>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "geometry_msgs/msg/point.hpp"
#include "geometry_msgs/msg/pose.hpp"
#include "geometry_msgs/msg/pose2_d.hpp"
#include "geometry_msgs/msg/twist.hpp"
#include "nav2_costmap_2d/cost_values.hpp"
#include "quorvane_nav2_gridmap/collision/collision_check.hpp"
#include "quorvane_nav2_gridmap/gridmap_ros.hpp"
#include "quorvane_nav2_gridmap/logger.hpp"
#include "rclcpp/rclcpp.hpp"
#include "test_gridmap_ros_support.hpp"

namespace
{

using geometry_msgs::msg::Point;
using geometry_msgs::msg::Pose2D;
using gridmap_test::CostGrid;
using Footprint = std::vector<Point>;

// A square robot of 0.5 m; no padding, so the outline lies exactly where the file says.
const auto * const kRos = ::testing::AddGlobalTestEnvironment(
  new gridmap_test::RosEnvironment(R"(
/**/collision_costmap:
  ros__parameters:
    footprint: "[[0.25, 0.25], [0.25, -0.25], [-0.25, -0.25], [-0.25, 0.25]]"
    footprint_padding: 0.0
)"));

constexpr double kPi = 3.141592653589793;
constexpr unsigned int kCells = 80;  // 4 m x 4 m at 0.05 m from the origin (0, 0)
constexpr const char * kSource = "./src/collision/collision_check.cpp";
constexpr const char * kCodeLine = "Failed to check pose score, error code is 101100018";

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

CostGrid freeMap()
{
  return CostGrid(kCells, kCells);
}

CostGrid lethalAt(unsigned int mx, unsigned int my)
{
  CostGrid grid(kCells, kCells);
  grid.lethal(mx, my);
  return grid;
}

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

class CollisionCheckTest : public ::testing::Test
{
protected:
  void TearDown() override
  {
    sink_->detach();
  }

  // Brings the grid-map node up on `grid` as a host does and builds the checker on it.
  void startHost(const CostGrid & grid)
  {
    host_ = std::make_shared<quorvane_nav2_gridmap::GridMapROS>("collision", "");
    host_->configure();
    host_->activate();
    serve(grid);
    host_->waitForCostmap();
    checker_ = std::make_shared<Collision::CollisionCheck>(host_);
    // Only the checker's own lines are of interest, not those of bringing the host up.
    recaptureLog();
  }

  void serve(const CostGrid & grid)
  {
    ASSERT_TRUE(map_server_.serve(grid, master())) << "the costmap node never took the map";
  }

  nav2_costmap_2d::Costmap2D & master()
  {
    return *host_->costmap_ros_->getLayeredCostmap()->getCostmap();
  }

  void recaptureLog()
  {
    sink_->detach();
    sink_ = gridmap_test::CapturingSink::attach();
  }

  // The facade's line `offset` lines after the counter read `before`.
  static std::string errorLine(unsigned int before, unsigned int offset, const std::string & text)
  {
    return fmt::format("{:3d} [ERROR] {}", (before + offset) & 127U, text);
  }

  static unsigned int counter()
  {
    return quorvane::Logger::Instance("spdlog").counter_.load();
  }

  // Every captured line, which must all be ERROR lines.
  std::vector<std::string> loggedTexts()
  {
    std::vector<std::string> texts;
    for (const auto & line : sink_->linesAt(spdlog::level::err)) {
      texts.push_back(line.text);
    }
    EXPECT_EQ(sink_->size(), texts.size()) << "lines below ERROR were logged";
    return texts;
  }

  std::shared_ptr<rclcpp::Node> helper_ = rclcpp::Node::make_shared("collision_test_map_server");
  gridmap_test::MapServer map_server_{helper_, "/collision_costmap"};
  std::shared_ptr<gridmap_test::CapturingSink> sink_ = gridmap_test::CapturingSink::attach();
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
  CostGrid grid(kCells, kCells);
  grid.almostLethal(kOutlineX, kOutlineY);
  startHost(grid);
  EXPECT_DOUBLE_EQ(checker_->scorePose(pose2d(kCentre, kCentre, 0.0), true), 251.0);
  EXPECT_TRUE(checker_->isCollisionFreePose(pose2d(kCentre, kCentre, 0.0), false));
}

TEST_F(CollisionCheckTest, InscribedCostOnTheOutlineIsStillFree)
{
  // A static map tops out at 251 below lethal; 253 comes from inflation, which this costmap
  // node has no layer for. So the cell is written into the master costmap the way an
  // inflation layer writes it, under the costmap's lock.
  startHost(freeMap());
  {
    std::unique_lock<nav2_costmap_2d::Costmap2D::mutex_t> lock(*master().getMutex());
    master().setCost(kOutlineX, kOutlineY, nav2_costmap_2d::INSCRIBED_INFLATED_OBSTACLE);
  }
  EXPECT_DOUBLE_EQ(checker_->scorePose(pose2d(kCentre, kCentre, 0.0), true), 253.0);
  EXPECT_TRUE(checker_->isCollisionFreePose(pose2d(kCentre, kCentre, 0.0), false));
}

TEST_F(CollisionCheckTest, LethalCostOnTheOutlineCollides)
{
  startHost(lethalAt(kOutlineX, kOutlineY));
  EXPECT_DOUBLE_EQ(checker_->scorePose(pose2d(kCentre, kCentre, 0.0), true), 254.0);
  EXPECT_FALSE(checker_->isCollisionFreePose(pose2d(kCentre, kCentre, 0.0), false));
  EXPECT_EQ(sink_->size(), 0U) << "a collision is an answer, not an error";
}

TEST_F(CollisionCheckTest, CellWithoutInformationOnTheOutlineCollides)
{
  CostGrid grid(kCells, kCells);
  grid.unknown(kOutlineX, kOutlineY);
  startHost(grid);
  EXPECT_DOUBLE_EQ(checker_->scorePose(pose2d(kCentre, kCentre, 0.0), true), 255.0);
  EXPECT_FALSE(checker_->isCollisionFreePose(pose2d(kCentre, kCentre, 0.0), false));
}

TEST_F(CollisionCheckTest, ObstacleAwayFromTheFootprintLeavesThePoseFree)
{
  startHost(lethalAt(kOutlineX + 5, kOutlineY));
  EXPECT_DOUBLE_EQ(checker_->scorePose(pose2d(kCentre, kCentre, 0.0), true), 0.0);
  EXPECT_TRUE(checker_->isCollisionFreePose(pose2d(kCentre, kCentre, 0.0), true));
  // A quarter metre further right, the right edge runs over the obstacle's column.
  EXPECT_FALSE(checker_->isCollisionFreePose(pose2d(kCentre + 0.25, kCentre, 0.0), false));
}

TEST_F(CollisionCheckTest, FootprintReachingOverTheEdgeCollidesWithoutAnError)
{
  startHost(freeMap());
  EXPECT_FALSE(checker_->isCollisionFreePose(pose2d(0.1, kCentre, 0.0), true));
  EXPECT_EQ(sink_->size(), 0U);
}

// --- poses off the grid ---------------------------------------------------------------------

TEST_F(CollisionCheckTest, PoseOffTheGridIsLoggedAndFailsTheCheck)
{
  startHost(freeMap());
  EXPECT_EQ(
    runtimeErrorOf([this] {checker_->scorePose(pose2d(-1.0, kCentre, 0.0), true);}),
    "Pose Goes Off Grid.");
  recaptureLog();

  const unsigned int before = counter();
  EXPECT_FALSE(checker_->isCollisionFreePose(pose2d(-1.0, 2.5, 0.0), true));
  EXPECT_EQ(
    loggedTexts(),
    (std::vector<std::string>{
      errorLine(before, 1, "Pose Goes Off Grid when collision_checker_.worldToMap, pose(-1, 2.5)"),
      errorLine(before, 2, kCodeLine)}));
  const auto lines = sink_->linesAt(spdlog::level::err);
  ASSERT_EQ(lines.size(), 2U);
  EXPECT_EQ(lines[0].file, kSource);
  EXPECT_EQ(lines[0].function, "scorePose");
  EXPECT_EQ(lines[1].file, kSource);
  EXPECT_EQ(lines[1].function, "isCollisionFreePose");
}

TEST_F(CollisionCheckTest, PoseOffTheGridWithAFootprintFailsWithOnlyTheCodeLine)
{
  startHost(freeMap());
  const Footprint small{point(0.1, 0.0), point(-0.1, 0.1), point(-0.1, -0.1)};
  EXPECT_EQ(
    runtimeErrorOf([&] {checker_->scorePose(pose2d(kCentre, 4.5, 0.0), true, small);}),
    "Pose Goes Off Grid.");
  EXPECT_EQ(sink_->size(), 0U);

  const unsigned int before = counter();
  EXPECT_FALSE(checker_->isCollisionFreePose(pose2d(kCentre, 4.5, 0.0), true, small));
  EXPECT_EQ(
    loggedTexts(),
    (std::vector<std::string>{
      errorLine(before, 1, kCodeLine)}));
}

TEST_F(CollisionCheckTest, PoseOffTheGridOfTheSnapshotFailsEvenWithoutAnUpdate)
{
  startHost(freeMap());
  EXPECT_TRUE(checker_->isCollisionFreePose(pose2d(kCentre, kCentre, 0.0), true));
  EXPECT_FALSE(checker_->isCollisionFreePose(pose2d(kCentre, -0.5, 0.0), false));
  EXPECT_EQ(loggedTexts().size(), 2U);
}

// The costmap's own conversion casts to unsigned without a range check: a NaN or a far pose
// would land on a real cell and be scored free.
TEST_F(CollisionCheckTest, NonFiniteOrFarPoseIsOffTheGridInEveryDirection)
{
  startHost(freeMap());
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const std::vector<Pose2D> poses{
    pose2d(nan, kCentre, 0.0), pose2d(kCentre, nan, 0.0), pose2d(inf, kCentre, 0.0),
    pose2d(kCentre, -inf, 0.0), pose2d(1e300, kCentre, 0.0), pose2d(-1e300, kCentre, 0.0),
    pose2d(kCentre, 1e300, 0.0), pose2d(kCentre, -1e300, 0.0), pose2d(1e19, kCentre, 0.0),
    pose2d(kCentre, kCentre, nan), pose2d(kCentre, kCentre, inf)};
  const Footprint small{point(0.1, 0.0), point(-0.1, 0.1), point(-0.1, -0.1)};
  for (const Pose2D & pose : poses) {
    const std::string where = fmt::format("pose({}, {}, {})", pose.x, pose.y, pose.theta);
    EXPECT_EQ(
      runtimeErrorOf([&] {checker_->scorePose(pose, true);}), "Pose Goes Off Grid.") << where;
    recaptureLog();
    const unsigned int before = counter();
    EXPECT_FALSE(checker_->isCollisionFreePose(pose, true)) << where;
    EXPECT_EQ(
      loggedTexts(),
      (std::vector<std::string>{
        errorLine(
          before, 1, fmt::format(
            "Pose Goes Off Grid when collision_checker_.worldToMap, pose({}, {})", pose.x,
            pose.y)),
        errorLine(before, 2, kCodeLine)})) << where;
    EXPECT_FALSE(checker_->isCollisionFreePose(pose, false, small)) << where;
    EXPECT_EQ(
      runtimeErrorOf([&] {checker_->scorePose(pose, false, small);}), "Pose Goes Off Grid.")
      << where;
    recaptureLog();
  }
  EXPECT_TRUE(checker_->isCollisionFreePose(pose2d(kCentre, kCentre, 0.0), true));
}

// A point or a segment encloses no area, so its cost says nothing about the robot's body.
TEST_F(CollisionCheckTest, FootprintOfFewerThanThreePointsIsRefused)
{
  startHost(freeMap());
  for (const Footprint & footprint : {
      Footprint{point(0.1, 0.0)}, Footprint{point(0.1, 0.0), point(-0.1, 0.0)}})
  {
    recaptureLog();
    const unsigned int before = counter();
    EXPECT_FALSE(checker_->isCollisionFreePose(pose2d(kCentre, kCentre, 0.0), true, footprint));
    EXPECT_EQ(
      loggedTexts(),
      (std::vector<std::string>{
        errorLine(
          before, 1, fmt::format(
            "Footprint of {} points can not be scored, a robot outline needs at least 3",
            footprint.size())),
        errorLine(before, 2, kCodeLine)}));
    EXPECT_FALSE(checker_->isCollisionFreePose(pose2d(kCentre, kCentre, 0.0), false));
    EXPECT_THROW(
      checker_->scorePose(pose2d(kCentre, kCentre, 0.0), false, footprint), std::runtime_error);
  }
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
  startHost(lethalAt(kOutlineX, kOutlineY));
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

  serve(lethalAt(kOutlineX, kOutlineY));
  EXPECT_TRUE(checker_->isCollisionFreePose(centre, false));
  EXPECT_DOUBLE_EQ(checker_->scorePose(centre, false), 0.0);
  EXPECT_FALSE(checker_->isCollisionFreePose(centre, true));

  serve(freeMap());
  EXPECT_FALSE(checker_->isCollisionFreePose(centre, false));
  EXPECT_TRUE(checker_->isCollisionFreePose(centre, true));
}

// --- velocity checks ------------------------------------------------------------------------

TEST_F(CollisionCheckTest, VelocityCheckTestsThePoseReachedAlongTheHeading)
{
  // Half a metre ahead of the right edge: reached after one second at 0.5 m/s.
  startHost(lethalAt(kOutlineX + 10, kOutlineY));
  EXPECT_TRUE(checker_->isCollisionFreeDt(facing(kCentre, kCentre, 0.0), forward(0.5), 0.0));
  EXPECT_FALSE(checker_->isCollisionFreeDt(facing(kCentre, kCentre, 0.0), forward(0.5), 1.0));
  EXPECT_TRUE(checker_->isCollisionFreeDt(facing(kCentre, kCentre, kPi), forward(0.5), 1.0));
}

TEST_F(CollisionCheckTest, VelocityCheckWithAFootprintScoresThatFootprint)
{
  startHost(lethalAt(kOutlineX + 10, kOutlineY));
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
  serve(lethalAt(kOutlineX, kOutlineY));
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
  EXPECT_EQ(
    loggedTexts(),
    (std::vector<std::string>{errorLine(before, 1, kCodeLine), errorLine(before, 2, kCodeLine)}));
  EXPECT_TRUE(checker_->isCollisionFreePose(pose2d(kCentre, kCentre, 0.0), true));
}

TEST_F(CollisionCheckTest, EmptyCachedFootprintFails)
{
  startHost(freeMap());
  // The snapshot is taken before the pose is found off the grid; the footprint never is.
  EXPECT_FALSE(checker_->isCollisionFreePose(pose2d(-1.0, kCentre, 0.0), true));
  recaptureLog();

  EXPECT_THROW(checker_->scorePose(pose2d(kCentre, kCentre, 0.0), false), std::runtime_error);
  recaptureLog();
  const unsigned int before = counter();
  EXPECT_FALSE(checker_->isCollisionFreePose(pose2d(kCentre, kCentre, 0.0), false));
  EXPECT_EQ(
    loggedTexts(),
    (std::vector<std::string>{
      errorLine(
        before, 1, "Footprint of 0 points can not be scored, a robot outline needs at least 3"),
      errorLine(before, 2, kCodeLine)}));
}

TEST_F(CollisionCheckTest, SnapshotFailureIsLoggedAndRaisedAgainWithItsText)
{
  // A host that forgot to configure its node: the costmap node has no costmap yet.
  auto unconfigured = std::make_shared<quorvane_nav2_gridmap::GridMapROS>("unconfigured", "");
  Collision::CollisionCheck checker(unconfigured);

  const std::string raised =
    runtimeErrorOf([&checker] {checker.scorePose(pose2d(kCentre, kCentre, 0.0), true);});
  ASSERT_FALSE(raised.empty());
  const auto lines = sink_->linesAt(spdlog::level::err);
  ASSERT_EQ(lines.size(), 1U);
  EXPECT_EQ(lines[0].text.substr(3), " [ERROR] e.what: " + raised);
  EXPECT_EQ(lines[0].function, "scorePose");
  recaptureLog();

  const unsigned int before = counter();
  EXPECT_FALSE(checker.isCollisionFreePose(pose2d(kCentre, kCentre, 0.0), true, {}));
  EXPECT_EQ(
    loggedTexts(),
    (std::vector<std::string>{
      errorLine(before, 1, "e.what: " + raised),
      errorLine(before, 2, kCodeLine)}));
  EXPECT_FALSE(
    checker.isCollisionFreeDt(facing(kCentre, kCentre, 0.0), forward(0.0), 1.0));
}

}  // namespace
