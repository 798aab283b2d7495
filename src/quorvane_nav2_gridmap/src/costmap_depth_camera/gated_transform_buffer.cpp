#include "quorvane_nav2_gridmap/costmap_depth_camera/gated_transform_buffer.hpp"

#include <utility>

namespace costmap_depth_camera
{

GatedTransformBuffer::GatedTransformBuffer(tf2_ros::Buffer & buffer)
: buffer_(buffer), gate_(std::make_shared<CallbackGate>())
{
}

GatedTransformBuffer::~GatedTransformBuffer()
{
  close();
}

void GatedTransformBuffer::close()
{
  gate_->close();
}

void GatedTransformBuffer::clear()
{
  buffer_.clear();
}

geometry_msgs::msg::TransformStamped GatedTransformBuffer::lookupTransform(
  const std::string & target_frame, const std::string & source_frame,
  const tf2::TimePoint & time) const
{
  return buffer_.lookupTransform(target_frame, source_frame, time);
}

geometry_msgs::msg::TransformStamped GatedTransformBuffer::lookupTransform(
  const std::string & target_frame, const tf2::TimePoint & target_time,
  const std::string & source_frame, const tf2::TimePoint & source_time,
  const std::string & fixed_frame) const
{
  return buffer_.lookupTransform(target_frame, target_time, source_frame, source_time, fixed_frame);
}

bool GatedTransformBuffer::canTransform(
  const std::string & target_frame, const std::string & source_frame,
  const tf2::TimePoint & time, std::string * error_msg) const
{
  return buffer_.canTransform(target_frame, source_frame, time, error_msg);
}

bool GatedTransformBuffer::canTransform(
  const std::string & target_frame, const tf2::TimePoint & target_time,
  const std::string & source_frame, const tf2::TimePoint & source_time,
  const std::string & fixed_frame, std::string * error_msg) const
{
  return buffer_.canTransform(
    target_frame, target_time, source_frame, source_time, fixed_frame, error_msg);
}

std::vector<std::string> GatedTransformBuffer::getAllFrameNames() const
{
  return buffer_.getAllFrameNames();
}

tf2_ros::TransformStampedFuture GatedTransformBuffer::waitForTransform(
  const std::string & target_frame, const std::string & source_frame,
  const tf2::TimePoint & time, const tf2::Duration & timeout,
  tf2_ros::TransformReadyCallback callback)
{
  // The Buffer keeps this callback until the request completes or times out, however long that
  // is after the filter went: it holds the gate, never the filter.
  return buffer_.waitForTransform(
    target_frame, source_frame, time, timeout,
    [gate = gate_, callback = std::move(callback)](const tf2_ros::TransformStampedFuture & future) {
      const CallbackGate::Pass pass(gate);
      if (pass) {
        callback(future);
      }
    });
}

void GatedTransformBuffer::cancel(const tf2_ros::TransformStampedFuture &)
{
}

}  // namespace costmap_depth_camera
