#ifndef TF2__LINEARMATH__VECTOR3_H_
#define TF2__LINEARMATH__VECTOR3_H_

// A 3-D vector (points, translations, directions) with the usual vector algebra.

#include "tf2/LinearMath/MinMax.h"
#include "tf2/LinearMath/Scalar.h"

namespace tf2
{

class Vector3
{
public:
  tf2Scalar m_floats[4];

  // Left uninitialised on purpose, as in the real library.
  Vector3() {}

  Vector3(const tf2Scalar & x, const tf2Scalar & y, const tf2Scalar & z)
  {
    m_floats[0] = x;
    m_floats[1] = y;
    m_floats[2] = z;
    m_floats[3] = tf2Scalar(0.);
  }

  Vector3 & operator+=(const Vector3 & v)
  {
    m_floats[0] += v.m_floats[0];
    m_floats[1] += v.m_floats[1];
    m_floats[2] += v.m_floats[2];
    return *this;
  }

  Vector3 & operator-=(const Vector3 & v)
  {
    m_floats[0] -= v.m_floats[0];
    m_floats[1] -= v.m_floats[1];
    m_floats[2] -= v.m_floats[2];
    return *this;
  }

  Vector3 & operator*=(const tf2Scalar & s)
  {
    m_floats[0] *= s;
    m_floats[1] *= s;
    m_floats[2] *= s;
    return *this;
  }

  Vector3 & operator/=(const tf2Scalar & s) {return *this *= tf2Scalar(1.0) / s;}

  Vector3 & operator*=(const Vector3 & v)
  {
    m_floats[0] *= v.m_floats[0];
    m_floats[1] *= v.m_floats[1];
    m_floats[2] *= v.m_floats[2];
    return *this;
  }

  tf2Scalar dot(const Vector3 & v) const
  {
    return m_floats[0] * v.m_floats[0] + m_floats[1] * v.m_floats[1] +
           m_floats[2] * v.m_floats[2];
  }

  tf2Scalar length2() const {return dot(*this);}
  tf2Scalar length() const {return tf2Sqrt(length2());}
  inline tf2Scalar distance2(const Vector3 & v) const;
  inline tf2Scalar distance(const Vector3 & v) const;
  Vector3 & normalize() {return *this /= length();}
  inline Vector3 normalized() const;

  // Rodrigues rotation about a unit axis.
  inline Vector3 rotate(const Vector3 & wAxis, const tf2Scalar angle) const;

  tf2Scalar angle(const Vector3 & v) const
  {
    const tf2Scalar s = tf2Sqrt(length2() * v.length2());
    return tf2Acos(dot(v) / s);
  }

  Vector3 absolute() const
  {
    return Vector3(tf2Fabs(m_floats[0]), tf2Fabs(m_floats[1]), tf2Fabs(m_floats[2]));
  }

  Vector3 cross(const Vector3 & v) const
  {
    return Vector3(
      m_floats[1] * v.m_floats[2] - m_floats[2] * v.m_floats[1],
      m_floats[2] * v.m_floats[0] - m_floats[0] * v.m_floats[2],
      m_floats[0] * v.m_floats[1] - m_floats[1] * v.m_floats[0]);
  }

  tf2Scalar triple(const Vector3 & v1, const Vector3 & v2) const
  {
    return m_floats[0] * (v1.m_floats[1] * v2.m_floats[2] - v1.m_floats[2] * v2.m_floats[1]) +
           m_floats[1] * (v1.m_floats[2] * v2.m_floats[0] - v1.m_floats[0] * v2.m_floats[2]) +
           m_floats[2] * (v1.m_floats[0] * v2.m_floats[1] - v1.m_floats[1] * v2.m_floats[0]);
  }

  int minAxis() const
  {
    return m_floats[0] < m_floats[1] ? (m_floats[0] < m_floats[2] ? 0 : 2) :
           (m_floats[1] < m_floats[2] ? 1 : 2);
  }

  int maxAxis() const
  {
    return m_floats[0] < m_floats[1] ? (m_floats[1] < m_floats[2] ? 2 : 1) :
           (m_floats[0] < m_floats[2] ? 2 : 0);
  }

  int furthestAxis() const {return absolute().minAxis();}
  int closestAxis() const {return absolute().maxAxis();}

  void setInterpolate3(const Vector3 & v0, const Vector3 & v1, tf2Scalar rt)
  {
    const tf2Scalar s = tf2Scalar(1.0) - rt;
    m_floats[0] = s * v0.m_floats[0] + rt * v1.m_floats[0];
    m_floats[1] = s * v0.m_floats[1] + rt * v1.m_floats[1];
    m_floats[2] = s * v0.m_floats[2] + rt * v1.m_floats[2];
  }

  Vector3 lerp(const Vector3 & v, const tf2Scalar & t) const
  {
    return Vector3(
      m_floats[0] + (v.m_floats[0] - m_floats[0]) * t,
      m_floats[1] + (v.m_floats[1] - m_floats[1]) * t,
      m_floats[2] + (v.m_floats[2] - m_floats[2]) * t);
  }

  const tf2Scalar & getX() const {return m_floats[0];}
  const tf2Scalar & getY() const {return m_floats[1];}
  const tf2Scalar & getZ() const {return m_floats[2];}
  void setX(tf2Scalar x) {m_floats[0] = x;}
  void setY(tf2Scalar y) {m_floats[1] = y;}
  void setZ(tf2Scalar z) {m_floats[2] = z;}
  void setW(tf2Scalar w) {m_floats[3] = w;}
  const tf2Scalar & x() const {return m_floats[0];}
  const tf2Scalar & y() const {return m_floats[1];}
  const tf2Scalar & z() const {return m_floats[2];}
  const tf2Scalar & w() const {return m_floats[3];}

  operator tf2Scalar *() {return &m_floats[0];}
  operator const tf2Scalar *() const {return &m_floats[0];}

  bool operator==(const Vector3 & other) const
  {
    return m_floats[3] == other.m_floats[3] && m_floats[2] == other.m_floats[2] &&
           m_floats[1] == other.m_floats[1] && m_floats[0] == other.m_floats[0];
  }
  bool operator!=(const Vector3 & other) const {return !(*this == other);}

  void setMax(const Vector3 & other)
  {
    for (int i = 0; i < 4; ++i) {tf2SetMax(m_floats[i], other.m_floats[i]);}
  }

  void setMin(const Vector3 & other)
  {
    for (int i = 0; i < 4; ++i) {tf2SetMin(m_floats[i], other.m_floats[i]);}
  }

  void setValue(const tf2Scalar & x, const tf2Scalar & y, const tf2Scalar & z)
  {
    m_floats[0] = x;
    m_floats[1] = y;
    m_floats[2] = z;
    m_floats[3] = tf2Scalar(0.);
  }

  void setZero() {setValue(tf2Scalar(0.), tf2Scalar(0.), tf2Scalar(0.));}

  bool isZero() const
  {
    return m_floats[0] == tf2Scalar(0) && m_floats[1] == tf2Scalar(0) &&
           m_floats[2] == tf2Scalar(0);
  }

  bool fuzzyZero() const {return length2() < TF2SIMD_EPSILON;}
};

inline Vector3 operator+(const Vector3 & v1, const Vector3 & v2)
{
  return Vector3(v1.m_floats[0] + v2.m_floats[0], v1.m_floats[1] + v2.m_floats[1],
           v1.m_floats[2] + v2.m_floats[2]);
}

inline Vector3 operator*(const Vector3 & v1, const Vector3 & v2)
{
  return Vector3(v1.m_floats[0] * v2.m_floats[0], v1.m_floats[1] * v2.m_floats[1],
           v1.m_floats[2] * v2.m_floats[2]);
}

inline Vector3 operator-(const Vector3 & v1, const Vector3 & v2)
{
  return Vector3(v1.m_floats[0] - v2.m_floats[0], v1.m_floats[1] - v2.m_floats[1],
           v1.m_floats[2] - v2.m_floats[2]);
}

inline Vector3 operator-(const Vector3 & v)
{
  return Vector3(-v.m_floats[0], -v.m_floats[1], -v.m_floats[2]);
}

inline Vector3 operator*(const Vector3 & v, const tf2Scalar & s)
{
  return Vector3(v.m_floats[0] * s, v.m_floats[1] * s, v.m_floats[2] * s);
}

inline Vector3 operator*(const tf2Scalar & s, const Vector3 & v) {return v * s;}

inline Vector3 operator/(const Vector3 & v, const tf2Scalar & s)
{
  return v * (tf2Scalar(1.0) / s);
}

inline Vector3 operator/(const Vector3 & v1, const Vector3 & v2)
{
  return Vector3(v1.m_floats[0] / v2.m_floats[0], v1.m_floats[1] / v2.m_floats[1],
           v1.m_floats[2] / v2.m_floats[2]);
}

inline tf2Scalar tf2Dot(const Vector3 & v1, const Vector3 & v2) {return v1.dot(v2);}
inline tf2Scalar tf2Distance2(const Vector3 & v1, const Vector3 & v2) {return v1.distance2(v2);}
inline tf2Scalar tf2Distance(const Vector3 & v1, const Vector3 & v2) {return v1.distance(v2);}
inline tf2Scalar tf2Angle(const Vector3 & v1, const Vector3 & v2) {return v1.angle(v2);}
inline Vector3 tf2Cross(const Vector3 & v1, const Vector3 & v2) {return v1.cross(v2);}

inline tf2Scalar tf2Triple(const Vector3 & v1, const Vector3 & v2, const Vector3 & v3)
{
  return v1.triple(v2, v3);
}

inline Vector3 lerp(const Vector3 & v1, const Vector3 & v2, const tf2Scalar & t)
{
  return v1.lerp(v2, t);
}

inline tf2Scalar Vector3::distance2(const Vector3 & v) const {return (v - *this).length2();}
inline tf2Scalar Vector3::distance(const Vector3 & v) const {return (v - *this).length();}
inline Vector3 Vector3::normalized() const {return *this / length();}

inline Vector3 Vector3::rotate(const Vector3 & wAxis, const tf2Scalar angle) const
{
  const Vector3 o = wAxis * wAxis.dot(*this);
  const Vector3 x = *this - o;
  const Vector3 y = wAxis.cross(*this);
  return o + x * tf2Cos(angle) + y * tf2Sin(angle);
}

// Two unit vectors p and q that make a right-handed basis with the unit vector n; p is taken
// in the y-z plane when n is mostly along z, else in the x-y plane.
inline void tf2PlaneSpace1(const Vector3 & n, Vector3 & p, Vector3 & q)
{
  if (tf2Fabs(n.z()) > TF2SIMDSQRT12) {
    const tf2Scalar a = n.y() * n.y() + n.z() * n.z();
    const tf2Scalar k = tf2RecipSqrt(a);
    p.setValue(0, -n.z() * k, n.y() * k);
    q.setValue(a * k, -n.x() * p.z(), n.x() * p.y());
  } else {
    const tf2Scalar a = n.x() * n.x() + n.y() * n.y();
    const tf2Scalar k = tf2RecipSqrt(a);
    p.setValue(-n.y() * k, n.x() * k, 0);
    q.setValue(-n.z() * p.y(), n.z() * p.x(), a * k);
  }
}

}  // namespace tf2

#endif  // TF2__LINEARMATH__VECTOR3_H_
