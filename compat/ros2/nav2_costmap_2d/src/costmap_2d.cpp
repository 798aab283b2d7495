#include "nav2_costmap_2d/costmap_2d.hpp"

#include <cstring>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "nav2_costmap_2d/cost_values.hpp"

namespace nav2_costmap_2d
{

Costmap2D::Costmap2D(
  unsigned int cells_size_x, unsigned int cells_size_y, double resolution,
  double origin_x, double origin_y, unsigned char default_value)
: access_owner_(std::make_unique<mutex_t>()), size_x_(cells_size_x), size_y_(cells_size_y),
  resolution_(resolution), origin_x_(origin_x), origin_y_(origin_y), costmap_(nullptr),
  default_value_(default_value), access_(access_owner_.get())
{
  initMaps(size_x_, size_y_);
  resetMaps();
}

Costmap2D::Costmap2D(const nav_msgs::msg::OccupancyGrid & map)
: access_owner_(std::make_unique<mutex_t>()), size_x_(map.info.width),
  size_y_(map.info.height), resolution_(map.info.resolution),
  origin_x_(map.info.origin.position.x), origin_y_(map.info.origin.position.y),
  costmap_(nullptr), default_value_(FREE_SPACE), access_(access_owner_.get())
{
  const size_t cells = static_cast<size_t>(size_x_) * size_y_;
  if (map.data.size() < cells) {
    throw std::invalid_argument(
            "OccupancyGrid holds " + std::to_string(map.data.size()) + " values for a " +
            std::to_string(size_x_) + " x " + std::to_string(size_y_) + " grid");
  }
  initMaps(size_x_, size_y_);
  for (size_t i = 0; i < cells; ++i) {
    const int8_t value = map.data[i];
    if (value < 0 || value > 100) {
      // -1 is the only unknown value; anything else outside 0..100 is treated the same.
      costmap_[i] = NO_INFORMATION;
    } else {
      costmap_[i] = static_cast<unsigned char>(
        std::round(static_cast<double>(value) * (LETHAL_OBSTACLE - FREE_SPACE) / 100.0));
    }
  }
}

Costmap2D::Costmap2D()
: access_owner_(std::make_unique<mutex_t>()), size_x_(0), size_y_(0), resolution_(0.0),
  origin_x_(0.0), origin_y_(0.0), costmap_(nullptr), default_value_(0),
  access_(access_owner_.get())
{
}

Costmap2D::Costmap2D(const Costmap2D & map)
: access_owner_(std::make_unique<mutex_t>()), size_x_(0), size_y_(0), resolution_(0.0),
  origin_x_(0.0), origin_y_(0.0), costmap_(nullptr), default_value_(0),
  access_(access_owner_.get())
{
  *this = map;
}

Costmap2D & Costmap2D::operator=(const Costmap2D & map)
{
  if (this == &map) {
    return *this;
  }
  deleteMaps();
  size_x_ = map.size_x_;
  size_y_ = map.size_y_;
  resolution_ = map.resolution_;
  origin_x_ = map.origin_x_;
  origin_y_ = map.origin_y_;
  initMaps(size_x_, size_y_);
  if (map.costmap_ != nullptr) {
    std::memcpy(costmap_, map.costmap_, static_cast<size_t>(size_x_) * size_y_);
  }
  return *this;
}

Costmap2D::~Costmap2D()
{
  deleteMaps();
}

void Costmap2D::deleteMaps()
{
  std::unique_lock<mutex_t> lock(*access_);
  storage_.reset();
  costmap_ = nullptr;
}

void Costmap2D::initMaps(unsigned int size_x, unsigned int size_y)
{
  std::unique_lock<mutex_t> lock(*access_);
  storage_ = std::make_unique<unsigned char[]>(static_cast<size_t>(size_x) * size_y);
  costmap_ = storage_.get();
}

void Costmap2D::resetMaps()
{
  std::unique_lock<mutex_t> lock(*access_);
  std::memset(costmap_, default_value_, static_cast<size_t>(size_x_) * size_y_);
}

void Costmap2D::resizeMap(
  unsigned int size_x, unsigned int size_y, double resolution, double origin_x, double origin_y)
{
  size_x_ = size_x;
  size_y_ = size_y;
  resolution_ = resolution;
  origin_x_ = origin_x;
  origin_y_ = origin_y;
  initMaps(size_x, size_y);
  resetMaps();
}

void Costmap2D::resetMap(unsigned int x0, unsigned int y0, unsigned int xn, unsigned int yn)
{
  resetMapToValue(x0, y0, xn, yn, default_value_);
}

void Costmap2D::resetMapToValue(
  unsigned int x0, unsigned int y0, unsigned int xn, unsigned int yn, unsigned char value)
{
  std::unique_lock<mutex_t> lock(*access_);
  if (xn <= x0) {
    return;
  }
  for (unsigned int y = y0; y < yn; ++y) {
    std::memset(costmap_ + y * size_x_ + x0, value, xn - x0);
  }
}

bool Costmap2D::copyCostmapWindow(
  const Costmap2D & map, double win_origin_x, double win_origin_y, double win_size_x,
  double win_size_y)
{
  if (this == &map) {
    return false;
  }
  unsigned int lower_left_x, lower_left_y, upper_right_x, upper_right_y;
  if (!map.worldToMap(win_origin_x, win_origin_y, lower_left_x, lower_left_y) ||
    !map.worldToMap(
      win_origin_x + win_size_x, win_origin_y + win_size_y, upper_right_x, upper_right_y))
  {
    return false;
  }
  deleteMaps();
  size_x_ = upper_right_x - lower_left_x;
  size_y_ = upper_right_y - lower_left_y;
  resolution_ = map.resolution_;
  origin_x_ = win_origin_x;
  origin_y_ = win_origin_y;
  initMaps(size_x_, size_y_);
  copyMapRegion(
    map.costmap_, lower_left_x, lower_left_y, map.size_x_, costmap_, 0, 0, size_x_, size_x_,
    size_y_);
  return true;
}

bool Costmap2D::copyWindow(
  const Costmap2D & source, unsigned int sx0, unsigned int sy0, unsigned int sxn,
  unsigned int syn, unsigned int dx0, unsigned int dy0)
{
  if (sxn < sx0 || syn < sy0) {
    return false;
  }
  const unsigned int sz_x = sxn - sx0;
  const unsigned int sz_y = syn - sy0;
  if (sxn > source.getSizeInCellsX() || syn > source.getSizeInCellsY()) {
    return false;
  }
  if (dx0 + sz_x > size_x_ || dy0 + sz_y > size_y_) {
    return false;
  }
  copyMapRegion(source.costmap_, sx0, sy0, source.size_x_, costmap_, dx0, dy0, size_x_, sz_x, sz_y);
  return true;
}

unsigned int Costmap2D::cellDistance(double world_dist)
{
  const double cells_dist = std::max(0.0, std::ceil(world_dist / resolution_));
  return static_cast<unsigned int>(cells_dist);
}

unsigned char * Costmap2D::getCharMap() const
{
  return costmap_;
}

unsigned char Costmap2D::getCost(unsigned int mx, unsigned int my) const
{
  return costmap_[getIndex(mx, my)];
}

unsigned char Costmap2D::getCost(unsigned int index) const
{
  return costmap_[index];
}

void Costmap2D::setCost(unsigned int mx, unsigned int my, unsigned char cost)
{
  costmap_[getIndex(mx, my)] = cost;
}

void Costmap2D::mapToWorld(unsigned int mx, unsigned int my, double & wx, double & wy) const
{
  wx = origin_x_ + (mx + 0.5) * resolution_;
  wy = origin_y_ + (my + 0.5) * resolution_;
}

bool Costmap2D::worldToMap(double wx, double wy, unsigned int & mx, unsigned int & my) const
{
  if (wx < origin_x_ || wy < origin_y_) {
    return false;
  }
  mx = static_cast<unsigned int>((wx - origin_x_) / resolution_);
  my = static_cast<unsigned int>((wy - origin_y_) / resolution_);
  return mx < size_x_ && my < size_y_;
}

void Costmap2D::worldToMapNoBounds(double wx, double wy, int & mx, int & my) const
{
  mx = static_cast<int>((wx - origin_x_) / resolution_);
  my = static_cast<int>((wy - origin_y_) / resolution_);
}

void Costmap2D::worldToMapEnforceBounds(double wx, double wy, int & mx, int & my) const
{
  if (wx < origin_x_) {
    mx = 0;
  } else if (wx > resolution_ * size_x_ + origin_x_) {
    mx = static_cast<int>(size_x_) - 1;
  } else {
    mx = static_cast<int>((wx - origin_x_) / resolution_);
  }
  if (wy < origin_y_) {
    my = 0;
  } else if (wy > resolution_ * size_y_ + origin_y_) {
    my = static_cast<int>(size_y_) - 1;
  } else {
    my = static_cast<int>((wy - origin_y_) / resolution_);
  }
}

void Costmap2D::updateOrigin(double new_origin_x, double new_origin_y)
{
  const int cell_ox = static_cast<int>((new_origin_x - origin_x_) / resolution_);
  const int cell_oy = static_cast<int>((new_origin_y - origin_y_) / resolution_);
  const double new_grid_ox = origin_x_ + cell_ox * resolution_;
  const double new_grid_oy = origin_y_ + cell_oy * resolution_;

  const int size_x = static_cast<int>(size_x_);
  const int size_y = static_cast<int>(size_y_);
  const int lower_left_x = std::min(std::max(cell_ox, 0), size_x);
  const int lower_left_y = std::min(std::max(cell_oy, 0), size_y);
  const int upper_right_x = std::min(std::max(cell_ox + size_x, 0), size_x);
  const int upper_right_y = std::min(std::max(cell_oy + size_y, 0), size_y);
  const unsigned int cell_size_x = upper_right_x - lower_left_x;
  const unsigned int cell_size_y = upper_right_y - lower_left_y;

  // The overlap is saved, the grid cleared, and the overlap written back at its new place.
  std::vector<unsigned char> overlap(static_cast<size_t>(cell_size_x) * cell_size_y);
  copyMapRegion(
    costmap_, lower_left_x, lower_left_y, size_x_, overlap.data(), 0, 0, cell_size_x,
    cell_size_x, cell_size_y);
  resetMaps();
  origin_x_ = new_grid_ox;
  origin_y_ = new_grid_oy;
  const int start_x = lower_left_x - cell_ox;
  const int start_y = lower_left_y - cell_oy;
  copyMapRegion(
    overlap.data(), 0, 0, cell_size_x, costmap_, start_x, start_y, size_x_, cell_size_x,
    cell_size_y);
}

bool Costmap2D::setConvexPolygonCost(
  const std::vector<geometry_msgs::msg::Point> & polygon, unsigned char cost_value)
{
  std::vector<MapLocation> map_polygon;
  for (const auto & point : polygon) {
    MapLocation loc;
    if (!worldToMap(point.x, point.y, loc.x, loc.y)) {
      return false;
    }
    map_polygon.push_back(loc);
  }
  std::vector<MapLocation> polygon_cells;
  convexFillCells(map_polygon, polygon_cells);
  for (const auto & cell : polygon_cells) {
    costmap_[getIndex(cell.x, cell.y)] = cost_value;
  }
  return true;
}

void Costmap2D::polygonOutlineCells(
  const std::vector<MapLocation> & polygon, std::vector<MapLocation> & polygon_cells)
{
  PolygonOutlineCells cell_gatherer(*this, costmap_, polygon_cells);
  for (size_t i = 0; i + 1 < polygon.size(); ++i) {
    raytraceLine(cell_gatherer, polygon[i].x, polygon[i].y, polygon[i + 1].x, polygon[i + 1].y);
  }
  if (!polygon.empty()) {
    raytraceLine(
      cell_gatherer, polygon.back().x, polygon.back().y, polygon.front().x, polygon.front().y);
  }
}

void Costmap2D::convexFillCells(
  const std::vector<MapLocation> & polygon, std::vector<MapLocation> & polygon_cells)
{
  if (polygon.size() < 3) {
    return;
  }
  polygonOutlineCells(polygon, polygon_cells);
  std::stable_sort(
    polygon_cells.begin(), polygon_cells.end(),
    [](const MapLocation & a, const MapLocation & b) {return a.x < b.x;});

  // Each column of a convex outline is filled between its lowest and highest outline cell.
  const size_t outline_size = polygon_cells.size();
  size_t i = 0;
  while (i < outline_size) {
    const unsigned int x = polygon_cells[i].x;
    unsigned int min_y = polygon_cells[i].y;
    unsigned int max_y = polygon_cells[i].y;
    for (; i < outline_size && polygon_cells[i].x == x; ++i) {
      min_y = std::min(min_y, polygon_cells[i].y);
      max_y = std::max(max_y, polygon_cells[i].y);
    }
    for (unsigned int y = min_y; y <= max_y; ++y) {
      polygon_cells.push_back(MapLocation{x, y});
    }
  }
}

unsigned int Costmap2D::getSizeInCellsX() const
{
  return size_x_;
}

unsigned int Costmap2D::getSizeInCellsY() const
{
  return size_y_;
}

double Costmap2D::getSizeInMetersX() const
{
  return (size_x_ - 1 + 0.5) * resolution_;
}

double Costmap2D::getSizeInMetersY() const
{
  return (size_y_ - 1 + 0.5) * resolution_;
}

double Costmap2D::getOriginX() const
{
  return origin_x_;
}

double Costmap2D::getOriginY() const
{
  return origin_y_;
}

double Costmap2D::getResolution() const
{
  return resolution_;
}

bool Costmap2D::saveMap(std::string file_name)
{
  std::ofstream out(file_name);
  if (!out) {
    return false;
  }
  out << "P2\n" << size_x_ << "\n" << size_y_ << "\n255\n";
  for (unsigned int iy = 0; iy < size_y_; ++iy) {
    for (unsigned int ix = 0; ix < size_x_; ++ix) {
      out << static_cast<int>(getCost(ix, iy)) << " ";
    }
    out << "\n";
  }
  return static_cast<bool>(out);
}

}  // namespace nav2_costmap_2d
