#ifndef NAV2_COSTMAP_2D__COSTMAP_2D_HPP_
#define NAV2_COSTMAP_2D__COSTMAP_2D_HPP_

// A 2-D grid of 8-bit costs anchored at a world origin, with the world <-> cell conversions,
// window copies and polygon rasterisation the navigation stack builds on. Cells are stored
// row-major (row = y). Cell accessors do no bounds checks and take no lock: callers that share
// a costmap across threads hold getMutex() around their accesses.

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "geometry_msgs/msg/point.hpp"
#include "nav_msgs/msg/occupancy_grid.hpp"

namespace nav2_costmap_2d
{

struct MapLocation
{
  unsigned int x;
  unsigned int y;
};

class Costmap2D
{
  friend class CostmapTester;

public:
  Costmap2D(
    unsigned int cells_size_x, unsigned int cells_size_y, double resolution,
    double origin_x, double origin_y, unsigned char default_value = 0);

  // Copies size, resolution, origin and cells; the default value is not copied.
  Costmap2D(const Costmap2D & map);

  // Size, resolution and x/y origin from the grid; -1 becomes NO_INFORMATION and 0..100
  // scale to 0..254. Throws std::invalid_argument when the data does not fill the grid.
  explicit Costmap2D(const nav_msgs::msg::OccupancyGrid & map);

  Costmap2D & operator=(const Costmap2D & map);

  Costmap2D();
  virtual ~Costmap2D();

  // Turns this costmap into a copy of a world-aligned window of `map`; false (and no change)
  // when `map` is this costmap or a window corner lies outside it.
  bool copyCostmapWindow(
    const Costmap2D & map, double win_origin_x, double win_origin_y, double win_size_x,
    double win_size_y);

  // Copies cells [sx0, sxn) x [sy0, syn) of source to (dx0, dy0) here; false when either
  // rectangle leaves its grid.
  bool copyWindow(
    const Costmap2D & source, unsigned int sx0, unsigned int sy0, unsigned int sxn,
    unsigned int syn, unsigned int dx0, unsigned int dy0);

  unsigned char getCost(unsigned int mx, unsigned int my) const;
  unsigned char getCost(unsigned int index) const;
  void setCost(unsigned int mx, unsigned int my, unsigned char cost);

  // World coordinates of the cell centre.
  void mapToWorld(unsigned int mx, unsigned int my, double & wx, double & wy) const;

  // Cell containing the point (truncation). False for points left of or below the origin
  // (outputs untouched) and for points beyond the far edges (outputs written anyway).
  bool worldToMap(double wx, double wy, unsigned int & mx, unsigned int & my) const;

  void worldToMapNoBounds(double wx, double wy, int & mx, int & my) const;

  void worldToMapEnforceBounds(double wx, double wy, int & mx, int & my) const;

  inline unsigned int getIndex(unsigned int mx, unsigned int my) const
  {
    return my * size_x_ + mx;
  }

  inline void indexToCells(unsigned int index, unsigned int & mx, unsigned int & my) const
  {
    my = index / size_x_;
    mx = index - (my * size_x_);
  }

  unsigned char * getCharMap() const;
  unsigned int getSizeInCellsX() const;
  unsigned int getSizeInCellsY() const;

  // (cells - 0.5) * resolution: the span between the centres of the outer cells plus half a cell.
  double getSizeInMetersX() const;
  double getSizeInMetersY() const;

  double getOriginX() const;
  double getOriginY() const;
  double getResolution() const;

  void setDefaultValue(unsigned char c) {default_value_ = c;}
  unsigned char getDefaultValue() {return default_value_;}

  // Fills the convex hull of the world polygon with cost_value; false when a vertex is off the map.
  bool setConvexPolygonCost(
    const std::vector<geometry_msgs::msg::Point> & polygon, unsigned char cost_value);

  void polygonOutlineCells(
    const std::vector<MapLocation> & polygon, std::vector<MapLocation> & polygon_cells);

  void convexFillCells(
    const std::vector<MapLocation> & polygon, std::vector<MapLocation> & polygon_cells);

  // Moves the origin by whole cells towards the requested one; cells still covered keep their
  // world position, uncovered ones get the default value.
  virtual void updateOrigin(double new_origin_x, double new_origin_y);

  // Writes an ASCII PGM; false when the file cannot be written.
  bool saveMap(std::string file_name);

  void resizeMap(
    unsigned int size_x, unsigned int size_y, double resolution, double origin_x,
    double origin_y);

  void resetMap(unsigned int x0, unsigned int y0, unsigned int xn, unsigned int yn);

  void resetMapToValue(
    unsigned int x0, unsigned int y0, unsigned int xn, unsigned int yn, unsigned char value);

  unsigned int cellDistance(double world_dist);

  typedef std::recursive_mutex mutex_t;
  mutex_t * getMutex() {return access_;}

protected:
  template<typename data_type>
  void copyMapRegion(
    data_type * source_map, unsigned int sm_lower_left_x, unsigned int sm_lower_left_y,
    unsigned int sm_size_x, data_type * dest_map, unsigned int dm_lower_left_x,
    unsigned int dm_lower_left_y, unsigned int dm_size_x, unsigned int region_size_x,
    unsigned int region_size_y)
  {
    data_type * sm_index = source_map + (sm_lower_left_y * sm_size_x + sm_lower_left_x);
    data_type * dm_index = dest_map + (dm_lower_left_y * dm_size_x + dm_lower_left_x);
    for (unsigned int i = 0; i < region_size_y; ++i) {
      std::copy(sm_index, sm_index + region_size_x, dm_index);
      sm_index += sm_size_x;
      dm_index += dm_size_x;
    }
  }

  virtual void deleteMaps();
  virtual void resetMaps();
  virtual void initMaps(unsigned int size_x, unsigned int size_y);

  // Calls at(offset) for each cell on the line from (x0, y0) towards (x1, y1), skipping the
  // first min_length cells and stopping after max_length.
  template<class ActionType>
  inline void raytraceLine(
    ActionType at, unsigned int x0, unsigned int y0, unsigned int x1, unsigned int y1,
    unsigned int max_length = UINT_MAX, unsigned int min_length = 0)
  {
    const int dx_full = static_cast<int>(x1) - static_cast<int>(x0);
    const int dy_full = static_cast<int>(y1) - static_cast<int>(y0);
    const double dist = std::hypot(dx_full, dy_full);
    if (dist < min_length) {
      return;
    }
    unsigned int min_x0 = x0;
    unsigned int min_y0 = y0;
    if (dist > 0.0) {
      min_x0 = static_cast<unsigned int>(x0 + dx_full / dist * min_length);
      min_y0 = static_cast<unsigned int>(y0 + dy_full / dist * min_length);
    }
    const unsigned int offset = min_y0 * size_x_ + min_x0;
    const int dx = static_cast<int>(x1) - static_cast<int>(min_x0);
    const int dy = static_cast<int>(y1) - static_cast<int>(min_y0);
    const unsigned int abs_dx = std::abs(dx);
    const unsigned int abs_dy = std::abs(dy);
    const int offset_dx = sign(dx);
    const int offset_dy = sign(dy) * static_cast<int>(size_x_);
    const double scale = (dist == 0.0) ? 1.0 : std::min(1.0, max_length / dist);
    if (abs_dx >= abs_dy) {
      bresenham2D(
        at, abs_dx, abs_dy, static_cast<int>(abs_dx / 2), offset_dx, offset_dy, offset,
        static_cast<unsigned int>(scale * abs_dx));
      return;
    }
    bresenham2D(
      at, abs_dy, abs_dx, static_cast<int>(abs_dy / 2), offset_dy, offset_dx, offset,
      static_cast<unsigned int>(scale * abs_dy));
  }

private:
  template<class ActionType>
  inline void bresenham2D(
    ActionType at, unsigned int abs_da, unsigned int abs_db, int error_b, int offset_a,
    int offset_b, unsigned int offset, unsigned int max_length)
  {
    const unsigned int end = std::min(max_length, abs_da);
    for (unsigned int i = 0; i < end; ++i) {
      at(offset);
      offset += offset_a;
      error_b += abs_db;
      if (static_cast<unsigned int>(error_b) >= abs_da) {
        offset += offset_b;
        error_b -= abs_da;
      }
    }
    at(offset);
  }

  static inline int sign(int x) {return x > 0 ? 1 : -1;}

  std::unique_ptr<mutex_t> access_owner_;
  std::unique_ptr<unsigned char[]> storage_;

protected:
  unsigned int size_x_;
  unsigned int size_y_;
  double resolution_;
  double origin_x_;
  double origin_y_;
  unsigned char * costmap_;
  unsigned char default_value_;
  mutex_t * access_;

  class MarkCell
  {
public:
    MarkCell(unsigned char * costmap, unsigned char value)
    : costmap_(costmap), value_(value) {}
    inline void operator()(unsigned int offset) {costmap_[offset] = value_;}

private:
    unsigned char * costmap_;
    unsigned char value_;
  };

  class PolygonOutlineCells
  {
public:
    PolygonOutlineCells(
      const Costmap2D & costmap, const unsigned char * /*char_map*/,
      std::vector<MapLocation> & cells)
    : costmap_(costmap), cells_(cells) {}

    inline void operator()(unsigned int offset)
    {
      MapLocation loc;
      costmap_.indexToCells(offset, loc.x, loc.y);
      cells_.push_back(loc);
    }

private:
    const Costmap2D & costmap_;
    std::vector<MapLocation> & cells_;
  };
};

}  // namespace nav2_costmap_2d

#endif  // NAV2_COSTMAP_2D__COSTMAP_2D_HPP_
