// The library's distance transform against exact distances computed directly from the zero
// pixels, on random images of many shapes, including those wider than 4096 columns where
// OpenCV's own precise transform goes wrong.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "quorvane_nav2_gridmap/euclidean_distance_transform.hpp"

namespace
{

using quorvane_nav2_gridmap::euclideanDistanceTransform;
using quorvane_nav2_gridmap::kNoZeroPixelDistance;

cv::Mat randomImage(int rows, int cols, double zero_fraction, unsigned seed)
{
  std::mt19937 random(seed);
  std::bernoulli_distribution is_zero(zero_fraction);
  cv::Mat image(rows, cols, CV_8UC1, cv::Scalar(255));
  for (int y = 0; y < rows; ++y) {
    for (int x = 0; x < cols; ++x) {
      if (is_zero(random)) {
        image.at<std::uint8_t>(y, x) = 0;
      }
    }
  }
  return image;
}

std::vector<cv::Point> zeroPixels(const cv::Mat & image)
{
  std::vector<cv::Point> zeros;
  cv::findNonZero(image == 0, zeros);
  return zeros;
}

float bruteForceDistance(const std::vector<cv::Point> & zeros, int x, int y)
{
  if (zeros.empty()) {
    return kNoZeroPixelDistance;
  }
  std::int64_t best = std::numeric_limits<std::int64_t>::max();
  for (const auto & zero : zeros) {
    const std::int64_t dx = zero.x - x;
    const std::int64_t dy = zero.y - y;
    best = std::min(best, dx * dx + dy * dy);
  }
  return static_cast<float>(std::sqrt(static_cast<double>(best)));
}

// Exact distances by another route than the library's, cheap enough for wide images under every
// sanitizer: a row offers only its zero pixel nearest to x as a candidate, found by binary search
// in the row's sorted zero columns.
cv::Mat rowWiseDistances(const cv::Mat & image)
{
  std::vector<std::vector<int>> zero_columns(image.rows);
  for (const auto & zero : zeroPixels(image)) {
    zero_columns[zero.y].push_back(zero.x);
  }
  for (auto & columns : zero_columns) {
    std::sort(columns.begin(), columns.end());
  }
  cv::Mat distance(image.size(), CV_32FC1, cv::Scalar(kNoZeroPixelDistance));
  for (int y = 0; y < image.rows; ++y) {
    for (int x = 0; x < image.cols; ++x) {
      std::int64_t best = std::numeric_limits<std::int64_t>::max();
      for (int row = 0; row < image.rows; ++row) {
        const auto & columns = zero_columns[row];
        const auto right = std::lower_bound(columns.begin(), columns.end(), x);
        const std::int64_t dy = row - y;
        if (right != columns.end()) {
          best = std::min(best, (*right - x) * std::int64_t{*right - x} + dy * dy);
        }
        if (right != columns.begin()) {
          const std::int64_t dx = x - *(right - 1);
          best = std::min(best, dx * dx + dy * dy);
        }
      }
      if (best != std::numeric_limits<std::int64_t>::max()) {
        distance.at<float>(y, x) = static_cast<float>(std::sqrt(static_cast<double>(best)));
      }
    }
  }
  return distance;
}

class DistanceTransformTest : public ::testing::Test
{
protected:
  cv::Mat transform(const cv::Mat & image)
  {
    cv::Mat distance;
    euclideanDistanceTransform(image, distance);
    return distance;
  }

  // Counts the pixels whose distance differs from the brute-force one.
  int countWrongPixels(const cv::Mat & image, const cv::Mat & distance)
  {
    const auto zeros = zeroPixels(image);
    int wrong = 0;
    for (int y = 0; y < image.rows; ++y) {
      for (int x = 0; x < image.cols; ++x) {
        if (distance.at<float>(y, x) != bruteForceDistance(zeros, x, y)) {
          ++wrong;
        }
      }
    }
    return wrong;
  }

};

TEST_F(DistanceTransformTest, MatchesBruteForceOnSmallImagesOfManyShapes)
{
  const std::vector<cv::Size> shapes{{1, 1}, {17, 1}, {1, 23}, {2, 2}, {13, 7}, {48, 64}, {120, 90}};
  unsigned seed = 1;
  for (const auto & shape : shapes) {
    for (const double fraction : {0.005, 0.05, 0.5, 0.95}) {
      const cv::Mat image = randomImage(shape.height, shape.width, fraction, seed++);
      const cv::Mat distance = transform(image);
      ASSERT_EQ(distance.size(), image.size());
      ASSERT_EQ(distance.type(), CV_32FC1);
      EXPECT_EQ(countWrongPixels(image, distance), 0)
        << shape.width << " x " << shape.height << " at " << fraction;
    }
  }
}

TEST_F(DistanceTransformTest, MatchesExactDistancesOnImagesWiderThan4096Columns)
{
  for (const cv::Size shape : {cv::Size(5000, 40), cv::Size(8000, 30), cv::Size(4097, 25)}) {
    const cv::Mat image = randomImage(shape.height, shape.width, 0.01, 7);
    const cv::Mat distance = transform(image);
    EXPECT_EQ(cv::countNonZero(distance != rowWiseDistances(image)), 0)
      << shape.width << " x " << shape.height;

    // Ties the row-wise distances to the definition, on pixels on both sides of column 4096.
    const auto zeros = zeroPixels(image);
    for (int x = 4000; x < shape.width; x += 7) {
      const int y = x % shape.height;
      ASSERT_EQ(distance.at<float>(y, x), bruteForceDistance(zeros, x, y)) << x << ", " << y;
    }
  }
}

TEST_F(DistanceTransformTest, ZeroPixelsOfLargeWideImagesHaveDistanceZero)
{
  for (const cv::Size shape : {cv::Size(5000, 1000), cv::Size(8000, 500)}) {
    const cv::Mat image = randomImage(shape.height, shape.width, 0.01, 11);
    const cv::Mat distance = transform(image);
    const auto zeros = zeroPixels(image);
    int nonzero_on_zero_pixel = 0;
    for (const auto & zero : zeros) {
      if (distance.at<float>(zero) != 0.0f) {
        ++nonzero_on_zero_pixel;
      }
    }
    EXPECT_EQ(nonzero_on_zero_pixel, 0) << shape.width << " x " << shape.height;

    std::mt19937 random(3);
    std::uniform_int_distribution<int> column(0, shape.width - 1);
    std::uniform_int_distribution<int> row(0, shape.height - 1);
    for (int sample = 0; sample < 300; ++sample) {
      const int x = column(random);
      const int y = row(random);
      ASSERT_EQ(distance.at<float>(y, x), bruteForceDistance(zeros, x, y)) << x << ", " << y;
    }
  }
}

TEST_F(DistanceTransformTest, GivesOpenCvResultsWhereOpenCvIsExact)
{
  for (const cv::Size shape : {cv::Size(640, 480), cv::Size(4096, 64), cv::Size(100, 3000)}) {
    const cv::Mat image = randomImage(shape.height, shape.width, 0.02, 5);
    cv::Mat expected;
    cv::distanceTransform(image, expected, cv::DIST_L2, cv::DIST_MASK_PRECISE, CV_32F);
    EXPECT_EQ(cv::countNonZero(transform(image) != expected), 0) << shape.width << " x " << shape.height;
  }
}

TEST_F(DistanceTransformTest, ImageWithoutZeroPixelGetsOpenCvsLargeDistance)
{
  const cv::Mat image(30, 40, CV_8UC1, cv::Scalar(255));
  cv::Mat expected;
  cv::distanceTransform(image, expected, cv::DIST_L2, cv::DIST_MASK_PRECISE, CV_32F);
  const cv::Mat distance = transform(image);
  EXPECT_EQ(cv::countNonZero(distance != kNoZeroPixelDistance), 0);
  EXPECT_EQ(cv::countNonZero(distance != expected), 0);
}

TEST_F(DistanceTransformTest, FillsAnExternalBufferInPlace)
{
  const cv::Mat image = randomImage(20, 30, 0.1, 9);
  std::vector<float> buffer(20 * 30, -1.0f);
  cv::Mat distance(20, 30, CV_32FC1, buffer.data());
  euclideanDistanceTransform(image, distance);
  EXPECT_EQ(distance.ptr<float>(), buffer.data());
  EXPECT_EQ(countWrongPixels(image, distance), 0);
}

TEST_F(DistanceTransformTest, WorkingSpaceCarriesNothingBetweenImages)
{
  const cv::Mat wide = randomImage(10, 500, 0.02, 21);
  const cv::Mat narrow = randomImage(50, 7, 0.02, 22);
  transform(wide);
  EXPECT_EQ(countWrongPixels(narrow, transform(narrow)), 0);
  EXPECT_EQ(countWrongPixels(wide, transform(wide)), 0);
}

TEST_F(DistanceTransformTest, EmptyImageGivesEmptyDistances)
{
  EXPECT_TRUE(transform(cv::Mat(0, 0, CV_8UC1)).empty());
}

}  // namespace
