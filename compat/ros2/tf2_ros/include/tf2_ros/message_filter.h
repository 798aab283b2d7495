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
#include <ratio>
#include <sstream>
#include <string>
#include <tuple>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "builtin_interfaces/msg/time.hpp"
#include "message_filters/connection.h"
#include "message_filters/message_traits.h"
#include "message_filters/simple_filter.h"
#include "rclcpp/rclcpp.hpp"
#include "tf2/buffer_core_interface.h"
#include "tf2/time.h"
#include "tf2_ros/async_buffer_interface.h"
#include "tf2_ros/buffer.h"

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

// Each message waits for one transform per target frame (two with a tolerance: at its stamp and
// at stamp + tolerance). It is decided when as many answers as that have come, on the last answer
// alone: if that one failed the message is dropped as OutTheBack, else it is passed on when every
// transform can be looked up now, and dropped as Unknown otherwise. The requests of a message
// pushed out of a full queue are left running.
//
// clear() and the destructor cancel the pending requests while holding the filter's futures lock;
// a delivery from setTransform takes the buffer's request locks and then that futures lock: a
// clear racing a /tf message can deadlock. The buffer's callbacks hold this filter's raw address,
// and a cancelled request's time-out timer stays armed (see Buffer::cancel): a filter must outlive
// its requests' time-outs, or their executor must be stopped first.
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
    static_assert(
      std::is_base_of<tf2::BufferCoreInterface, BufferT>::value,
      "Buffer type must implement tf2::BufferCoreInterface");
    static_assert(
      std::is_base_of<tf2_ros::AsyncBufferInterface, BufferT>::value,
      "Buffer type must implement tf2_ros::AsyncBufferInterface");
  }

  // The time-out converts to nanoseconds as it comes: a longer unit near its maximum overflows.
  template<typename TimeRepT = int64_t, typename TimeT = std::nano>
  MessageFilter(
    BufferT & buffer, const std::string & target_frame, uint32_t queue_size,
    const rclcpp::node_interfaces::NodeLoggingInterface::SharedPtr & node_logging,
    const rclcpp::node_interfaces::NodeClockInterface::SharedPtr & node_clock,
    std::chrono::duration<TimeRepT, TimeT> buffer_timeout =
    std::chrono::duration<TimeRepT, TimeT>::max())
  : node_logging_(node_logging), node_clock_(node_clock), buffer_(buffer),
    queue_size_(queue_size), buffer_timeout_(buffer_timeout)
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

  ~MessageFilter()
  {
    message_connection_.disconnect();
    clear();
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
    std::lock_guard<std::mutex> lock(target_frames_mutex_);
    target_frames_.clear();
    std::string joined;
    for (const auto & frame : target_frames) {
      target_frames_.push_back(stripSlash(frame));
      joined += target_frames_.back() + " ";
    }
    target_frames_string_ = joined;
    expected_success_count_ = answersPerMessage();
  }

  std::string getTargetFramesString()
  {
    std::lock_guard<std::mutex> lock(target_frames_mutex_);
    return target_frames_string_;
  }

  void setTolerance(const rclcpp::Duration & tolerance) override
  {
    std::lock_guard<std::mutex> lock(target_frames_mutex_);
    time_tolerance_ = tolerance;
    expected_success_count_ = answersPerMessage();
  }

  void clear() override
  {
    {
      std::lock_guard<std::mutex> lock(ts_futures_mutex_);
      for (auto & pending : ts_futures_) {
        buffer_.cancel(pending.second);
      }
      ts_futures_.clear();
    }
    std::lock_guard<std::mutex> lock(messages_mutex_);
    messages_.clear();
  }

  // The target frames and the tolerance are read without the frames lock, the handle counter is
  // not synchronised: messages come from one thread at a time, and the frames are set beforehand.
  void add(const MEvent & evt)
  {
    if (target_frames_.empty()) {
      return;
    }
    namespace mt = message_filters::message_traits;
    const MConstPtr & message = evt.getMessage();
    const std::string frame_id = stripSlash(mt::FrameId<M>::value(*message));
    const rclcpp::Time stamp = mt::TimeStamp<M>::value(*message);
    if (frame_id.empty()) {
      messageDropped(evt, filter_failure_reasons::EmptyFrameID);
      return;
    }

    std::vector<std::tuple<uint64_t, tf2::TimePoint, std::string>> waits;
    MessageInfo info;
    V_string targets;
    {
      std::lock_guard<std::mutex> lock(target_frames_mutex_);
      targets = target_frames_;
    }
    for (const auto & target : targets) {
      waits.emplace_back(next_handle_index_, tf2_ros::fromRclcpp(stamp), target);
      info.handles.push_back(next_handle_index_++);
      if (time_tolerance_.nanoseconds()) {
        waits.emplace_back(next_handle_index_, tf2_ros::fromRclcpp(stamp + time_tolerance_), target);
        info.handles.push_back(next_handle_index_++);
      }
    }
    {
      std::lock_guard<std::mutex> lock(messages_mutex_);
      if (queue_size_ != 0 && messages_.size() + 1 > queue_size_) {
        messageDropped(messages_.front().event, filter_failure_reasons::QueueFull);
        messages_.pop_front();
      }
      info.event = evt;
      messages_.push_back(info);
    }

    for (const auto & wait : waits) {
      const uint64_t handle = std::get<0>(wait);
      TransformStampedFuture future = buffer_.waitForTransform(
        std::get<2>(wait), frame_id, std::get<1>(wait), buffer_timeout_,
        std::bind(&MessageFilter::transformReadyCallback, this, std::placeholders::_1, handle));
      if (future.getHandle() != 0 && future.getHandle() != 0xffffffffffffffffULL) {
        std::lock_guard<std::mutex> lock(ts_futures_mutex_);
        ts_futures_.insert({handle, std::move(future)});
      }
    }
  }

  // Messages added directly are stamped as received now on the node's clock.
  void add(const MConstPtr & message)
  {
    const builtin_interfaces::msg::Time now = node_clock_->get_clock()->now();
    add(MEvent(message, now));
  }

  virtual void setQueueSize(uint32_t new_queue_size)
  {
    queue_size_ = new_queue_size;
  }

  virtual uint32_t getQueueSize()
  {
    return queue_size_;
  }

private:
  struct MessageInfo
  {
    MEvent event;
    std::vector<uint64_t> handles;
    uint64_t success_count{0};
  };

  uint64_t answersPerMessage() const
  {
    return target_frames_.size() * (time_tolerance_.nanoseconds() ? 2 : 1);
  }

  static std::string stripSlash(const std::string & in)
  {
    if (!in.empty() && in[0] == '/') {
      return in.substr(1);
    }
    return in;
  }

  void incomingMessage(const message_filters::MessageEvent<M const> & evt)
  {
    add(evt);
  }

  // Counts the answer for its message; the message's last answer decides it.
  void transformReadyCallback(const TransformStampedFuture & future, const uint64_t handle)
  {
    {
      std::lock_guard<std::mutex> lock(ts_futures_mutex_);
      ts_futures_.erase(handle);
    }
    MEvent decided;
    bool is_decided = false;
    {
      std::lock_guard<std::mutex> lock(messages_mutex_);
      for (auto it = messages_.begin(); it != messages_.end(); ++it) {
        if (std::find(it->handles.begin(), it->handles.end(), handle) == it->handles.end()) {
          continue;
        }
        if (++it->success_count >= expected_success_count_) {
          decided = it->event;
          messages_.erase(it);
          is_decided = true;
        }
        break;
      }
    }
    if (!is_decided) {
      return;
    }

    namespace mt = message_filters::message_traits;
    const MConstPtr & message = decided.getMessage();
    const std::string frame_id = stripSlash(mt::FrameId<M>::value(*message));
    const rclcpp::Time stamp = mt::TimeStamp<M>::value(*message);
    bool transform_available = true;
    try {
      future.get();
    } catch (...) {
      transform_available = false;
    }
    if (!transform_available) {
      messageDropped(decided, filter_failure_reasons::OutTheBack);
    } else if (canTransformAll(frame_id, stamp)) {
      this->signalMessage(decided);
    } else {
      messageDropped(decided, filter_failure_reasons::Unknown);
    }
  }

  // Under the frames lock; without an error string the buffer logs invalid frames as warnings.
  bool canTransformAll(const std::string & frame_id, const rclcpp::Time & stamp)
  {
    std::lock_guard<std::mutex> lock(target_frames_mutex_);
    for (const auto & target : target_frames_) {
      if (!buffer_.canTransform(target, frame_id, tf2_ros::fromRclcpp(stamp), NULL)) {
        return false;
      }
      if (time_tolerance_.nanoseconds() &&
        !buffer_.canTransform(
          target, frame_id, tf2_ros::fromRclcpp(stamp + time_tolerance_), NULL))
      {
        return false;
      }
    }
    return true;
  }

  void messageDropped(const MEvent & evt, FilterFailureReason reason)
  {
    namespace mt = message_filters::message_traits;
    const MConstPtr & message = evt.getMessage();
    const std::string frame_id = stripSlash(mt::FrameId<M>::value(*message));
    const rclcpp::Time stamp = mt::TimeStamp<M>::value(*message);
    RCLCPP_INFO(
      node_logging_->get_logger(),
      "Message Filter dropping message: frame '%s' at time %.3f for reason '%s'",
      frame_id.c_str(), stamp.seconds(), get_filter_failure_reason_string(reason).c_str());
  }

  const rclcpp::node_interfaces::NodeLoggingInterface::SharedPtr node_logging_;
  const rclcpp::node_interfaces::NodeClockInterface::SharedPtr node_clock_;
  BufferT & buffer_;

  V_string target_frames_;
  std::string target_frames_string_;
  std::mutex target_frames_mutex_;
  rclcpp::Duration time_tolerance_ = rclcpp::Duration(0, 0);
  uint64_t expected_success_count_{1};

  uint32_t queue_size_;
  uint64_t next_handle_index_ = 0;
  std::list<MessageInfo> messages_;
  std::mutex messages_mutex_;

  message_filters::Connection message_connection_;
  tf2::Duration buffer_timeout_;

  std::mutex ts_futures_mutex_;
  // The futures of requests still pending in the buffer, by their handle in messages_.
  std::unordered_map<uint64_t, TransformStampedFuture> ts_futures_;
};

}  // namespace tf2_ros

#endif  // TF2_ROS__MESSAGE_FILTER_H_
