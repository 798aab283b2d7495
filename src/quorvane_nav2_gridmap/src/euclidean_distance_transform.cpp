#include "quorvane_nav2_gridmap/euclidean_distance_transform.hpp"

#include <cmath>
#include <cstring>
#include <limits>

namespace quorvane_nav2_gridmap
{

namespace
{

// The column pass keeps integer counts in the float cells of the output, which are overwritten
// by the row pass; memcpy keeps that reinterpretation well defined.
constexpr std::uint32_t kNoZeroInColumn = std::numeric_limits<std::uint32_t>::max();

inline std::uint32_t loadCount(const float * cell)
{
  std::uint32_t count;
  std::memcpy(&count, cell, sizeof(count));
  return count;
}

inline void storeCount(float * cell, std::uint32_t count)
{
  std::memcpy(cell, &count, sizeof(count));
}

inline std::uint32_t oneFurther(std::uint32_t count)
{
  return count == kNoZeroInColumn ? kNoZeroInColumn : count + 1;
}

// Integer division rounded towards minus infinity, as the envelope separation needs.
inline std::int64_t floorDivide(std::int64_t numerator, std::int64_t denominator)
{
  std::int64_t quotient = numerator / denominator;
  if ((numerator % denominator != 0) && ((numerator < 0) != (denominator < 0))) {
    --quotient;
  }
  return quotient;
}

}  // namespace

void EuclideanDistanceTransform::compute(const cv::Mat & binary, cv::Mat & distance)
{
  CV_Assert(binary.type() == CV_8UC1);
  distance.create(binary.size(), CV_32FC1);
  if (binary.empty()) {
    return;
  }
  computeColumnCounts(binary, distance);
  // Larger than any distance inside the image, so a column without a zero pixel never wins,
  // yet small enough that squares of it fit in 64 bits.
  const std::int64_t infinity = static_cast<std::int64_t>(binary.cols) + binary.rows;
  for (int y = 0; y < binary.rows; ++y) {
    transformRow(distance.ptr<float>(y), binary.cols, infinity);
  }
}

void EuclideanDistanceTransform::computeColumnCounts(const cv::Mat & binary, cv::Mat & distance)
{
  const int width = binary.cols;
  const int height = binary.rows;
  for (int y = 0; y < height; ++y) {
    const std::uint8_t * pixels = binary.ptr<std::uint8_t>(y);
    float * counts = distance.ptr<float>(y);
    const float * above = y > 0 ? distance.ptr<float>(y - 1) : nullptr;
    for (int x = 0; x < width; ++x) {
      std::uint32_t count;
      if (pixels[x] == 0) {
        count = 0;
      } else {
        count = above != nullptr ? oneFurther(loadCount(above + x)) : kNoZeroInColumn;
      }
      storeCount(counts + x, count);
    }
  }
  for (int y = height - 2; y >= 0; --y) {
    float * counts = distance.ptr<float>(y);
    const float * below = distance.ptr<float>(y + 1);
    for (int x = 0; x < width; ++x) {
      const std::uint32_t from_below = oneFurther(loadCount(below + x));
      if (from_below < loadCount(counts + x)) {
        storeCount(counts + x, from_below);
      }
    }
  }
}

void EuclideanDistanceTransform::transformRow(float * row, int width, std::int64_t infinity)
{
  column_count_.resize(static_cast<size_t>(width));
  envelope_source_.resize(static_cast<size_t>(width));
  envelope_start_.resize(static_cast<size_t>(width));
  std::int64_t * g = column_count_.data();
  std::int64_t * source = envelope_source_.data();
  std::int64_t * start = envelope_start_.data();

  for (int x = 0; x < width; ++x) {
    const std::uint32_t count = loadCount(row + x);
    g[x] = count == kNoZeroInColumn ? infinity : static_cast<std::int64_t>(count);
  }

  auto squared = [g](std::int64_t x, std::int64_t i) {
      return (x - i) * (x - i) + g[i] * g[i];
    };
  // First column at which the parabola of u lies below the one of i (u > i).
  auto separation = [g](std::int64_t i, std::int64_t u) {
      return floorDivide(u * u - i * i + g[u] * g[u] - g[i] * g[i], 2 * (u - i));
    };

  std::int64_t top = 0;
  source[0] = 0;
  start[0] = 0;
  for (std::int64_t u = 1; u < width; ++u) {
    while (top >= 0 && squared(start[top], source[top]) > squared(start[top], u)) {
      --top;
    }
    if (top < 0) {
      top = 0;
      source[0] = u;
    } else {
      const std::int64_t first = 1 + separation(source[top], u);
      if (first < width) {
        ++top;
        source[top] = u;
        start[top] = first;
      }
    }
  }

  const std::int64_t unreachable = infinity * infinity;
  for (std::int64_t u = width - 1; u >= 0; --u) {
    const std::int64_t squared_distance = squared(u, source[top]);
    row[u] = squared_distance >= unreachable ?
      kNoZeroPixelDistance :
      static_cast<float>(std::sqrt(static_cast<double>(squared_distance)));
    if (u == start[top]) {
      --top;
    }
  }
}

}  // namespace quorvane_nav2_gridmap
