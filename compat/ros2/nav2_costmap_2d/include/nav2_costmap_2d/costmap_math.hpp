#ifndef NAV2_COSTMAP_2D__COSTMAP_MATH_HPP_
#define NAV2_COSTMAP_2D__COSTMAP_MATH_HPP_

// Small planar geometry helpers used by the footprint code.

#include <cmath>
#include <vector>

#include "geometry_msgs/msg/point.hpp"

// -1 for negative values, +1 otherwise (zero counts as positive).
inline double sign(double x)
{
  return x < 0.0 ? -1.0 : 1.0;
}

// -1, 0 or +1.
inline double sign0(double x)
{
  return x < 0.0 ? -1.0 : (x > 0.0 ? 1.0 : 0.0);
}

inline double distance(double x0, double y0, double x1, double y1)
{
  return std::hypot(x1 - x0, y1 - y0);
}

// Distance from (pX, pY) to the segment (x0, y0)-(x1, y1).
double distanceToLine(double pX, double pY, double x0, double y0, double x1, double y1);

// Whether (testx, testy) lies inside the polygon (even-odd rule).
bool intersects(std::vector<geometry_msgs::msg::Point> & polygon, float testx, float testy);

// Whether either polygon has a vertex inside the other.
bool intersects(
  std::vector<geometry_msgs::msg::Point> & polygon1,
  std::vector<geometry_msgs::msg::Point> & polygon2);

#endif  // NAV2_COSTMAP_2D__COSTMAP_MATH_HPP_
