// Conversions between tf2, message and rclcpp time types, and the timed lookup interface that
// transform() is built on.
#ifndef TF2_ROS__BUFFER_INTERFACE_H_
#define TF2_ROS__BUFFER_INTERFACE_H_

#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <string>

#include "builtin_interfaces/msg/duration.hpp"
#include "builtin_interfaces/msg/time.hpp"
#include "geometry_msgs/msg/transform_stamped.hpp"
#include "rclcpp/rclcpp.hpp"
#include "tf2/convert.h"
#include "tf2/exceptions.h"
#include "tf2/time.h"
#include "tf2/transform_datatypes.h"

namespace tf2_ros
{

namespace detail
{
// Whole seconds toward zero and the nanoseconds taken modulo 1e9 as an unsigned count: before
// the epoch the two do not add up to the original value (-1.5 s gives -1 s and 209551616 ns).
template<typename MsgT>
MsgT splitNanoseconds(std::chrono::nanoseconds ns)
{
  MsgT msg;
  msg.sec = static_cast<int32_t>(std::chrono::duration_cast<std::chrono::seconds>(ns).count());
  msg.nanosec = static_cast<uint32_t>(static_cast<uint64_t>(ns.count()) % 1000000000ull);
  return msg;
}
}  // namespace detail

inline builtin_interfaces::msg::Time toMsg(const tf2::TimePoint & t)
{
  return detail::splitNanoseconds<builtin_interfaces::msg::Time>(
    std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()));
}

inline tf2::TimePoint fromMsg(const builtin_interfaces::msg::Time & time_msg)
{
  const int64_t ns = static_cast<int64_t>(time_msg.sec) * 1000000000LL +
    static_cast<int64_t>(time_msg.nanosec);
  return tf2::TimePoint(std::chrono::duration_cast<tf2::Duration>(std::chrono::nanoseconds(ns)));
}

inline builtin_interfaces::msg::Duration toMsg(const tf2::Duration & t)
{
  return detail::splitNanoseconds<builtin_interfaces::msg::Duration>(
    std::chrono::duration_cast<std::chrono::nanoseconds>(t));
}

inline tf2::Duration fromMsg(const builtin_interfaces::msg::Duration & duration_msg)
{
  const int64_t ns = static_cast<int64_t>(duration_msg.sec) * 1000000000LL +
    static_cast<int64_t>(duration_msg.nanosec);
  return std::chrono::duration_cast<tf2::Duration>(std::chrono::nanoseconds(ns));
}

inline double timeToSec(const builtin_interfaces::msg::Time & time_msg)
{
  return static_cast<double>(time_msg.sec) + static_cast<double>(time_msg.nanosec) / 1e9;
}

inline tf2::TimePoint fromRclcpp(const rclcpp::Time & time)
{
  return tf2::TimePoint(
    std::chrono::duration_cast<tf2::Duration>(std::chrono::nanoseconds(time.nanoseconds())));
}

// The result carries the system clock type whatever clock the TimePoint came from.
inline rclcpp::Time toRclcpp(const tf2::TimePoint & time)
{
  return rclcpp::Time(
    std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count());
}

inline tf2::Duration fromRclcpp(const rclcpp::Duration & duration)
{
  return tf2::Duration(std::chrono::nanoseconds(duration.nanoseconds()));
}

inline rclcpp::Duration toRclcpp(const tf2::Duration & duration)
{
  return rclcpp::Duration(std::chrono::duration_cast<std::chrono::nanoseconds>(duration));
}

class BufferInterface
{
public:
  virtual ~BufferInterface() = default;

  virtual geometry_msgs::msg::TransformStamped
  lookupTransform(
    const std::string & target_frame, const std::string & source_frame,
    const tf2::TimePoint & time, const tf2::Duration timeout) const = 0;

  virtual geometry_msgs::msg::TransformStamped
  lookupTransform(
    const std::string & target_frame, const tf2::TimePoint & target_time,
    const std::string & source_frame, const tf2::TimePoint & source_time,
    const std::string & fixed_frame, const tf2::Duration timeout) const = 0;

  virtual bool
  canTransform(
    const std::string & target_frame, const std::string & source_frame,
    const tf2::TimePoint & time, const tf2::Duration timeout,
    std::string * errstr = NULL) const = 0;

  virtual bool
  canTransform(
    const std::string & target_frame, const tf2::TimePoint & target_time,
    const std::string & source_frame, const tf2::TimePoint & source_time,
    const std::string & fixed_frame, const tf2::Duration timeout,
    std::string * errstr = NULL) const = 0;

  template<class T>
  T & transform(
    const T & in, T & out, const std::string & target_frame,
    tf2::Duration timeout = tf2::durationFromSec(0.0)) const
  {
    tf2::doTransform(
      in, out, lookupTransform(target_frame, tf2::getFrameId(in), tf2::getTimestamp(in), timeout));
    return out;
  }

  template<class T>
  T transform(
    const T & in, const std::string & target_frame,
    tf2::Duration timeout = tf2::durationFromSec(0.0)) const
  {
    T out;
    return transform(in, out, target_frame, timeout);
  }

  template<class A, class B>
  B & transform(
    const A & in, B & out, const std::string & target_frame,
    tf2::Duration timeout = tf2::durationFromSec(0.0)) const
  {
    A copy = transform(in, target_frame, timeout);
    tf2::convert(copy, out);
    return out;
  }

  template<class T>
  T & transform(
    const T & in, T & out, const std::string & target_frame, const tf2::TimePoint & target_time,
    const std::string & fixed_frame, tf2::Duration timeout = tf2::durationFromSec(0.0)) const
  {
    tf2::doTransform(
      in, out,
      lookupTransform(
        target_frame, target_time, tf2::getFrameId(in), tf2::getTimestamp(in), fixed_frame,
        timeout));
    return out;
  }

  template<class T>
  T transform(
    const T & in, const std::string & target_frame, const tf2::TimePoint & target_time,
    const std::string & fixed_frame, tf2::Duration timeout = tf2::durationFromSec(0.0)) const
  {
    T out;
    return transform(in, out, target_frame, target_time, fixed_frame, timeout);
  }

  template<class A, class B>
  B & transform(
    const A & in, B & out, const std::string & target_frame, const tf2::TimePoint & target_time,
    const std::string & fixed_frame, tf2::Duration timeout = tf2::durationFromSec(0.0)) const
  {
    A copy = transform(in, target_frame, target_time, fixed_frame, timeout);
    tf2::convert(copy, out);
    return out;
  }
};

}  // namespace tf2_ros

#endif  // TF2_ROS__BUFFER_INTERFACE_H_
