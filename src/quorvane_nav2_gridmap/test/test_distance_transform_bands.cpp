// The distance transform on images it splits into bands (large ones, and any image when OpenCV runs
// several threads) and on distances whose squares no longer fit a float exactly: against a
// brute-force transform, with one thread and with OpenCV's default thread count.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <opencv2/core/utility.hpp>
#include <opencv2/imgproc.hpp>

#include "quorvane_nav2_gridmap/euclidean_distance_transform.hpp"

namespace
{

using quorvane_nav2_gridmap::euclideanDistanceTransform;
using quorvane_nav2_gridmap::kNoZeroPixelDistance;

class DistanceTransformBandsTest : public ::testing::TestWithParam<int>
{
protected:
  void SetUp() override {cv::setNumThreads(GetParam());}
  void TearDown() override {cv::setNumThreads(-1);}

  static cv::Mat imageWithZeros(int rows, int cols, const std::vector<cv::Point> & zeros)
  {
    cv::Mat image(rows, cols, CV_8UC1, cv::Scalar(255));
    for (const auto & zero : zeros) {
      image.at<std::uint8_t>(zero) = 0;
    }
    return image;
  }

  static std::vector<cv::Point> randomPoints(int rows, int cols, int count, unsigned seed)
  {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> column(0, cols - 1);
    std::uniform_int_distribution<int> row(0, rows - 1);
    std::vector<cv::Point> points;
    for (int i = 0; i < count; ++i) {
      points.emplace_back(column(random), row(random));
    }
    return points;
  }

  // Pixels whose distance differs from the nearest of `zeros`, as a float of the exact root.
  static int countWrongPixels(const std::vector<cv::Point> & zeros, const cv::Mat & distance)
  {
    int wrong = 0;
    for (int y = 0; y < distance.rows; ++y) {
      for (int x = 0; x < distance.cols; ++x) {
        std::int64_t best = std::numeric_limits<std::int64_t>::max();
        for (const auto & zero : zeros) {
          const std::int64_t dx = zero.x - x;
          const std::int64_t dy = zero.y - y;
          best = std::min(best, dx * dx + dy * dy);
        }
        const float expected = zeros.empty() ?
          kNoZeroPixelDistance : static_cast<float>(std::sqrt(static_cast<double>(best)));
        wrong += distance.at<float>(y, x) != expected ? 1 : 0;
      }
    }
    return wrong;
  }

  static cv::Mat transform(const cv::Mat & image)
  {
    cv::Mat distance;
    euclideanDistanceTransform(image, distance);
    return distance;
  }
};

TEST_P(DistanceTransformBandsTest, DistancesBeyond4096CellsStayExact)
{
  const std::vector<cv::Point> corner{{0, 0}};
  EXPECT_EQ(countWrongPixels(corner, transform(imageWithZeros(3, 9000, corner))), 0);
  const std::vector<cv::Point> far_corner{{2, 5999}};
  EXPECT_EQ(countWrongPixels(far_corner, transform(imageWithZeros(6000, 3, far_corner))), 0);
}

TEST_P(DistanceTransformBandsTest, ImagesOfSeveralBandsMatchBruteForce)
{
  // More cells than one band holds, with few obstacles (distances of hundreds of cells) and with
  // many (the bound that leaves columns out of a row's envelope is then tight).
  for (const int count : {25, 600}) {
    const auto zeros = randomPoints(450, 600, count, static_cast<unsigned>(count));
    EXPECT_EQ(countWrongPixels(zeros, transform(imageWithZeros(450, 600, zeros))), 0)
      << count << " zero pixels";
  }
}

TEST_P(DistanceTransformBandsTest, ImageOfSeveralBandsWithoutZeroPixelGetsTheLargeDistance)
{
  const cv::Mat distance = transform(imageWithZeros(450, 600, {}));
  EXPECT_EQ(cv::countNonZero(distance != kNoZeroPixelDistance), 0);
}

INSTANTIATE_TEST_SUITE_P(
  OneAndDefaultThreads, DistanceTransformBandsTest, ::testing::Values(1, -1),
  [](const ::testing::TestParamInfo<int> & info) {
    return info.param == 1 ? std::string("OneThread") : std::string("DefaultThreads");
  });

}  // namespace
