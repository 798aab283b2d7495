#ifndef QUORVANE_NAV2_GRIDMAP__EUCLIDEAN_DISTANCE_TRANSFORM_HPP_
#define QUORVANE_NAV2_GRIDMAP__EUCLIDEAN_DISTANCE_TRANSFORM_HPP_

// The library's exact Euclidean distance transform: for every pixel, the distance in cells to the
// nearest zero pixel. It gives what cv::distanceTransform(DIST_L2, DIST_MASK_PRECISE) gives where
// that one is right, and stays exact on images wider than 4096 columns, where OpenCV before 4.8
// returns non-zero distances on zero pixels.

#include <opencv2/core.hpp>

namespace quorvane_nav2_gridmap
{

// Distance given to every pixel of an image without any zero pixel; the value OpenCV gives.
constexpr float kNoZeroPixelDistance = 31622776.0f;

// Writes the distances of `binary` (CV_8UC1, zero pixels are the sources) into `distance`
// (CV_32FC1). `distance` keeps its buffer when it already has the size and type, so a matrix
// wrapping external memory is filled in place. Runs on OpenCV's thread pool, as OpenCV's own
// transform does.
void euclideanDistanceTransform(const cv::Mat & binary, cv::Mat & distance);

}  // namespace quorvane_nav2_gridmap

#endif  // QUORVANE_NAV2_GRIDMAP__EUCLIDEAN_DISTANCE_TRANSFORM_HPP_
