#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "nav2_costmap_2d/array_parser.hpp"
#include "nav2_costmap_2d/costmap_math.hpp"
#include "nav2_costmap_2d/footprint.hpp"

using geometry_msgs::msg::Point;

class FootprintTest : public ::testing::Test
{
protected:
  static Point point(double x, double y, double z = 0.0)
  {
    Point p;
    p.x = x;
    p.y = y;
    p.z = z;
    return p;
  }

  // A 1.0 x 0.6 rectangle centred on the robot.
  std::vector<Point> rectangle_{
    point(0.5, 0.3), point(0.5, -0.3), point(-0.5, -0.3), point(-0.5, 0.3)};
};

// ---- parsing -----------------------------------------------------------------------------

TEST_F(FootprintTest, ParsesPairsIntoPoints)
{
  std::vector<Point> footprint;
  ASSERT_TRUE(nav2_costmap_2d::makeFootprintFromString(
      "[[0.5, 0.3], [0.5,-0.3],[-0.5, -0.3] , [-0.5, 0.3]]", footprint));
  ASSERT_EQ(footprint.size(), 4u);
  EXPECT_DOUBLE_EQ(footprint[1].y, static_cast<double>(-0.3f));  // values pass through float
  EXPECT_DOUBLE_EQ(footprint[2].x, -0.5);
  EXPECT_DOUBLE_EQ(footprint[3].z, 0.0);
}

TEST_F(FootprintTest, ParsedPointsAreAppended)
{
  std::vector<Point> footprint{point(9, 9)};
  ASSERT_TRUE(nav2_costmap_2d::makeFootprintFromString("[[1, 2], [3, 4], [5, 6]]", footprint));
  ASSERT_EQ(footprint.size(), 4u);
  EXPECT_DOUBLE_EQ(footprint[0].x, 9.0);
  EXPECT_DOUBLE_EQ(footprint[3].y, 6.0);
}

TEST_F(FootprintTest, RejectsMalformedStrings)
{
  for (const std::string bad : {
      "[[1, 2], [3, 4]]",              // too few points
      "[[1, 2], [3, 4], [5, 6, 7]]",   // not a pair
      "[[1, 2], [3, 4], [5, 6]",       // unterminated
      "[[1, 2], [3, 4]], [5, 6]]",     // more ] than [
      "[[[1, 2]], [3, 4], [5, 6]]",    // too deep
      "[1, 2, 3]",                     // numbers at depth 1
      "", "[]"})
  {
    std::vector<Point> footprint;
    EXPECT_FALSE(nav2_costmap_2d::makeFootprintFromString(bad, footprint)) << bad;
  }
}

TEST_F(FootprintTest, ParserReportsTheProblem)
{
  std::string error;
  nav2_costmap_2d::parseVVF("[[1, 2]", error);
  EXPECT_EQ(error, "Unterminated vector string.");
  nav2_costmap_2d::parseVVF("[[1]]]", error);
  EXPECT_EQ(error, "More close ] than open [");
  nav2_costmap_2d::parseVVF("[[[1]]]", error);
  EXPECT_EQ(error, "Array depth greater than 2");
  nav2_costmap_2d::parseVVF("[x]", error);
  EXPECT_EQ(error, "Numbers at depth other than 2. Char was 'x'.");
  const auto vvf = nav2_costmap_2d::parseVVF("[[1.5, -2], [], [3e1]]", error);
  EXPECT_EQ(error, "");
  ASSERT_EQ(vvf.size(), 3u);
  EXPECT_EQ(vvf[0], (std::vector<float>{1.5f, -2.0f}));
  EXPECT_TRUE(vvf[1].empty());
  EXPECT_EQ(vvf[2], (std::vector<float>{30.0f}));
}

// ---- building and padding ----------------------------------------------------------------

TEST_F(FootprintTest, RadiusGivesSixteenPointsOnTheCircle)
{
  const auto footprint = nav2_costmap_2d::makeFootprintFromRadius(0.4);
  ASSERT_EQ(footprint.size(), 16u);
  EXPECT_DOUBLE_EQ(footprint[0].x, 0.4);
  EXPECT_DOUBLE_EQ(footprint[0].y, 0.0);
  EXPECT_NEAR(footprint[4].x, 0.0, 1e-12);
  EXPECT_NEAR(footprint[4].y, 0.4, 1e-12);
  for (const auto & p : footprint) {
    EXPECT_NEAR(std::hypot(p.x, p.y), 0.4, 1e-12);
  }
}

TEST_F(FootprintTest, PaddingMovesNonZeroCoordinatesOutward)
{
  std::vector<Point> footprint{point(0.5, -0.3), point(0.0, 0.2), point(-0.1, 0.0)};
  nav2_costmap_2d::padFootprint(footprint, 0.05);
  EXPECT_DOUBLE_EQ(footprint[0].x, 0.55);
  EXPECT_DOUBLE_EQ(footprint[0].y, -0.35);
  EXPECT_DOUBLE_EQ(footprint[1].x, 0.0);
  EXPECT_DOUBLE_EQ(footprint[1].y, 0.25);
  EXPECT_DOUBLE_EQ(footprint[2].x, -0.15);
  EXPECT_DOUBLE_EQ(footprint[2].y, 0.0);
}

TEST_F(FootprintTest, RadiiOfARectangle)
{
  double min_dist, max_dist;
  nav2_costmap_2d::calculateMinAndMaxDistances(rectangle_, min_dist, max_dist);
  EXPECT_NEAR(min_dist, 0.3, 1e-12);
  EXPECT_NEAR(max_dist, std::hypot(0.5, 0.3), 1e-12);
}

TEST_F(FootprintTest, RadiiNeedThreePoints)
{
  double min_dist = 1.0, max_dist = 1.0;
  nav2_costmap_2d::calculateMinAndMaxDistances({point(1, 0), point(0, 1)}, min_dist, max_dist);
  EXPECT_EQ(min_dist, DBL_MAX);
  EXPECT_EQ(max_dist, 0.0);
}

// ---- placing at a pose -------------------------------------------------------------------

TEST_F(FootprintTest, TransformRotatesThenTranslates)
{
  std::vector<Point> oriented{point(0, 0, 7.0)};
  nav2_costmap_2d::transformFootprint(2.0, 1.0, M_PI / 2, rectangle_, oriented);
  ASSERT_EQ(oriented.size(), 4u);
  EXPECT_NEAR(oriented[0].x, 2.0 - 0.3, 1e-12);
  EXPECT_NEAR(oriented[0].y, 1.0 + 0.5, 1e-12);
  EXPECT_NEAR(oriented[2].x, 2.0 + 0.3, 1e-12);
  EXPECT_NEAR(oriented[2].y, 1.0 - 0.5, 1e-12);
  EXPECT_DOUBLE_EQ(oriented[0].z, 7.0);  // z of existing output points is left alone
}

TEST_F(FootprintTest, TransformIntoPolygonStampedReplacesThePoints)
{
  geometry_msgs::msg::PolygonStamped polygon;
  polygon.header.frame_id = "map";
  polygon.polygon.points.resize(9);
  nav2_costmap_2d::transformFootprint(1.0, 0.0, 0.0, rectangle_, polygon);
  ASSERT_EQ(polygon.polygon.points.size(), 4u);
  EXPECT_FLOAT_EQ(polygon.polygon.points[1].x, 1.5f);
  EXPECT_FLOAT_EQ(polygon.polygon.points[1].y, -0.3f);
  EXPECT_EQ(polygon.header.frame_id, "map");
}

// ---- message helpers and math ------------------------------------------------------------

TEST_F(FootprintTest, PolygonConversionsKeepCoordinates)
{
  const auto polygon = std::make_shared<geometry_msgs::msg::Polygon>(
    nav2_costmap_2d::toPolygon({point(1.5, -2.0, 0.25)}));
  ASSERT_EQ(polygon->points.size(), 1u);
  EXPECT_FLOAT_EQ(polygon->points[0].z, 0.25f);
  const auto back = nav2_costmap_2d::toPointVector(polygon);
  ASSERT_EQ(back.size(), 1u);
  EXPECT_DOUBLE_EQ(back[0].x, 1.5);
  EXPECT_DOUBLE_EQ(back[0].y, -2.0);
  EXPECT_DOUBLE_EQ(back[0].z, 0.25);
}

TEST_F(FootprintTest, DistanceToSegmentUsesTheClosestPoint)
{
  EXPECT_DOUBLE_EQ(distanceToLine(0, 1, -1, 0, 1, 0), 1.0);
  EXPECT_DOUBLE_EQ(distanceToLine(3, 4, -1, 0, 0, 0), 5.0);
  EXPECT_DOUBLE_EQ(distanceToLine(3, 4, 0, 0, 0, 0), 5.0);
  EXPECT_EQ(sign(0.0), 1.0);
  EXPECT_EQ(sign0(0.0), 0.0);
  EXPECT_EQ(sign0(-2.0), -1.0);
}

TEST_F(FootprintTest, PointInPolygon)
{
  EXPECT_TRUE(intersects(rectangle_, 0.4f, 0.2f));
  EXPECT_FALSE(intersects(rectangle_, 0.6f, 0.0f));
  std::vector<Point> far{point(5, 5), point(6, 5), point(6, 6)};
  EXPECT_FALSE(intersects(rectangle_, far));
  std::vector<Point> overlapping{point(0.4, 0.0), point(2, 0), point(2, 2)};
  EXPECT_TRUE(intersects(rectangle_, overlapping));
}
