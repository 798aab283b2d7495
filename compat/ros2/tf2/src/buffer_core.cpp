#include "tf2/buffer_core.h"

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "console_bridge/console.h"

namespace tf2
{

namespace
{

constexpr TransformableRequestHandle kNeverTransformable = 0xffffffffffffffffULL;
constexpr double kQuaternionNormalizationTolerance = 10e-3;

TimePoint fromMsg(const builtin_interfaces::msg::Time & stamp)
{
  return TimePoint(std::chrono::seconds(stamp.sec) + std::chrono::nanoseconds(stamp.nanosec));
}

builtin_interfaces::msg::Time toMsg(const TimePoint & t)
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

geometry_msgs::msg::TransformStamped toStampedMsg(
  const Transform & transform, TimePoint stamp, const std::string & frame_id,
  const std::string & child_frame_id)
{
  geometry_msgs::msg::TransformStamped msg;
  msg.header.stamp = toMsg(stamp);
  msg.header.frame_id = frame_id;
  msg.child_frame_id = child_frame_id;
  const Quaternion q = transform.getRotation();
  msg.transform.rotation.x = q.x();
  msg.transform.rotation.y = q.y();
  msg.transform.rotation.z = q.z();
  msg.transform.rotation.w = q.w();
  msg.transform.translation.x = transform.getOrigin().x();
  msg.transform.translation.y = transform.getOrigin().y();
  msg.transform.translation.z = transform.getOrigin().z();
  return msg;
}

std::string stripSlash(const std::string & in)
{
  return (!in.empty() && in[0] == '/') ? in.substr(1) : in;
}

bool hasNan(const geometry_msgs::msg::Transform & t)
{
  return std::isnan(t.translation.x) || std::isnan(t.translation.y) ||
         std::isnan(t.translation.z) || std::isnan(t.rotation.x) || std::isnan(t.rotation.y) ||
         std::isnan(t.rotation.z) || std::isnan(t.rotation.w);
}

// Logs the reason and returns false when a sample must not enter the tree.
bool validateSample(
  const geometry_msgs::msg::TransformStamped & msg, const std::string & parent,
  const std::string & child, const std::string & authority)
{
  if (child == parent) {
    CONSOLE_BRIDGE_logError(
      "TF_SELF_TRANSFORM: Ignoring transform from authority \"%s\" with frame_id and "
      "child_frame_id  \"%s\" because they are the same", authority.c_str(), child.c_str());
    return false;
  }
  if (child.empty()) {
    CONSOLE_BRIDGE_logError(
      "TF_NO_CHILD_FRAME_ID: Ignoring transform from authority \"%s\" because child_frame_id "
      "not set ", authority.c_str());
    return false;
  }
  if (parent.empty()) {
    CONSOLE_BRIDGE_logError(
      "TF_NO_FRAME_ID: Ignoring transform with child_frame_id \"%s\"  from authority \"%s\" "
      "because frame_id not set", child.c_str(), authority.c_str());
    return false;
  }
  const auto & t = msg.transform;
  if (hasNan(t)) {
    CONSOLE_BRIDGE_logError(
      "TF_NAN_INPUT: Ignoring transform for child_frame_id \"%s\" from authority \"%s\" because "
      "of a nan value in the transform (%f %f %f) (%f %f %f %f)", child.c_str(),
      authority.c_str(), t.translation.x, t.translation.y, t.translation.z, t.rotation.x,
      t.rotation.y, t.rotation.z, t.rotation.w);
    return false;
  }
  const Quaternion q(t.rotation.x, t.rotation.y, t.rotation.z, t.rotation.w);
  if (std::fabs(q.length2() - 1.0) >= kQuaternionNormalizationTolerance) {
    CONSOLE_BRIDGE_logError(
      "TF_DENORMALIZED_QUATERNION: Ignoring transform for child_frame_id \"%s\" from authority "
      "\"%s\" because of an invalid quaternion in the transform (%f %f %f %f)", child.c_str(),
      authority.c_str(), t.rotation.x, t.rotation.y, t.rotation.z, t.rotation.w);
    return false;
  }
  return true;
}

std::string connectivityError(const std::string & target, const std::string & source)
{
  return "Could not find a connection between '" + target + "' and '" + source +
         "' because they are not part of the same tree." +
         "Tf has two or more unconnected trees.";
}

}  // namespace

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
  const std::string parent = stripSlash(transform.header.frame_id);
  const std::string child = stripSlash(transform.child_frame_id);
  if (!validateSample(transform, parent, child, authority)) {
    return false;
  }
  const auto & t = transform.transform;
  Quaternion q(t.rotation.x, t.rotation.y, t.rotation.z, t.rotation.w);
  q.normalize();
  const TimePoint stamp = fromMsg(transform.header.stamp);
  {
    std::lock_guard<std::mutex> lock(frame_mutex_);
    const CompactFrameID child_id = lookupOrInsertFrameNumberNoLock(child);
    TimeCacheInterfacePtr frame = frames_[child_id];
    if (!frame || frame->isStatic() != is_static) {
      // A frame is either static or dynamic; a sample of the other kind starts it afresh.
      if (is_static) {
        frame = std::make_shared<StaticCache>();
      } else {
        frame = std::make_shared<TimeCache>(cache_time_);
      }
      frames_[child_id] = frame;
    }
    const TransformStorage storage(
      stamp, q, Vector3(t.translation.x, t.translation.y, t.translation.z),
      lookupOrInsertFrameNumberNoLock(parent), child_id);
    if (!frame->insertData(storage)) {
      CONSOLE_BRIDGE_logWarn(
        "TF_OLD_DATA ignoring data from the past for frame %s at time %g according to "
        "authority %s\nPossible reasons are listed at "
        "http://wiki.ros.org/tf/Errors%%20explained", child.c_str(), timeToSec(stamp),
        authority.c_str());
      return false;
    }
    frame_authority_[child_id] = authority;
  }
  testTransformableRequests();
  return true;
}

// ---- frame names -------------------------------------------------------------------------

TimeCacheInterfacePtr BufferCore::getFrame(CompactFrameID frame_number) const
{
  return frame_number < frames_.size() ? frames_[frame_number] : TimeCacheInterfacePtr();
}

const std::string & BufferCore::lookupFrameString(CompactFrameID frame_id_num) const
{
  if (frame_id_num >= frameIDs_reverse_.size()) {
    throw LookupException("Reverse lookup of frame id " + std::to_string(frame_id_num) +
            " failed!");
  }
  return frameIDs_reverse_[frame_id_num];
}

CompactFrameID BufferCore::lookupFrameNumberNoLock(const std::string & frameid_str) const
{
  const auto it = frameIDs_.find(frameid_str);
  return it == frameIDs_.end() ? 0 : it->second;
}

CompactFrameID BufferCore::lookupOrInsertFrameNumberNoLock(const std::string & frameid_str)
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
  return lookupFrameNumberNoLock(frameid_str);
}

CompactFrameID BufferCore::_lookupOrInsertFrameNumber(const std::string & frameid_str)
{
  std::lock_guard<std::mutex> lock(frame_mutex_);
  return lookupOrInsertFrameNumberNoLock(frameid_str);
}

CompactFrameID BufferCore::validateFrameIdNoLock(
  const char * function_name_arg, const std::string & frame_id) const
{
  if (frame_id.empty()) {
    throw InvalidArgumentException("Invalid argument \"" + frame_id + "\" passed to " +
            function_name_arg + " - in tf2 frame_ids cannot be empty");
  }
  if (frame_id[0] == '/') {
    throw InvalidArgumentException("Invalid argument \"" + frame_id + "\" passed to " +
            function_name_arg + " - in tf2 frame_ids cannot start with a '/' like: ");
  }
  const CompactFrameID id = lookupFrameNumberNoLock(frame_id);
  if (id == 0) {
    throw LookupException("\"" + frame_id + "\" passed to " + function_name_arg +
            " does not exist. ");
  }
  return id;
}

CompactFrameID BufferCore::_validateFrameId(
  const char * function_name_arg, const std::string & frame_id) const
{
  std::lock_guard<std::mutex> lock(frame_mutex_);
  return validateFrameIdNoLock(function_name_arg, frame_id);
}

std::string BufferCore::frameIdProblem(
  const char * function_name_arg, const std::string & frame_id) const
{
  std::string reason;
  if (frame_id.empty()) {
    reason = "in tf2 frame_ids cannot be empty";
  } else if (frame_id[0] == '/') {
    reason = "in tf2 frame_ids cannot start with a '/'";
  } else if (lookupFrameNumberNoLock(frame_id) == 0) {
    reason = "frame does not exist";
  } else {
    return "";
  }
  return "Invalid frame ID \"" + frame_id + "\" passed to " + function_name_arg + " - " + reason;
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
  const TimeCacheInterfacePtr cache = getFrame(lookupFrameNumberNoLock(frame_id));
  if (!cache) {
    return false;
  }
  const CompactFrameID parent_id = cache->getParent(time, nullptr);
  if (parent_id == 0) {
    return false;
  }
  parent = frameIDs_reverse_[parent_id];
  return true;
}

void BufferCore::_getFrameStrings(std::vector<std::string> & ids) const
{
  ids = getAllFrameNames();
}

std::vector<std::string> BufferCore::getAllFrameNames() const
{
  std::lock_guard<std::mutex> lock(frame_mutex_);
  return std::vector<std::string>(frameIDs_reverse_.begin() + 1, frameIDs_reverse_.end());
}

// ---- walking the tree --------------------------------------------------------------------

tf2::TF2Error BufferCore::walkUp(
  CompactFrameID start, TimePoint time, std::vector<ChainLink> & chain,
  std::string * error_string) const
{
  Transform accumulated;
  accumulated.setIdentity();
  chain.assign(1, ChainLink(start, accumulated));
  CompactFrameID frame = start;
  for (uint32_t depth = 0; ; ++depth) {
    if (depth > MAX_GRAPH_DEPTH) {
      if (error_string) {
        *error_string = "The tf tree is invalid because it contains a loop.\n" +
          allFramesAsStringNoLock() + "\n";
      }
      return TF2Error::TF2_LOOKUP_ERROR;
    }
    const TimeCacheInterfacePtr cache = getFrame(frame);
    if (!cache) {
      return TF2Error::TF2_NO_ERROR;
    }
    TransformStorage sample;
    std::string cache_error;
    TF2Error code = TF2Error::TF2_NO_ERROR;
    if (!cache->getData(time, sample, &cache_error, &code)) {
      if (code == TF2Error::TF2_EXTRAPOLATION_ERROR) {
        if (error_string) {
          *error_string = cache_error;
        }
        return code;
      }
      return TF2Error::TF2_NO_ERROR;  // no data at all: this frame is a root for now
    }
    if (sample.frame_id_ == 0) {
      return TF2Error::TF2_NO_ERROR;
    }
    accumulated = Transform(sample.rotation_, sample.translation_) * accumulated;
    frame = sample.frame_id_;
    chain.emplace_back(frame, accumulated);
  }
}

tf2::TF2Error BufferCore::lookupTransformNoLock(
  CompactFrameID target_id, CompactFrameID source_id, TimePoint time,
  Transform & transform, TimePoint & time_used, std::string * error_string) const
{
  if (time == TimePointZero) {
    const TF2Error code = getLatestCommonTimeNoLock(target_id, source_id, time, error_string);
    if (code != TF2Error::TF2_NO_ERROR) {
      return code;
    }
  }
  time_used = time;
  if (target_id == source_id) {
    transform.setIdentity();
    return TF2Error::TF2_NO_ERROR;
  }

  std::vector<ChainLink> source_chain;
  std::vector<ChainLink> target_chain;
  std::string source_error;
  std::string target_error;
  const TF2Error source_code = walkUp(source_id, time, source_chain, &source_error);
  const TF2Error target_code = walkUp(target_id, time, target_chain, &target_error);

  for (const auto & target_link : target_chain) {
    const auto common = std::find_if(
      source_chain.begin(), source_chain.end(),
      [&](const ChainLink & link) {return link.first == target_link.first;});
    if (common != source_chain.end()) {
      transform = target_link.second.inverse() * common->second;
      return TF2Error::TF2_NO_ERROR;
    }
  }

  const TF2Error code = source_code != TF2Error::TF2_NO_ERROR ? source_code : target_code;
  if (code == TF2Error::TF2_EXTRAPOLATION_ERROR) {
    if (error_string) {
      *error_string = (source_code != TF2Error::TF2_NO_ERROR ? source_error : target_error) +
        ", when looking up transform from frame [" + lookupFrameString(source_id) +
        "] to frame [" + lookupFrameString(target_id) + "]";
    }
    return code;
  }
  if (code != TF2Error::TF2_NO_ERROR) {
    if (error_string) {
      *error_string = source_code != TF2Error::TF2_NO_ERROR ? source_error : target_error;
    }
    return code;
  }
  if (error_string) {
    *error_string = connectivityError(lookupFrameString(target_id), lookupFrameString(source_id));
  }
  return TF2Error::TF2_CONNECTIVITY_ERROR;
}

tf2::TF2Error BufferCore::getLatestCommonTimeNoLock(
  CompactFrameID target_id, CompactFrameID source_id, TimePoint & time,
  std::string * error_string) const
{
  if (source_id == target_id) {
    const TimeCacheInterfacePtr cache = getFrame(source_id);
    time = cache ? cache->getLatestTimestamp() : TimePoint();
    return TF2Error::TF2_NO_ERROR;
  }
  // Each walk lists the frames met and the newest stamp of the link that reached them.
  auto walk = [this](CompactFrameID start, std::vector<P_TimeAndFrameID> & out) {
      out.assign(1, P_TimeAndFrameID(TimePoint(), start));
      CompactFrameID frame = start;
      for (uint32_t depth = 0; depth <= MAX_GRAPH_DEPTH; ++depth) {
        const TimeCacheInterfacePtr cache = getFrame(frame);
        if (!cache) {
          return true;
        }
        const P_TimeAndFrameID latest = cache->getLatestTimeAndParent();
        if (latest.second == 0) {
          return true;
        }
        frame = latest.second;
        out.emplace_back(latest.first, frame);
      }
      return false;
    };
  std::vector<P_TimeAndFrameID> source_walk;
  std::vector<P_TimeAndFrameID> target_walk;
  if (!walk(source_id, source_walk) || !walk(target_id, target_walk)) {
    if (error_string) {
      *error_string = "The tf tree is invalid because it contains a loop.\n" +
        allFramesAsStringNoLock() + "\n";
    }
    return TF2Error::TF2_LOOKUP_ERROR;
  }
  for (size_t t = 0; t < target_walk.size(); ++t) {
    for (size_t s = 0; s < source_walk.size(); ++s) {
      if (source_walk[s].second != target_walk[t].second) {
        continue;
      }
      // Static links carry a zero stamp and never limit the common time.
      TimePoint common = TimePoint::max();
      for (size_t i = 1; i <= s; ++i) {
        if (source_walk[i].first != TimePoint()) {
          common = std::min(common, source_walk[i].first);
        }
      }
      for (size_t i = 1; i <= t; ++i) {
        if (target_walk[i].first != TimePoint()) {
          common = std::min(common, target_walk[i].first);
        }
      }
      time = common == TimePoint::max() ? TimePoint() : common;
      return TF2Error::TF2_NO_ERROR;
    }
  }
  if (error_string) {
    *error_string = connectivityError(lookupFrameString(target_id), lookupFrameString(source_id));
  }
  return TF2Error::TF2_CONNECTIVITY_ERROR;
}

tf2::TF2Error BufferCore::_getLatestCommonTime(
  CompactFrameID target_frame, CompactFrameID source_frame, TimePoint & time,
  std::string * error_string) const
{
  std::lock_guard<std::mutex> lock(frame_mutex_);
  return getLatestCommonTimeNoLock(target_frame, source_frame, time, error_string);
}

// ---- lookups -----------------------------------------------------------------------------

Transform BufferCore::lookupTransformOrThrow(
  const std::string & target_frame, const std::string & source_frame, TimePoint time,
  TimePoint & time_used) const
{
  Transform transform;
  transform.setIdentity();
  std::lock_guard<std::mutex> lock(frame_mutex_);
  if (target_frame == source_frame) {
    // Identity needs no data; time zero still reports the frame's newest stamp when it has one.
    time_used = time;
    if (time == TimePointZero) {
      const TimeCacheInterfacePtr cache = getFrame(lookupFrameNumberNoLock(target_frame));
      time_used = cache ? cache->getLatestTimestamp() : time;
    }
    return transform;
  }
  const CompactFrameID target_id =
    validateFrameIdNoLock("lookupTransform argument target_frame", target_frame);
  const CompactFrameID source_id =
    validateFrameIdNoLock("lookupTransform argument source_frame", source_frame);
  std::string error;
  switch (lookupTransformNoLock(target_id, source_id, time, transform, time_used, &error)) {
    case TF2Error::TF2_NO_ERROR:
      return transform;
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

geometry_msgs::msg::TransformStamped BufferCore::lookupTransform(
  const std::string & target_frame, const std::string & source_frame,
  const TimePoint & time) const
{
  TimePoint time_used;
  const Transform transform = lookupTransformOrThrow(target_frame, source_frame, time, time_used);
  return toStampedMsg(transform, time_used, target_frame, source_frame);
}

geometry_msgs::msg::TransformStamped BufferCore::lookupTransform(
  const std::string & target_frame, const TimePoint & target_time,
  const std::string & source_frame, const TimePoint & source_time,
  const std::string & fixed_frame) const
{
  {
    std::lock_guard<std::mutex> lock(frame_mutex_);
    validateFrameIdNoLock("lookupTransform argument target_frame", target_frame);
    validateFrameIdNoLock("lookupTransform argument source_frame", source_frame);
    validateFrameIdNoLock("lookupTransform argument fixed_frame", fixed_frame);
  }
  TimePoint source_time_used;
  TimePoint target_time_used;
  const Transform source_to_fixed =
    lookupTransformOrThrow(fixed_frame, source_frame, source_time, source_time_used);
  const Transform fixed_to_target =
    lookupTransformOrThrow(target_frame, fixed_frame, target_time, target_time_used);
  return toStampedMsg(
    fixed_to_target * source_to_fixed, target_time_used, target_frame, source_frame);
}

bool BufferCore::canTransformNoLock(
  CompactFrameID target_id, CompactFrameID source_id, TimePoint time,
  std::string * error_msg) const
{
  Transform unused;
  TimePoint time_used;
  return lookupTransformNoLock(target_id, source_id, time, unused, time_used, error_msg) ==
         TF2Error::TF2_NO_ERROR;
}

bool BufferCore::canTransform(
  const std::string & target_frame, const std::string & source_frame, const TimePoint & time,
  std::string * error_msg) const
{
  if (target_frame == source_frame) {
    return true;
  }
  std::lock_guard<std::mutex> lock(frame_mutex_);
  for (const auto & [arg, frame] : {
      std::make_pair("canTransform argument target_frame", &target_frame),
      std::make_pair("canTransform argument source_frame", &source_frame)})
  {
    const std::string problem = frameIdProblem(arg, *frame);
    if (!problem.empty()) {
      if (error_msg) {
        *error_msg = problem;
      } else {
        CONSOLE_BRIDGE_logWarn("%s", problem.c_str());
      }
      return false;
    }
  }
  return canTransformNoLock(
    lookupFrameNumberNoLock(target_frame), lookupFrameNumberNoLock(source_frame), time, error_msg);
}

bool BufferCore::canTransform(
  const std::string & target_frame, const TimePoint & target_time,
  const std::string & source_frame, const TimePoint & source_time,
  const std::string & fixed_frame, std::string * error_msg) const
{
  {
    std::lock_guard<std::mutex> lock(frame_mutex_);
    for (const auto & [arg, frame] : {
        std::make_pair("canTransform argument target_frame", &target_frame),
        std::make_pair("canTransform argument source_frame", &source_frame),
        std::make_pair("canTransform argument fixed_frame", &fixed_frame)})
    {
      const std::string problem = frameIdProblem(arg, *frame);
      if (!problem.empty()) {
        if (error_msg) {
          *error_msg = problem;
        } else {
          CONSOLE_BRIDGE_logWarn("%s", problem.c_str());
        }
        return false;
      }
    }
  }
  return canTransform(fixed_frame, source_frame, source_time, error_msg) &&
         canTransform(target_frame, fixed_frame, target_time, error_msg);
}

// ---- descriptions ------------------------------------------------------------------------

std::string BufferCore::allFramesAsStringNoLock() const
{
  std::stringstream out;
  for (CompactFrameID id = 1; id < frames_.size(); ++id) {
    const TimeCacheInterfacePtr cache = frames_[id];
    if (!cache) {
      continue;
    }
    const CompactFrameID parent = cache->getLatestTimeAndParent().second;
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

std::string BufferCore::allFramesAsYAML(TimePoint current_time) const
{
  std::lock_guard<std::mutex> lock(frame_mutex_);
  std::stringstream out;
  out << std::fixed << std::setprecision(3);
  for (CompactFrameID id = 1; id < frames_.size(); ++id) {
    const TimeCacheInterfacePtr cache = frames_[id];
    if (!cache || cache->getLatestTimeAndParent().second == 0) {
      continue;
    }
    const double latest = timeToSec(cache->getLatestTimestamp());
    const double oldest = timeToSec(cache->getOldestTimestamp());
    const double rate = cache->getListLength() / std::max(latest - oldest, 0.0001);
    const auto authority = frame_authority_.find(id);
    out << frameIDs_reverse_[id] << ": \n";
    out << "  parent: '" << frameIDs_reverse_[cache->getLatestTimeAndParent().second] << "'\n";
    out << "  broadcaster: '" <<
      (authority == frame_authority_.end() ? std::string("no recorded authority") :
    authority->second) << "'\n";
    out << "  rate: " << rate << "\n";
    out << "  most_recent_transform: " << latest << "\n";
    out << "  oldest_transform: " << oldest << "\n";
    if (current_time != TimePointZero) {
      out << "  transform_delay: " << timeToSec(current_time) - latest << "\n";
    }
    out << "  buffer_length: " << latest - oldest << "\n";
  }
  return out.str();
}

std::string BufferCore::allFramesAsYAML() const
{
  return allFramesAsYAML(TimePointZero);
}

std::string BufferCore::_allFramesAsDot(TimePoint) const
{
  throw std::logic_error("tf2::BufferCore::_allFramesAsDot not supported by this stand-in");
}

std::string BufferCore::_allFramesAsDot() const
{
  throw std::logic_error("tf2::BufferCore::_allFramesAsDot not supported by this stand-in");
}

void BufferCore::_chainAsVector(
  const std::string &, TimePoint, const std::string &, TimePoint, const std::string &,
  std::vector<std::string> &) const
{
  throw std::logic_error("tf2::BufferCore::_chainAsVector not supported by this stand-in");
}

// ---- transformable requests --------------------------------------------------------------

bool BufferCore::isTooOldNoLock(
  CompactFrameID target_id, CompactFrameID source_id, TimePoint time) const
{
  TimePoint latest;
  return time != TimePointZero &&
         getLatestCommonTimeNoLock(target_id, source_id, latest, nullptr) ==
         TF2Error::TF2_NO_ERROR &&
         latest != TimePointZero && time + cache_time_ < latest;
}

// As in geometry2 0.25.8 the request lock is taken only to queue the request, after the checks.
TransformableRequestHandle BufferCore::addTransformableRequest(
  const TransformableCallback & cb, const std::string & target_frame,
  const std::string & source_frame, TimePoint time)
{
  if (target_frame == source_frame) {
    return 0;
  }
  {
    std::lock_guard<std::mutex> lock(frame_mutex_);
    const CompactFrameID target_id = lookupFrameNumberNoLock(target_frame);
    const CompactFrameID source_id = lookupFrameNumberNoLock(source_frame);
    if (target_id != 0 && source_id != 0) {
      if (canTransformNoLock(target_id, source_id, time, nullptr)) {
        return 0;
      }
      if (isTooOldNoLock(target_id, source_id, time)) {
        return kNeverTransformable;
      }
    }
  }
  TransformableRequestHandle handle = ++transformable_requests_counter_;
  if (handle == 0 || handle == kNeverTransformable) {
    handle = 1;
  }
  std::lock_guard<std::mutex> requests_lock(transformable_requests_mutex_);
  transformable_requests_.push_back({handle, cb, target_frame, source_frame, time});
  return handle;
}

void BufferCore::cancelTransformableRequest(TransformableRequestHandle handle)
{
  std::lock_guard<std::mutex> requests_lock(transformable_requests_mutex_);
  auto it = std::find_if(
    transformable_requests_.begin(), transformable_requests_.end(),
    [handle](const TransformableRequest & r) {return r.handle == handle;});
  if (it != transformable_requests_.end()) {
    transformable_requests_.erase(it);
  }
}

std::optional<TransformableResult> BufferCore::transformableResult(
  const TransformableRequest & request) const
{
  std::lock_guard<std::mutex> lock(frame_mutex_);
  const CompactFrameID target_id = lookupFrameNumberNoLock(request.target_frame);
  const CompactFrameID source_id = lookupFrameNumberNoLock(request.source_frame);
  if (target_id == 0 || source_id == 0) {
    return std::nullopt;
  }
  if (isTooOldNoLock(target_id, source_id, request.time)) {
    return TransformFailure;
  }
  if (canTransformNoLock(target_id, source_id, request.time, nullptr)) {
    return TransformAvailable;
  }
  return std::nullopt;
}

// As in geometry2 0.25.8: each callback runs under the request lock (not the tree lock), and a
// finished request is replaced by the last one, which is tested next.
void BufferCore::testTransformableRequests()
{
  std::lock_guard<std::mutex> requests_lock(transformable_requests_mutex_);
  size_t i = 0;
  while (i < transformable_requests_.size()) {
    const TransformableRequest & request = transformable_requests_[i];
    const std::optional<TransformableResult> result = transformableResult(request);
    if (!result) {
      ++i;
      continue;
    }
    request.callback(
      request.handle, request.target_frame, request.source_frame, request.time, *result);
    if (i + 1 < transformable_requests_.size()) {
      transformable_requests_[i] = std::move(transformable_requests_.back());
    }
    transformable_requests_.pop_back();
  }
}

}  // namespace tf2
