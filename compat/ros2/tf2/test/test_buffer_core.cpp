#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <functional>
#include <limits>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tf2/buffer_core.h"
#include "tf2/exceptions.h"

using geometry_msgs::msg::TransformStamped;

class BufferCoreTest : public ::testing::Test
{
protected:
  static TransformStamped sample(
    const std::string & parent, const std::string & child, double x, double y, double yaw,
    double t_sec)
  {
    TransformStamped msg;
    const auto ns = tf2::durationFromSec(t_sec).count();
    msg.header.stamp.sec = static_cast<int32_t>(ns / 1000000000LL);
    msg.header.stamp.nanosec = static_cast<uint32_t>(ns % 1000000000LL);
    msg.header.frame_id = parent;
    msg.child_frame_id = child;
    msg.transform.translation.x = x;
    msg.transform.translation.y = y;
    msg.transform.rotation.z = std::sin(yaw / 2);
    msg.transform.rotation.w = std::cos(yaw / 2);
    return msg;
  }

  bool set(
    const std::string & parent, const std::string & child, double x, double y, double yaw,
    double t_sec, bool is_static = false)
  {
    return buffer_.setTransform(sample(parent, child, x, y, yaw, t_sec), "test", is_static);
  }

  static double yawOf(const TransformStamped & t)
  {
    const auto & q = t.transform.rotation;
    return std::atan2(2 * (q.w * q.z + q.x * q.y), 1 - 2 * (q.y * q.y + q.z * q.z));
  }

  static double seconds(const TransformStamped & t)
  {
    return t.header.stamp.sec + t.header.stamp.nanosec * 1e-9;
  }

  // Runs a lookup that must throw E and returns the exception text.
  template<typename E>
  std::string errorOf(const std::string & target, const std::string & source, double t_sec)
  {
    try {
      buffer_.lookupTransform(target, source, tf2::timeFromSec(t_sec));
    } catch (const E & e) {
      return e.what();
    }
    ADD_FAILURE() << "expected exception looking up " << target << " <- " << source;
    return "";
  }

  tf2::BufferCore buffer_{std::chrono::seconds(10)};
};

// ---- interpolation -----------------------------------------------------------------------

TEST_F(BufferCoreTest, InterpolatesTranslationAndRotationBetweenSamples)
{
  set("odom", "base", 0.0, 0.0, 0.0, 1.0);
  set("odom", "base", 2.0, 4.0, 1.0, 3.0);
  const auto t = buffer_.lookupTransform("odom", "base", tf2::timeFromSec(1.5));
  EXPECT_NEAR(t.transform.translation.x, 0.5, 1e-9);
  EXPECT_NEAR(t.transform.translation.y, 1.0, 1e-9);
  EXPECT_NEAR(yawOf(t), 0.25, 1e-9);
  EXPECT_DOUBLE_EQ(seconds(t), 1.5);
  EXPECT_EQ(t.header.frame_id, "odom");
  EXPECT_EQ(t.child_frame_id, "base");
}

TEST_F(BufferCoreTest, ExactStampReturnsTheSample)
{
  set("odom", "base", 0.0, 0.0, 0.0, 1.0);
  set("odom", "base", 2.0, 0.0, 0.4, 2.0);
  set("odom", "base", 7.0, 0.0, 0.0, 3.0);
  const auto t = buffer_.lookupTransform("odom", "base", tf2::timeFromSec(2.0));
  EXPECT_DOUBLE_EQ(t.transform.translation.x, 2.0);
  EXPECT_NEAR(yawOf(t), 0.4, 1e-12);
}

TEST_F(BufferCoreTest, SamplesArriveOutOfOrder)
{
  set("odom", "base", 4.0, 0.0, 0.0, 3.0);
  set("odom", "base", 0.0, 0.0, 0.0, 1.0);
  const auto t = buffer_.lookupTransform("odom", "base", tf2::timeFromSec(2.0));
  EXPECT_NEAR(t.transform.translation.x, 2.0, 1e-9);
}

// ---- extrapolation -----------------------------------------------------------------------

TEST_F(BufferCoreTest, FutureTimeIsAnExtrapolationError)
{
  set("odom", "base", 0.0, 0.0, 0.0, 1.0);
  set("odom", "base", 1.0, 0.0, 0.0, 3.0);
  EXPECT_EQ(errorOf<tf2::ExtrapolationException>("odom", "base", 4.0),
    "Lookup would require extrapolation into the future.  Requested time 4.000000 but the "
    "latest data is at time 3.000000, when looking up transform from frame [base] to frame "
    "[odom]");
}

TEST_F(BufferCoreTest, PastTimeIsAnExtrapolationError)
{
  set("odom", "base", 0.0, 0.0, 0.0, 1.0);
  set("odom", "base", 1.0, 0.0, 0.0, 3.0);
  EXPECT_EQ(errorOf<tf2::ExtrapolationException>("base", "odom", 0.5),
    "Lookup would require extrapolation into the past.  Requested time 0.500000 but the "
    "earliest data is at time 1.000000, when looking up transform from frame [odom] to frame "
    "[base]");
}

TEST_F(BufferCoreTest, SingleSampleOnlyAnswersItsOwnStamp)
{
  set("odom", "base", 1.0, 0.0, 0.0, 1.0);
  EXPECT_NO_THROW(buffer_.lookupTransform("odom", "base", tf2::timeFromSec(1.0)));
  EXPECT_EQ(errorOf<tf2::ExtrapolationException>("odom", "base", 2.0).rfind(
      "Lookup would require extrapolation at time 2.000000, but only time 1.000000 is in the "
      "buffer", 0), 0u);
}

// A sample leaves the cache only when a later insertion finds it older than the newest stamp
// before that insertion minus the cache time; a refused sample prunes all the same.
TEST_F(BufferCoreTest, OldSamplesArePrunedByTheNextInsertion)
{
  set("odom", "base", 0.0, 0.0, 0.0, 1.0);
  set("odom", "base", 0.0, 0.0, 0.0, 5.0);
  set("odom", "base", 0.0, 0.0, 0.0, 12.0);
  set("odom", "base", 0.0, 0.0, 0.0, 20.0);
  EXPECT_NO_THROW(buffer_.lookupTransform("odom", "base", tf2::timeFromSec(5.0)));
  EXPECT_THROW(
    buffer_.lookupTransform("odom", "base", tf2::timeFromSec(1.0)), tf2::ExtrapolationException);
  EXPECT_FALSE(set("odom", "base", 0.0, 0.0, 0.0, 2.0));
  EXPECT_THROW(
    buffer_.lookupTransform("odom", "base", tf2::timeFromSec(5.0)), tf2::ExtrapolationException);
}

// ---- connectivity and argument errors ----------------------------------------------------

TEST_F(BufferCoreTest, UnknownFrameIsALookupError)
{
  set("odom", "base", 0.0, 0.0, 0.0, 1.0);
  EXPECT_EQ(errorOf<tf2::LookupException>("nowhere", "base", 1.0),
    "\"nowhere\" passed to lookupTransform argument target_frame does not exist. ");
  EXPECT_EQ(errorOf<tf2::LookupException>("odom", "nowhere", 1.0),
    "\"nowhere\" passed to lookupTransform argument source_frame does not exist. ");
}

TEST_F(BufferCoreTest, EmptyOrSlashedFrameIsAnInvalidArgument)
{
  set("odom", "base", 0.0, 0.0, 0.0, 1.0);
  EXPECT_EQ(errorOf<tf2::InvalidArgumentException>("", "base", 1.0),
    "Invalid argument \"\" passed to lookupTransform argument target_frame - in tf2 frame_ids "
    "cannot be empty");
  EXPECT_EQ(errorOf<tf2::InvalidArgumentException>("odom", "/base", 1.0).rfind(
      "Invalid argument \"/base\" passed to lookupTransform argument source_frame - in tf2 "
      "frame_ids cannot start with a '/'", 0), 0u);
}

TEST_F(BufferCoreTest, DisconnectedTreesAreAConnectivityError)
{
  set("odom", "base", 0.0, 0.0, 0.0, 1.0);
  set("world", "tag", 0.0, 0.0, 0.0, 1.0);
  const std::string expected =
    "Could not find a connection between 'odom' and 'tag' because they are not part of the "
    "same tree.Tf has two or more unconnected trees.";
  EXPECT_EQ(errorOf<tf2::ConnectivityException>("odom", "tag", 1.0), expected);
  EXPECT_EQ(errorOf<tf2::ConnectivityException>("odom", "tag", 0.0), expected);
}

TEST_F(BufferCoreTest, SameFrameIsIdentityWithoutValidation)
{
  const auto t = buffer_.lookupTransform("ghost", "ghost", tf2::timeFromSec(4.0));
  EXPECT_DOUBLE_EQ(t.transform.rotation.w, 1.0);
  EXPECT_DOUBLE_EQ(t.transform.translation.x, 0.0);
  EXPECT_DOUBLE_EQ(seconds(t), 4.0);
  EXPECT_TRUE(buffer_.canTransform("ghost", "ghost", tf2::TimePointZero));
}

TEST_F(BufferCoreTest, RejectsMalformedSamples)
{
  EXPECT_FALSE(set("base", "base", 0.0, 0.0, 0.0, 1.0));
  EXPECT_FALSE(set("odom", "", 0.0, 0.0, 0.0, 1.0));
  EXPECT_FALSE(set("", "base", 0.0, 0.0, 0.0, 1.0));
  auto nan_sample = sample("odom", "base", std::nan(""), 0.0, 0.0, 1.0);
  EXPECT_FALSE(buffer_.setTransform(nan_sample, "test"));
  auto zero_quaternion = sample("odom", "base", 0.0, 0.0, 0.0, 1.0);
  zero_quaternion.transform.rotation.w = 0.0;
  EXPECT_FALSE(buffer_.setTransform(zero_quaternion, "test"));
  EXPECT_FALSE(buffer_._frameExists("base"));
}

TEST_F(BufferCoreTest, UnnormalisedRotationIsStoredNormalised)
{
  auto scaled = sample("odom", "base", 0.0, 0.0, 0.0, 1.0);
  scaled.transform.rotation.w = -1.2;
  ASSERT_TRUE(buffer_.setTransform(scaled, "test"));
  const auto t = buffer_.lookupTransform("odom", "base", tf2::timeFromSec(1.0));
  EXPECT_DOUBLE_EQ(t.transform.rotation.w, 1.0);
}

TEST_F(BufferCoreTest, LeadingSlashOfIncomingFramesIsStripped)
{
  EXPECT_TRUE(set("/odom", "/base", 1.0, 0.0, 0.0, 1.0));
  EXPECT_TRUE(buffer_._frameExists("odom"));
  EXPECT_TRUE(buffer_._frameExists("base"));
}

// ---- static vs dynamic -------------------------------------------------------------------

TEST_F(BufferCoreTest, StaticTransformAnswersAnyTime)
{
  set("base", "laser", 0.2, 0.0, 0.0, 5.0, true);
  for (double t : {0.0, 1.0, 1000.0}) {
    const auto result = buffer_.lookupTransform("base", "laser", tf2::timeFromSec(t));
    EXPECT_DOUBLE_EQ(result.transform.translation.x, 0.2);
    EXPECT_DOUBLE_EQ(seconds(result), t);
  }
}

TEST_F(BufferCoreTest, StaticLinksDoNotLimitTheLatestCommonTime)
{
  set("odom", "base", 0.0, 0.0, 0.0, 1.0);
  set("odom", "base", 1.0, 0.0, 0.0, 2.0);
  set("base", "laser", 0.2, 0.0, 0.0, 50.0, true);
  const auto t = buffer_.lookupTransform("odom", "laser", tf2::TimePointZero);
  EXPECT_DOUBLE_EQ(seconds(t), 2.0);
  EXPECT_NEAR(t.transform.translation.x, 1.2, 1e-12);
}

TEST_F(BufferCoreTest, StaticAndDynamicReplaceEachOther)
{
  set("odom", "base", 1.0, 0.0, 0.0, 1.0);
  set("odom", "base", 2.0, 0.0, 0.0, 2.0);
  set("odom", "base", 5.0, 0.0, 0.0, 0.0, true);
  EXPECT_DOUBLE_EQ(
    buffer_.lookupTransform("odom", "base", tf2::timeFromSec(1.5)).transform.translation.x, 5.0);
  set("odom", "base", 7.0, 0.0, 0.0, 3.0);
  EXPECT_THROW(
    buffer_.lookupTransform("odom", "base", tf2::timeFromSec(1.5)), tf2::ExtrapolationException);
}

TEST_F(BufferCoreTest, ClearDropsDynamicDataButKeepsStaticAndNames)
{
  set("odom", "base", 1.0, 0.0, 0.0, 1.0);
  set("base", "laser", 0.2, 0.0, 0.0, 0.0, true);
  buffer_.clear();
  EXPECT_TRUE(buffer_._frameExists("odom"));
  EXPECT_FALSE(buffer_.canTransform("odom", "base", tf2::TimePointZero));
  EXPECT_TRUE(buffer_.canTransform("base", "laser", tf2::TimePointZero));
}

// ---- time zero ---------------------------------------------------------------------------

TEST_F(BufferCoreTest, TimeZeroUsesTheLatestCommonTimeOfTheChain)
{
  set("map", "odom", 0.0, 0.0, 0.0, 1.0);
  set("map", "odom", 1.0, 0.0, 0.0, 2.0);
  for (double t : {1.0, 2.0, 3.0}) {
    set("odom", "base", t, 0.0, 0.0, t);
  }
  const auto result = buffer_.lookupTransform("map", "base", tf2::TimePointZero);
  EXPECT_DOUBLE_EQ(seconds(result), 2.0);
  EXPECT_NEAR(result.transform.translation.x, 1.0 + 2.0, 1e-12);
}

TEST_F(BufferCoreTest, TimeZeroOnOneFrameUsesItsNewestSample)
{
  set("odom", "base", 1.0, 0.0, 0.0, 1.0);
  set("odom", "base", 3.0, 0.0, 0.0, 4.0);
  const auto t = buffer_.lookupTransform("odom", "base", tf2::TimePointZero);
  EXPECT_DOUBLE_EQ(seconds(t), 4.0);
  EXPECT_DOUBLE_EQ(t.transform.translation.x, 3.0);
}

// ---- chains ------------------------------------------------------------------------------

TEST_F(BufferCoreTest, ChainsThroughAncestorsAndDescendants)
{
  set("map", "odom", 1.0, 0.0, 0.0, 1.0, true);
  set("odom", "base", 0.0, 1.0, M_PI / 2, 1.0, true);
  // A point 1 m ahead of base lies at odom (0, 2) and map (1, 2); base faces +y.
  const auto down = buffer_.lookupTransform("map", "base", tf2::TimePointZero);
  EXPECT_NEAR(down.transform.translation.x, 1.0, 1e-12);
  EXPECT_NEAR(down.transform.translation.y, 1.0, 1e-12);
  EXPECT_NEAR(yawOf(down), M_PI / 2, 1e-12);
  const auto up = buffer_.lookupTransform("base", "map", tf2::TimePointZero);
  // The map origin seen from base: (-1, -1) away in map axes, i.e. behind-left in base axes.
  EXPECT_NEAR(up.transform.translation.x, -1.0, 1e-12);
  EXPECT_NEAR(up.transform.translation.y, 1.0, 1e-12);
  EXPECT_NEAR(yawOf(up), -M_PI / 2, 1e-12);
}

TEST_F(BufferCoreTest, ChainsBetweenSiblingsThroughTheirParent)
{
  set("base", "laser", 0.5, 0.0, 0.0, 0.0, true);
  set("base", "camera", 0.0, 0.3, M_PI, 0.0, true);
  const auto t = buffer_.lookupTransform("camera", "laser", tf2::TimePointZero);
  // laser origin in camera frame: base (0.5, 0) minus camera (0, 0.3), rotated by -pi
  EXPECT_NEAR(t.transform.translation.x, -0.5, 1e-12);
  EXPECT_NEAR(t.transform.translation.y, 0.3, 1e-12);
}

TEST_F(BufferCoreTest, FixedFrameLookupComparesTwoTimes)
{
  set("odom", "base", 0.0, 0.0, 0.0, 1.0);
  set("odom", "base", 2.0, 0.0, 0.0, 2.0);
  set("odom", "base", 4.0, 0.0, 0.0, 3.0);
  // Where is base at t=1 as seen from base at t=3, with odom held fixed?
  const auto t = buffer_.lookupTransform(
    "base", tf2::timeFromSec(3.0), "base", tf2::timeFromSec(1.0), "odom");
  EXPECT_NEAR(t.transform.translation.x, -4.0, 1e-12);
  EXPECT_THROW(
    buffer_.lookupTransform("base", tf2::timeFromSec(3.0), "base", tf2::timeFromSec(1.0), "x"),
    tf2::LookupException);
}

// ---- canTransform ------------------------------------------------------------------------

TEST_F(BufferCoreTest, CanTransformReportsWhyNot)
{
  set("odom", "base", 0.0, 0.0, 0.0, 1.0);
  set("odom", "base", 0.0, 0.0, 0.0, 2.0);
  set("world", "tag", 0.0, 0.0, 0.0, 1.0);
  std::string error;
  EXPECT_TRUE(buffer_.canTransform("odom", "base", tf2::timeFromSec(1.5), &error));
  EXPECT_FALSE(buffer_.canTransform("nowhere", "base", tf2::timeFromSec(1.5), &error));
  EXPECT_EQ(error, "Invalid frame ID \"nowhere\" passed to canTransform argument target_frame - "
    "frame does not exist");
  EXPECT_FALSE(buffer_.canTransform("odom", "", tf2::timeFromSec(1.5), &error));
  EXPECT_EQ(error, "Invalid frame ID \"\" passed to canTransform argument source_frame - "
    "in tf2 frame_ids cannot be empty");
  EXPECT_FALSE(buffer_.canTransform("odom", "base", tf2::timeFromSec(9.0), &error));
  EXPECT_EQ(error.rfind("Lookup would require extrapolation into the future.", 0), 0u);
  EXPECT_FALSE(buffer_.canTransform("odom", "tag", tf2::timeFromSec(1.0), &error));
  EXPECT_EQ(error.rfind("Could not find a connection between 'odom' and 'tag'", 0), 0u);
  EXPECT_FALSE(buffer_.canTransform("odom", "nowhere", tf2::timeFromSec(1.0)));
}

TEST_F(BufferCoreTest, CanTransformThroughAFixedFrame)
{
  set("odom", "base", 0.0, 0.0, 0.0, 1.0);
  set("odom", "base", 0.0, 0.0, 0.0, 3.0);
  EXPECT_TRUE(buffer_.canTransform(
      "base", tf2::timeFromSec(2.0), "base", tf2::timeFromSec(1.0), "odom"));
  EXPECT_FALSE(buffer_.canTransform(
      "base", tf2::timeFromSec(4.0), "base", tf2::timeFromSec(1.0), "odom"));
}

// ---- introspection -----------------------------------------------------------------------

TEST_F(BufferCoreTest, DescribesTheTree)
{
  set("map", "odom", 0.0, 0.0, 0.0, 1.0);
  set("odom", "base", 0.0, 0.0, 0.0, 1.0);
  EXPECT_EQ(buffer_.allFramesAsString(),
    "Frame odom exists with parent map.\nFrame base exists with parent odom.\n");
  std::vector<std::string> names;
  buffer_._getFrameStrings(names);
  EXPECT_EQ(names, (std::vector<std::string>{"odom", "map", "base"}));
  std::string parent;
  EXPECT_TRUE(buffer_._getParent("base", tf2::TimePointZero, parent));
  EXPECT_EQ(parent, "odom");
  EXPECT_FALSE(buffer_._getParent("map", tf2::TimePointZero, parent));
  EXPECT_NE(buffer_.allFramesAsYAML().find("base: \n  parent: 'odom'"), std::string::npos);
  const std::string dot = buffer_._allFramesAsDot(tf2::timeFromSec(2.0));
  EXPECT_EQ(dot.rfind("digraph G {\n\"map\" -> \"odom\"[label=\"Broadcaster: test\\n", 0), 0u);
  EXPECT_NE(dot.find("( 1.000 sec old)"), std::string::npos);
  const std::string legend = "\"Recorded at time: 2.000000\"[ shape=plaintext ] ;\n }->\"map\";\n}";
  EXPECT_EQ(dot.substr(dot.size() - legend.size()), legend);
}

// ---- transformable requests --------------------------------------------------------------

TEST_F(BufferCoreTest, RequestFiresWhenTheTransformBecomesAvailable)
{
  std::vector<tf2::TransformableResult> results;
  auto cb = [&](tf2::TransformableRequestHandle, const std::string & target,
      const std::string & source, tf2::TimePoint, tf2::TransformableResult result) {
      EXPECT_EQ(target, "odom");
      EXPECT_EQ(source, "base");
      results.push_back(result);
    };
  const auto handle = buffer_.addTransformableRequest(cb, "odom", "base", tf2::timeFromSec(2.0));
  EXPECT_NE(handle, 0u);
  set("odom", "base", 0.0, 0.0, 0.0, 1.0);
  EXPECT_TRUE(results.empty());
  set("odom", "base", 0.0, 0.0, 0.0, 3.0);
  ASSERT_EQ(results.size(), 1u);
  EXPECT_EQ(results[0], tf2::TransformAvailable);
  set("odom", "base", 0.0, 0.0, 0.0, 4.0);
  EXPECT_EQ(results.size(), 1u);
}

// The sample at 1 s survives the one at 30 s, so 5 s is answered from it; only a time the data
// cannot cover and that lies beyond the cache time is hopeless.
TEST_F(BufferCoreTest, RequestAnswersAtOnceForAvailableOrHopelessTimes)
{
  set("odom", "base", 0.0, 0.0, 0.0, 1.0);
  set("odom", "base", 0.0, 0.0, 0.0, 30.0);
  int calls = 0;
  auto cb = [&](tf2::TransformableRequestHandle, const std::string &, const std::string &,
      tf2::TimePoint, tf2::TransformableResult) {++calls;};
  EXPECT_EQ(buffer_.addTransformableRequest(cb, "odom", "base", tf2::timeFromSec(30.0)), 0u);
  EXPECT_EQ(buffer_.addTransformableRequest(cb, "odom", "base", tf2::timeFromSec(5.0)), 0u);
  EXPECT_EQ(buffer_.addTransformableRequest(cb, "odom", "base", tf2::timeFromSec(0.5)),
    std::numeric_limits<uint64_t>::max());
  EXPECT_EQ(calls, 0);
}

TEST_F(BufferCoreTest, RequestFailsWhenItsTimeFallsOutOfTheCache)
{
  set("odom", "base", 0.0, 0.0, 0.0, 1.0);
  std::vector<tf2::TransformableResult> results;
  auto cb = [&](tf2::TransformableRequestHandle, const std::string &, const std::string &,
      tf2::TimePoint, tf2::TransformableResult result) {results.push_back(result);};
  buffer_.addTransformableRequest(cb, "odom", "base", tf2::timeFromSec(0.5));
  set("odom", "base", 0.0, 0.0, 0.0, 20.0);
  ASSERT_EQ(results.size(), 1u);
  EXPECT_EQ(results[0], tf2::TransformFailure);
}

TEST_F(BufferCoreTest, CancelledRequestNeverFires)
{
  int calls = 0;
  auto cb = [&](tf2::TransformableRequestHandle, const std::string &, const std::string &,
      tf2::TimePoint, tf2::TransformableResult) {++calls;};
  const auto handle = buffer_.addTransformableRequest(cb, "odom", "base", tf2::timeFromSec(1.0));
  buffer_.cancelTransformableRequest(handle);
  set("odom", "base", 0.0, 0.0, 0.0, 1.0);
  EXPECT_EQ(calls, 0);
}

// Cancelling the first of three queued requests forgets the third one's callback instead of its
// own: the third is never called back.
TEST_F(BufferCoreTest, CancellingARequestSilencesTheLastQueuedOne)
{
  std::vector<int> called;
  std::vector<tf2::TransformableRequestHandle> handles;
  for (int id = 1; id <= 3; ++id) {
    handles.push_back(
      buffer_.addTransformableRequest(
        [&called, id](tf2::TransformableRequestHandle, const std::string &, const std::string &,
        tf2::TimePoint, tf2::TransformableResult) {called.push_back(id);},
        "odom", "base", tf2::timeFromSec(1.0)));
  }
  buffer_.cancelTransformableRequest(handles[0]);
  set("odom", "base", 0.0, 0.0, 0.0, 1.0);
  EXPECT_EQ(called, std::vector<int>{2});
}

TEST_F(BufferCoreTest, CallbackMayLookUpTransforms)
{
  double seen_x = -1.0;
  auto cb = [&](tf2::TransformableRequestHandle, const std::string & target,
      const std::string & source, tf2::TimePoint time, tf2::TransformableResult) {
      seen_x = buffer_.lookupTransform(target, source, time).transform.translation.x;
    };
  buffer_.addTransformableRequest(cb, "odom", "base", tf2::timeFromSec(1.0));
  set("odom", "base", 0.75, 0.0, 0.0, 1.0);
  EXPECT_DOUBLE_EQ(seen_x, 0.75);
}

// geometry2 0.25.8 buffer_core.cpp: addTransformableRequest answers 0 at once for a frame asked
// against itself, known or not; testTransformableRequests calls a ready request's callback, puts
// the last request in its place and tests that one next.
TEST_F(BufferCoreTest, ReadyRequestsFireInHumblesOrderAndSameFrameNeedsNoRequest)
{
  std::vector<int> order;
  for (int id = 1; id <= 3; ++id) {
    buffer_.addTransformableRequest(
      [&order, id](tf2::TransformableRequestHandle, const std::string &, const std::string &,
      tf2::TimePoint, tf2::TransformableResult) {order.push_back(id);},
      "odom", "base", tf2::timeFromSec(1.0 + 0.5 * id));
  }
  set("odom", "base", 0.0, 0.0, 0.0, 1.0);
  set("odom", "base", 0.0, 0.0, 0.0, 3.0);

  EXPECT_EQ(order, (std::vector<int>{1, 3, 2}));
  EXPECT_EQ(
    buffer_.addTransformableRequest(
      [](tf2::TransformableRequestHandle, const std::string &, const std::string &,
      tf2::TimePoint, tf2::TransformableResult) {}, "nowhere", "nowhere", tf2::timeFromSec(1.0)),
    0u);
}

// ---- concurrency -------------------------------------------------------------------------

// Runs `action` in a child process; true if it returned within `grace`. A child still running then
// is taken as deadlocked and killed (one under ThreadSanitizer may instead end with its report of
// the double lock).
static bool returnsInAChildProcess(const std::function<void()> & action, std::chrono::seconds grace)
{
  const pid_t child = fork();
  if (child == 0) {
    action();
    _exit(0);
  }
  const auto deadline = std::chrono::steady_clock::now() + grace;
  int status = 0;
  while (std::chrono::steady_clock::now() < deadline) {
    if (waitpid(child, &status, WNOHANG) == child) {
      return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  kill(child, SIGKILL);
  waitpid(child, &status, 0);
  return false;
}

// geometry2 0.25.8: transformable_requests_mutex_ is a plain std::mutex, held while the thread that
// called setTransform runs the transform-ready callbacks, so a callback that cancels or adds a
// request never returns.
TEST_F(BufferCoreTest, CallbackThatCancelsOrAddsARequestDeadlocks)
{
  for (const bool cancel : {true, false}) {
    const bool returned = returnsInAChildProcess(
      [cancel]() {
        tf2::BufferCore buffer;
        tf2::TransformableRequestHandle handle = 0;
        handle = buffer.addTransformableRequest(
          [&buffer, &handle, cancel](tf2::TransformableRequestHandle, const std::string &,
          const std::string &, tf2::TimePoint, tf2::TransformableResult) {
            if (cancel) {
              buffer.cancelTransformableRequest(handle);
            } else {
              buffer.addTransformableRequest(
                [](tf2::TransformableRequestHandle, const std::string &, const std::string &,
                tf2::TimePoint, tf2::TransformableResult) {}, "odom", "base", tf2::timeFromSec(9.0));
            }
          },
          "odom", "base", tf2::timeFromSec(1.0));
        buffer.setTransform(sample("odom", "base", 0.0, 0.0, 0.0, 1.0), "test");
      },
      std::chrono::seconds(2));
    EXPECT_FALSE(returned) << (cancel ? "cancelTransformableRequest" : "addTransformableRequest");
  }
}


TEST_F(BufferCoreTest, ConcurrentWritersAndReadersSeeConsistentData)
{
  constexpr int kSamples = 2000;
  std::thread writer([this] {
      for (int i = 1; i <= kSamples; ++i) {
        set("odom", "base", i * 0.001, 0.0, 0.0, i * 0.001);
      }
    });
  std::thread reader([&] {
      for (int i = 0; i < kSamples; ++i) {
        std::string error;
        if (buffer_.canTransform("odom", "base", tf2::TimePointZero, &error)) {
          const auto t = buffer_.lookupTransform("odom", "base", tf2::TimePointZero);
          // Each sample's translation equals its stamp, so any torn read shows here.
          EXPECT_NEAR(t.transform.translation.x, seconds(t), 1e-9);
        }
      }
    });
  writer.join();
  reader.join();
  const auto last = buffer_.lookupTransform("odom", "base", tf2::TimePointZero);
  EXPECT_NEAR(last.transform.translation.x, kSamples * 0.001, 1e-9);
}

TEST_F(BufferCoreTest, RequestWakesAWaiterOnAnotherThread)
{
  std::mutex mutex;
  std::condition_variable cv;
  bool available = false;
  auto cb = [&](tf2::TransformableRequestHandle, const std::string &, const std::string &,
      tf2::TimePoint, tf2::TransformableResult result) {
      std::lock_guard<std::mutex> lock(mutex);
      available = result == tf2::TransformAvailable;
      cv.notify_all();
    };
  ASSERT_NE(buffer_.addTransformableRequest(cb, "map", "base", tf2::timeFromSec(2.0)), 0u);
  std::thread publisher([this] {
      set("map", "odom", 0.0, 0.0, 0.0, 0.0, true);
      set("odom", "base", 1.0, 0.0, 0.0, 1.0);
      set("odom", "base", 3.0, 0.0, 0.0, 3.0);
    });
  {
    std::unique_lock<std::mutex> lock(mutex);
    cv.wait(lock, [&] {return available;});
  }
  publisher.join();
  EXPECT_NEAR(
    buffer_.lookupTransform("map", "base", tf2::timeFromSec(2.0)).transform.translation.x, 2.0,
    1e-12);
}
