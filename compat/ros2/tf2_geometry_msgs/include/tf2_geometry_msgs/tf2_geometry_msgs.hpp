#ifndef TF2_GEOMETRY_MSGS__TF2_GEOMETRY_MSGS_HPP_
#define TF2_GEOMETRY_MSGS__TF2_GEOMETRY_MSGS_HPP_

// Conversions between geometry_msgs and tf2's linear-math types, and doTransform for the
// geometry messages: how a TransformStamped from a buffer is applied to data.

#include <chrono>
#include <string>

#include "geometry_msgs/msg/point.hpp"
#include "geometry_msgs/msg/point32.hpp"
#include "geometry_msgs/msg/polygon.hpp"
#include "geometry_msgs/msg/polygon_stamped.hpp"
#include "geometry_msgs/msg/pose.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "geometry_msgs/msg/quaternion.hpp"
#include "geometry_msgs/msg/transform.hpp"
#include "geometry_msgs/msg/transform_stamped.hpp"
#include "geometry_msgs/msg/vector3.hpp"
#include "tf2/LinearMath/Quaternion.h"
#include "tf2/LinearMath/Transform.h"
#include "tf2/LinearMath/Vector3.h"
#include "tf2/convert.h"
#include "tf2/time.h"
#include "tf2/transform_datatypes.h"

namespace tf2
{

namespace detail
{

inline tf2::TimePoint timePointFromMsg(const builtin_interfaces::msg::Time & stamp)
{
  return tf2::TimePoint(std::chrono::seconds(stamp.sec) + std::chrono::nanoseconds(stamp.nanosec));
}

inline builtin_interfaces::msg::Time timePointToMsg(const tf2::TimePoint & t)
{
  const auto ns = t.time_since_epoch().count();
  builtin_interfaces::msg::Time stamp;
  stamp.sec = static_cast<int32_t>(ns / 1000000000LL);
  int64_t rest = ns % 1000000000LL;
  if (rest < 0) {
    stamp.sec -= 1;
    rest += 1000000000LL;
  }
  stamp.nanosec = static_cast<uint32_t>(rest);
  return stamp;
}

inline tf2::Transform transformOf(const geometry_msgs::msg::TransformStamped & t)
{
  const auto & r = t.transform.rotation;
  const auto & v = t.transform.translation;
  return tf2::Transform(tf2::Quaternion(r.x, r.y, r.z, r.w), tf2::Vector3(v.x, v.y, v.z));
}

}  // namespace detail

/******** Vector3 ********/

inline geometry_msgs::msg::Vector3 toMsg(const tf2::Vector3 & in)
{
  geometry_msgs::msg::Vector3 out;
  out.x = in.getX();
  out.y = in.getY();
  out.z = in.getZ();
  return out;
}

inline void fromMsg(const geometry_msgs::msg::Vector3 & in, tf2::Vector3 & out)
{
  out = tf2::Vector3(in.x, in.y, in.z);
}

// A vector is a direction: it is rotated, not translated.
template<>
inline void doTransform(
  const geometry_msgs::msg::Vector3 & t_in, geometry_msgs::msg::Vector3 & t_out,
  const geometry_msgs::msg::TransformStamped & transform)
{
  const tf2::Vector3 v = detail::transformOf(transform).getBasis() *
    tf2::Vector3(t_in.x, t_in.y, t_in.z);
  t_out = toMsg(v);
}

/******** Point ********/

inline geometry_msgs::msg::Point & toMsg(const tf2::Vector3 & in, geometry_msgs::msg::Point & out)
{
  out.x = in.getX();
  out.y = in.getY();
  out.z = in.getZ();
  return out;
}

inline void fromMsg(const geometry_msgs::msg::Point & in, tf2::Vector3 & out)
{
  out = tf2::Vector3(in.x, in.y, in.z);
}

template<>
inline void doTransform(
  const geometry_msgs::msg::Point & t_in, geometry_msgs::msg::Point & t_out,
  const geometry_msgs::msg::TransformStamped & transform)
{
  const tf2::Vector3 v = detail::transformOf(transform) * tf2::Vector3(t_in.x, t_in.y, t_in.z);
  toMsg(v, t_out);
}

/******** Point32 ********/

inline geometry_msgs::msg::Point32 & toMsg(
  const tf2::Vector3 & in, geometry_msgs::msg::Point32 & out)
{
  out.x = static_cast<float>(in.getX());
  out.y = static_cast<float>(in.getY());
  out.z = static_cast<float>(in.getZ());
  return out;
}

inline void fromMsg(const geometry_msgs::msg::Point32 & in, tf2::Vector3 & out)
{
  out = tf2::Vector3(in.x, in.y, in.z);
}

template<>
inline void doTransform(
  const geometry_msgs::msg::Point32 & t_in, geometry_msgs::msg::Point32 & t_out,
  const geometry_msgs::msg::TransformStamped & transform)
{
  const tf2::Vector3 v = detail::transformOf(transform) * tf2::Vector3(t_in.x, t_in.y, t_in.z);
  toMsg(v, t_out);
}

/******** Polygon ********/

inline geometry_msgs::msg::Polygon toMsg(const geometry_msgs::msg::Polygon & in)
{
  return in;
}

inline void fromMsg(const geometry_msgs::msg::Polygon & msg, geometry_msgs::msg::Polygon & out)
{
  out = msg;
}

template<>
inline void doTransform(
  const geometry_msgs::msg::Polygon & poly_in, geometry_msgs::msg::Polygon & poly_out,
  const geometry_msgs::msg::TransformStamped & transform)
{
  geometry_msgs::msg::Polygon result;
  for (const auto & point : poly_in.points) {
    geometry_msgs::msg::Point32 moved;
    doTransform(point, moved, transform);
    result.points.push_back(moved);
  }
  poly_out = result;
}

/******** PolygonStamped ********/

template<>
inline tf2::TimePoint getTimestamp(const geometry_msgs::msg::PolygonStamped & t)
{
  return detail::timePointFromMsg(t.header.stamp);
}

template<>
inline std::string getFrameId(const geometry_msgs::msg::PolygonStamped & t)
{
  return t.header.frame_id;
}

template<>
inline void doTransform(
  const geometry_msgs::msg::PolygonStamped & poly_in, geometry_msgs::msg::PolygonStamped & poly_out,
  const geometry_msgs::msg::TransformStamped & transform)
{
  doTransform(poly_in.polygon, poly_out.polygon, transform);
  poly_out.header.stamp = transform.header.stamp;
  poly_out.header.frame_id = transform.header.frame_id;
}

/******** Quaternion ********/

inline geometry_msgs::msg::Quaternion toMsg(const tf2::Quaternion & in)
{
  geometry_msgs::msg::Quaternion out;
  out.w = in.getW();
  out.x = in.getX();
  out.y = in.getY();
  out.z = in.getZ();
  return out;
}

inline void fromMsg(const geometry_msgs::msg::Quaternion & in, tf2::Quaternion & out)
{
  out = tf2::Quaternion(in.x, in.y, in.z, in.w);
}

template<>
inline void doTransform(
  const geometry_msgs::msg::Quaternion & t_in, geometry_msgs::msg::Quaternion & t_out,
  const geometry_msgs::msg::TransformStamped & transform)
{
  tf2::Quaternion t;
  tf2::Quaternion q_in;
  fromMsg(transform.transform.rotation, t);
  fromMsg(t_in, q_in);
  t_out = toMsg(t * q_in);
}

/******** Pose ********/

inline geometry_msgs::msg::Pose toMsg(const geometry_msgs::msg::Pose & in)
{
  return in;
}

inline void fromMsg(const geometry_msgs::msg::Pose & msg, geometry_msgs::msg::Pose & out)
{
  out = msg;
}

inline void toMsg(const tf2::Transform & in, geometry_msgs::msg::Pose & out)
{
  out.position.x = in.getOrigin().getX();
  out.position.y = in.getOrigin().getY();
  out.position.z = in.getOrigin().getZ();
  out.orientation = toMsg(in.getRotation());
}

inline void fromMsg(const geometry_msgs::msg::Pose & in, tf2::Transform & out)
{
  out.setOrigin(tf2::Vector3(in.position.x, in.position.y, in.position.z));
  tf2::Quaternion q;
  fromMsg(in.orientation, q);
  out.setRotation(q);
}

template<>
inline void doTransform(
  const geometry_msgs::msg::Pose & t_in, geometry_msgs::msg::Pose & t_out,
  const geometry_msgs::msg::TransformStamped & transform)
{
  tf2::Transform pose;
  fromMsg(t_in, pose);
  toMsg(detail::transformOf(transform) * pose, t_out);
}

/******** PoseStamped ********/

inline geometry_msgs::msg::PoseStamped toMsg(const geometry_msgs::msg::PoseStamped & in)
{
  return in;
}

inline void fromMsg(
  const geometry_msgs::msg::PoseStamped & msg, geometry_msgs::msg::PoseStamped & out)
{
  out = msg;
}

template<>
inline tf2::TimePoint getTimestamp(const geometry_msgs::msg::PoseStamped & t)
{
  return detail::timePointFromMsg(t.header.stamp);
}

template<>
inline std::string getFrameId(const geometry_msgs::msg::PoseStamped & t)
{
  return t.header.frame_id;
}

template<>
inline void doTransform(
  const geometry_msgs::msg::PoseStamped & t_in, geometry_msgs::msg::PoseStamped & t_out,
  const geometry_msgs::msg::TransformStamped & transform)
{
  doTransform(t_in.pose, t_out.pose, transform);
  t_out.header.stamp = transform.header.stamp;
  t_out.header.frame_id = transform.header.frame_id;
}

/******** Transform ********/

inline geometry_msgs::msg::Transform toMsg(const tf2::Transform & in)
{
  geometry_msgs::msg::Transform out;
  out.translation = toMsg(in.getOrigin());
  out.rotation = toMsg(in.getRotation());
  return out;
}

inline void toMsg(const tf2::Transform & in, geometry_msgs::msg::Transform & out)
{
  out = toMsg(in);
}

inline void fromMsg(const geometry_msgs::msg::Transform & in, tf2::Transform & out)
{
  tf2::Vector3 v;
  fromMsg(in.translation, v);
  out.setOrigin(v);
  tf2::Quaternion q;
  fromMsg(in.rotation, q);
  out.setRotation(q);
}

template<>
inline void doTransform(
  const geometry_msgs::msg::Transform & t_in, geometry_msgs::msg::Transform & t_out,
  const geometry_msgs::msg::TransformStamped & transform)
{
  tf2::Transform input;
  fromMsg(t_in, input);
  t_out = toMsg(detail::transformOf(transform) * input);
}

/******** TransformStamped ********/

template<>
inline tf2::TimePoint getTimestamp(const geometry_msgs::msg::TransformStamped & t)
{
  return detail::timePointFromMsg(t.header.stamp);
}

template<>
inline std::string getFrameId(const geometry_msgs::msg::TransformStamped & t)
{
  return t.header.frame_id;
}

inline geometry_msgs::msg::TransformStamped toMsg(const geometry_msgs::msg::TransformStamped & in)
{
  return in;
}

inline void fromMsg(
  const geometry_msgs::msg::TransformStamped & msg, geometry_msgs::msg::TransformStamped & out)
{
  out = msg;
}

inline void fromMsg(
  const geometry_msgs::msg::TransformStamped & msg, tf2::Stamped<tf2::Transform> & out)
{
  out.stamp_ = detail::timePointFromMsg(msg.header.stamp);
  out.frame_id_ = msg.header.frame_id;
  tf2::Transform tmp;
  fromMsg(msg.transform, tmp);
  out.setData(tmp);
}

inline geometry_msgs::msg::TransformStamped toMsg(const tf2::Stamped<tf2::Transform> & in)
{
  geometry_msgs::msg::TransformStamped out;
  out.header.stamp = detail::timePointToMsg(in.stamp_);
  out.header.frame_id = in.frame_id_;
  out.transform = toMsg(static_cast<const tf2::Transform &>(in));
  return out;
}

// The child frame of the result is left as it was: only the caller knows what it should be.
template<>
inline void doTransform(
  const geometry_msgs::msg::TransformStamped & t_in, geometry_msgs::msg::TransformStamped & t_out,
  const geometry_msgs::msg::TransformStamped & transform)
{
  doTransform(t_in.transform, t_out.transform, transform);
  t_out.header.stamp = transform.header.stamp;
  t_out.header.frame_id = transform.header.frame_id;
}

}  // namespace tf2

#endif  // TF2_GEOMETRY_MSGS__TF2_GEOMETRY_MSGS_HPP_
