#ifndef QUORVANE_NAV2_GRIDMAP__OBS_TYPE_GRID_MAP_HPP_
#define QUORVANE_NAV2_GRIDMAP__OBS_TYPE_GRID_MAP_HPP_

// A grid of obstacle-category bits with the costmap's geometry: the obstacle-type plugin owns
// one, the depth-camera marking and the zone writers fill it, MultiGridMap reads it.

#include <memory>
#include <mutex>
#include <string>

#include "nav_msgs/msg/occupancy_grid.hpp"
#include "rclcpp/time.hpp"

#include "quorvane_nav2_gridmap/obs_type_bit_map.hpp"

namespace quorvane_nav2_gridmap
{

class ObsTypeGridMap
{
public:
  ObsTypeGridMap();
  ObsTypeGridMap(int width, int height, double resolution, double origin_x, double origin_y);

  // The grid owns its cells and its mutex; copies would have to share or duplicate both.
  ObsTypeGridMap(const ObsTypeGridMap &) = delete;
  ObsTypeGridMap & operator=(const ObsTypeGridMap &) = delete;

  // Takes the new geometry; keeps the cells when width and height are unchanged, else clears
  // them. A negative cell count throws std::bad_array_new_length and leaves an empty 0 x 0 grid.
  void resize(int width, int height, double resolution, double origin_x, double origin_y);
  void resetGrid();

  // Cell access takes no lock and checks no bounds: the caller passes a cell inside the grid
  // (usually from worldToMap) and does not overlap it with resize except under getMutex().
  ObsTypeBitMap get(unsigned int mx, unsigned int my) const {return grid_[index(mx, my)];}
  void set(unsigned int index, unsigned int bits) {grid_[index].set(bits);}
  void merge(unsigned int index, const ObsTypeBitMap & bits) {grid_[index].merge(bits);}
  // Adds the bits of a semantic category to one cell.
  void setCost(int type, unsigned int mx, unsigned int my);

  std::recursive_mutex * getMutex() {return mutex_.get();}
  unsigned int getWidth() const {return width_;}
  unsigned int getHeight() const {return height_;}
  double getResolution() const {return resolution_;}
  double getOriginX() const {return origin_x_;}
  double getOriginY() const {return origin_y_;}

  bool worldToMap(double wx, double wy, unsigned int & mx, unsigned int & my) const;
  // The centre of the cell.
  void mapToWorld(unsigned int mx, unsigned int my, double & wx, double & wy) const;

  // A view of the grid: 100 for bit 0x4, 127 for bit 0x8, 98 for any other bit, 0 for none.
  std::unique_ptr<nav_msgs::msg::OccupancyGrid> changeToOccupancyGrid(
    std::string frame_id, rclcpp::Time stamp) const;

private:
  unsigned int index(unsigned int mx, unsigned int my) const {return my * width_ + mx;}
  static std::int8_t occupancyValue(const ObsTypeBitMap & bits);

  std::unique_ptr<std::recursive_mutex> mutex_;
  unsigned int width_{0};
  unsigned int height_{0};
  double resolution_{0.0};
  double origin_x_{0.0};
  double origin_y_{0.0};
  std::unique_ptr<ObsTypeBitMap[]> grid_;
};

}  // namespace quorvane_nav2_gridmap

#endif  // QUORVANE_NAV2_GRIDMAP__OBS_TYPE_GRID_MAP_HPP_
