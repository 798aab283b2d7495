#ifndef NAV2_COSTMAP_2D__COSTMAP_LAYER_HPP_
#define NAV2_COSTMAP_2D__COSTMAP_LAYER_HPP_

// A layer that keeps its own grid the size of the master costmap and merges it into the master
// with one of the usual combination rules (overwrite, maximum, addition).

#include "nav2_costmap_2d/costmap_2d.hpp"
#include "nav2_costmap_2d/layer.hpp"

namespace nav2_costmap_2d
{

class CostmapLayer : public Layer, public Costmap2D
{
public:
  CostmapLayer()
  : has_extra_bounds_(false), extra_min_x_(1e6), extra_max_x_(-1e6), extra_min_y_(1e6),
    extra_max_y_(-1e6) {}

  bool isDiscretized() {return true;}

  // Takes the size, resolution and origin of the master costmap.
  void matchSize() override;

  // Sets the cells strictly inside (start, end) to NO_INFORMATION, or those outside with invert.
  virtual void clearArea(int start_x, int start_y, int end_x, int end_y, bool invert);

  // Widens the bounds reported by the next useExtraBounds() call.
  void addExtraBounds(double mx0, double my0, double mx1, double my1);

protected:
  // Copies every cell of the window, unknown ones included; throws std::runtime_error when
  // this layer has no grid yet.
  void updateWithTrueOverwrite(
    Costmap2D & master_grid, int min_i, int min_j, int max_i, int max_j);
  // Copies the known cells of the window.
  void updateWithOverwrite(Costmap2D & master_grid, int min_i, int min_j, int max_i, int max_j);
  // Raises master cells to this layer's known costs; unknown master cells take them as they are.
  void updateWithMax(Costmap2D & master_grid, int min_i, int min_j, int max_i, int max_j);
  // Adds known costs to the master, capped just below INSCRIBED_INFLATED_OBSTACLE.
  void updateWithAddition(Costmap2D & master_grid, int min_i, int min_j, int max_i, int max_j);

  // Grows the bounds to include (x, y).
  void touch(double x, double y, double * min_x, double * min_y, double * max_x, double * max_y);

  // Merges and clears the bounds recorded by addExtraBounds().
  void useExtraBounds(double * min_x, double * min_y, double * max_x, double * max_y);

  bool has_extra_bounds_;

private:
  double extra_min_x_, extra_max_x_, extra_min_y_, extra_max_y_;
};

}  // namespace nav2_costmap_2d

#endif  // NAV2_COSTMAP_2D__COSTMAP_LAYER_HPP_
