// Holds stamped messages until every target frame can be transformed from the message's frame at
// its stamp, then passes them on; drops them on queue overflow or when the transforms do not arrive
// within the buffer time-out. Delivery happens on the thread that makes the transforms available,
// on the adding thread when they already are, or on the executor thread of the time-out timer.
#ifndef TF2_ROS__MESSAGE_FILTER_H_
#define TF2_ROS__MESSAGE_FILTER_H_

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "message_filters/connection.h"
#include "message_filters/message_event.h"
#include "message_filters/message_traits.h"
#include "message_filters/simple_filter.h"
#include "rclcpp/rclcpp.hpp"
#include "tf2/buffer_core.h"
#include "tf2/time.h"
#include "tf2_ros/async_buffer_interface.h"
#include "tf2_ros/buffer.h"
#include "tf2_ros/buffer_interface.h"

namespace tf2_ros
{

namespace filter_failure_reasons
{
enum FilterFailureReason
{
  Unknown,
  OutTheBack,
  EmptyFrameID,
  NoTransformFound,
  QueueFull,
  FilterFailureReasonCount,
};
}  // namespace filter_failure_reasons

typedef filter_failure_reasons::FilterFailureReason FilterFailureReason;

inline std::string get_filter_failure_reason_string(FilterFailureReason reason)
{
  switch (reason) {
    case filter_failure_reasons::OutTheBack:
      return "the timestamp on the message is earlier than all the data in the transform cache";
    case filter_failure_reasons::EmptyFrameID:
      return "the frame id of the message is empty";
    case filter_failure_reasons::NoTransformFound:
      return "did not find a valid transform, this usually happens at startup ...";
    case filter_failure_reasons::QueueFull:
      return "discarding message because the queue is full";
    default:
      return "unknown";
  }
}

class MessageFilterBase
{
public:
  typedef std::vector<std::string> V_string;

  virtual ~MessageFilterBase() = default;
  virtual void clear() = 0;
  virtual void setTargetFrame(const std::string & target_frame) = 0;
  virtual void setTargetFrames(const V_string & target_frames) = 0;
  virtual void setTolerance(const rclcpp::Duration & tolerance) = 0;
};

template<class M, class BufferT = tf2_ros::Buffer>
class MessageFilter : public MessageFilterBase, public message_filters::SimpleFilter<M>
{
public:
  using MConstPtr = std::shared_ptr<M const>;
  typedef message_filters::MessageEvent<M const> MEvent;

  template<typename TimeRepT = int64_t, typename TimeT = std::nano>
  MessageFilter(
    BufferT & buffer, const std::string & target_frame, uint32_t queue_size,
    const rclcpp::Node::SharedPtr & node,
    std::chrono::duration<TimeRepT, TimeT> buffer_timeout =
    std::chrono::duration<TimeRepT, TimeT>::max())
  : MessageFilter(
      buffer, target_frame, queue_size, node->get_node_logging_interface(),
      node->get_node_clock_interface(), buffer_timeout)
  {
  }

  template<typename TimeRepT = int64_t, typename TimeT = std::nano>
  MessageFilter(
    BufferT & buffer, const std::string & target_frame, uint32_t queue_size,
    const rclcpp::node_interfaces::NodeLoggingInterface::SharedPtr & node_logging,
    const rclcpp::node_interfaces::NodeClockInterface::SharedPtr & node_clock,
    std::chrono::duration<TimeRepT, TimeT> buffer_timeout =
    std::chrono::duration<TimeRepT, TimeT>::max())
  : node_logging_(node_logging), node_clock_(node_clock), buffer_(buffer),
    buffer_timeout_(toTf2Duration(buffer_timeout)), queue_size_(queue_size)
  {
    setTargetFrame(target_frame);
  }

  template<class F, typename TimeRepT = int64_t, typename TimeT = std::nano>
  MessageFilter(
    F & f, BufferT & buffer, const std::string & target_frame, uint32_t queue_size,
    const rclcpp::Node::SharedPtr & node,
    std::chrono::duration<TimeRepT, TimeT> buffer_timeout =
    std::chrono::duration<TimeRepT, TimeT>::max())
  : MessageFilter(
      f, buffer, target_frame, queue_size, node->get_node_logging_interface(),
      node->get_node_clock_interface(), buffer_timeout)
  {
  }

  template<class F, typename TimeRepT = int64_t, typename TimeT = std::nano>
  MessageFilter(
    F & f, BufferT & buffer, const std::string & target_frame, uint32_t queue_size,
    const rclcpp::node_interfaces::NodeLoggingInterface::SharedPtr & node_logging,
    const rclcpp::node_interfaces::NodeClockInterface::SharedPtr & node_clock,
    std::chrono::duration<TimeRepT, TimeT> buffer_timeout =
    std::chrono::duration<TimeRepT, TimeT>::max())
  : MessageFilter(buffer, target_frame, queue_size, node_logging, node_clock, buffer_timeout)
  {
    connectInput(f);
  }

  // As in geometry2 0.25.8 it waits for nothing: the buffer's callbacks hold this filter's raw
  // address, and cancelling only keeps out deliveries that have not started. A delivery from
  // setTransform runs under the buffer's request lock that cancel takes, but a time-out delivery
  // already running on an executor thread still reaches the destroyed filter.
  ~MessageFilter() override
  {
    message_connection_.disconnect();
    MessageFilter::clear();
  }

  template<class F>
  void connectInput(F & f)
  {
    message_connection_.disconnect();
    message_connection_ = f.registerCallback(&MessageFilter::incomingMessage, this);
  }

  void setTargetFrame(const std::string & target_frame) override
  {
    setTargetFrames(V_string{target_frame});
  }

  void setTargetFrames(const V_string & target_frames) override
  {
    V_string stripped;
    stripped.reserve(target_frames.size());
    for (const auto & frame : target_frames) {
      stripped.push_back(stripSlash(frame));
    }
    std::lock_guard<std::mutex> lock(frames_mutex_);
    target_frames_ = std::move(stripped);
  }

  std::string getTargetFramesString()
  {
    std::lock_guard<std::mutex> lock(frames_mutex_);
    std::string joined;
    for (const auto & frame : target_frames_) {
      joined += frame + " ";
    }
    return joined;
  }

  void setTolerance(const rclcpp::Duration & tolerance) override
  {
    std::lock_guard<std::mutex> lock(frames_mutex_);
    time_tolerance_ = tolerance;
  }

  // Withdraws the pending transform requests, then drops every queued message.
  void clear() override
  {
    std::vector<TransformStampedFuture> pending;
    {
      std::lock_guard<std::mutex> lock(messages_mutex_);
      for (const auto & message : messages_) {
        pending.insert(pending.end(), message.futures.begin(), message.futures.end());
      }
    }
    for (const auto & future : pending) {
      buffer_.cancel(future);
    }
    std::lock_guard<std::mutex> lock(messages_mutex_);
    messages_.clear();
  }

  void add(const MEvent & evt)
  {
    if (!evt.getConstMessage()) {
      return;
    }
    V_string targets;
    std::vector<tf2::TimePoint> times;
    std::string frame_id;
    if (!prepare(evt, targets, times, frame_id)) {
      return;
    }
    const uint64_t id = enqueue(evt, frame_id, times.front(), targets.size() * times.size());
    try {
      for (const auto & target : targets) {
        for (const auto & time : times) {
          auto future = buffer_.waitForTransform(
            target, frame_id, time, buffer_timeout_,
            std::bind(&MessageFilter::transformReadyCallback, this, std::placeholders::_1, id));
          if (!remember(id, future)) {
            buffer_.cancel(future);
            return;
          }
        }
      }
    } catch (...) {
      std::list<PendingMessage> failed = take(id);
      cancelRequests(failed);
      throw;
    }
    enforceQueueSize(id);
  }

  // Messages added directly are stamped as received now on the node's clock.
  void add(const MConstPtr & message)
  {
    add(MEvent(message, node_clock_->get_clock()->now()));
  }

  virtual void setQueueSize(uint32_t new_queue_size)
  {
    std::lock_guard<std::mutex> lock(messages_mutex_);
    queue_size_ = new_queue_size;
  }

  virtual uint32_t getQueueSize()
  {
    std::lock_guard<std::mutex> lock(messages_mutex_);
    return queue_size_;
  }

private:
  struct PendingMessage
  {
    uint64_t id;
    MEvent event;
    std::string frame_id;
    tf2::TimePoint stamp;
    size_t expected;
    size_t answered;
    bool failed;
    std::vector<TransformStampedFuture> futures;
  };

  uint64_t enqueue(
    const MEvent & evt, const std::string & frame_id, tf2::TimePoint stamp, size_t expected)
  {
    std::lock_guard<std::mutex> lock(messages_mutex_);
    const uint64_t id = next_id_++;
    messages_.push_back(PendingMessage{id, evt, frame_id, stamp, expected, 0, false, {}});
    return id;
  }

  // False when the message is gone already (delivered, dropped or cleared).
  bool remember(uint64_t id, const TransformStampedFuture & future)
  {
    std::lock_guard<std::mutex> lock(messages_mutex_);
    auto it = find(id);
    if (it == messages_.end()) {
      return false;
    }
    it->futures.push_back(future);
    return true;
  }

  std::list<PendingMessage> take(uint64_t id)
  {
    std::lock_guard<std::mutex> lock(messages_mutex_);
    std::list<PendingMessage> taken;
    auto it = find(id);
    if (it != messages_.end()) {
      taken.splice(taken.end(), messages_, it);
    }
    return taken;
  }

  typename std::list<PendingMessage>::iterator find(uint64_t id)
  {
    return std::find_if(
      messages_.begin(), messages_.end(),
      [id](const PendingMessage & pending) {return pending.id == id;});
  }

  template<typename TimeRepT, typename TimeT>
  static tf2::Duration toTf2Duration(std::chrono::duration<TimeRepT, TimeT> timeout)
  {
    // Anything beyond what nanoseconds hold means "wait forever".
    const std::chrono::duration<double> seconds = timeout;
    if (seconds >= std::chrono::duration<double>(tf2::Duration::max())) {
      return tf2::Duration::max();
    }
    return std::chrono::duration_cast<tf2::Duration>(timeout);
  }

  static std::string stripSlash(const std::string & frame)
  {
    if (!frame.empty() && frame.front() == '/') {
      return frame.substr(1);
    }
    return frame;
  }

  static tf2::TimePoint toTimePoint(const rclcpp::Time & stamp)
  {
    return tf2::TimePoint(std::chrono::nanoseconds(stamp.nanoseconds()));
  }

  static bool succeeded(const TransformStampedFuture & future)
  {
    try {
      future.get();
      return true;
    } catch (...) {
      return false;
    }
  }

  void cancelRequests(std::list<PendingMessage> & pending)
  {
    for (auto & message : pending) {
      for (const auto & future : message.futures) {
        buffer_.cancel(future);
      }
    }
  }

  void incomingMessage(const MEvent & evt)
  {
    add(evt);
  }

  // Reads what one message needs; false when the message is ignored or dropped right away.
  bool prepare(
    const MEvent & evt, V_string & targets, std::vector<tf2::TimePoint> & times,
    std::string & frame_id)
  {
    namespace mt = message_filters::message_traits;
    rclcpp::Duration tolerance(0, 0);
    {
      std::lock_guard<std::mutex> lock(frames_mutex_);
      targets = target_frames_;
      tolerance = time_tolerance_;
    }
    if (targets.empty()) {
      return false;
    }
    const M & message = *evt.getConstMessage();
    frame_id = stripSlash(mt::FrameId<M>::value(message));
    if (frame_id.empty()) {
      messageDropped(evt, filter_failure_reasons::EmptyFrameID);
      return false;
    }
    const tf2::TimePoint stamp = toTimePoint(mt::TimeStamp<M>::value(message));
    times.push_back(stamp);
    if (tolerance.nanoseconds() != 0) {
      times.push_back(stamp + std::chrono::nanoseconds(tolerance.nanoseconds()));
    }
    return true;
  }

  // Every answer, success or failure, counts; the message is decided once all have come. Nothing
  // is cancelled from here: a delivery from setTransform holds the buffer's request lock.
  void transformReadyCallback(const TransformStampedFuture & future, uint64_t id)
  {
    const bool ok = succeeded(future);
    std::list<PendingMessage> finished;
    {
      std::lock_guard<std::mutex> lock(messages_mutex_);
      auto it = find(id);
      if (it == messages_.end()) {
        return;
      }
      it->failed = it->failed || !ok;
      if (++it->answered < it->expected) {
        return;
      }
      finished.splice(finished.end(), messages_, it);
    }
    const PendingMessage & message = finished.front();
    if (message.failed) {
      messageDropped(message.event, filter_failure_reasons::OutTheBack);
    } else if (canTransformAll(message)) {
      this->signalMessage(message.event);
    } else {
      messageDropped(message.event, filter_failure_reasons::Unknown);
    }
  }

  // Final check against the current targets: the transforms may have been cleared meanwhile.
  bool canTransformAll(const PendingMessage & message)
  {
    V_string targets;
    rclcpp::Duration tolerance(0, 0);
    {
      std::lock_guard<std::mutex> lock(frames_mutex_);
      targets = target_frames_;
      tolerance = time_tolerance_;
    }
    std::string error;
    for (const auto & target : targets) {
      if (!buffer_.canTransform(target, message.frame_id, message.stamp, &error)) {
        return false;
      }
      if (tolerance.nanoseconds() != 0 &&
        !buffer_.canTransform(
          target, message.frame_id,
          message.stamp + std::chrono::nanoseconds(tolerance.nanoseconds()), &error))
      {
        return false;
      }
    }
    return true;
  }

  void enforceQueueSize(uint64_t newest_id)
  {
    std::list<PendingMessage> evicted;
    {
      std::lock_guard<std::mutex> lock(messages_mutex_);
      if (queue_size_ == 0 || find(newest_id) == messages_.end()) {
        return;
      }
      while (messages_.size() > queue_size_) {
        evicted.splice(evicted.end(), messages_, messages_.begin());
      }
    }
    cancelRequests(evicted);
    for (const auto & message : evicted) {
      messageDropped(message.event, filter_failure_reasons::QueueFull);
    }
  }

  void messageDropped(const MEvent & evt, FilterFailureReason reason)
  {
    namespace mt = message_filters::message_traits;
    const M & message = *evt.getConstMessage();
    const std::string frame_id = stripSlash(mt::FrameId<M>::value(message));
    const rclcpp::Time stamp = mt::TimeStamp<M>::value(message);
    RCLCPP_INFO(
      node_logging_->get_logger(),
      "Message Filter dropping message: frame '%s' at time %.3f for reason '%s'",
      frame_id.c_str(), stamp.seconds(), get_filter_failure_reason_string(reason).c_str());
  }

  rclcpp::node_interfaces::NodeLoggingInterface::SharedPtr node_logging_;
  rclcpp::node_interfaces::NodeClockInterface::SharedPtr node_clock_;
  BufferT & buffer_;
  const tf2::Duration buffer_timeout_;

  std::mutex frames_mutex_;
  V_string target_frames_;
  rclcpp::Duration time_tolerance_{0, 0};

  message_filters::Connection message_connection_;

  std::mutex messages_mutex_;
  std::list<PendingMessage> messages_;
  uint64_t next_id_{0};
  uint32_t queue_size_;
};

}  // namespace tf2_ros

#endif  // TF2_ROS__MESSAGE_FILTER_H_
