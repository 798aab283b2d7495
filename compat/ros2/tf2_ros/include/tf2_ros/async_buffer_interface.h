// Asynchronous transform requests: a future that completes when the transform is available or the
// wait times out.
#ifndef TF2_ROS__ASYNC_BUFFER_INTERFACE_H_
#define TF2_ROS__ASYNC_BUFFER_INTERFACE_H_

#include <functional>
#include <future>
#include <string>
#include <utility>

#include "geometry_msgs/msg/transform_stamped.hpp"
#include "tf2/buffer_core.h"
#include "tf2/time.h"
#include "tf2/transform_datatypes.h"

namespace tf2_ros
{

class TransformStampedFuture : public std::shared_future<geometry_msgs::msg::TransformStamped>
{
  using BaseType = std::shared_future<geometry_msgs::msg::TransformStamped>;

public:
  // No default constructor, and no assignment: a future is only ever made by a wait or copied.
  explicit TransformStampedFuture(BaseType && future) noexcept
  : BaseType(std::move(future))
  {
  }

  TransformStampedFuture(const TransformStampedFuture & ts_future) noexcept
  : BaseType(ts_future), handle_(ts_future.handle_)
  {
  }

  TransformStampedFuture(TransformStampedFuture && ts_future) noexcept
  : BaseType(std::move(ts_future)), handle_(ts_future.handle_)
  {
  }

  void setHandle(const tf2::TransformableRequestHandle handle) {handle_ = handle;}
  tf2::TransformableRequestHandle getHandle() const {return handle_;}

private:
  tf2::TransformableRequestHandle handle_{};
};

using TransformReadyCallback = std::function<void (const TransformStampedFuture &)>;

class AsyncBufferInterface
{
public:
  virtual ~AsyncBufferInterface() = default;

  virtual TransformStampedFuture
  waitForTransform(
    const std::string & target_frame, const std::string & source_frame,
    const tf2::TimePoint & time, const tf2::Duration & timeout,
    TransformReadyCallback callback) = 0;

  virtual void cancel(const TransformStampedFuture & ts_future) = 0;
};

}  // namespace tf2_ros

#endif  // TF2_ROS__ASYNC_BUFFER_INTERFACE_H_
