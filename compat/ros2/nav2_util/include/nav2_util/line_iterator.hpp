// Copyright (c) 2026 Quorvane
// Licensed under the Apache License, Version 2.0

#ifndef NAV2_UTIL__LINE_ITERATOR_HPP_
#define NAV2_UTIL__LINE_ITERATOR_HPP_

#include <cstdlib>

// Walks the cells of a grid line with Bresenham's algorithm, both end cells included, so a
// footprint edge can be scored cell by cell without allocating the cell list.
namespace nav2_util
{

class LineIterator
{
public:
  LineIterator(int x0, int y0, int x1, int y1)
  : x0_(x0), y0_(y0), x1_(x1), y1_(y1), x_(x0), y_(y0)
  {
    const int deltax = std::abs(x1_ - x0_);
    const int deltay = std::abs(y1_ - y0_);
    const int xstep = x1_ >= x0_ ? 1 : -1;
    const int ystep = y1_ >= y0_ ? 1 : -1;
    if (deltax >= deltay) {
      // x advances every cell, y only when the error accumulator overflows.
      xinc_always_ = xstep;
      yinc_on_carry_ = ystep;
      den_ = deltax;
      numadd_ = deltay;
      numpixels_ = deltax;
    } else {
      yinc_always_ = ystep;
      xinc_on_carry_ = xstep;
      den_ = deltay;
      numadd_ = deltax;
      numpixels_ = deltay;
    }
    num_ = den_ / 2;
  }

  bool isValid() const
  {
    return curpixel_ <= numpixels_;
  }

  void advance()
  {
    num_ += numadd_;
    if (num_ >= den_) {
      num_ -= den_;
      x_ += xinc_on_carry_;
      y_ += yinc_on_carry_;
    }
    x_ += xinc_always_;
    y_ += yinc_always_;
    ++curpixel_;
  }

  int getX() const {return x_;}
  int getY() const {return y_;}
  int getX0() const {return x0_;}
  int getY0() const {return y0_;}
  int getX1() const {return x1_;}
  int getY1() const {return y1_;}

private:
  int x0_;
  int y0_;
  int x1_;
  int y1_;
  int x_;
  int y_;
  int xinc_always_{0};
  int yinc_always_{0};
  int xinc_on_carry_{0};
  int yinc_on_carry_{0};
  int den_{0};
  int num_{0};
  int numadd_{0};
  int numpixels_{0};
  int curpixel_{0};
};

}  // namespace nav2_util

#endif  // NAV2_UTIL__LINE_ITERATOR_HPP_
