#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "tf2/exceptions.h"
#include "tf2/time.h"
#include "tf2/transform_datatypes.h"
#include "tf2/utils.h"

class TimeAndUtilsTest : public ::testing::Test
{
protected:
  static tf2::Quaternion rpy(double r, double p, double y)
  {
    tf2::Quaternion q;
    q.setRPY(r, p, y);
    return q;
  }
};

// ---- time --------------------------------------------------------------------------------

TEST_F(TimeAndUtilsTest, DurationFromSecondsSplitsWholeAndFraction)
{
  EXPECT_EQ(tf2::durationFromSec(1.5).count(), 1500000000LL);
  EXPECT_EQ(tf2::durationFromSec(-0.25).count(), -250000000LL);
  EXPECT_EQ(tf2::durationFromSec(1700000000.123456789).count() / 1000, 1700000000123456LL);
  // Whole seconds pass through 32 bits on the way back.
  EXPECT_NEAR(tf2::durationToSec(tf2::Duration::max()), 633437444.854775807, 1e-6);
}

TEST_F(TimeAndUtilsTest, SecondsRoundTrip)
{
  EXPECT_DOUBLE_EQ(tf2::timeToSec(tf2::timeFromSec(12.25)), 12.25);
  EXPECT_DOUBLE_EQ(tf2::durationToSec(tf2::durationFromSec(-3.5)), -3.5);
  EXPECT_EQ(tf2::timeFromSec(0.0), tf2::TimePointZero);
}

TEST_F(TimeAndUtilsTest, DisplayHasMicrosecondPrecision)
{
  EXPECT_EQ(tf2::displayTimePoint(tf2::timeFromSec(3.25)), "3.250000");
}

// ---- exceptions --------------------------------------------------------------------------

TEST_F(TimeAndUtilsTest, ExceptionsShareTheBaseAndKeepTheirText)
{
  try {
    throw tf2::ExtrapolationException("too late");
  } catch (const tf2::TransformException & e) {
    EXPECT_STREQ(e.what(), "too late");
  }
  EXPECT_THROW(throw tf2::ConnectivityException("x"), std::runtime_error);
  EXPECT_EQ(static_cast<int>(tf2::TF2Error::TF2_TIMEOUT_ERROR), 5);
}

// ---- heading -----------------------------------------------------------------------------

TEST_F(TimeAndUtilsTest, YawOfPlanarRotation)
{
  EXPECT_NEAR(tf2::getYaw(rpy(0, 0, 1.2)), 1.2, 1e-12);
  EXPECT_NEAR(tf2::getYaw(rpy(0, 0, -3.0)), -3.0, 1e-12);
}

TEST_F(TimeAndUtilsTest, YawIgnoresScaleOfTheQuaternion)
{
  const tf2::Quaternion q = rpy(0.2, 0.1, 0.7) * 3.0;
  EXPECT_NEAR(tf2::getYaw(q), 0.7, 1e-12);
}

TEST_F(TimeAndUtilsTest, EulerYprMatchesSetRpy)
{
  double yaw, pitch, roll;
  tf2::getEulerYPR(rpy(0.3, -0.2, 1.1), yaw, pitch, roll);
  EXPECT_NEAR(yaw, 1.1, 1e-12);
  EXPECT_NEAR(pitch, -0.2, 1e-12);
  EXPECT_NEAR(roll, 0.3, 1e-12);
}

TEST_F(TimeAndUtilsTest, GimbalLockUsesTheHalfAngleBranch)
{
  // Near pitch = +-90 deg roll is forced to zero, yaw comes from 2 * atan2(y, x), which for
  // this input lands half a turn away from the yaw that was set (values up to 2 pi), and the
  // pitch reported is a quarter turn short: 45 deg.
  double yaw, pitch, roll;
  const tf2::Quaternion q = rpy(0.0, M_PI / 2, 0.5);
  tf2::getEulerYPR(q, yaw, pitch, roll);
  EXPECT_NEAR(pitch, M_PI / 4, 1e-6);
  EXPECT_DOUBLE_EQ(roll, 0.0);
  EXPECT_NEAR(yaw, M_PI + 0.5, 1e-6);
  EXPECT_NEAR(tf2::getYaw(q), M_PI + 0.5, 1e-6);
}

// ---- stamped data ------------------------------------------------------------------------

TEST_F(TimeAndUtilsTest, StampedCarriesTimeAndFrame)
{
  const tf2::Stamped<tf2::Vector3> v(tf2::Vector3(1, 2, 3), tf2::timeFromSec(5), "map");
  tf2::Stamped<tf2::Vector3> copy;
  EXPECT_EQ(copy.frame_id_, "NO_ID_STAMPED_DEFAULT_CONSTRUCTION");
  copy = v;
  EXPECT_TRUE(copy == v);
  EXPECT_EQ(tf2::getFrameId(copy), "map");
  EXPECT_EQ(tf2::getTimestamp(copy), tf2::timeFromSec(5));
  copy.setData(tf2::Vector3(0, 0, 0));
  EXPECT_FALSE(copy == v);
}
