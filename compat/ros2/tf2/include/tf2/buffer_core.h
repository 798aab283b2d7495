#ifndef TF2__BUFFER_CORE_H_
#define TF2__BUFFER_CORE_H_

// The transform tree: per-frame time caches of parent <- child samples, lookups that chain
// and interpolate them, and requests that fire once a transform becomes available.
// Thread-safe; independent of any ROS node.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "geometry_msgs/msg/transform_stamped.hpp"
#include "tf2/LinearMath/Transform.h"
#include "tf2/buffer_core_interface.h"
#include "tf2/exceptions.h"
#include "tf2/transform_storage.h"

namespace tf2
{

typedef std::pair<TimePoint, CompactFrameID> P_TimeAndFrameID;
typedef uint64_t TransformableRequestHandle;

class TimeCacheInterface;
using TimeCacheInterfacePtr = std::shared_ptr<TimeCacheInterface>;

enum TransformableResult
{
  TransformAvailable,
  TransformFailure,
};

static constexpr Duration BUFFER_CORE_DEFAULT_CACHE_TIME = std::chrono::seconds(10);

class BufferCore : public BufferCoreInterface
{
public:
  static const uint32_t MAX_GRAPH_DEPTH = 1000UL;

  explicit BufferCore(tf2::Duration cache_time_ = BUFFER_CORE_DEFAULT_CACHE_TIME);
  virtual ~BufferCore(void);

  // Forgets every dynamic sample; frame names and static transforms stay.
  void clear() override;

  // Adds one sample; returns false (and logs every reason found) when the sample is rejected.
  // The rotation is normalised on the way in, so only one that cannot be is refused as invalid.
  bool setTransform(
    const geometry_msgs::msg::TransformStamped & transform, const std::string & authority,
    bool is_static = false);

  // The transform that maps data in source_frame into target_frame. Time zero asks for the
  // latest time at which the whole chain has data.
  geometry_msgs::msg::TransformStamped lookupTransform(
    const std::string & target_frame, const std::string & source_frame,
    const TimePoint & time) const override;

  // Source data at source_time, through fixed_frame (assumed constant over time), into
  // target_frame at target_time.
  geometry_msgs::msg::TransformStamped lookupTransform(
    const std::string & target_frame, const TimePoint & target_time,
    const std::string & source_frame, const TimePoint & source_time,
    const std::string & fixed_frame) const override;

  bool canTransform(
    const std::string & target_frame, const std::string & source_frame,
    const TimePoint & time, std::string * error_msg = nullptr) const override;

  bool canTransform(
    const std::string & target_frame, const TimePoint & target_time,
    const std::string & source_frame, const TimePoint & source_time,
    const std::string & fixed_frame, std::string * error_msg = nullptr) const override;

  std::vector<std::string> getAllFrameNames() const override;

  std::string allFramesAsYAML(TimePoint current_time) const;
  std::string allFramesAsYAML() const;
  std::string allFramesAsString() const;

  using TransformableCallback = std::function<void (
        TransformableRequestHandle request_handle, const std::string & target_frame,
        const std::string & source_frame, TimePoint time, TransformableResult result)>;

  // Calls cb once target <- source at `time` can be looked up (TransformAvailable) or has fallen
  // out of the cache (TransformFailure). Returns 0 when the transform is available already (cb is
  // not called) and 0xffffffffffffffff when the time is too old for the data present; otherwise a
  // handle for cancelTransformableRequest. Callbacks run on the thread that called setTransform,
  // under the request lock that adding and cancelling take: a callback that adds or cancels a
  // request deadlocks.
  TransformableRequestHandle addTransformableRequest(
    const TransformableCallback & cb, const std::string & target_frame,
    const std::string & source_frame, TimePoint time);
  // Removes the request. Of the callbacks it forgets the one of the request that was queued
  // last, which is not the cancelled one unless that was the last: the cancelled request's
  // callback stays stored, and the last request is never called back.
  void cancelTransformableRequest(TransformableRequestHandle handle);

  // Unsynchronised: set it before other threads query the buffer.
  void setUsingDedicatedThread(bool value) {using_dedicated_thread_ = value;}
  bool isUsingDedicatedThread() const {return using_dedicated_thread_;}

  bool _frameExists(const std::string & frame_id_str) const;
  bool _getParent(const std::string & frame_id, TimePoint time, std::string & parent) const;
  void _getFrameStrings(std::vector<std::string> & ids) const;
  CompactFrameID _lookupFrameNumber(const std::string & frameid_str) const;
  CompactFrameID _lookupOrInsertFrameNumber(const std::string & frameid_str);
  tf2::TF2Error _getLatestCommonTime(
    CompactFrameID target_frame, CompactFrameID source_frame, TimePoint & time,
    std::string * error_string) const;
  CompactFrameID _validateFrameId(
    const char * function_name_arg, const std::string & frame_id) const;
  tf2::Duration getCacheLength() {return cache_time_;}
  // The tree in Graphviz's dot language, one edge per frame with its broadcaster and rates.
  std::string _allFramesAsDot(TimePoint current_time) const;
  std::string _allFramesAsDot() const;
  void _chainAsVector(
    const std::string & target_frame, TimePoint target_time,
    const std::string & source_frame, TimePoint source_time,
    const std::string & fixed_frame, std::vector<std::string> & output) const;

private:
  using TransformableCallbackHandle = uint32_t;

  struct TransformableRequest
  {
    TimePoint time;
    TransformableRequestHandle request_handle;
    TransformableCallbackHandle cb_handle;
    CompactFrameID target_id;
    CompactFrameID source_id;
    // Kept while the frame is still unknown, to resolve it once it appears.
    std::string target_string;
    std::string source_string;
  };

  // What a walk up the tree gathers: the sample of each link passed and, when it composes
  // them, the source and target chains up to the frame where they meet.
  class WalkAccumulator;

  TimeCacheInterfacePtr getFrame(CompactFrameID frame_number) const;
  TimeCacheInterfacePtr allocateFrame(CompactFrameID frame_number, bool is_static);
  const std::string & lookupFrameString(CompactFrameID frame_id_num) const;
  CompactFrameID lookupFrameNumber(const std::string & frameid_str) const;
  CompactFrameID lookupOrInsertFrameNumber(const std::string & frameid_str);
  // 0 when the id is empty, starts with '/' or is unknown, with the reason in error_msg (or
  // logged as a warning without one).
  CompactFrameID validateFrameId(
    const char * function_name_arg, const std::string & frame_id, std::string * error_msg) const;
  // Throws InvalidArgumentException or LookupException instead.
  CompactFrameID validateFrameId(const char * function_name_arg, const std::string & frame_id) const;
  std::string connectivityError(CompactFrameID source_id, CompactFrameID target_id) const;
  tf2::TF2Error getLatestCommonTime(
    CompactFrameID target_id, CompactFrameID source_id, TimePoint & time,
    std::string * error_string) const;
  tf2::TF2Error walkToTopParent(
    WalkAccumulator & accumulator, TimePoint time, CompactFrameID target_id,
    CompactFrameID source_id, std::string * error_string) const;
  void lookupTransformImpl(
    const std::string & target_frame, const std::string & source_frame, TimePoint time,
    tf2::Transform & transform, TimePoint & time_out) const;
  bool canTransformInternal(
    CompactFrameID target_id, CompactFrameID source_id, TimePoint time,
    std::string * error_msg) const;
  std::string allFramesAsStringNoLock() const;
  // Under frame_mutex_: visits the frames that hold data, in id order, with their caches and the
  // parents of their newest samples.
  void forEachFrameWithData(
    const std::function<void(CompactFrameID, TimeCacheInterface &, CompactFrameID)> & visit) const;
  std::string authorityOf(CompactFrameID frame) const;
  // Under the request lock: whether a request is answered now, and how.
  bool requestIsDecided(TransformableRequest & request, TransformableResult & result);
  void testTransformableRequests();

  mutable std::mutex frame_mutex_;
  std::vector<TimeCacheInterfacePtr> frames_;
  std::unordered_map<std::string, CompactFrameID> frameIDs_;
  std::vector<std::string> frameIDs_reverse_;
  std::map<CompactFrameID, std::string> frame_authority_;
  tf2::Duration cache_time_;

  // Taken before transformable_callbacks_mutex_ and frame_mutex_ whenever they are held together.
  std::mutex transformable_requests_mutex_;
  std::vector<TransformableRequest> transformable_requests_;
  uint64_t transformable_requests_counter_{0};

  std::mutex transformable_callbacks_mutex_;
  std::unordered_map<TransformableCallbackHandle, TransformableCallback> transformable_callbacks_;
  uint32_t transformable_callbacks_counter_{0};

  bool using_dedicated_thread_{false};
};

}  // namespace tf2

#endif  // TF2__BUFFER_CORE_H_
