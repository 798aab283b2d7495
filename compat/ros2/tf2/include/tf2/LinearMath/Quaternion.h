#ifndef TF2__LINEARMATH__QUATERNION_H_
#define TF2__LINEARMATH__QUATERNION_H_

// A rotation as a (x, y, z, w) quaternion, with composition, inversion and slerp.

#include "tf2/LinearMath/QuadWord.h"
#include "tf2/LinearMath/Vector3.h"

namespace tf2
{

class Quaternion : public QuadWord
{
public:
  // Left uninitialised on purpose, as in the real library.
  Quaternion() {}

  Quaternion(const tf2Scalar & x, const tf2Scalar & y, const tf2Scalar & z, const tf2Scalar & w)
  : QuadWord(x, y, z, w) {}

  Quaternion(const Vector3 & axis, const tf2Scalar & angle) {setRotation(axis, angle);}

  void setRotation(const Vector3 & axis, const tf2Scalar & angle)
  {
    const tf2Scalar d = axis.length();
    const tf2Scalar s = tf2Sin(angle * tf2Scalar(0.5)) / d;
    setValue(axis.x() * s, axis.y() * s, axis.z() * s, tf2Cos(angle * tf2Scalar(0.5)));
  }

  // Yaw about Y, pitch about X, roll about Z.
  void setEuler(const tf2Scalar & yaw, const tf2Scalar & pitch, const tf2Scalar & roll)
  {
    const tf2Scalar cy = tf2Cos(yaw * 0.5), sy = tf2Sin(yaw * 0.5);
    const tf2Scalar cp = tf2Cos(pitch * 0.5), sp = tf2Sin(pitch * 0.5);
    const tf2Scalar cr = tf2Cos(roll * 0.5), sr = tf2Sin(roll * 0.5);
    setValue(
      cr * sp * cy + sr * cp * sy,
      cr * cp * sy - sr * sp * cy,
      sr * cp * cy - cr * sp * sy,
      cr * cp * cy + sr * sp * sy);
  }

  // Fixed axes: roll about X, then pitch about Y, then yaw about Z.
  void setRPY(const tf2Scalar & roll, const tf2Scalar & pitch, const tf2Scalar & yaw)
  {
    const tf2Scalar cy = tf2Cos(yaw * 0.5), sy = tf2Sin(yaw * 0.5);
    const tf2Scalar cp = tf2Cos(pitch * 0.5), sp = tf2Sin(pitch * 0.5);
    const tf2Scalar cr = tf2Cos(roll * 0.5), sr = tf2Sin(roll * 0.5);
    setValue(
      sr * cp * cy - cr * sp * sy,
      cr * sp * cy + sr * cp * sy,
      cr * cp * sy - sr * sp * cy,
      cr * cp * cy + sr * sp * sy);
  }

  Quaternion & operator+=(const Quaternion & q)
  {
    m_floats[0] += q.x(); m_floats[1] += q.y(); m_floats[2] += q.z(); m_floats[3] += q.m_floats[3];
    return *this;
  }

  Quaternion & operator-=(const Quaternion & q)
  {
    m_floats[0] -= q.x(); m_floats[1] -= q.y(); m_floats[2] -= q.z(); m_floats[3] -= q.m_floats[3];
    return *this;
  }

  Quaternion & operator*=(const tf2Scalar & s)
  {
    m_floats[0] *= s; m_floats[1] *= s; m_floats[2] *= s; m_floats[3] *= s;
    return *this;
  }

  // Hamilton product: the result applies q first, then *this.
  Quaternion & operator*=(const Quaternion & q)
  {
    setValue(
      m_floats[3] * q.x() + m_floats[0] * q.m_floats[3] + m_floats[1] * q.z() - m_floats[2] * q.y(),
      m_floats[3] * q.y() + m_floats[1] * q.m_floats[3] + m_floats[2] * q.x() - m_floats[0] * q.z(),
      m_floats[3] * q.z() + m_floats[2] * q.m_floats[3] + m_floats[0] * q.y() - m_floats[1] * q.x(),
      m_floats[3] * q.m_floats[3] - m_floats[0] * q.x() - m_floats[1] * q.y() - m_floats[2] * q.z());
    return *this;
  }

  tf2Scalar dot(const Quaternion & q) const
  {
    return m_floats[0] * q.x() + m_floats[1] * q.y() + m_floats[2] * q.z() +
           m_floats[3] * q.m_floats[3];
  }

  tf2Scalar length2() const {return dot(*this);}
  tf2Scalar length() const {return tf2Sqrt(length2());}
  Quaternion & normalize() {return *this /= length();}

  Quaternion operator*(const tf2Scalar & s) const
  {
    return Quaternion(x() * s, y() * s, z() * s, m_floats[3] * s);
  }

  Quaternion operator/(const tf2Scalar & s) const {return *this * (tf2Scalar(1.0) / s);}
  Quaternion & operator/=(const tf2Scalar & s) {return *this *= tf2Scalar(1.0) / s;}
  Quaternion normalized() const {return *this / length();}

  // Half the angle of the rotation between the two.
  tf2Scalar angle(const Quaternion & q) const
  {
    const tf2Scalar s = tf2Sqrt(length2() * q.length2());
    return tf2Acos(dot(q) / s);
  }

  tf2Scalar angleShortestPath(const Quaternion & q) const
  {
    const tf2Scalar s = tf2Sqrt(length2() * q.length2());
    if (dot(q) < 0) {
      return tf2Acos(dot(-q) / s) * tf2Scalar(2.0);
    }
    return tf2Acos(dot(q) / s) * tf2Scalar(2.0);
  }

  tf2Scalar getAngle() const {return tf2Scalar(2.) * tf2Acos(m_floats[3]);}

  tf2Scalar getAngleShortestPath() const
  {
    return m_floats[3] >= 0 ? tf2Scalar(2.) * tf2Acos(m_floats[3]) :
           tf2Scalar(2.) * tf2Acos(-m_floats[3]);
  }

  Vector3 getAxis() const
  {
    const tf2Scalar s_squared = tf2Scalar(1.) - tf2Pow(m_floats[3], tf2Scalar(2.));
    if (s_squared < tf2Scalar(10.) * TF2SIMD_EPSILON) {
      return Vector3(1.0, 0.0, 0.0);
    }
    const tf2Scalar s = tf2Sqrt(s_squared);
    return Vector3(m_floats[0] / s, m_floats[1] / s, m_floats[2] / s);
  }

  Quaternion inverse() const {return Quaternion(-m_floats[0], -m_floats[1], -m_floats[2], m_floats[3]);}

  Quaternion operator+(const Quaternion & q2) const
  {
    return Quaternion(m_floats[0] + q2.x(), m_floats[1] + q2.y(), m_floats[2] + q2.z(),
             m_floats[3] + q2.m_floats[3]);
  }

  Quaternion operator-(const Quaternion & q2) const
  {
    return Quaternion(m_floats[0] - q2.x(), m_floats[1] - q2.y(), m_floats[2] - q2.z(),
             m_floats[3] - q2.m_floats[3]);
  }

  Quaternion operator-() const
  {
    return Quaternion(-m_floats[0], -m_floats[1], -m_floats[2], -m_floats[3]);
  }

  Quaternion farthest(const Quaternion & qd) const
  {
    const Quaternion diff = *this - qd;
    const Quaternion sum = *this + qd;
    return diff.dot(diff) > sum.dot(sum) ? qd : (-qd);
  }

  Quaternion nearest(const Quaternion & qd) const
  {
    const Quaternion diff = *this - qd;
    const Quaternion sum = *this + qd;
    return diff.dot(diff) < sum.dot(sum) ? qd : (-qd);
  }

  // Spherical interpolation along the shorter arc; t = 0 gives *this, t = 1 gives q.
  Quaternion slerp(const Quaternion & q, const tf2Scalar & t) const
  {
    const tf2Scalar theta = angleShortestPath(q) / tf2Scalar(2.0);
    if (theta == tf2Scalar(0.0)) {
      return *this;
    }
    const tf2Scalar d = tf2Scalar(1.0) / tf2Sin(theta);
    const tf2Scalar s0 = tf2Sin((tf2Scalar(1.0) - t) * theta);
    const tf2Scalar s1 = tf2Sin(t * theta) * (dot(q) < 0 ? tf2Scalar(-1.0) : tf2Scalar(1.0));
    return Quaternion(
      (m_floats[0] * s0 + q.x() * s1) * d,
      (m_floats[1] * s0 + q.y() * s1) * d,
      (m_floats[2] * s0 + q.z() * s1) * d,
      (m_floats[3] * s0 + q.m_floats[3] * s1) * d);
  }

  static const Quaternion & getIdentity()
  {
    static const Quaternion identityQuat(tf2Scalar(0.), tf2Scalar(0.), tf2Scalar(0.), tf2Scalar(1.));
    return identityQuat;
  }

  const tf2Scalar & getW() const {return m_floats[3];}
};

inline Quaternion operator*(const Quaternion & q1, const Quaternion & q2)
{
  Quaternion result = q1;
  result *= q2;
  return result;
}

inline Quaternion operator*(const Quaternion & q, const Vector3 & w)
{
  return Quaternion(
    q.w() * w.x() + q.y() * w.z() - q.z() * w.y(),
    q.w() * w.y() + q.z() * w.x() - q.x() * w.z(),
    q.w() * w.z() + q.x() * w.y() - q.y() * w.x(),
    -q.x() * w.x() - q.y() * w.y() - q.z() * w.z());
}

inline Quaternion operator*(const Vector3 & w, const Quaternion & q)
{
  return Quaternion(
    w.x() * q.w() + w.y() * q.z() - w.z() * q.y(),
    w.y() * q.w() + w.z() * q.x() - w.x() * q.z(),
    w.z() * q.w() + w.x() * q.y() - w.y() * q.x(),
    -w.x() * q.x() - w.y() * q.y() - w.z() * q.z());
}

inline tf2Scalar dot(const Quaternion & q1, const Quaternion & q2) {return q1.dot(q2);}
inline tf2Scalar length(const Quaternion & q) {return q.length();}
inline tf2Scalar angle(const Quaternion & q1, const Quaternion & q2) {return q1.angle(q2);}
inline tf2Scalar angleShortestPath(const Quaternion & q1, const Quaternion & q2)
{
  return q1.angleShortestPath(q2);
}
inline Quaternion inverse(const Quaternion & q) {return q.inverse();}

inline Quaternion slerp(const Quaternion & q1, const Quaternion & q2, const tf2Scalar & t)
{
  return q1.slerp(q2, t);
}

inline Vector3 quatRotate(const Quaternion & rotation, const Vector3 & v)
{
  Quaternion q = rotation * v;
  q *= rotation.inverse();
  return Vector3(q.getX(), q.getY(), q.getZ());
}

// The smallest rotation taking direction v0 onto direction v1 (both unit length).
inline Quaternion shortestArcQuat(const Vector3 & v0, const Vector3 & v1)
{
  const Vector3 c = v0.cross(v1);
  const tf2Scalar d = v0.dot(v1);
  if (d < -1.0 + TF2SIMD_EPSILON) {
    // Opposite directions: half a turn about an axis perpendicular to v0.
    Vector3 n, unused;
    tf2PlaneSpace1(v0, n, unused);
    return Quaternion(n.x(), n.y(), n.z(), 0.0f);
  }
  const tf2Scalar s = tf2Sqrt((1.0f + d) * 2.0f);
  const tf2Scalar rs = 1.0f / s;
  return Quaternion(c.getX() * rs, c.getY() * rs, c.getZ() * rs, s * 0.5f);
}

inline Quaternion shortestArcQuatNormalize2(Vector3 & v0, Vector3 & v1)
{
  v0.normalize();
  v1.normalize();
  return shortestArcQuat(v0, v1);
}

}  // namespace tf2

#endif  // TF2__LINEARMATH__QUATERNION_H_
