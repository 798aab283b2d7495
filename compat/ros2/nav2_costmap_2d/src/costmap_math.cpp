#include "nav2_costmap_2d/costmap_math.hpp"

#include <vector>

double distanceToLine(double pX, double pY, double x0, double y0, double x1, double y1)
{
  const double A = pX - x0;
  const double B = pY - y0;
  const double C = x1 - x0;
  const double D = y1 - y0;
  const double len_sq = C * C + D * D;
  if (len_sq == 0.0) {
    // A degenerate segment is a point.
    return distance(pX, pY, x0, y0);
  }
  const double param = (A * C + B * D) / len_sq;
  double xx, yy;
  if (param < 0) {
    xx = x0;
    yy = y0;
  } else if (param > 1) {
    xx = x1;
    yy = y1;
  } else {
    xx = x0 + param * C;
    yy = y0 + param * D;
  }
  return distance(pX, pY, xx, yy);
}

bool intersects(std::vector<geometry_msgs::msg::Point> & polygon, float testx, float testy)
{
  bool c = false;
  const size_t n = polygon.size();
  for (size_t i = 0, j = n - 1; i < n; j = i++) {
    const double yi = polygon[i].y, yj = polygon[j].y, xi = polygon[i].x, xj = polygon[j].x;
    if (((yi > testy) != (yj > testy)) && (testx < (xj - xi) * (testy - yi) / (yj - yi) + xi)) {
      c = !c;
    }
  }
  return c;
}

namespace
{

bool anyVertexInside(
  std::vector<geometry_msgs::msg::Point> & polygon1,
  std::vector<geometry_msgs::msg::Point> & polygon2)
{
  for (const auto & point : polygon2) {
    if (intersects(polygon1, static_cast<float>(point.x), static_cast<float>(point.y))) {
      return true;
    }
  }
  return false;
}

}  // namespace

bool intersects(
  std::vector<geometry_msgs::msg::Point> & polygon1,
  std::vector<geometry_msgs::msg::Point> & polygon2)
{
  return anyVertexInside(polygon1, polygon2) || anyVertexInside(polygon2, polygon1);
}
