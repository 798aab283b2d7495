#include "quorvane_nav2_gridmap/costmap_depth_camera/pointcloud_process.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include <opencv2/imgproc.hpp>
#include <sensor_msgs/msg/point_cloud2.hpp>
#include <sensor_msgs/point_cloud2_iterator.hpp>

#include "quorvane_nav2_gridmap/costmap_depth_camera/xyz_cloud_check.hpp"
#include "quorvane_nav2_gridmap/logger.hpp"

namespace costmap_depth_camera
{
namespace
{

// A depth camera sees a few metres: a raster wider than this (410 m at 0.1 m a cell) comes from
// points no camera measured, such as a driver's sentinel values, and would only cost memory.
constexpr std::int32_t kLargestRasterSide = 4096;

// A cell count from a float; counts beyond what an int holds saturate instead of overflowing.
std::int32_t toCellCount(float cells)
{
  if (!(cells < static_cast<float>(std::numeric_limits<std::int32_t>::max()))) {
    return std::numeric_limits<std::int32_t>::max();
  }
  return static_cast<std::int32_t>(cells);
}

}  // namespace

void PointCloudProcess::dilatePointCloud(
  quorvane_protocol::msg::SemanticCloud & semantic_cloud, double dilation_size)
{
  const sensor_msgs::msg::PointCloud2 & input = semantic_cloud.cloud;
  const std::uint64_t point_count = static_cast<std::uint64_t>(input.height) * input.width;
  // A cloud whose layout does not hold its points is left for the buffer to refuse: walked to
  // its data's end, it would be read past that end (or, with a point step of 0, forever). A cloud
  // of no points passes that check whatever its fields, so it may have no x or y to read.
  if (point_count == 0 || input.data.empty() || !xyzCloudDefect(input).empty()) {
    return;
  }
  const float c = kCellSize;

  Extent extent{
    std::numeric_limits<float>::max(), -std::numeric_limits<float>::max(),
    std::numeric_limits<float>::max(), -std::numeric_limits<float>::max()};
  bool any_finite = false;
  const XyzOffsets offsets = xyzOffsets(input);
  const std::uint8_t * const data = input.data.data();
  const std::size_t step = input.point_step;
  const auto x_of = [&](std::uint64_t i) {return loadFloat(data + i * step + offsets.x);};
  const auto y_of = [&](std::uint64_t i) {return loadFloat(data + i * step + offsets.y);};
  for (std::uint64_t i = 0; i < point_count; ++i) {
    const float x = x_of(i);
    const float y = y_of(i);
    // A non-finite coordinate would stretch the raster to infinity.
    if (!std::isfinite(x) || !std::isfinite(y)) {
      continue;
    }
    any_finite = true;
    extent.min_x = std::min(extent.min_x, x);
    extent.max_x = std::max(extent.max_x, x);
    extent.min_y = std::min(extent.min_y, y);
    extent.max_y = std::max(extent.max_y, y);
  }
  if (!any_finite) {
    return;
  }

  const double radius_cells = std::ceil(dilation_size / static_cast<double>(c));
  const float span =
    std::max(std::fabs(extent.max_x - extent.min_x), std::fabs(extent.max_y - extent.min_y));
  const auto side = toCellCount(std::ceil(span / c));
  if (side > kLargestRasterSide || !(radius_cells <= kLargestRasterSide / 10)) {
    QLOG_WARN(
      "[PointCloudProcess] dilatePointCloud leaves a sub-cloud spanning {} m with a dilation of "
      "{} m as it is: its raster would pass {} cells a side", span, dilation_size,
      kLargestRasterSide);
    return;
  }
  const auto radius = static_cast<std::int32_t>(radius_cells);
  const std::int32_t margin = 5 * radius;

  std::lock_guard<std::mutex> guard(mutex_);
  if (prepareImages(side, radius)) {
    QLOG_INFO(
      "[PointCloudProcess] dilatePointCloud create a mat size is {}x{}", dilation_mask_.cols,
      dilation_mask_.rows);
  }

  for (std::uint64_t i = 0; i < point_count; ++i) {
    const float x = x_of(i);
    const float y = y_of(i);
    if (!std::isfinite(x) || !std::isfinite(y)) {
      continue;
    }
    const float u_cells = std::trunc((x - extent.min_x) / c);
    const float v_cells = std::trunc((y - extent.min_y) / c);
    // Compared as floats first: a cell index beyond the image has no int to convert to.
    if (!(u_cells < static_cast<float>(dilation_mask_.cols) &&
      v_cells < static_cast<float>(dilation_mask_.rows)))
    {
      continue;
    }
    const auto u = static_cast<std::int32_t>(u_cells) + margin;
    const auto v = static_cast<std::int32_t>(v_cells) + margin;
    if (u >= 0 && u < dilation_mask_.cols && v >= 0 && v < dilation_mask_.rows) {
      dilation_mask_.at<std::uint8_t>(v, u) = 255;
    }
  }

  const cv::Mat kernel = cv::getStructuringElement(
    cv::MORPH_RECT, cv::Size(2 * radius + 1, 2 * radius + 1), cv::Point(radius, radius));
  cv::dilate(
    dilation_mask_, dilated_mask_, kernel, cv::Point(-1, -1), 1, cv::BORDER_CONSTANT,
    cv::morphologyDefaultBorderValue());

  sensor_msgs::msg::PointCloud2 output;
  output.height = 1;
  output.width = static_cast<std::uint32_t>(cv::countNonZero(dilated_mask_));
  output.is_bigendian = false;
  output.is_dense = true;
  sensor_msgs::PointCloud2Modifier modifier(output);
  modifier.setPointCloud2FieldsByString(1, "xyz");
  output.data.resize(static_cast<std::size_t>(output.width) * output.point_step);

  if (output.width > 0) {
    sensor_msgs::PointCloud2Iterator<float> out_x(output, "x");
    for (int row = 0; row < dilated_mask_.rows; ++row) {
      const std::uint8_t * pixels = dilated_mask_.ptr<std::uint8_t>(row);
      for (int col = 0; col < dilated_mask_.cols; ++col) {
        if (pixels[col] == 0) {
          continue;
        }
        out_x[0] = static_cast<float>(col - margin) * c + extent.min_x;
        out_x[1] = static_cast<float>(row - margin) * c + extent.min_y;
        out_x[2] = c;
        ++out_x;
      }
    }
  }
  semantic_cloud.cloud = std::move(output);
}

bool PointCloudProcess::prepareImages(std::int32_t side, std::int32_t radius)
{
  if (side > dilation_grid_width_) {
    dilation_grid_width_ = side;
    dilation_grid_height_ = side;
  }
  const int cols = dilation_grid_width_ + 10 * radius;
  const int rows = dilation_grid_height_ + 10 * radius;
  if (dilation_mask_.rows == rows && dilation_mask_.cols == cols) {
    dilation_mask_.setTo(0);
    dilated_mask_.setTo(0);
    return false;
  }
  dilation_mask_ = cv::Mat::zeros(rows, cols, CV_8UC1);
  dilated_mask_ = cv::Mat::zeros(rows, cols, CV_8UC1);
  return true;
}

}  // namespace costmap_depth_camera
