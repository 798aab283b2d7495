#ifndef TF2__BUFFER_CORE_H_
#define TF2__BUFFER_CORE_H_

// The transform tree: per-frame time caches of parent <- child samples, lookups that chain
// and interpolate them, and requests that fire once a transform becomes available.
// Thread-safe; independent of any ROS node.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "geometry_msgs/msg/transform_stamped.hpp"
#include "tf2/LinearMath/Transform.h"
#include "tf2/buffer_core_interface.h"
#include "tf2/exceptions.h"
#include "tf2/time.h"
#include "tf2/time_cache.h"
#include "tf2/transform_storage.h"

namespace tf2
{

enum TransformableResult
{
  TransformAvailable,
  TransformFailure,
};

typedef uint64_t TransformableRequestHandle;

static constexpr Duration BUFFER_CORE_DEFAULT_CACHE_TIME = std::chrono::seconds(10);

class BufferCore : public BufferCoreInterface
{
public:
  static const uint32_t MAX_GRAPH_DEPTH = 1000UL;

  using TransformableCallback = std::function<void (
        TransformableRequestHandle request_handle, const std::string & target_frame,
        const std::string & source_frame, TimePoint time, TransformableResult result)>;

  explicit BufferCore(tf2::Duration cache_time_ = BUFFER_CORE_DEFAULT_CACHE_TIME);
  virtual ~BufferCore(void);

  // Forgets every dynamic sample; frame names and static transforms stay.
  void clear() override;

  // Adds one sample; returns false (and logs why) when the sample is rejected.
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

  // Calls cb once target <- source at `time` can be looked up (TransformAvailable) or never
  // will because the time fell out of the cache (TransformFailure). Returns 0 when the
  // transform is available already (cb is not called) and 0xffffffffffffffff when it never
  // will be; otherwise a handle for cancelTransformableRequest. Callbacks run on the thread
  // that called setTransform under the request lock (not the tree lock): they may look up
  // transforms, but adding or cancelling a request from one deadlocks, as in Humble, and
  // cancelTransformableRequest waits for a callback that is running.
  TransformableRequestHandle addTransformableRequest(
    const TransformableCallback & cb, const std::string & target_frame,
    const std::string & source_frame, TimePoint time);
  void cancelTransformableRequest(TransformableRequestHandle handle);

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
  std::string _allFramesAsDot(TimePoint current_time) const;
  std::string _allFramesAsDot() const;
  void _chainAsVector(
    const std::string & target_frame, TimePoint target_time,
    const std::string & source_frame, TimePoint source_time,
    const std::string & fixed_frame, std::vector<std::string> & output) const;

private:
  // One step of a walk up the tree: `frame` and the transform mapping the walk's start
  // frame into it.
  using ChainLink = std::pair<CompactFrameID, tf2::Transform>;

  struct TransformableRequest
  {
    TransformableRequestHandle handle;
    TransformableCallback callback;
    std::string target_frame;
    std::string source_frame;
    TimePoint time;
  };

  TimeCacheInterfacePtr getFrame(CompactFrameID frame_number) const;
  const std::string & lookupFrameString(CompactFrameID frame_id_num) const;
  CompactFrameID lookupFrameNumberNoLock(const std::string & frameid_str) const;
  CompactFrameID lookupOrInsertFrameNumberNoLock(const std::string & frameid_str);
  tf2::TF2Error getLatestCommonTimeNoLock(
    CompactFrameID target_id, CompactFrameID source_id, TimePoint & time,
    std::string * error_string) const;
  CompactFrameID validateFrameIdNoLock(
    const char * function_name_arg, const std::string & frame_id) const;
  // Empty when the id is valid, else the reason in canTransform's wording.
  std::string frameIdProblem(const char * function_name_arg, const std::string & frame_id) const;

  tf2::TF2Error walkUp(
    CompactFrameID start, TimePoint time, std::vector<ChainLink> & chain,
    std::string * error_string) const;
  tf2::TF2Error lookupTransformNoLock(
    CompactFrameID target_id, CompactFrameID source_id, TimePoint time,
    tf2::Transform & transform, TimePoint & time_used, std::string * error_string) const;
  tf2::Transform lookupTransformOrThrow(
    const std::string & target_frame, const std::string & source_frame,
    TimePoint time, TimePoint & time_used) const;
  bool canTransformNoLock(
    CompactFrameID target_id, CompactFrameID source_id, TimePoint time,
    std::string * error_msg) const;
  std::string allFramesAsStringNoLock() const;
  bool isTooOldNoLock(CompactFrameID target_id, CompactFrameID source_id, TimePoint time) const;
  // Set when the request can be answered now; empty while it still waits.
  std::optional<TransformableResult> transformableResult(const TransformableRequest & request) const;
  void testTransformableRequests();

  mutable std::mutex frame_mutex_;
  std::vector<TimeCacheInterfacePtr> frames_;
  std::unordered_map<std::string, CompactFrameID> frameIDs_;
  std::vector<std::string> frameIDs_reverse_;
  std::unordered_map<CompactFrameID, std::string> frame_authority_;
  tf2::Duration cache_time_;

  // Plain, as in Humble. Taken before frame_mutex_ whenever both are held.
  std::mutex transformable_requests_mutex_;
  std::vector<TransformableRequest> transformable_requests_;
  std::atomic<TransformableRequestHandle> transformable_requests_counter_{0};

  std::atomic<bool> using_dedicated_thread_{false};
};

}  // namespace tf2

#endif  // TF2__BUFFER_CORE_H_
