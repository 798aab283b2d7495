#include "nav2_costmap_2d/footprint.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "nav2_costmap_2d/array_parser.hpp"
#include "nav2_costmap_2d/costmap_math.hpp"
#include "rcutils/logging_macros.h"

namespace nav2_costmap_2d
{

namespace
{

constexpr const char * kLogger = "nav2_costmap_2d";

void includeEdge(
  const geometry_msgs::msg::Point & from, const geometry_msgs::msg::Point & to,
  double & min_dist, double & max_dist)
{
  const double vertex_dist = distance(0.0, 0.0, from.x, from.y);
  const double edge_dist = distanceToLine(0.0, 0.0, from.x, from.y, to.x, to.y);
  min_dist = std::min(min_dist, std::min(vertex_dist, edge_dist));
  max_dist = std::max(max_dist, std::max(vertex_dist, edge_dist));
}

}  // namespace

void calculateMinAndMaxDistances(
  const std::vector<geometry_msgs::msg::Point> & footprint, double & min_dist, double & max_dist)
{
  min_dist = std::numeric_limits<double>::max();
  max_dist = 0.0;
  if (footprint.size() <= 2) {
    return;
  }
  for (size_t i = 0; i + 1 < footprint.size(); ++i) {
    includeEdge(footprint[i], footprint[i + 1], min_dist, max_dist);
  }
  includeEdge(footprint.back(), footprint.front(), min_dist, max_dist);
}

geometry_msgs::msg::Point toPoint(geometry_msgs::msg::Point32 pt)
{
  geometry_msgs::msg::Point point;
  point.x = pt.x;
  point.y = pt.y;
  point.z = pt.z;
  return point;
}

geometry_msgs::msg::Point32 toPoint32(geometry_msgs::msg::Point pt)
{
  geometry_msgs::msg::Point32 point32;
  point32.x = static_cast<float>(pt.x);
  point32.y = static_cast<float>(pt.y);
  point32.z = static_cast<float>(pt.z);
  return point32;
}

geometry_msgs::msg::Polygon toPolygon(std::vector<geometry_msgs::msg::Point> pts)
{
  geometry_msgs::msg::Polygon polygon;
  for (const auto & pt : pts) {
    polygon.points.push_back(toPoint32(pt));
  }
  return polygon;
}

std::vector<geometry_msgs::msg::Point> toPointVector(geometry_msgs::msg::Polygon::SharedPtr polygon)
{
  std::vector<geometry_msgs::msg::Point> pts;
  for (const auto & point : polygon->points) {
    pts.push_back(toPoint(point));
  }
  return pts;
}

void transformFootprint(
  double x, double y, double theta,
  const std::vector<geometry_msgs::msg::Point> & footprint_spec,
  std::vector<geometry_msgs::msg::Point> & oriented_footprint)
{
  oriented_footprint.resize(footprint_spec.size());
  const double cos_th = std::cos(theta);
  const double sin_th = std::sin(theta);
  for (size_t i = 0; i < footprint_spec.size(); ++i) {
    const auto & p = footprint_spec[i];
    oriented_footprint[i].x = x + (p.x * cos_th - p.y * sin_th);
    oriented_footprint[i].y = y + (p.x * sin_th + p.y * cos_th);
  }
}

void transformFootprint(
  double x, double y, double theta,
  const std::vector<geometry_msgs::msg::Point> & footprint_spec,
  geometry_msgs::msg::PolygonStamped & oriented_footprint)
{
  oriented_footprint.polygon.points.clear();
  const double cos_th = std::cos(theta);
  const double sin_th = std::sin(theta);
  for (const auto & p : footprint_spec) {
    geometry_msgs::msg::Point32 new_pt;
    new_pt.x = static_cast<float>(x + (p.x * cos_th - p.y * sin_th));
    new_pt.y = static_cast<float>(y + (p.x * sin_th + p.y * cos_th));
    oriented_footprint.polygon.points.push_back(new_pt);
  }
}

void padFootprint(std::vector<geometry_msgs::msg::Point> & footprint, double padding)
{
  for (auto & pt : footprint) {
    pt.x += sign0(pt.x) * padding;
    pt.y += sign0(pt.y) * padding;
  }
}

std::vector<geometry_msgs::msg::Point> makeFootprintFromRadius(double radius)
{
  std::vector<geometry_msgs::msg::Point> points;
  constexpr int kNumPoints = 16;
  for (int i = 0; i < kNumPoints; ++i) {
    const double angle = i * 2 * M_PI / kNumPoints;
    geometry_msgs::msg::Point pt;
    pt.x = std::cos(angle) * radius;
    pt.y = std::sin(angle) * radius;
    points.push_back(pt);
  }
  return points;
}

bool makeFootprintFromString(
  const std::string & footprint_string, std::vector<geometry_msgs::msg::Point> & footprint)
{
  std::string error;
  const std::vector<std::vector<float>> vvf = parseVVF(footprint_string, error);
  if (!error.empty()) {
    RCUTILS_LOG_ERROR_NAMED(kLogger, "Error parsing footprint parameter: '%s'", error.c_str());
    RCUTILS_LOG_ERROR_NAMED(kLogger, "  Footprint string was '%s'.", footprint_string.c_str());
    return false;
  }
  if (vvf.size() < 3) {
    RCUTILS_LOG_ERROR_NAMED(
      kLogger,
      "You must specify at least three points for the robot footprint, reverting to previous "
      "footprint.");
    return false;
  }
  footprint.reserve(footprint.size() + vvf.size());
  for (const auto & pair : vvf) {
    if (pair.size() != 2) {
      RCUTILS_LOG_ERROR_NAMED(
        kLogger,
        "Points in the footprint must be pairs of numbers. Found a point with %d "
        "numbers.", static_cast<int>(pair.size()));
      return false;
    }
    geometry_msgs::msg::Point point;
    point.x = pair[0];
    point.y = pair[1];
    point.z = 0;
    footprint.push_back(point);
  }
  return true;
}

}  // namespace nav2_costmap_2d
