#ifndef TF2__IMPL__UTILS_H_
#define TF2__IMPL__UTILS_H_

// Quaternion extraction and Euler decomposition behind tf2/utils.h.

#include <cmath>

#include "geometry_msgs/msg/quaternion.hpp"
#include "geometry_msgs/msg/quaternion_stamped.hpp"
#include "tf2/LinearMath/Quaternion.h"
#include "tf2/convert.h"
#include "tf2/transform_datatypes.h"

namespace tf2
{

// Defined (inline) by tf2_geometry_msgs, which a caller of getYaw on messages must include.
void fromMsg(const geometry_msgs::msg::Quaternion & in, tf2::Quaternion & out);

namespace impl
{

inline tf2::Quaternion toQuaternion(const tf2::Quaternion & q)
{
  return q;
}

inline tf2::Quaternion toQuaternion(const geometry_msgs::msg::Quaternion & q)
{
  tf2::Quaternion res;
  fromMsg(q, res);
  return res;
}

inline tf2::Quaternion toQuaternion(const geometry_msgs::msg::QuaternionStamped & q)
{
  return toQuaternion(q.quaternion);
}

template<typename T>
tf2::Quaternion toQuaternion(const tf2::Stamped<T> & t)
{
  return toQuaternion(toMsg<tf2::Stamped<T>, geometry_msgs::msg::QuaternionStamped>(t));
}

// Works on non-normalised quaternions. Near pitch = +-90 deg roll is set to zero, the whole
// heading goes to yaw, and the pitch reported is +-45 deg, not +-90.
inline void getEulerYPR(const tf2::Quaternion & q, double & yaw, double & pitch, double & roll)
{
  const double sqw = q.w() * q.w();
  const double sqx = q.x() * q.x();
  const double sqy = q.y() * q.y();
  const double sqz = q.z() * q.z();
  const double sarg = -2 * (q.x() * q.z() - q.w() * q.y()) / (sqx + sqy + sqz + sqw);
  if (sarg <= -0.99999) {
    pitch = -0.25 * M_PI;
    roll = 0;
    yaw = -2 * std::atan2(q.y(), q.x());
  } else if (sarg >= 0.99999) {
    pitch = 0.25 * M_PI;
    roll = 0;
    yaw = 2 * std::atan2(q.y(), q.x());
  } else {
    pitch = std::asin(sarg);
    roll = std::atan2(2 * (q.y() * q.z() + q.w() * q.x()), sqw - sqx - sqy + sqz);
    yaw = std::atan2(2 * (q.x() * q.y() + q.w() * q.z()), sqw + sqx - sqy - sqz);
  }
}

inline double getYaw(const tf2::Quaternion & q)
{
  const double sqw = q.w() * q.w();
  const double sqx = q.x() * q.x();
  const double sqy = q.y() * q.y();
  const double sqz = q.z() * q.z();
  const double sarg = -2 * (q.x() * q.z() - q.w() * q.y()) / (sqx + sqy + sqz + sqw);
  if (sarg <= -0.99999) {
    return -2 * std::atan2(q.y(), q.x());
  }
  if (sarg >= 0.99999) {
    return 2 * std::atan2(q.y(), q.x());
  }
  return std::atan2(2 * (q.x() * q.y() + q.w() * q.z()), sqw + sqx - sqy - sqz);
}

}  // namespace impl
}  // namespace tf2

#endif  // TF2__IMPL__UTILS_H_
