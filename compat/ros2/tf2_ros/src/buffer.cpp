#include "tf2_ros/buffer.h"

#include <chrono>
#include <future>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>

#include "tf2/exceptions.h"

namespace tf2_ros
{

namespace
{
constexpr tf2::TransformableRequestHandle kNeverTransformable = 0xffffffffffffffffULL;

// The listener thread fills the buffer behind our back; the wait just looks again this often.
constexpr std::chrono::milliseconds kPollPeriod{10};

void appendTimeoutInfo(
  std::string * errstr, const rclcpp::Time & start, const rclcpp::Time & end,
  const rclcpp::Duration & timeout)
{
  if (errstr == nullptr) {
    return;
  }
  std::stringstream ss;
  ss << ". canTransform returned after " << tf2::durationToSec(fromRclcpp(end - start)) <<
    " timeout was " << tf2::durationToSec(fromRclcpp(timeout)) << ".";
  *errstr += ss.str();
}
}  // namespace

Buffer::Buffer(
  rclcpp::Clock::SharedPtr clock, tf2::Duration cache_time, rclcpp::Node::SharedPtr node)
: BufferCore(cache_time), clock_(std::move(clock)), node_(std::move(node))
{
  if (!clock_) {
    throw std::invalid_argument("clock must be a valid instance");
  }
  // Data stamped in a time line that was left behind would poison every later lookup.
  rcl_jump_threshold_t jump_threshold{};
  jump_threshold.on_clock_change = true;
  jump_threshold.min_forward.nanoseconds = 0;
  jump_threshold.min_backward.nanoseconds = -1;
  jump_handler_ = clock_->create_jump_callback(
    nullptr, [this](const rcl_time_jump_t & jump) {onTimeJump(jump);}, jump_threshold);
  if (node_) {
    frames_server_ = node_->create_service<tf2_msgs::srv::FrameGraph>(
      "tf2_frames",
      [this](
        const tf2_msgs::srv::FrameGraph::Request::SharedPtr request,
        tf2_msgs::srv::FrameGraph::Response::SharedPtr response) {
        getFrames(request, response);
      });
  }
}

rclcpp::Logger Buffer::getLogger() const
{
  return node_ ? node_->get_logger() : rclcpp::get_logger("tf2_buffer");
}

void Buffer::onTimeJump(const rcl_time_jump_t & jump)
{
  if (jump.clock_change == RCL_ROS_TIME_ACTIVATED ||
    jump.clock_change == RCL_ROS_TIME_DEACTIVATED)
  {
    RCLCPP_WARN(getLogger(), "Detected time source change. Clearing TF buffer.");
    clear();
  } else if (jump.delta.nanoseconds < 0) {
    RCLCPP_WARN(getLogger(), "Detected jump back in time. Clearing TF buffer.");
    clear();
  }
}

bool Buffer::getFrames(
  const tf2_msgs::srv::FrameGraph::Request::SharedPtr,
  tf2_msgs::srv::FrameGraph::Response::SharedPtr response)
{
  response->frame_yaml = allFramesAsYAML();
  return true;
}

bool Buffer::checkAndErrorDedicatedThreadPresent(std::string * errstr) const
{
  if (isUsingDedicatedThread()) {
    return true;
  }
  if (errstr != nullptr) {
    *errstr = threading_error;
  }
  RCLCPP_ERROR(getLogger(), "%s", threading_error);
  return false;
}

geometry_msgs::msg::TransformStamped Buffer::lookupTransform(
  const std::string & target_frame, const std::string & source_frame,
  const tf2::TimePoint & time, const tf2::Duration timeout) const
{
  // The error text is taken so that a failed wait does not log; the lookup below reports it.
  std::string error;
  canTransform(target_frame, source_frame, time, timeout, &error);
  return lookupTransform(target_frame, source_frame, time);
}

geometry_msgs::msg::TransformStamped Buffer::lookupTransform(
  const std::string & target_frame, const std::string & source_frame,
  const rclcpp::Time & time, const rclcpp::Duration timeout) const
{
  return lookupTransform(target_frame, source_frame, fromRclcpp(time), fromRclcpp(timeout));
}

geometry_msgs::msg::TransformStamped Buffer::lookupTransform(
  const std::string & target_frame, const tf2::TimePoint & target_time,
  const std::string & source_frame, const tf2::TimePoint & source_time,
  const std::string & fixed_frame, const tf2::Duration timeout) const
{
  std::string error;
  canTransform(
    target_frame, target_time, source_frame, source_time, fixed_frame, timeout, &error);
  return lookupTransform(target_frame, target_time, source_frame, source_time, fixed_frame);
}

geometry_msgs::msg::TransformStamped Buffer::lookupTransform(
  const std::string & target_frame, const rclcpp::Time & target_time,
  const std::string & source_frame, const rclcpp::Time & source_time,
  const std::string & fixed_frame, const rclcpp::Duration timeout) const
{
  return lookupTransform(
    target_frame, fromRclcpp(target_time), source_frame, fromRclcpp(source_time), fixed_frame,
    fromRclcpp(timeout));
}

// Polls on the buffer's clock. Each poll is itself a timed call without time-out, which adds its
// own ". canTransform returned after ..." to errstr; a final failure overwrites all that. The wait
// also ends when the clock has gone back more than 3 s (a bag played again) or the context ends.
bool Buffer::canTransform(
  const std::string & target_frame, const std::string & source_frame,
  const tf2::TimePoint & time, const tf2::Duration timeout, std::string * errstr) const
{
  if (!checkAndErrorDedicatedThreadPresent(errstr)) {
    return false;
  }
  const rclcpp::Duration rclcpp_timeout(toRclcpp(timeout));
  const rclcpp::Time start = clock_->now();
  while (clock_->now() < start + rclcpp_timeout &&
    !canTransform(target_frame, source_frame, time, tf2::Duration::zero(), errstr) &&
    clock_->now() + rclcpp::Duration(3, 0) >= start && rclcpp::ok())
  {
    std::this_thread::sleep_for(kPollPeriod);
  }
  const bool result = canTransform(target_frame, source_frame, time, errstr);
  appendTimeoutInfo(errstr, start, clock_->now(), rclcpp_timeout);
  return result;
}

bool Buffer::canTransform(
  const std::string & target_frame, const std::string & source_frame,
  const rclcpp::Time & time, const rclcpp::Duration timeout, std::string * errstr) const
{
  return canTransform(target_frame, source_frame, fromRclcpp(time), fromRclcpp(timeout), errstr);
}

bool Buffer::canTransform(
  const std::string & target_frame, const tf2::TimePoint & target_time,
  const std::string & source_frame, const tf2::TimePoint & source_time,
  const std::string & fixed_frame, const tf2::Duration timeout, std::string * errstr) const
{
  if (!checkAndErrorDedicatedThreadPresent(errstr)) {
    return false;
  }
  const rclcpp::Duration rclcpp_timeout(toRclcpp(timeout));
  const rclcpp::Time start = clock_->now();
  while (clock_->now() < start + rclcpp_timeout &&
    !canTransform(
      target_frame, target_time, source_frame, source_time, fixed_frame, tf2::Duration::zero(),
      errstr) &&
    clock_->now() + rclcpp::Duration(3, 0) >= start && rclcpp::ok())
  {
    std::this_thread::sleep_for(kPollPeriod);
  }
  const bool result = canTransform(
    target_frame, target_time, source_frame, source_time, fixed_frame, errstr);
  appendTimeoutInfo(errstr, start, clock_->now(), rclcpp_timeout);
  return result;
}

bool Buffer::canTransform(
  const std::string & target_frame, const rclcpp::Time & target_time,
  const std::string & source_frame, const rclcpp::Time & source_time,
  const std::string & fixed_frame, const rclcpp::Duration timeout, std::string * errstr) const
{
  return canTransform(
    target_frame, fromRclcpp(target_time), source_frame, fromRclcpp(source_time), fixed_frame,
    fromRclcpp(timeout), errstr);
}

// As in geometry2 0.25.8: the request's completion takes the timer-to-request map's lock to learn
// whether its time-out came first, and the time-out delivery calls back without any lock held.
TransformStampedFuture Buffer::waitForTransform(
  const std::string & target_frame, const std::string & source_frame,
  const tf2::TimePoint & time, const tf2::Duration & timeout, TransformReadyCallback callback)
{
  if (nullptr == timer_interface_) {
    throw CreateTimerInterfaceException("timer interface not set before call to waitForTransform");
  }

  auto promise = std::make_shared<std::promise<geometry_msgs::msg::TransformStamped>>();
  TransformStampedFuture future(promise->get_future());

  auto cb = [this, promise, callback, future](
    tf2::TransformableRequestHandle request_handle, const std::string & target,
    const std::string & source, tf2::TimePoint request_time, tf2::TransformableResult result)
    {
      if (!takeTimerOf(request_handle)) {
        // The time-out delivered (or is delivering) this request already.
        return;
      }
      if (result == tf2::TransformAvailable) {
        promise->set_value(lookupTransform(target, source, request_time));
      } else {
        promise->set_exception(
          std::make_exception_ptr(
            tf2::LookupException("Failed to transform from " + source + " to " + target)));
      }
      callback(future);
    };

  const auto handle = addTransformableRequest(cb, target_frame, source_frame, time);
  future.setHandle(handle);

  if (0 == handle) {
    promise->set_value(lookupTransform(target_frame, source_frame, time));
    callback(future);
  } else if (kNeverTransformable == handle) {
    promise->set_exception(
      std::make_exception_ptr(
        tf2::LookupException(
          "Failed to transform from " + source_frame + " to " + target_frame)));
    callback(future);
  } else {
    // A completion between addTransformableRequest and this point finds no timer and is lost;
    // the time-out then delivers the request.
    std::lock_guard<std::mutex> lock(timer_to_request_map_mutex_);
    const auto timer_handle = timer_interface_->createTimer(
      clock_, timeout,
      std::bind(&Buffer::timerCallback, this, std::placeholders::_1, promise, future, callback));
    timer_to_request_map_[timer_handle] = handle;
  }
  return future;
}

bool Buffer::takeTimerOf(tf2::TransformableRequestHandle request_handle)
{
  std::lock_guard<std::mutex> lock(timer_to_request_map_mutex_);
  for (auto it = timer_to_request_map_.begin(); it != timer_to_request_map_.end(); ++it) {
    if (it->second == request_handle) {
      timer_interface_->remove(it->first);
      timer_to_request_map_.erase(it);
      return true;
    }
  }
  return false;
}

void Buffer::timerCallback(
  const TimerHandle & timer_handle,
  std::shared_ptr<std::promise<geometry_msgs::msg::TransformStamped>> promise,
  TransformStampedFuture future, TransformReadyCallback callback)
{
  bool timer_is_valid = false;
  tf2::TransformableRequestHandle request_handle = 0u;
  {
    std::lock_guard<std::mutex> lock(timer_to_request_map_mutex_);
    auto timer_and_request = timer_to_request_map_.find(timer_handle);
    timer_is_valid = timer_and_request != timer_to_request_map_.end();
    if (timer_is_valid) {
      request_handle = timer_and_request->second;
      timer_to_request_map_.erase(timer_and_request);
      timer_interface_->remove(timer_handle);
    }
  }
  if (timer_is_valid) {
    cancelTransformableRequest(request_handle);
    promise->set_exception(
      std::make_exception_ptr(tf2::TimeoutException("Timed out waiting for transform")));
    callback(future);
  }
}

void Buffer::cancel(const TransformStampedFuture & ts_future)
{
  cancelTransformableRequest(ts_future.getHandle());
  std::lock_guard<std::mutex> lock(timer_to_request_map_mutex_);
  timer_to_request_map_.erase(ts_future.getHandle());
}

}  // namespace tf2_ros
