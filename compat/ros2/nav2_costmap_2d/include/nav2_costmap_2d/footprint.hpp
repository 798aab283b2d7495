#ifndef NAV2_COSTMAP_2D__FOOTPRINT_HPP_
#define NAV2_COSTMAP_2D__FOOTPRINT_HPP_

// Robot footprints: parsing, padding, placing at a pose and their inscribed/circumscribed radii.

#include <string>
#include <vector>

#include "geometry_msgs/msg/point.hpp"
#include "geometry_msgs/msg/point32.hpp"
#include "geometry_msgs/msg/polygon.hpp"
#include "geometry_msgs/msg/polygon_stamped.hpp"

namespace nav2_costmap_2d
{

// Smallest and largest distance from the origin to the footprint's vertices and edges; left at
// DBL_MAX / 0 for footprints of fewer than three points.
void calculateMinAndMaxDistances(
  const std::vector<geometry_msgs::msg::Point> & footprint, double & min_dist, double & max_dist);

geometry_msgs::msg::Point toPoint(geometry_msgs::msg::Point32 pt);
geometry_msgs::msg::Point32 toPoint32(geometry_msgs::msg::Point pt);
geometry_msgs::msg::Polygon toPolygon(std::vector<geometry_msgs::msg::Point> pts);
std::vector<geometry_msgs::msg::Point> toPointVector(geometry_msgs::msg::Polygon::SharedPtr polygon);

// Rotates by theta, then moves to (x, y); the output's z values are left as they were.
void transformFootprint(
  double x, double y, double theta,
  const std::vector<geometry_msgs::msg::Point> & footprint_spec,
  std::vector<geometry_msgs::msg::Point> & oriented_footprint);

// As above into the polygon (z = 0); the header is left to the caller.
void transformFootprint(
  double x, double y, double theta,
  const std::vector<geometry_msgs::msg::Point> & footprint_spec,
  geometry_msgs::msg::PolygonStamped & oriented_footprint);

// Pushes each non-zero coordinate `padding` further from the origin.
void padFootprint(std::vector<geometry_msgs::msg::Point> & footprint, double padding);

// A 16-gon through (radius, 0).
std::vector<geometry_msgs::msg::Point> makeFootprintFromRadius(double radius);

// Parses "[[x, y], [x, y], ...]" (at least three points) and appends the points to footprint;
// logs the reason and returns false on malformed input.
bool makeFootprintFromString(
  const std::string & footprint_string, std::vector<geometry_msgs::msg::Point> & footprint);

}  // namespace nav2_costmap_2d

#endif  // NAV2_COSTMAP_2D__FOOTPRINT_HPP_
