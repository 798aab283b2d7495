#include "quorvane_nav2_gridmap/euclidean_distance_transform.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quorvane_nav2_gridmap
{

namespace
{

// Columns per task of the column pass: wide enough for contiguous row segments, narrow enough
// that the row above stays in the first-level cache.
constexpr int kColumnBlock = 512;
constexpr int kBandsPerThread = 4;
// Squares below this are exact in a float, so their float square root is the correctly rounded
// one, the same a double square root rounded to float gives.
constexpr double kExactFloatSquare = 16777216.0;

// The column pass keeps its integer counts in the float cells of the output, which the row pass
// then overwrites; copying through memcpy keeps that reinterpretation well defined.
inline void loadCounts(const float * cells, std::int32_t * counts, int n)
{
  std::memcpy(counts, cells, static_cast<size_t>(n) * sizeof(std::int32_t));
}

inline void storeCounts(const std::int32_t * counts, float * cells, int n)
{
  std::memcpy(cells, counts, static_cast<size_t>(n) * sizeof(std::int32_t));
}

// Working rows of one thread, kept between rows and calls so no row allocates.
struct Scratch
{
  std::vector<std::int32_t> counts;
  std::vector<std::int32_t> below;
  std::vector<std::int32_t> running;
  std::vector<std::int32_t> source;
  std::vector<std::int32_t> candidates;
  std::vector<double> height;
  std::vector<double> boundary;

  void reserve(int width)
  {
    const auto n = static_cast<size_t>(width);
    if (counts.size() < n) {
      counts.resize(n);
      below.resize(n);
      running.resize(n);
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

// Rows [first(band), first(band + 1)) form one band of the row pass. Each band walks its rows
// upwards and finishes the column counts on the way, so it needs, for the row just below it, the
// distance to the nearest zero pixel at or below that row.
struct Bands
{
  int count;
  int rows;
  int first(int band) const
  {
    return static_cast<int>(static_cast<std::int64_t>(band) * rows / count);
  }
};

// Columns [begin, end): the distance of each pixel to the nearest zero pixel above it or on it,
// stored as counts in the output's cells, and for every band but the last the distance from the
// row below the band to the nearest zero pixel at or below it. A column without any zero pixel
// counts from `infinity` upwards: its square exceeds every real squared distance in the image,
// so its parabola never wins a row.
void computeColumnCounts(
  const cv::Mat & binary, cv::Mat & distance, int begin, int end, std::int32_t infinity,
  const Bands & bands, std::int32_t * below_bands)
{
  const int height = binary.rows;
  const int width = binary.cols;
  const int n = end - begin;
  std::int32_t * running = threadScratch(n).running.data();
  std::fill_n(running, n, infinity);
  for (int y = 0; y < height; ++y) {
    const std::uint8_t * pixels = binary.ptr<std::uint8_t>(y) + begin;
    for (int x = 0; x < n; ++x) {
      running[x] = pixels[x] == 0 ? 0 : running[x] + 1;
    }
    storeCounts(running, distance.ptr<float>(y) + begin, n);
  }
  if (bands.count == 1) {
    return;
  }
  std::fill_n(running, n, infinity);
  int band = bands.count - 2;
  for (int y = height - 1; y >= 0 && band >= 0; --y) {
    const std::uint8_t * pixels = binary.ptr<std::uint8_t>(y) + begin;
    for (int x = 0; x < n; ++x) {
      running[x] = pixels[x] == 0 ? 0 : running[x] + 1;
    }
    if (y == bands.first(band + 1)) {
      std::copy_n(running, n, below_bands + static_cast<size_t>(band) * width + begin);
      --band;
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

// The rows of one band, bottom to top: each row's counts are finished with the zero pixels
// below, then turned into distances.
void transformBand(
  cv::Mat & distance, const Bands & bands, int band, const std::int32_t * below_bands,
  std::int32_t infinity, const double * half_reciprocal)
{
  const int width = distance.cols;
  Scratch & scratch = threadScratch(width);
  std::int32_t * counts = scratch.counts.data();
  std::int32_t * below = scratch.below.data();
  if (band + 1 < bands.count) {
    std::copy_n(below_bands + static_cast<size_t>(band) * width, width, below);
  } else {
    std::fill_n(below, width, infinity);
  }
  // A pixel is at most one farther from its nearest zero pixel than the pixel below it, so each
  // row's largest distance bounds the next one's; the band's first row finds its own bound.
  std::int32_t bound = -1;
  for (int y = bands.first(band + 1) - 1; y >= bands.first(band); --y) {
    float * row = distance.ptr<float>(y);
    loadCounts(row, counts, width);
    for (int x = 0; x < width; ++x) {
      below[x] = std::min(counts[x], below[x] + 1);
    }
    const double largest = transformRow(row, below, width, bound, half_reciprocal, scratch);
    bound = static_cast<std::int32_t>(std::sqrt(largest)) + 2;
  }
}

// A column either has a zero pixel, and then a finite count on the last row, or none at all.
bool hasZeroPixel(const cv::Mat & column_counts, std::int32_t infinity)
{
  const float * last_row = column_counts.ptr<float>(column_counts.rows - 1);
  for (int x = 0; x < column_counts.cols; ++x) {
    std::int32_t count;
    loadCounts(last_row + x, &count, 1);
    if (count < infinity) {
      return true;
    }
  }
  return false;
}

// What one transform shares between its tasks, kept by the calling thread between calls so that
// repeated transforms allocate nothing.
struct SharedWork
{
  std::vector<std::int32_t> below_bands;
  std::vector<double> half_reciprocal;
};

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
  // A few bands per thread balance the load; one thread walks the image as a single band.
  const int threads = cv::getNumThreads();
  const Bands bands{threads > 1 ? std::min(height, threads * kBandsPerThread) : 1, height};
  thread_local SharedWork shared;
  shared.below_bands.resize(static_cast<size_t>(bands.count - 1) * width);
  std::int32_t * below_bands = shared.below_bands.data();

  const int blocks = (width + kColumnBlock - 1) / kColumnBlock;
  cv::parallel_for_(
    cv::Range(0, blocks), [&](const cv::Range & range) {
      for (int block = range.start; block < range.end; ++block) {
        computeColumnCounts(
          binary, distance, block * kColumnBlock, std::min(width, (block + 1) * kColumnBlock),
          infinity, bands, below_bands);
      }
    });
  if (!hasZeroPixel(distance, infinity)) {
    distance.setTo(kNoZeroPixelDistance);
    return;
  }

  std::vector<double> & half_reciprocal = shared.half_reciprocal;
  for (auto gap = static_cast<int>(half_reciprocal.size()); gap < width; ++gap) {
    half_reciprocal.push_back(gap == 0 ? 0.0 : 1.0 / (2.0 * gap));
  }
  const double * reciprocals = half_reciprocal.data();
  cv::parallel_for_(
    cv::Range(0, bands.count), [&](const cv::Range & range) {
      for (int band = range.start; band < range.end; ++band) {
        transformBand(distance, bands, band, below_bands, infinity, reciprocals);
      }
    });
}

}  // namespace quorvane_nav2_gridmap
