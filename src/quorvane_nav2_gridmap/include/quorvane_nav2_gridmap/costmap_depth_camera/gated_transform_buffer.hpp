#ifndef QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__GATED_TRANSFORM_BUFFER_HPP_
#define QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__GATED_TRANSFORM_BUFFER_HPP_

// The transform buffer as the camera sources' transform filters see it: lookups and transform
// requests go to the node's tf2_ros::Buffer, and each request's answer comes back to its filter
// only until close().
//
// Why: tf2_ros::Buffer::cancel leaves a cancelled request's time-out armed, which later calls the
// filter that made the request, and tf2_ros::MessageFilter::clear cancels under a lock that a
// transform delivery takes after the buffer's own. So cancel() here leaves each request to
// complete or time out in the Buffer, and once close() has returned its answer ends here: a filter
// may then be cleared and destroyed whatever the Buffer still holds for it, without taking a lock
// a delivery holds.

#include <memory>
#include <string>
#include <vector>

#include <geometry_msgs/msg/transform_stamped.hpp>
#include <tf2/buffer_core_interface.h>
#include <tf2/time.h>
#include <tf2_ros/async_buffer_interface.h>
#include <tf2_ros/buffer.h>

#include "quorvane_nav2_gridmap/costmap_depth_camera/callback_gate.hpp"

namespace costmap_depth_camera
{

class GatedTransformBuffer : public tf2::BufferCoreInterface, public tf2_ros::AsyncBufferInterface
{
public:
  // `buffer` must outlive this object; what the Buffer holds for its requests need not.
  explicit GatedTransformBuffer(tf2_ros::Buffer & buffer);
  ~GatedTransformBuffer() override;
  GatedTransformBuffer(const GatedTransformBuffer &) = delete;
  GatedTransformBuffer & operator=(const GatedTransformBuffer &) = delete;

  // Returns once no answer is being passed to a filter, and passes none on after. The caller
  // must hold no lock that a filter's answer takes.
  void close();

  void clear() override;
  geometry_msgs::msg::TransformStamped lookupTransform(
    const std::string & target_frame, const std::string & source_frame,
    const tf2::TimePoint & time) const override;
  geometry_msgs::msg::TransformStamped lookupTransform(
    const std::string & target_frame, const tf2::TimePoint & target_time,
    const std::string & source_frame, const tf2::TimePoint & source_time,
    const std::string & fixed_frame) const override;
  bool canTransform(
    const std::string & target_frame, const std::string & source_frame,
    const tf2::TimePoint & time, std::string * error_msg) const override;
  bool canTransform(
    const std::string & target_frame, const tf2::TimePoint & target_time,
    const std::string & source_frame, const tf2::TimePoint & source_time,
    const std::string & fixed_frame, std::string * error_msg) const override;
  std::vector<std::string> getAllFrameNames() const override;

  tf2_ros::TransformStampedFuture waitForTransform(
    const std::string & target_frame, const std::string & source_frame,
    const tf2::TimePoint & time, const tf2::Duration & timeout,
    tf2_ros::TransformReadyCallback callback) override;
  // Forgets nothing in the Buffer: the request completes or times out there, and its answer is
  // dropped here once the gate is closed.
  void cancel(const tf2_ros::TransformStampedFuture & ts_future) override;

private:
  tf2_ros::Buffer & buffer_;
  std::shared_ptr<CallbackGate> gate_;
};

}  // namespace costmap_depth_camera

#endif  // QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__GATED_TRANSFORM_BUFFER_HPP_
