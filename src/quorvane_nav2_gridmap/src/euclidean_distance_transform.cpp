#include "quorvane_nav2_gridmap/euclidean_distance_transform.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "quorvane_nav2_gridmap/parallel_for.hpp"

namespace quorvane_nav2_gridmap
{

namespace
{

// Columns per task of the boundary pass: wide enough for contiguous row segments, narrow enough
// that the running row stays in the first-level cache.
constexpr int kColumnBlock = 512;
// Bands per thread when several run: enough for the pool to even out uneven bands.
constexpr int kBandsPerThread = 4;
// Cells of the vertical counts one band keeps at a time: small enough to stay in the cache
// between the band's downward and upward walks.
constexpr std::int64_t kBandCells = std::int64_t{1} << 18;
// Squares below this are exact in a float, so their float square root is the correctly rounded
// one, the same a double square root rounded to float gives.
constexpr double kExactFloatSquare = 16777216.0;

// Working rows of one thread, kept between rows and calls so that no row allocates.
struct Scratch
{
  std::vector<std::int32_t> counts;
  std::vector<std::int32_t> below;
  std::vector<std::int32_t> source;
  std::vector<std::int32_t> candidates;
  std::vector<double> height;
  std::vector<double> boundary;
  std::vector<std::int32_t> above_counts;

  void reserve(int width)
  {
    const auto n = static_cast<size_t>(width);
    if (counts.size() < n) {
      counts.resize(n);
      below.resize(n);
      source.resize(n);
      candidates.resize(n);
      height.resize(n);
      boundary.resize(n + 1);
    }
  }
};

Scratch & threadScratch(int width)
{
  thread_local Scratch scratch;
  scratch.reserve(width);
  return scratch;
}

// Rows [first(band), first(band + 1)) form one band of the row pass. A band counts, per column,
// the distance to the nearest zero pixel above (walking down) and below (walking back up), so it
// needs both counts from just outside it; a column without any zero pixel counts from `infinity`
// upwards, a value whose square exceeds every real squared distance in the image, so its parabola
// never wins a row.
struct Bands
{
  int count;
  int rows;
  int first(int band) const
  {
    return static_cast<int>(static_cast<std::int64_t>(band) * rows / count);
  }
};

// Columns [begin, end): for every band, the count entering it from above (at the row before it)
// and from below (at the row after it), into row `band` of each table.
void computeBandBoundaries(
  const cv::Mat & binary, int begin, int end, std::int32_t infinity, const Bands & bands,
  std::int32_t * from_above, std::int32_t * from_below)
{
  const int width = binary.cols;
  const int n = end - begin;
  std::vector<std::int32_t> & running = threadScratch(width).counts;
  std::fill_n(running.begin(), n, infinity);
  for (int band = 0; band < bands.count; ++band) {
    std::copy_n(running.begin(), n, from_above + static_cast<size_t>(band) * width + begin);
    for (int y = bands.first(band); y < bands.first(band + 1); ++y) {
      const std::uint8_t * pixels = binary.ptr<std::uint8_t>(y) + begin;
      for (int x = 0; x < n; ++x) {
        running[x] = pixels[x] == 0 ? 0 : running[x] + 1;
      }
    }
  }
  std::fill_n(running.begin(), n, infinity);
  for (int band = bands.count - 1; band >= 0; --band) {
    std::copy_n(running.begin(), n, from_below + static_cast<size_t>(band) * width + begin);
    for (int y = bands.first(band + 1) - 1; y >= bands.first(band); --y) {
      const std::uint8_t * pixels = binary.ptr<std::uint8_t>(y) + begin;
      for (int x = 0; x < n; ++x) {
        running[x] = pixels[x] == 0 ? 0 : running[x] + 1;
      }
    }
  }
}

// Square roots of a row of exact float squares, in place.
void squareRootsInPlace(float * row, int width)
{
  int x = 0;
#if defined(__SSE2__)
  for (; x + 4 <= width; x += 4) {
    _mm_storeu_ps(row + x, _mm_sqrt_ps(_mm_loadu_ps(row + x)));
  }
#endif
  for (; x < width; ++x) {
    row[x] = std::sqrt(row[x]);
  }
}

// A distance no pixel of the row exceeds: pixel x has a zero pixel within |x - i| + count(i)
// through any column i. `work` holds a row of scratch.
std::int32_t distanceBound(const std::int32_t * counts, int width, std::int32_t * work)
{
  std::int32_t running = counts[0];
  for (int x = 0; x < width; ++x) {
    running = std::min(running + 1, counts[x]);
    work[x] = running;
  }
  std::int32_t bound = 0;
  running = counts[width - 1];
  for (int x = width - 1; x >= 0; --x) {
    running = std::min(running + 1, counts[x]);
    bound = std::max(bound, std::min(running, work[x]));
  }
  return bound;
}

// Turns one row of column counts into Euclidean distances with Felzenszwalb's lower envelope of
// the parabolas (x - i)^2 + count(i)^2. Heights and squared distances are integers held exactly
// in doubles. An intersection of two parabolas that is not an integer lies at least
// 1 / (2 width) from every integer, far beyond the rounding of one multiplication, so each pixel
// still picks a parabola that is lowest there, and its squared distance is exact.
double transformRow(
  float * row, const std::int32_t * counts, int width, std::int32_t bound,
  const double * half_reciprocal, Scratch & scratch)
{
  std::int32_t * source = scratch.source.data();
  double * height = scratch.height.data();
  double * boundary = scratch.boundary.data();
  // No pixel of the row is farther than `bound` from its nearest zero pixel, so a column whose
  // count exceeds `bound` never gives a pixel its distance: only the other columns enter the
  // envelope. On a grid strewn with obstacles that leaves out most columns, and with them most of
  // the envelope's hard-to-predict pops.
  std::int32_t * candidates = scratch.candidates.data();
  if (bound < 0) {
    bound = distanceBound(counts, width, candidates);
  }
  int candidate_count = 0;
  for (int x = 0; x < width; ++x) {
    candidates[candidate_count] = x;
    candidate_count += counts[x] <= bound;
  }

  int top = 0;
  source[0] = candidates[0];
  height[0] = static_cast<double>(counts[source[0]]) * counts[source[0]] +
    static_cast<double>(source[0]) * source[0];
  boundary[0] = -std::numeric_limits<double>::infinity();
  for (int c = 1; c < candidate_count; ++c) {
    const int u = candidates[c];
    const double count = counts[u];
    const double height_u = count * count + static_cast<double>(u) * u;
    double crossing;
    // Drop the parabolas that u undercuts wherever they would hold the envelope.
    for (;;) {
      crossing = (height_u - height[top]) * half_reciprocal[u - source[top]];
      if (crossing > boundary[top]) {
        break;
      }
      --top;
    }
    ++top;
    source[top] = u;
    height[top] = height_u;
    boundary[top] = crossing;
  }
  boundary[top + 1] = std::numeric_limits<double>::infinity();

  // Each parabola of the envelope holds the pixels up to its right crossing. Squared distances
  // are stored as floats while they are exact there (a parabola's largest value on its pixels
  // lies at one of their ends); a row that reaches beyond that is redone in double.
  double largest = 0.0;
  int u = 0;
  for (int k = 0; k <= top && u < width; ++k) {
    const double limit = boundary[k + 1];
    if (limit < u) {
      continue;
    }
    const int end = limit >= width - 1 ? width : static_cast<int>(limit) + 1;
    const double base = height[k];
    const double twice_source = 2.0 * source[k];
    const double first = u;
    const double last = end - 1;
    largest = std::max(
      largest, std::max(
        base + first * (first - twice_source), base + last * (last - twice_source)));
    for (; u < end; ++u) {
      const double position = u;
      row[u] = static_cast<float>(base + position * (position - twice_source));
    }
  }
  if (largest < kExactFloatSquare) {
    squareRootsInPlace(row, width);
    return largest;
  }
  u = 0;
  for (int k = 0; k <= top && u < width; ++k) {
    const double limit = boundary[k + 1];
    if (limit < u) {
      continue;
    }
    const int end = limit >= width - 1 ? width : static_cast<int>(limit) + 1;
    for (; u < end; ++u) {
      const double position = u;
      row[u] = static_cast<float>(std::sqrt(height[k] + position * (position - 2.0 * source[k])));
    }
  }
  return largest;
}

// The rows of one band: down the band counting the nearest zero pixel above, then back up
// counting the one below, turning each row into distances on the way up.
void transformBand(
  const cv::Mat & binary, cv::Mat & distance, const Bands & bands, int band,
  const std::int32_t * from_above, const std::int32_t * from_below, std::int32_t infinity,
  const double * half_reciprocal)
{
  const int width = distance.cols;
  const int top_row = bands.first(band);
  const int rows = bands.first(band + 1) - top_row;
  Scratch & scratch = threadScratch(width);
  std::vector<std::int32_t> & above = scratch.above_counts;
  above.resize(static_cast<size_t>(rows) * width);
  const std::int32_t * previous = from_above + static_cast<size_t>(band) * width;
  for (int r = 0; r < rows; ++r) {
    const std::uint8_t * pixels = binary.ptr<std::uint8_t>(top_row + r);
    std::int32_t * counts = above.data() + static_cast<size_t>(r) * width;
    for (int x = 0; x < width; ++x) {
      counts[x] = pixels[x] == 0 ? 0 : previous[x] + 1;
    }
    previous = counts;
  }

  std::int32_t * below = scratch.below.data();
  std::int32_t * counts = scratch.counts.data();
  std::copy_n(from_below + static_cast<size_t>(band) * width, width, below);
  // A pixel is at most one farther from its nearest zero pixel than the pixel below it, so each
  // row's largest distance bounds the next one's; the band's first row finds its own bound.
  std::int32_t bound = -1;
  for (int r = rows - 1; r >= 0; --r) {
    const std::uint8_t * pixels = binary.ptr<std::uint8_t>(top_row + r);
    const std::int32_t * from_top = above.data() + static_cast<size_t>(r) * width;
    for (int x = 0; x < width; ++x) {
      below[x] = pixels[x] == 0 ? 0 : below[x] + 1;
      counts[x] = std::min(from_top[x], below[x]);
    }
    float * row = distance.ptr<float>(top_row + r);
    if (bound < 0) {
      bound = distanceBound(counts, width, scratch.candidates.data());
      if (bound >= infinity) {
        // No column has a zero pixel, so the image has none.
        for (int y = top_row; y <= top_row + r; ++y) {
          std::fill_n(distance.ptr<float>(y), width, kNoZeroPixelDistance);
        }
        return;
      }
    }
    const double largest = transformRow(row, counts, width, bound, half_reciprocal, scratch);
    bound = static_cast<std::int32_t>(std::sqrt(largest)) + 2;
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
  const int height = binary.rows;
  // Larger than any distance inside the image, small enough that its squares stay exact.
  const auto infinity = static_cast<std::int32_t>(width + height);
  // Bands small enough for the cache, and a few per thread to balance the load.
  const int threads = cv::getNumThreads();
  const auto cache_bands = static_cast<int>(
    (static_cast<std::int64_t>(width) * height + kBandCells - 1) / kBandCells);
  const Bands bands{
    std::min(height, std::max(cache_bands, threads > 1 ? threads * kBandsPerThread : 1)), height};

  // What the tasks share lives with this call: the pool's threads read it, and only the call
  // knows when they are done with it.
  const auto table = static_cast<size_t>(bands.count) * width;
  std::vector<std::int32_t> above_tables(table);
  std::vector<std::int32_t> below_tables(table);
  std::int32_t * from_above = above_tables.data();
  std::int32_t * from_below = below_tables.data();
  if (bands.count == 1) {
    std::fill_n(from_above, width, infinity);
    std::fill_n(from_below, width, infinity);
  } else {
    const int blocks = (width + kColumnBlock - 1) / kColumnBlock;
    parallelFor(
      cv::Range(0, blocks), [&](const cv::Range & range) {
        for (int block = range.start; block < range.end; ++block) {
          computeBandBoundaries(
            binary, block * kColumnBlock, std::min(width, (block + 1) * kColumnBlock), infinity,
            bands, from_above, from_below);
        }
      });
  }

  std::vector<double> half_reciprocal(static_cast<size_t>(width));
  for (int gap = 1; gap < width; ++gap) {
    half_reciprocal[static_cast<size_t>(gap)] = 1.0 / (2.0 * gap);
  }
  const double * reciprocals = half_reciprocal.data();
  parallelFor(
    cv::Range(0, bands.count), [&](const cv::Range & range) {
      for (int band = range.start; band < range.end; ++band) {
        transformBand(
          binary, distance, bands, band, from_above, from_below, infinity, reciprocals);
      }
    });
}

}  // namespace quorvane_nav2_gridmap
