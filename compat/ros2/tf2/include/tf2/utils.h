#ifndef TF2__UTILS_H_
#define TF2__UTILS_H_

// Heading and Euler angles of anything that converts to a quaternion.

#include "tf2/LinearMath/Quaternion.h"
#include "tf2/LinearMath/Transform.h"
#include "tf2/impl/utils.h"

namespace tf2
{

template<class A>
void getEulerYPR(const A & a, double & yaw, double & pitch, double & roll)
{
  const tf2::Quaternion q = impl::toQuaternion(a);
  impl::getEulerYPR(q, yaw, pitch, roll);
}

template<class A>
double getYaw(const A & a)
{
  const tf2::Quaternion q = impl::toQuaternion(a);
  return impl::getYaw(q);
}

template<class A>
A getTransformIdentity()
{
  tf2::Transform t;
  t.setIdentity();
  A a;
  convert(t, a);
  return a;
}

}  // namespace tf2

#endif  // TF2__UTILS_H_
