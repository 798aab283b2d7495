#ifndef QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__POINTCLOUD_PROCESS_HPP_
#define QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__POINTCLOUD_PROCESS_HPP_

// Widens a semantic sub-cloud by a square dilation on a 0.1 m raster, so that thin detections
// still cover the cells around them. The raster images are kept between calls and shared by all
// sources of one front end, hence guarded.

#include <cstdint>
#include <mutex>

#include <opencv2/core.hpp>
#include <quorvane_protocol/msg/semantic_cloud.hpp>

namespace costmap_depth_camera
{

class PointCloudProcess
{
public:
  // Raster cell edge in metres.
  static constexpr float kCellSize = 0.1f;

  PointCloudProcess() = default;
  PointCloudProcess(const PointCloudProcess &) = delete;
  PointCloudProcess & operator=(const PointCloudProcess &) = delete;

  // Replaces the sub-cloud's points by the centres of the raster cells within `dilation_size`
  // metres (rounded up to whole cells) of a point, at height kCellSize; category and polygon flag
  // stay. A sub-cloud without data, without a finite point, or whose data does not hold its
  // height x width float x, y, z points is left as it is.
  void dilatePointCloud(
    quorvane_protocol::msg::SemanticCloud & semantic_cloud, double dilation_size);

private:
  struct Extent
  {
    float min_x;
    float max_x;
    float min_y;
    float max_y;
  };

  // Sizes and clears both images for a raster of the given extent plus a margin of 5 r cells on
  // each side; they are reallocated only when that size changes, and then true is returned.
  bool prepareImages(std::int32_t side, std::int32_t radius);

  std::mutex mutex_;
  cv::Mat dilation_mask_;
  cv::Mat dilated_mask_;
  // Base raster size in cells; only grows, so later smaller clouds reuse the images.
  std::int32_t dilation_grid_width_{500};
  std::int32_t dilation_grid_height_{500};
};

}  // namespace costmap_depth_camera

#endif  // QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__POINTCLOUD_PROCESS_HPP_
