#ifndef LINE_ITERATOR_HPP_
#define LINE_ITERATOR_HPP_

// Walks the grid cells of a Bresenham line from (x0, y0) to (x1, y1), both ends included.
// Private to the collision checker, which must not depend on the ROS-bound nav2_util.

#include <cstdlib>

namespace nav2_costmap_2d
{
namespace detail
{

class LineIterator
{
public:
  LineIterator(int x0, int y0, int x1, int y1)
  : x_(x0), y_(y0)
  {
    const int deltax = std::abs(x1 - x0);
    const int deltay = std::abs(y1 - y0);
    const int step_x = x1 >= x0 ? 1 : -1;
    const int step_y = y1 >= y0 ? 1 : -1;
    if (deltax >= deltay) {
      // x advances every step, y when the error term overflows.
      major_x_ = step_x;
      major_y_ = 0;
      minor_x_ = 0;
      minor_y_ = step_y;
      den_ = deltax;
      numadd_ = deltay;
      numpixels_ = deltax;
    } else {
      major_x_ = 0;
      major_y_ = step_y;
      minor_x_ = step_x;
      minor_y_ = 0;
      den_ = deltay;
      numadd_ = deltax;
      numpixels_ = deltay;
    }
    num_ = den_ / 2;
  }

  bool isValid() const {return curpixel_ <= numpixels_;}

  void advance()
  {
    num_ += numadd_;
    if (num_ >= den_) {
      num_ -= den_;
      x_ += minor_x_;
      y_ += minor_y_;
    }
    x_ += major_x_;
    y_ += major_y_;
    ++curpixel_;
  }

  int getX() const {return x_;}
  int getY() const {return y_;}

private:
  int x_;
  int y_;
  int major_x_, major_y_, minor_x_, minor_y_;
  int den_, num_, numadd_, numpixels_;
  int curpixel_{0};
};

}  // namespace detail
}  // namespace nav2_costmap_2d

#endif  // LINE_ITERATOR_HPP_
