#include "quorvane_nav2_gridmap/euclidean_distance_transform.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace quorvane_nav2_gridmap
{

namespace
{

// The column pass keeps integer counts in the float cells of the output, which the row pass
// then overwrites; memcpy keeps that reinterpretation well defined.
constexpr std::uint32_t kNoZeroInColumn = std::numeric_limits<std::uint32_t>::max();
// Columns per task of the column pass: wide enough for contiguous row segments.
constexpr int kColumnBlock = 256;

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

// Vertical distance of each pixel of columns [begin, end) to the nearest zero pixel of its column,
// as a count stored in the output's own cells.
void computeColumnCounts(const cv::Mat & binary, cv::Mat & distance, int begin, int end)
{
  const int height = binary.rows;
  for (int y = 0; y < height; ++y) {
    const std::uint8_t * pixels = binary.ptr<std::uint8_t>(y);
    float * counts = distance.ptr<float>(y);
    const float * above = y > 0 ? distance.ptr<float>(y - 1) : nullptr;
    for (int x = begin; x < end; ++x) {
      std::uint32_t count = kNoZeroInColumn;
      if (pixels[x] == 0) {
        count = 0;
      } else if (above != nullptr) {
        count = oneFurther(loadCount(above + x));
      }
      storeCount(counts + x, count);
    }
  }
  for (int y = height - 2; y >= 0; --y) {
    float * counts = distance.ptr<float>(y);
    const float * below = distance.ptr<float>(y + 1);
    for (int x = begin; x < end; ++x) {
      const std::uint32_t from_below = oneFurther(loadCount(below + x));
      if (from_below < loadCount(counts + x)) {
        storeCount(counts + x, from_below);
      }
    }
  }
}

// Per-thread working rows of the lower envelope, kept between calls.
struct RowScratch
{
  std::vector<std::int64_t> column_count;
  std::vector<std::int64_t> source;
  std::vector<std::int64_t> start;
};

// Turns one row of column counts into Euclidean distances with Meijster's lower envelope of
// parabolas, in integers so that every squared distance is exact.
void transformRow(float * row, int width, std::int64_t infinity, RowScratch & scratch)
{
  scratch.column_count.resize(static_cast<size_t>(width));
  scratch.source.resize(static_cast<size_t>(width));
  scratch.start.resize(static_cast<size_t>(width));
  std::int64_t * g = scratch.column_count.data();
  std::int64_t * source = scratch.source.data();
  std::int64_t * start = scratch.start.data();

  for (int x = 0; x < width; ++x) {
    const std::uint32_t count = loadCount(row + x);
    g[x] = count == kNoZeroInColumn ? infinity : static_cast<std::int64_t>(count);
  }

  auto squared = [g](std::int64_t x, std::int64_t i) {
      return (x - i) * (x - i) + g[i] * g[i];
    };
  // First column from which the parabola of u lies below the one of i (u > i).
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

}  // namespace

void euclideanDistanceTransform(const cv::Mat & binary, cv::Mat & distance)
{
  CV_Assert(binary.type() == CV_8UC1);
  distance.create(binary.size(), CV_32FC1);
  if (binary.empty()) {
    return;
  }
  const int width = binary.cols;
  const int blocks = (width + kColumnBlock - 1) / kColumnBlock;
  cv::parallel_for_(
    cv::Range(0, blocks), [&binary, &distance, width](const cv::Range & range) {
      computeColumnCounts(
        binary, distance, range.start * kColumnBlock, std::min(width, range.end * kColumnBlock));
    });

  // Larger than any distance inside the image, so a column without a zero pixel never wins,
  // yet small enough that squares of it fit in 64 bits.
  const std::int64_t infinity = static_cast<std::int64_t>(width) + binary.rows;
  cv::parallel_for_(
    cv::Range(0, binary.rows), [&distance, width, infinity](const cv::Range & range) {
      thread_local RowScratch scratch;
      for (int y = range.start; y < range.end; ++y) {
        transformRow(distance.ptr<float>(y), width, infinity, scratch);
      }
    });
}

}  // namespace quorvane_nav2_gridmap
