#ifndef QUORVANE_NAV2_GRIDMAP__EUCLIDEAN_DISTANCE_TRANSFORM_HPP_
#define QUORVANE_NAV2_GRIDMAP__EUCLIDEAN_DISTANCE_TRANSFORM_HPP_

// The library's exact Euclidean distance transform: for every pixel, the distance in cells to the
// nearest zero pixel. It gives what cv::distanceTransform(DIST_L2, DIST_MASK_PRECISE) gives where
// that one is right, and stays exact on images wider than 4096 columns, where OpenCV before 4.8
// returns non-zero distances on zero pixels.

#include <cstdint>
#include <vector>

#include <opencv2/core.hpp>

namespace quorvane_nav2_gridmap
{

class EuclideanDistanceTransform
{
public:
  // Distance given to every pixel of an image without any zero pixel; the value OpenCV gives.
  static constexpr float kNoZeroPixelDistance = 31622776.0f;

  // Writes the distances of `binary` (CV_8UC1, zero pixels are the sources) into `distance`
  // (CV_32FC1). `distance` keeps its buffer when it already has the size and type, so a matrix
  // wrapping external memory is filled in place. Scratch space is kept between calls.
  void compute(const cv::Mat & binary, cv::Mat & distance);

private:
  // Vertical distance of each pixel to the nearest zero pixel of its column, as a count stored in
  // the output's own cells (a column without a zero pixel gets kNoZeroInColumn).
  static void computeColumnCounts(const cv::Mat & binary, cv::Mat & distance);
  // Turns one row of column counts into Euclidean distances (Meijster's integer lower envelope).
  void transformRow(float * row, int width, std::int64_t infinity);

  std::vector<std::int64_t> column_count_;
  std::vector<std::int64_t> envelope_source_;
  std::vector<std::int64_t> envelope_start_;
};

}  // namespace quorvane_nav2_gridmap

#endif  // QUORVANE_NAV2_GRIDMAP__EUCLIDEAN_DISTANCE_TRANSFORM_HPP_
