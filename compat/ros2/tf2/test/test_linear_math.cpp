#include <gtest/gtest.h>

#include <cmath>

#include "tf2/LinearMath/Matrix3x3.h"
#include "tf2/LinearMath/Quaternion.h"
#include "tf2/LinearMath/Transform.h"
#include "tf2/LinearMath/Vector3.h"

using tf2::Matrix3x3;
using tf2::Quaternion;
using tf2::Transform;
using tf2::Vector3;

class LinearMathTest : public ::testing::Test
{
protected:
  static void expectNear(const Vector3 & a, const Vector3 & b, double tol = 1e-9)
  {
    EXPECT_NEAR(a.x(), b.x(), tol);
    EXPECT_NEAR(a.y(), b.y(), tol);
    EXPECT_NEAR(a.z(), b.z(), tol);
  }

  // Same rotation: q and -q are equivalent.
  static void expectSameRotation(const Quaternion & a, const Quaternion & b, double tol = 1e-9)
  {
    EXPECT_NEAR(std::fabs(a.dot(b)), 1.0, tol);
  }

  static Quaternion rpy(double r, double p, double y)
  {
    Quaternion q;
    q.setRPY(r, p, y);
    return q;
  }
};

// ---- vectors -----------------------------------------------------------------------------

TEST_F(LinearMathTest, VectorAlgebra)
{
  const Vector3 a(1, 2, 3);
  const Vector3 b(-2, 0.5, 4);
  EXPECT_DOUBLE_EQ(a.dot(b), -2 + 1 + 12);
  expectNear(a.cross(b), Vector3(2 * 4 - 3 * 0.5, 3 * -2 - 1 * 4, 1 * 0.5 - 2 * -2));
  EXPECT_DOUBLE_EQ(Vector3(3, 4, 0).length(), 5.0);
  EXPECT_DOUBLE_EQ(a.distance(Vector3(1, 2, 5)), 2.0);
  expectNear(Vector3(0, 3, 4).normalized(), Vector3(0, 0.6, 0.8));
  expectNear(a.lerp(b, 0.5), Vector3(-0.5, 1.25, 3.5));
  EXPECT_NEAR(Vector3(1, 0, 0).angle(Vector3(0, 1, 0)), M_PI / 2, 1e-12);
  EXPECT_EQ(Vector3(1, -5, 2).minAxis(), 1);
  EXPECT_EQ(Vector3(1, -5, 2).maxAxis(), 2);
  EXPECT_EQ(Vector3(1, -5, 2).closestAxis(), 1);
}

TEST_F(LinearMathTest, VectorRotateAboutAxis)
{
  expectNear(Vector3(1, 0, 0).rotate(Vector3(0, 0, 1), M_PI / 2), Vector3(0, 1, 0));
}

// ---- quaternions -------------------------------------------------------------------------

TEST_F(LinearMathTest, SetRpyYawOnlyIsHalfAngle)
{
  const Quaternion q = rpy(0, 0, 0.8);
  EXPECT_NEAR(q.x(), 0.0, 1e-12);
  EXPECT_NEAR(q.y(), 0.0, 1e-12);
  EXPECT_NEAR(q.z(), std::sin(0.4), 1e-12);
  EXPECT_NEAR(q.w(), std::cos(0.4), 1e-12);
}

TEST_F(LinearMathTest, RpyIsFixedAxisRollThenPitchThenYaw)
{
  const Quaternion composed = rpy(0, 0, 0.3) * rpy(0, 0.2, 0) * rpy(0.1, 0, 0);
  expectSameRotation(rpy(0.1, 0.2, 0.3), composed);
}

TEST_F(LinearMathTest, AxisAngleAndAccessors)
{
  const Quaternion q(Vector3(0, 0, 2), M_PI / 3);  // axis need not be unit length
  EXPECT_NEAR(q.getAngle(), M_PI / 3, 1e-12);
  expectNear(q.getAxis(), Vector3(0, 0, 1));
  expectNear(tf2::quatRotate(q, Vector3(1, 0, 0)), Vector3(0.5, std::sqrt(3) / 2, 0));
}

TEST_F(LinearMathTest, InverseUndoesRotation)
{
  const Quaternion q = rpy(0.4, -0.2, 1.3);
  expectSameRotation(q * q.inverse(), Quaternion::getIdentity());
  const Vector3 v(1, 2, 3);
  expectNear(tf2::quatRotate(q.inverse(), tf2::quatRotate(q, v)), v);
}

TEST_F(LinearMathTest, SlerpHalfwayAndShortestPath)
{
  const Quaternion a = rpy(0, 0, 0.2);
  const Quaternion b = rpy(0, 0, 1.0);
  expectSameRotation(a.slerp(b, 0.5), rpy(0, 0, 0.6));
  expectSameRotation(tf2::slerp(a, b, 0.0), a);
  expectSameRotation(tf2::slerp(a, b, 1.0), b);
  // -b is the same rotation; slerp must still take the short way. (Humble declares unary minus
  // both as a member and as a free function, so `-b` is ambiguous there.)
  const Quaternion minus_b = b * -1.0;
  expectSameRotation(a.slerp(minus_b, 0.5), rpy(0, 0, 0.6));
  EXPECT_NEAR(a.angleShortestPath(minus_b), 0.8, 1e-12);
}

TEST_F(LinearMathTest, ShortestArcMapsOneDirectionOntoAnother)
{
  const Vector3 from(1, 0, 0);
  const Vector3 to(0, 0, 1);
  expectNear(tf2::quatRotate(tf2::shortestArcQuat(from, to), from), to);
  expectNear(tf2::quatRotate(tf2::shortestArcQuat(from, -from), from), -from);
}

// ---- matrices ----------------------------------------------------------------------------

TEST_F(LinearMathTest, MatrixFromQuaternionRotatesLikeTheQuaternion)
{
  const Quaternion q = rpy(0.3, -0.7, 2.1);
  const Matrix3x3 m(q);
  const Vector3 v(0.5, -1.0, 2.0);
  expectNear(m * v, tf2::quatRotate(q, v));
  Quaternion back;
  m.getRotation(back);
  expectSameRotation(back, q);
}

TEST_F(LinearMathTest, GetRotationHandlesNegativeTrace)
{
  const Quaternion q(Vector3(1, 1, 0), 3.0);  // near half-turn: trace < 0
  Quaternion back;
  Matrix3x3(q).getRotation(back);
  expectSameRotation(back, q.normalized());
}

TEST_F(LinearMathTest, GetRpyInvertsSetRpy)
{
  Matrix3x3 m;
  m.setRPY(0.3, -0.4, 2.5);
  double roll, pitch, yaw;
  m.getRPY(roll, pitch, yaw);
  EXPECT_NEAR(roll, 0.3, 1e-12);
  EXPECT_NEAR(pitch, -0.4, 1e-12);
  EXPECT_NEAR(yaw, 2.5, 1e-12);

  double y2, p2, r2;
  m.getEulerYPR(y2, p2, r2, 2);
  Matrix3x3 other;
  other.setEulerYPR(y2, p2, r2);
  for (int i = 0; i < 3; ++i) {
    expectNear(other[i], m[i]);
  }
  EXPECT_NEAR(p2, M_PI + 0.4, 1e-12);
}

// At pitch +-90 deg yaw is set to 0 and roll read from entries that are then zero: the yaw set
// is lost, not folded into the roll.
TEST_F(LinearMathTest, GetRpyAtGimbalLockDropsTheYaw)
{
  for (double pitch : {M_PI / 2, -M_PI / 2}) {
    Matrix3x3 m;
    m.setRPY(0.0, pitch, 0.7);
    double r, p, y;
    m.getRPY(r, p, y);
    EXPECT_NEAR(r, 0.0, 1e-12);
    EXPECT_DOUBLE_EQ(p, pitch);
    EXPECT_DOUBLE_EQ(y, 0.0);
  }
}

TEST_F(LinearMathTest, MatrixInverseTransposeAndDeterminant)
{
  const Matrix3x3 m(2, 0, 1, 1, 3, 0, 0, 1, 4);
  EXPECT_DOUBLE_EQ(m.determinant(), 2 * 12 - 0 + 1 * 1);
  const Matrix3x3 product = m * m.inverse();
  for (int i = 0; i < 3; ++i) {
    expectNear(product[i], Matrix3x3::getIdentity()[i], 1e-12);
  }
  const Matrix3x3 t = m.transpose();
  EXPECT_DOUBLE_EQ(t[0][2], m[2][0]);
  const Matrix3x3 tt = m.transposeTimes(m);
  const Matrix3x3 expected = m.transpose() * m;
  for (int i = 0; i < 3; ++i) {
    expectNear(tt[i], expected[i], 1e-12);
  }
}

// ---- transforms --------------------------------------------------------------------------

TEST_F(LinearMathTest, TransformAppliesRotationThenTranslation)
{
  const Transform t(rpy(0, 0, M_PI / 2), Vector3(1, 2, 3));
  expectNear(t * Vector3(1, 0, 0), Vector3(1, 3, 3));
  expectNear(t.invXform(t * Vector3(4, 5, 6)), Vector3(4, 5, 6));
}

TEST_F(LinearMathTest, TransformCompositionAndInverse)
{
  const Transform a(rpy(0.1, 0.2, 0.3), Vector3(1, -1, 0.5));
  const Transform b(rpy(-0.5, 0.0, 1.2), Vector3(0, 2, -3));
  const Vector3 p(0.3, 0.4, 0.5);
  expectNear((a * b) * p, a * (b * p));
  expectNear((a.inverse() * a) * p, p);
  expectNear(a.inverseTimes(b) * p, a.inverse() * (b * p));
  Transform c = a;
  c *= b;
  expectNear(c * p, (a * b) * p);
  Transform m;
  m.mult(a, b);
  expectNear(m * p, (a * b) * p);
}

TEST_F(LinearMathTest, OpenGlMatrixRoundTrip)
{
  const Transform a(rpy(0.1, 0.2, 0.3), Vector3(1, -1, 0.5));
  double gl[16];
  a.getOpenGLMatrix(gl);
  EXPECT_DOUBLE_EQ(gl[12], 1.0);
  EXPECT_DOUBLE_EQ(gl[15], 1.0);
  EXPECT_DOUBLE_EQ(gl[1], a.getBasis()[1][0]);  // column-major
  Transform b;
  b.setFromOpenGLMatrix(gl);
  EXPECT_TRUE(a == b);
}
