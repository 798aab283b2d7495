#include "tf2/buffer_core.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <iomanip>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "console_bridge/console.h"
#include "tf2/time_cache.h"

namespace tf2
{

namespace
{

constexpr TransformableRequestHandle kNeverTransformable = 0xffffffffffffffffULL;
constexpr double kQuaternionNormalizationTolerance = 10e-3;

bool startsWithSlash(const std::string & frame_id)
{
  return !frame_id.empty() && frame_id[0] == '/';
}

std::string stripSlash(const std::string & in)
{
  return startsWithSlash(in) ? in.substr(1) : in;
}

// Whole seconds toward zero, and the nanoseconds taken modulo 1e9 as an unsigned count: before
// the epoch the two do not add up to the time point.
builtin_interfaces::msg::Time toStampMsg(const TimePoint & t)
{
  const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch());
  const auto s = std::chrono::duration_cast<std::chrono::seconds>(t.time_since_epoch());
  builtin_interfaces::msg::Time stamp;
  stamp.sec = static_cast<int32_t>(s.count());
  stamp.nanosec = static_cast<uint32_t>(static_cast<uint64_t>(ns.count()) % 1000000000ull);
  return stamp;
}

geometry_msgs::msg::TransformStamped toStampedMsg(
  const Transform & transform, TimePoint stamp, const std::string & frame_id,
  const std::string & child_frame_id)
{
  geometry_msgs::msg::TransformStamped msg;
  msg.transform.translation.x = transform.getOrigin().x();
  msg.transform.translation.y = transform.getOrigin().y();
  msg.transform.translation.z = transform.getOrigin().z();
  const Quaternion q = transform.getRotation();
  msg.transform.rotation.x = q.x();
  msg.transform.rotation.y = q.y();
  msg.transform.rotation.z = q.z();
  msg.transform.rotation.w = q.w();
  msg.header.stamp = toStampMsg(stamp);
  msg.header.frame_id = frame_id;
  msg.child_frame_id = child_frame_id;
  return msg;
}

bool hasNan(const Transform & t)
{
  const Quaternion q = t.getRotation();
  return std::isnan(t.getOrigin().x()) || std::isnan(t.getOrigin().y()) ||
         std::isnan(t.getOrigin().z()) || std::isnan(q.x()) || std::isnan(q.y()) ||
         std::isnan(q.z()) || std::isnan(q.w());
}

// Logs every reason a sample must not enter the tree; true when there is none. The rotation is
// checked after its trip through a rotation matrix, which normalises any quaternion that is not
// degenerate: only those (zero, infinite) fail the length check, as NaNs as well.
bool isValidSample(
  const Transform & t, const std::string & parent, const std::string & child,
  const std::string & authority)
{
  bool valid = true;
  if (child == parent) {
    CONSOLE_BRIDGE_logError(
      "TF_SELF_TRANSFORM: Ignoring transform from authority \"%s\" with frame_id and  "
      "child_frame_id \"%s\" because they are the same", authority.c_str(), child.c_str());
    valid = false;
  }
  if (child.empty()) {
    CONSOLE_BRIDGE_logError(
      "TF_NO_CHILD_FRAME_ID: Ignoring transform from authority \"%s\" because child_frame_id not"
      " set ", authority.c_str());
    valid = false;
  }
  if (parent.empty()) {
    CONSOLE_BRIDGE_logError(
      "TF_NO_FRAME_ID: Ignoring transform with child_frame_id \"%s\"  from authority \"%s\" "
      "because frame_id not set", child.c_str(), authority.c_str());
    valid = false;
  }
  const Quaternion q = t.getRotation();
  if (hasNan(t)) {
    CONSOLE_BRIDGE_logError(
      "TF_NAN_INPUT: Ignoring transform for child_frame_id \"%s\" from authority \"%s\" because"
      " of a nan value in the transform (%f %f %f) (%f %f %f %f)", child.c_str(),
      authority.c_str(), t.getOrigin().x(), t.getOrigin().y(), t.getOrigin().z(), q.x(), q.y(),
      q.z(), q.w());
    valid = false;
  }
  if (!(std::abs(q.length2() - 1.0) < kQuaternionNormalizationTolerance)) {
    CONSOLE_BRIDGE_logError(
      "TF_DENORMALIZED_QUATERNION: Ignoring transform for child_frame_id \"%s\" from authority"
      " \"%s\" because of an invalid quaternion in the transform (%f %f %f %f)", child.c_str(),
      authority.c_str(), q.x(), q.y(), q.z(), q.w());
    valid = false;
  }
  return valid;
}

std::string withFrames(const std::string & error, const std::string & source, const std::string & target)
{
  return error + ", when looking up transform from frame [" + source + "] to frame [" + target +
         "]";
}

[[noreturn]] void throwFor(TF2Error code, const std::string & error)
{
  switch (code) {
    case TF2Error::TF2_CONNECTIVITY_ERROR:
      throw ConnectivityException(error);
    case TF2Error::TF2_EXTRAPOLATION_ERROR:
      throw ExtrapolationException(error);
    case TF2Error::TF2_LOOKUP_ERROR:
      throw LookupException(error);
    default:
      throw TransformException(error);
  }
}

// Rate of a cache's samples over its span, the span counted as at least 100 microseconds.
double sampleRate(TimeCacheInterface & cache)
{
  const Duration span = cache.getLatestTimestamp() - cache.getOldestTimestamp();
  const Duration floor = std::chrono::microseconds(100);
  return (cache.getListLength() * 1e9) / static_cast<double>(std::max(span, floor).count());
}

}  // namespace

// What a walk up the tree gathers. Composing, it keeps each link's sample and folds the source
// side and the target side up to where they meet, then turns them into target <- source.
class BufferCore::WalkAccumulator
{
public:
  enum class Ending {Identity, TargetParentOfSource, SourceParentOfTarget, FullPath};

  explicit WalkAccumulator(bool compose)
  : compose_(compose) {}

  // The parent of the cache's frame at `time`; 0 when the cache cannot answer.
  CompactFrameID gather(TimeCacheInterface & cache, TimePoint time, std::string * error)
  {
    if (!compose_) {
      return cache.getParent(time, error);
    }
    if (!cache.getData(time, sample_, error)) {
      return 0;
    }
    return sample_.frame_id_;
  }

  void accumulate(bool source_side)
  {
    if (!compose_) {
      return;
    }
    Side & side = source_side ? source_ : target_;
    side.translation = quatRotate(sample_.rotation_, side.translation) + sample_.translation_;
    side.rotation = sample_.rotation_ * side.rotation;
  }

  void finish(Ending ending, TimePoint time)
  {
    time_ = time;
    if (!compose_) {
      return;
    }
    const Quaternion target_inverse = target_.rotation.inverse();
    const Vector3 target_inverse_translation = quatRotate(target_inverse, -target_.translation);
    switch (ending) {
      case Ending::Identity:
        break;
      case Ending::TargetParentOfSource:
        result_ = source_;
        break;
      case Ending::SourceParentOfTarget:
        result_ = Side{target_inverse, target_inverse_translation};
        break;
      case Ending::FullPath:
        result_ = Side{
          target_inverse * source_.rotation,
          quatRotate(target_inverse, source_.translation) + target_inverse_translation};
        break;
    }
  }

  TimePoint time() const {return time_;}
  Quaternion rotation() const {return result_.rotation;}
  Vector3 translation() const {return result_.translation;}

private:
  struct Side
  {
    Quaternion rotation{0.0, 0.0, 0.0, 1.0};
    Vector3 translation{0.0, 0.0, 0.0};
  };

  bool compose_;
  TransformStorage sample_;
  Side source_;
  Side target_;
  Side result_;
  TimePoint time_;
};

BufferCore::BufferCore(tf2::Duration cache_time)
: cache_time_(cache_time)
{
  frameIDs_["NO_PARENT"] = 0;
  frames_.emplace_back();
  frameIDs_reverse_.emplace_back("NO_PARENT");
}

BufferCore::~BufferCore(void) = default;

void BufferCore::clear()
{
  std::lock_guard<std::mutex> lock(frame_mutex_);
  for (auto & frame : frames_) {
    if (frame) {
      frame->clearList();
    }
  }
}

bool BufferCore::setTransform(
  const geometry_msgs::msg::TransformStamped & transform, const std::string & authority,
  bool is_static)
{
  const auto & t = transform.transform;
  const Transform sample(
    Quaternion(t.rotation.x, t.rotation.y, t.rotation.z, t.rotation.w),
    Vector3(t.translation.x, t.translation.y, t.translation.z));
  const TimePoint stamp(
    std::chrono::nanoseconds(transform.header.stamp.nanosec) +
    std::chrono::seconds(transform.header.stamp.sec));
  const std::string parent = stripSlash(transform.header.frame_id);
  const std::string child = stripSlash(transform.child_frame_id);
  if (!isValidSample(sample, parent, child, authority)) {
    return false;
  }
  {
    std::lock_guard<std::mutex> lock(frame_mutex_);
    const CompactFrameID child_id = lookupOrInsertFrameNumber(child);
    TimeCacheInterfacePtr frame = getFrame(child_id);
    // A frame is either static or dynamic; a sample of the other kind starts it afresh.
    if (!frame || (dynamic_cast<StaticCache *>(frame.get()) != nullptr) != is_static) {
      frame = allocateFrame(child_id, is_static);
    }
    const TransformStorage storage(
      stamp, sample.getRotation(), sample.getOrigin(), lookupOrInsertFrameNumber(parent),
      child_id);
    if (!frame->insertData(storage)) {
      CONSOLE_BRIDGE_logWarn(
        "TF_OLD_DATA ignoring data from the past for frame %s at time %s according to authority"
        " %s\nPossible reasons are listed at http://wiki.ros.org/tf/Errors%%20explained",
        child.c_str(), displayTimePoint(stamp).c_str(), authority.c_str());
      return false;
    }
    frame_authority_[child_id] = authority;
  }
  testTransformableRequests();
  return true;
}

TimeCacheInterfacePtr BufferCore::allocateFrame(CompactFrameID frame_number, bool is_static)
{
  if (is_static) {
    frames_[frame_number] = std::make_shared<StaticCache>();
  } else {
    frames_[frame_number] = std::make_shared<TimeCache>(cache_time_);
  }
  return frames_[frame_number];
}

// ---- frame names -------------------------------------------------------------------------

TimeCacheInterfacePtr BufferCore::getFrame(CompactFrameID frame_number) const
{
  return frame_number < frames_.size() ? frames_[frame_number] : TimeCacheInterfacePtr();
}

const std::string & BufferCore::lookupFrameString(CompactFrameID frame_id_num) const
{
  if (frame_id_num >= frameIDs_reverse_.size()) {
    throw LookupException(
            "Reverse lookup of frame id " + std::to_string(frame_id_num) + " failed!");
  }
  return frameIDs_reverse_[frame_id_num];
}

CompactFrameID BufferCore::lookupFrameNumber(const std::string & frameid_str) const
{
  const auto it = frameIDs_.find(frameid_str);
  return it == frameIDs_.end() ? 0 : it->second;
}

CompactFrameID BufferCore::lookupOrInsertFrameNumber(const std::string & frameid_str)
{
  const auto it = frameIDs_.find(frameid_str);
  if (it != frameIDs_.end()) {
    return it->second;
  }
  const auto id = static_cast<CompactFrameID>(frames_.size());
  frames_.emplace_back();
  frameIDs_[frameid_str] = id;
  frameIDs_reverse_.push_back(frameid_str);
  return id;
}

CompactFrameID BufferCore::_lookupFrameNumber(const std::string & frameid_str) const
{
  std::lock_guard<std::mutex> lock(frame_mutex_);
  return lookupFrameNumber(frameid_str);
}

CompactFrameID BufferCore::_lookupOrInsertFrameNumber(const std::string & frameid_str)
{
  std::lock_guard<std::mutex> lock(frame_mutex_);
  return lookupOrInsertFrameNumber(frameid_str);
}

CompactFrameID BufferCore::validateFrameId(
  const char * function_name_arg, const std::string & frame_id, std::string * error_msg) const
{
  const char * rationale = nullptr;
  CompactFrameID id = 0;
  if (frame_id.empty()) {
    rationale = "in tf2 frame_ids cannot be empty";
  } else if (startsWithSlash(frame_id)) {
    rationale = "in tf2 frame_ids cannot start with a '/'";
  } else {
    std::lock_guard<std::mutex> lock(frame_mutex_);
    id = lookupFrameNumber(frame_id);
    if (id == 0) {
      rationale = "frame does not exist";
    }
  }
  if (rationale != nullptr) {
    const std::string message = "Invalid frame ID \"" + frame_id + "\" passed to " +
      function_name_arg + " - " + rationale;
    if (error_msg != nullptr) {
      *error_msg = message;
    } else {
      CONSOLE_BRIDGE_logWarn("%s", message.c_str());
    }
  }
  return id;
}

CompactFrameID BufferCore::validateFrameId(
  const char * function_name_arg, const std::string & frame_id) const
{
  if (frame_id.empty()) {
    throw InvalidArgumentException(
            "Invalid argument \"" + frame_id + "\" passed to " + function_name_arg +
            " - in tf2 frame_ids cannot be empty");
  }
  if (startsWithSlash(frame_id)) {
    throw InvalidArgumentException(
            "Invalid argument \"" + frame_id + "\" passed to " + function_name_arg +
            " - in tf2 frame_ids cannot start with a '/'");
  }
  const CompactFrameID id = lookupFrameNumber(frame_id);
  if (id == 0) {
    throw LookupException(
            "\"" + frame_id + "\" passed to " + function_name_arg + " does not exist. ");
  }
  return id;
}

CompactFrameID BufferCore::_validateFrameId(
  const char * function_name_arg, const std::string & frame_id) const
{
  std::lock_guard<std::mutex> lock(frame_mutex_);
  return validateFrameId(function_name_arg, frame_id);
}

std::string BufferCore::connectivityError(CompactFrameID source_id, CompactFrameID target_id) const
{
  return "Could not find a connection between '" + lookupFrameString(target_id) + "' and '" +
         lookupFrameString(source_id) + "' because they are not part of the same tree." +
         "Tf has two or more unconnected trees.";
}

bool BufferCore::_frameExists(const std::string & frame_id_str) const
{
  std::lock_guard<std::mutex> lock(frame_mutex_);
  return frameIDs_.count(frame_id_str) > 0;
}

bool BufferCore::_getParent(
  const std::string & frame_id, TimePoint time, std::string & parent) const
{
  std::lock_guard<std::mutex> lock(frame_mutex_);
  const TimeCacheInterfacePtr cache = getFrame(lookupFrameNumber(frame_id));
  if (!cache) {
    return false;
  }
  const CompactFrameID parent_id = cache->getParent(time, nullptr);
  if (parent_id == 0) {
    return false;
  }
  parent = lookupFrameString(parent_id);
  return true;
}

void BufferCore::_getFrameStrings(std::vector<std::string> & ids) const
{
  std::lock_guard<std::mutex> lock(frame_mutex_);
  ids.assign(frameIDs_reverse_.begin() + 1, frameIDs_reverse_.end());
}

std::vector<std::string> BufferCore::getAllFrameNames() const
{
  std::vector<std::string> ids;
  _getFrameStrings(ids);
  return ids;
}

// ---- walking the tree --------------------------------------------------------------------

// Walks from the source up to its root (or until its data runs out), then from the target up to
// the frame the source walk stopped at. A gap in the source's data is only an error when the
// target walk does not meet the source chain below it.
tf2::TF2Error BufferCore::walkToTopParent(
  WalkAccumulator & accumulator, TimePoint time, CompactFrameID target_id,
  CompactFrameID source_id, std::string * error_string) const
{
  using Ending = WalkAccumulator::Ending;
  if (source_id == target_id) {
    accumulator.finish(Ending::Identity, time);
    return TF2Error::TF2_NO_ERROR;
  }
  if (time == TimePointZero) {
    const TF2Error code = getLatestCommonTime(target_id, source_id, time, error_string);
    if (code != TF2Error::TF2_NO_ERROR) {
      return code;
    }
  }
  const auto loopError = [this, error_string]() {
      if (error_string) {
        *error_string = "The tf tree is invalid because it contains a loop.\n" +
          allFramesAsStringNoLock() + "\n";
      }
      return TF2Error::TF2_LOOKUP_ERROR;
    };

  CompactFrameID frame = source_id;
  CompactFrameID top_parent = frame;
  std::string source_gap;
  bool source_data_ran_out = false;
  for (uint32_t depth = 0; frame != 0; ) {
    const TimeCacheInterfacePtr cache = getFrame(frame);
    if (!cache) {
      top_parent = frame;
      break;
    }
    const CompactFrameID parent = accumulator.gather(*cache, time, &source_gap);
    if (parent == 0) {
      top_parent = frame;
      source_data_ran_out = true;
      break;
    }
    if (frame == target_id) {
      accumulator.finish(Ending::TargetParentOfSource, time);
      return TF2Error::TF2_NO_ERROR;
    }
    accumulator.accumulate(true);
    top_parent = frame;
    frame = parent;
    if (++depth > MAX_GRAPH_DEPTH) {
      return loopError();
    }
  }

  frame = target_id;
  for (uint32_t depth = 0; frame != top_parent; ) {
    const TimeCacheInterfacePtr cache = getFrame(frame);
    if (!cache) {
      break;
    }
    const CompactFrameID parent = accumulator.gather(*cache, time, error_string);
    if (parent == 0) {
      if (error_string) {
        *error_string = withFrames(
          *error_string, lookupFrameString(source_id), lookupFrameString(target_id));
      }
      return TF2Error::TF2_EXTRAPOLATION_ERROR;
    }
    if (frame == source_id) {
      accumulator.finish(Ending::SourceParentOfTarget, time);
      return TF2Error::TF2_NO_ERROR;
    }
    accumulator.accumulate(false);
    frame = parent;
    if (++depth > MAX_GRAPH_DEPTH) {
      return loopError();
    }
  }

  if (frame != top_parent) {
    if (source_data_ran_out) {
      if (error_string) {
        *error_string = withFrames(
          source_gap, lookupFrameString(source_id), lookupFrameString(target_id));
      }
      return TF2Error::TF2_EXTRAPOLATION_ERROR;
    }
    if (error_string) {
      *error_string = connectivityError(source_id, target_id);
    }
    return TF2Error::TF2_CONNECTIVITY_ERROR;
  }
  accumulator.finish(Ending::FullPath, time);
  return TF2Error::TF2_NO_ERROR;
}

// The newest time every link between the two frames has data for (static links do not count;
// zero when there are only static links). The source chain is walked first, then the target's
// until it meets it.
tf2::TF2Error BufferCore::getLatestCommonTime(
  CompactFrameID target_id, CompactFrameID source_id, TimePoint & time,
  std::string * error_string) const
{
  if (source_id == 0 || target_id == 0) {
    return TF2Error::TF2_LOOKUP_ERROR;
  }
  if (source_id == target_id) {
    const TimeCacheInterfacePtr cache = getFrame(source_id);
    time = cache ? cache->getLatestTimestamp() : TimePointZero;
    return TF2Error::TF2_NO_ERROR;
  }
  const auto loopError = [this, error_string]() {
      if (error_string) {
        *error_string = "The tf tree is invalid because it contains a loop.\n" +
          allFramesAsStringNoLock() + "\n";
      }
      return TF2Error::TF2_LOOKUP_ERROR;
    };
  const auto earliest = [](TimePoint common, TimePoint stamp) {
      return stamp != TimePointZero ? std::min(common, stamp) : common;
    };
  const auto finish = [&time](TimePoint common) {
      time = common == TimePoint::max() ? TimePointZero : common;
      return TF2Error::TF2_NO_ERROR;
    };

  std::vector<P_TimeAndFrameID> source_chain;
  TimePoint common = TimePoint::max();
  CompactFrameID frame = source_id;
  for (uint32_t depth = 0; frame != 0; ) {
    const TimeCacheInterfacePtr cache = getFrame(frame);
    if (!cache) {
      break;
    }
    const P_TimeAndFrameID latest = cache->getLatestTimeAndParent();
    if (latest.second == 0) {
      break;
    }
    common = earliest(common, latest.first);
    source_chain.push_back(latest);
    frame = latest.second;
    if (frame == target_id) {
      return finish(common);
    }
    if (++depth > MAX_GRAPH_DEPTH) {
      return loopError();
    }
  }

  common = TimePoint::max();
  CompactFrameID common_parent = 0;
  frame = target_id;
  for (uint32_t depth = 0; ; ) {
    const TimeCacheInterfacePtr cache = getFrame(frame);
    if (!cache) {
      break;
    }
    const P_TimeAndFrameID latest = cache->getLatestTimeAndParent();
    if (latest.second == 0) {
      break;
    }
    common = earliest(common, latest.first);
    const bool meets_source_chain = std::any_of(
      source_chain.begin(), source_chain.end(),
      [&latest](const P_TimeAndFrameID & link) {return link.second == latest.second;});
    if (meets_source_chain) {
      common_parent = latest.second;
      break;
    }
    frame = latest.second;
    if (frame == source_id) {
      return finish(common);
    }
    if (++depth > MAX_GRAPH_DEPTH) {
      return loopError();
    }
  }
  if (common_parent == 0) {
    if (error_string) {
      *error_string = connectivityError(source_id, target_id);
    }
    return TF2Error::TF2_CONNECTIVITY_ERROR;
  }
  for (const auto & link : source_chain) {
    common = earliest(common, link.first);
    if (link.second == common_parent) {
      break;
    }
  }
  return finish(common);
}

tf2::TF2Error BufferCore::_getLatestCommonTime(
  CompactFrameID target_frame, CompactFrameID source_frame, TimePoint & time,
  std::string * error_string) const
{
  std::lock_guard<std::mutex> lock(frame_mutex_);
  return getLatestCommonTime(target_frame, source_frame, time, error_string);
}

// ---- lookups -----------------------------------------------------------------------------

void BufferCore::lookupTransformImpl(
  const std::string & target_frame, const std::string & source_frame, TimePoint time,
  Transform & transform, TimePoint & time_out) const
{
  std::lock_guard<std::mutex> lock(frame_mutex_);
  if (target_frame == source_frame) {
    // Identity needs no data; time zero still reports the frame's newest stamp when it has one.
    transform.setIdentity();
    time_out = time;
    if (time == TimePointZero) {
      const TimeCacheInterfacePtr cache = getFrame(lookupFrameNumber(target_frame));
      if (cache) {
        time_out = cache->getLatestTimestamp();
      }
    }
    return;
  }
  const CompactFrameID target_id =
    validateFrameId("lookupTransform argument target_frame", target_frame);
  const CompactFrameID source_id =
    validateFrameId("lookupTransform argument source_frame", source_frame);
  std::string error;
  WalkAccumulator accumulator(true);
  const TF2Error code = walkToTopParent(accumulator, time, target_id, source_id, &error);
  if (code != TF2Error::TF2_NO_ERROR) {
    throwFor(code, error);
  }
  time_out = accumulator.time();
  transform.setOrigin(accumulator.translation());
  transform.setRotation(accumulator.rotation());
}

geometry_msgs::msg::TransformStamped BufferCore::lookupTransform(
  const std::string & target_frame, const std::string & source_frame,
  const TimePoint & time) const
{
  Transform transform;
  TimePoint time_out;
  lookupTransformImpl(target_frame, source_frame, time, transform, time_out);
  return toStampedMsg(transform, time_out, target_frame, source_frame);
}

geometry_msgs::msg::TransformStamped BufferCore::lookupTransform(
  const std::string & target_frame, const TimePoint & target_time,
  const std::string & source_frame, const TimePoint & source_time,
  const std::string & fixed_frame) const
{
  {
    std::lock_guard<std::mutex> lock(frame_mutex_);
    validateFrameId("lookupTransform argument target_frame", target_frame);
    validateFrameId("lookupTransform argument source_frame", source_frame);
    validateFrameId("lookupTransform argument fixed_frame", fixed_frame);
  }
  Transform source_to_fixed;
  Transform fixed_to_target;
  TimePoint time_out;
  lookupTransformImpl(fixed_frame, source_frame, source_time, source_to_fixed, time_out);
  lookupTransformImpl(target_frame, fixed_frame, target_time, fixed_to_target, time_out);
  return toStampedMsg(fixed_to_target * source_to_fixed, time_out, target_frame, source_frame);
}

bool BufferCore::canTransformInternal(
  CompactFrameID target_id, CompactFrameID source_id, TimePoint time,
  std::string * error_msg) const
{
  std::lock_guard<std::mutex> lock(frame_mutex_);
  if (target_id == 0 || source_id == 0) {
    if (error_msg) {
      *error_msg = "Source or target frame is not yet defined";
    }
    return false;
  }
  if (target_id == source_id) {
    return true;
  }
  WalkAccumulator accumulator(false);
  return walkToTopParent(accumulator, time, target_id, source_id, error_msg) ==
         TF2Error::TF2_NO_ERROR;
}

bool BufferCore::canTransform(
  const std::string & target_frame, const std::string & source_frame, const TimePoint & time,
  std::string * error_msg) const
{
  if (target_frame == source_frame) {
    return true;
  }
  const CompactFrameID target_id =
    validateFrameId("canTransform argument target_frame", target_frame, error_msg);
  if (target_id == 0) {
    return false;
  }
  const CompactFrameID source_id =
    validateFrameId("canTransform argument source_frame", source_frame, error_msg);
  if (source_id == 0) {
    return false;
  }
  return canTransformInternal(target_id, source_id, time, error_msg);
}

bool BufferCore::canTransform(
  const std::string & target_frame, const TimePoint & target_time,
  const std::string & source_frame, const TimePoint & source_time,
  const std::string & fixed_frame, std::string * error_msg) const
{
  const CompactFrameID target_id =
    validateFrameId("canTransform argument target_frame", target_frame, error_msg);
  if (target_id == 0) {
    return false;
  }
  const CompactFrameID source_id =
    validateFrameId("canTransform argument source_frame", source_frame, error_msg);
  if (source_id == 0) {
    return false;
  }
  const CompactFrameID fixed_id =
    validateFrameId("canTransform argument fixed_frame", fixed_frame, error_msg);
  if (fixed_id == 0) {
    return false;
  }
  return canTransformInternal(target_id, fixed_id, target_time, error_msg) &&
         canTransformInternal(fixed_id, source_id, source_time, error_msg);
}

// ---- descriptions ------------------------------------------------------------------------

std::string BufferCore::allFramesAsStringNoLock() const
{
  std::stringstream out;
  TransformStorage newest;
  for (CompactFrameID id = 1; id < frames_.size(); ++id) {
    const TimeCacheInterfacePtr cache = frames_[id];
    if (!cache) {
      continue;
    }
    const CompactFrameID parent = cache->getData(TimePointZero, newest) ? newest.frame_id_ : 0;
    out << "Frame " << frameIDs_reverse_[id] << " exists with parent " <<
      frameIDs_reverse_[parent] << ".\n";
  }
  return out.str();
}

std::string BufferCore::allFramesAsString() const
{
  std::lock_guard<std::mutex> lock(frame_mutex_);
  return allFramesAsStringNoLock();
}

void BufferCore::forEachFrameWithData(
  const std::function<void(CompactFrameID, TimeCacheInterface &, CompactFrameID)> & visit) const
{
  TransformStorage newest;
  for (CompactFrameID id = 1; id < frames_.size(); ++id) {
    const TimeCacheInterfacePtr cache = frames_[id];
    if (cache && cache->getData(TimePointZero, newest)) {
      visit(id, *cache, newest.frame_id_);
    }
  }
}

std::string BufferCore::authorityOf(CompactFrameID frame) const
{
  const auto authority = frame_authority_.find(frame);
  return authority == frame_authority_.end() ? "no recorded authority" : authority->second;
}

std::string BufferCore::allFramesAsYAML(TimePoint current_time) const
{
  std::lock_guard<std::mutex> lock(frame_mutex_);
  std::stringstream out;
  if (frames_.size() == 1) {
    out << "[]";
  }
  out << std::fixed << std::setprecision(3);
  forEachFrameWithData(
    [&](CompactFrameID id, TimeCacheInterface & cache, CompactFrameID parent) {
      out << frameIDs_reverse_[id] << ": \n";
      out << "  parent: '" << frameIDs_reverse_[parent] << "'\n";
      out << "  broadcaster: '" << authorityOf(id) << "'\n";
      out << "  rate: " << sampleRate(cache) << "\n";
      out << "  most_recent_transform: " << displayTimePoint(cache.getLatestTimestamp()) << "\n";
      out << "  oldest_transform: " << displayTimePoint(cache.getOldestTimestamp()) << "\n";
      if (current_time != TimePointZero) {
        out << "  transform_delay: " <<
          durationToSec(current_time - cache.getLatestTimestamp()) << "\n";
      }
      out << "  buffer_length: " <<
        durationToSec(cache.getLatestTimestamp() - cache.getOldestTimestamp()) << "\n";
    });
  return out.str();
}

std::string BufferCore::allFramesAsYAML() const
{
  return allFramesAsYAML(TimePointZero);
}

std::string BufferCore::_allFramesAsDot(TimePoint current_time) const
{
  std::stringstream out;
  out << "digraph G {\n";
  std::lock_guard<std::mutex> lock(frame_mutex_);
  if (frames_.size() == 1) {
    out << "\"no tf data recieved\"";
  }
  out << std::fixed << std::setprecision(3);
  forEachFrameWithData(
    [&](CompactFrameID id, TimeCacheInterface & cache, CompactFrameID parent) {
      out << "\"" << frameIDs_reverse_[parent] << "\" -> \"" << frameIDs_reverse_[id] <<
        "\"[label=\"Broadcaster: " << authorityOf(id) << "\\nAverage rate: " <<
        sampleRate(cache) << " Hz\\nMost recent transform: " <<
        displayTimePoint(cache.getLatestTimestamp()) << " ";
      if (current_time != TimePointZero) {
        out << "( " << durationToSec(current_time - cache.getLatestTimestamp()) << " sec old)";
      }
      out << "\\nBuffer length: " <<
        durationToSec(cache.getLatestTimestamp() - cache.getOldestTimestamp()) << " sec\\n\"];\n";
    });
  // Frames whose newest sample has no parent hang from a legend box by an invisible edge, and so
  // do frames without samples when a recording time is given; the box shows that time.
  const auto legendTo = [&out, current_time](const std::string & root, bool recorded_here) {
      out << "edge [style=invis];\n";
      out << " subgraph cluster_legend { style=bold; color=black; label =\"view_frames Result\";\n";
      if (recorded_here) {
        out << "\"Recorded at time: " << displayTimePoint(current_time) <<
          "\"[ shape=plaintext ] ;\n ";
      }
      out << "}->\"" << root << "\";\n";
    };
  TransformStorage newest;
  for (CompactFrameID id = 1; id < frames_.size(); ++id) {
    const TimeCacheInterfacePtr cache = frames_[id];
    if (!cache) {
      if (current_time != TimePointZero) {
        legendTo(frameIDs_reverse_[id], true);
      }
      continue;
    }
    const CompactFrameID parent = cache->getData(TimePointZero, newest) ? newest.frame_id_ : 0;
    if (frameIDs_reverse_[parent] == "NO_PARENT") {
      legendTo(frameIDs_reverse_[id], current_time != TimePointZero);
    }
  }
  out << "}";
  return out.str();
}

std::string BufferCore::_allFramesAsDot() const
{
  return _allFramesAsDot(TimePointZero);
}

void BufferCore::_chainAsVector(
  const std::string &, TimePoint, const std::string &, TimePoint, const std::string &,
  std::vector<std::string> &) const
{
  throw std::logic_error("tf2::BufferCore::_chainAsVector not supported by this stand-in");
}

// ---- transformable requests --------------------------------------------------------------

// The request lock is held from the first check to the queueing, so that a setTransform between
// them cannot test the requests without this one and leave it waiting for the next sample.
TransformableRequestHandle BufferCore::addTransformableRequest(
  const TransformableCallback & cb, const std::string & target_frame,
  const std::string & source_frame, TimePoint time)
{
  if (target_frame == source_frame) {
    return 0;
  }
  std::lock_guard<std::mutex> requests_lock(transformable_requests_mutex_);
  TransformableRequest request;
  {
    std::lock_guard<std::mutex> lock(frame_mutex_);
    request.target_id = lookupFrameNumber(target_frame);
    request.source_id = lookupFrameNumber(source_frame);
  }
  if (canTransformInternal(request.target_id, request.source_id, time, nullptr)) {
    return 0;
  }
  if (request.target_id != 0 && request.source_id != 0) {
    TimePoint latest = TimePointZero;
    {
      std::lock_guard<std::mutex> lock(frame_mutex_);
      getLatestCommonTime(request.target_id, request.source_id, latest, nullptr);
    }
    if (latest != TimePointZero && time + cache_time_ < latest) {
      return kNeverTransformable;
    }
  }
  {
    std::lock_guard<std::mutex> callbacks_lock(transformable_callbacks_mutex_);
    TransformableCallbackHandle cb_handle = ++transformable_callbacks_counter_;
    while (!transformable_callbacks_.emplace(cb_handle, cb).second) {
      cb_handle = ++transformable_callbacks_counter_;
    }
    request.cb_handle = cb_handle;
  }
  request.time = time;
  request.request_handle = ++transformable_requests_counter_;
  if (request.request_handle == 0 || request.request_handle == kNeverTransformable) {
    request.request_handle = 1;
  }
  if (request.target_id == 0) {
    request.target_string = target_frame;
  }
  if (request.source_id == 0) {
    request.source_string = source_frame;
  }
  transformable_requests_.push_back(request);
  return request.request_handle;
}

// The requests after the cancelled one move up a place; the callbacks erased are those of the
// places left over at the end, which then hold what the last request held before it moved.
void BufferCore::cancelTransformableRequest(TransformableRequestHandle handle)
{
  std::lock_guard<std::mutex> requests_lock(transformable_requests_mutex_);
  std::lock_guard<std::mutex> callbacks_lock(transformable_callbacks_mutex_);
  const auto left_over = std::remove_if(
    transformable_requests_.begin(), transformable_requests_.end(),
    [handle](const TransformableRequest & request) {return request.request_handle == handle;});
  for (auto it = left_over; it != transformable_requests_.end(); ++it) {
    transformable_callbacks_.erase(it->cb_handle);
  }
  transformable_requests_.erase(left_over, transformable_requests_.end());
}

bool BufferCore::requestIsDecided(TransformableRequest & request, TransformableResult & result)
{
  TimePoint latest = TimePointZero;
  {
    std::lock_guard<std::mutex> lock(frame_mutex_);
    // Either frame may have appeared since the request was made.
    if (request.target_id == 0) {
      request.target_id = lookupFrameNumber(request.target_string);
    }
    if (request.source_id == 0) {
      request.source_id = lookupFrameNumber(request.source_string);
    }
    getLatestCommonTime(request.target_id, request.source_id, latest, nullptr);
  }
  if (latest != TimePointZero && request.time + cache_time_ < latest) {
    result = TransformFailure;
    return true;
  }
  if (canTransformInternal(request.target_id, request.source_id, request.time, nullptr)) {
    result = TransformAvailable;
    return true;
  }
  return false;
}

// A decided request is called back (when its callback is still stored) under both request locks,
// then replaced by the last request, which is tested next.
void BufferCore::testTransformableRequests()
{
  std::lock_guard<std::mutex> requests_lock(transformable_requests_mutex_);
  size_t i = 0;
  while (i < transformable_requests_.size()) {
    TransformableRequest & request = transformable_requests_[i];
    TransformableResult result = TransformAvailable;
    if (!requestIsDecided(request, result)) {
      ++i;
      continue;
    }
    {
      std::lock_guard<std::mutex> callbacks_lock(transformable_callbacks_mutex_);
      const auto callback = transformable_callbacks_.find(request.cb_handle);
      if (callback != transformable_callbacks_.end()) {
        std::string target;
        std::string source;
        {
          std::lock_guard<std::mutex> lock(frame_mutex_);
          target = lookupFrameString(request.target_id);
          source = lookupFrameString(request.source_id);
        }
        callback->second(request.request_handle, target, source, request.time, result);
        transformable_callbacks_.erase(request.cb_handle);
      }
    }
    if (i + 1 < transformable_requests_.size()) {
      transformable_requests_[i] = transformable_requests_.back();
    }
    transformable_requests_.pop_back();
  }
}

}  // namespace tf2
