#include "tf2_ros/buffer.h"

#include <algorithm>
#include <chrono>
#include <future>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <utility>

#include "tf2/exceptions.h"

namespace tf2_ros
{

namespace
{
constexpr tf2::TransformableRequestHandle kNeverTransformable = 0xffffffffffffffffULL;

// The listener thread fills the buffer behind our back; the wait just looks again this often.
constexpr std::chrono::milliseconds kPollPeriod{10};

int64_t saturatingAdd(int64_t a, int64_t b)
{
  if (b > 0 && a > std::numeric_limits<int64_t>::max() - b) {
    return std::numeric_limits<int64_t>::max();
  }
  if (b < 0 && a < std::numeric_limits<int64_t>::min() - b) {
    return std::numeric_limits<int64_t>::min();
  }
  return a + b;
}

void appendTimeoutInfo(
  std::string * errstr, const rclcpp::Time & start, const rclcpp::Time & end,
  const tf2::Duration & timeout)
{
  if (errstr == nullptr) {
    return;
  }
  std::stringstream ss;
  ss << ". canTransform returned after " << (end - start).seconds() << " timeout was " <<
    tf2::durationToSec(timeout) << ".";
  *errstr += ss.str();
}
}  // namespace

struct Buffer::AsyncRequest
{
  std::mutex mutex;
  bool done{false};
  bool has_timer{false};
  TimerHandle timer{0};
  CreateTimerInterface::SharedPtr timers;
  std::string target;
  std::string source;
  tf2::TimePoint time;
  std::promise<geometry_msgs::msg::TransformStamped> promise;
  TransformStampedFuture future;
  TransformReadyCallback callback;
};

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
  // A shutdown must end every waiting lookup at once rather than at its time-out.
  context_ = rclcpp::contexts::get_global_default_context();
  shutdown_handle_ = context_->add_on_shutdown_callback([this]() {wake();});
}

Buffer::~Buffer()
{
  jump_handler_.reset();
  frames_server_.reset();
  context_->remove_on_shutdown_callback(shutdown_handle_);
  std::map<tf2::TransformableRequestHandle, std::shared_ptr<AsyncRequest>> pending;
  {
    std::lock_guard<std::mutex> lock(async_mutex_);
    pending.swap(async_requests_);
  }
  for (const auto & entry : pending) {
    TransformStampedFuture future;
    if (finishAsync(entry.second, future)) {
      cancelTransformableRequest(entry.first);
    }
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
  } else if (jump.clock_change == RCL_ROS_TIME_NO_CHANGE && jump.delta.nanoseconds < 0) {
    RCLCPP_WARN(getLogger(), "Detected jump back in time. Clearing TF buffer.");
    clear();
  }
}

void Buffer::getFrames(
  const tf2_msgs::srv::FrameGraph::Request::SharedPtr,
  tf2_msgs::srv::FrameGraph::Response::SharedPtr response)
{
  response->frame_yaml = allFramesAsYAML();
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

void Buffer::wake() const
{
  // Passing through the lock keeps the notification from falling between a waiter's check of
  // rclcpp::ok() and its sleep.
  {
    std::lock_guard<std::mutex> lock(wait_mutex_);
  }
  wait_cv_.notify_all();
}

void Buffer::waitUntil(const std::function<bool()> & ready, const tf2::Duration & timeout) const
{
  const int64_t deadline = saturatingAdd(clock_->now().nanoseconds(), timeout.count());
  while (clock_->now().nanoseconds() < deadline && !ready() && rclcpp::ok()) {
    std::unique_lock<std::mutex> lock(wait_mutex_);
    wait_cv_.wait_for(lock, kPollPeriod, []() {return !rclcpp::ok();});
  }
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

bool Buffer::canTransform(
  const std::string & target_frame, const std::string & source_frame,
  const tf2::TimePoint & time, const tf2::Duration timeout, std::string * errstr) const
{
  if (!checkAndErrorDedicatedThreadPresent(errstr)) {
    return false;
  }
  const rclcpp::Time start = clock_->now();
  waitUntil(
    [&]() {
      std::string quiet;
      return canTransform(target_frame, source_frame, time, &quiet);
    },
    timeout);
  const bool result = canTransform(target_frame, source_frame, time, errstr);
  appendTimeoutInfo(errstr, start, clock_->now(), timeout);
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
  const rclcpp::Time start = clock_->now();
  waitUntil(
    [&]() {
      std::string quiet;
      return canTransform(
        target_frame, target_time, source_frame, source_time, fixed_frame, &quiet);
    },
    timeout);
  const bool result = canTransform(
    target_frame, target_time, source_frame, source_time, fixed_frame, errstr);
  appendTimeoutInfo(errstr, start, clock_->now(), timeout);
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

TransformStampedFuture Buffer::waitForTransform(
  const std::string & target_frame, const std::string & source_frame,
  const tf2::TimePoint & time, const tf2::Duration & timeout, TransformReadyCallback callback)
{
  CreateTimerInterface::SharedPtr timers;
  {
    std::lock_guard<std::mutex> lock(async_mutex_);
    timers = timer_interface_;
  }
  if (!timers) {
    throw CreateTimerInterfaceException("timer interface not set before call to waitForTransform");
  }

  auto request = std::make_shared<AsyncRequest>();
  request->target = target_frame;
  request->source = source_frame;
  request->time = time;
  request->callback = std::move(callback);
  request->future = TransformStampedFuture(request->promise.get_future());
  request->timers = timers;
  std::weak_ptr<AsyncRequest> weak_request = request;

  const auto handle = addTransformableRequest(
    [this, weak_request](tf2::TransformableRequestHandle, const std::string &,
    const std::string &, tf2::TimePoint, tf2::TransformableResult result) {
      if (auto pending = weak_request.lock()) {
        completeAsync(pending, result);
      }
    },
    target_frame, source_frame, time);

  if (handle == 0 || handle == kNeverTransformable) {
    // Not registered with BufferCore, so nothing else can complete this request.
    request->done = true;
    request->future.setHandle(handle);
    if (handle == 0) {
      try {
        request->promise.set_value(lookupTransform(target_frame, source_frame, time));
      } catch (const tf2::TransformException &) {
        request->promise.set_exception(std::current_exception());
      }
    } else {
      request->promise.set_exception(
        std::make_exception_ptr(
          tf2::LookupException(
            "Failed to transform from " + source_frame + " to " + target_frame)));
    }
    request->callback(request->future);
    return request->future;
  }

  // The transform may have arrived already; the request's lock orders this against completion.
  std::lock_guard<std::mutex> request_lock(request->mutex);
  request->future.setHandle(handle);
  if (request->done) {
    return request->future;
  }
  {
    std::lock_guard<std::mutex> lock(async_mutex_);
    async_requests_[handle] = request;
  }
  request->timer = timers->createTimer(
    clock_, timeout, [this, weak_request](const TimerHandle &) {
      if (auto pending = weak_request.lock()) {
        timeoutAsync(pending);
      }
    });
  request->has_timer = true;
  return request->future;
}

bool Buffer::finishAsync(
  const std::shared_ptr<AsyncRequest> & request, TransformStampedFuture & future)
{
  bool has_timer = false;
  TimerHandle timer = 0;
  {
    std::lock_guard<std::mutex> lock(request->mutex);
    if (request->done) {
      return false;
    }
    request->done = true;
    has_timer = request->has_timer;
    timer = request->timer;
    future = request->future;
  }
  {
    std::lock_guard<std::mutex> lock(async_mutex_);
    async_requests_.erase(future.getHandle());
  }
  if (has_timer) {
    try {
      request->timers->remove(timer);
    } catch (const InvalidTimerHandleException &) {
      // Already gone: the timer interface was cleared or replaced.
    }
  }
  return true;
}

void Buffer::completeAsync(
  const std::shared_ptr<AsyncRequest> & request, tf2::TransformableResult result)
{
  TransformStampedFuture future;
  if (!finishAsync(request, future)) {
    return;
  }
  if (result == tf2::TransformAvailable) {
    try {
      request->promise.set_value(lookupTransform(request->target, request->source, request->time));
    } catch (const tf2::TransformException &) {
      request->promise.set_exception(std::current_exception());
    }
  } else {
    request->promise.set_exception(
      std::make_exception_ptr(
        tf2::LookupException(
          "Failed to transform from " + request->source + " to " + request->target)));
  }
  request->callback(future);
}

void Buffer::timeoutAsync(const std::shared_ptr<AsyncRequest> & request)
{
  TransformStampedFuture future;
  if (!finishAsync(request, future)) {
    return;
  }
  cancelTransformableRequest(future.getHandle());
  request->promise.set_exception(
    std::make_exception_ptr(tf2::TimeoutException("Timed out waiting for transform")));
  request->callback(future);
}

void Buffer::cancel(const TransformStampedFuture & ts_future)
{
  std::shared_ptr<AsyncRequest> request;
  {
    std::lock_guard<std::mutex> lock(async_mutex_);
    auto it = async_requests_.find(ts_future.getHandle());
    if (it == async_requests_.end()) {
      return;
    }
    request = it->second;
  }
  TransformStampedFuture future;
  if (finishAsync(request, future)) {
    cancelTransformableRequest(ts_future.getHandle());
  }
}

}  // namespace tf2_ros
