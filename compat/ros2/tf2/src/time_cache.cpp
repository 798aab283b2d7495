#include "tf2/time_cache.h"

#include <string>

namespace tf2
{

namespace
{

void setError(
  std::string * error_str, TF2Error * error_code, const std::string & text, TF2Error code)
{
  if (error_str) {
    *error_str = text;
  }
  if (error_code) {
    *error_code = code;
  }
}

bool sameData(const TransformStorage & a, const TransformStorage & b)
{
  return a.frame_id_ == b.frame_id_ && a.child_frame_id_ == b.child_frame_id_ &&
         a.rotation_ == b.rotation_ && a.translation_ == b.translation_;
}

}  // namespace

TimeCache::TimeCache(tf2::Duration max_storage_time)
: max_storage_time_(max_storage_time)
{
}

uint8_t TimeCache::findClosest(
  const TransformStorage * & one, const TransformStorage * & two, TimePoint target_time,
  std::string * error_str, TF2Error * error_code)
{
  if (storage_.empty()) {
    setError(error_str, error_code, "Lookup would require data, but the buffer of this frame is "
      "empty", TF2Error::TF2_LOOKUP_ERROR);
    return 0;
  }
  if (target_time == TimePointZero) {
    one = &storage_.front();
    return 1;
  }
  if (storage_.size() == 1) {
    if (storage_.front().stamp_ == target_time) {
      one = &storage_.front();
      return 1;
    }
    setError(
      error_str, error_code, "Lookup would require extrapolation at time " +
      displayTimePoint(target_time) + ", but only time " +
      displayTimePoint(storage_.front().stamp_) + " is in the buffer",
      TF2Error::TF2_EXTRAPOLATION_ERROR);
    return 0;
  }
  const TimePoint latest = storage_.front().stamp_;
  const TimePoint earliest = storage_.back().stamp_;
  if (target_time == latest) {
    one = &storage_.front();
    return 1;
  }
  if (target_time == earliest) {
    one = &storage_.back();
    return 1;
  }
  if (target_time > latest) {
    setError(
      error_str, error_code, "Lookup would require extrapolation into the future.  Requested time " +
      displayTimePoint(target_time) + " but the latest data is at time " +
      displayTimePoint(latest), TF2Error::TF2_EXTRAPOLATION_ERROR);
    return 0;
  }
  if (target_time < earliest) {
    setError(
      error_str, error_code, "Lookup would require extrapolation into the past.  Requested time " +
      displayTimePoint(target_time) + " but the earliest data is at time " +
      displayTimePoint(earliest), TF2Error::TF2_EXTRAPOLATION_ERROR);
    return 0;
  }
  // Newest first: the first sample not newer than the target, and the one before it.
  auto it = storage_.begin();
  while (it->stamp_ > target_time) {
    ++it;
  }
  if (it->stamp_ == target_time) {
    one = &*it;
    return 1;
  }
  one = &*it;
  two = &*(it - 1);
  return 2;
}

void TimeCache::interpolate(
  const TransformStorage & one, const TransformStorage & two, TimePoint time,
  TransformStorage & output)
{
  if (one.stamp_ == two.stamp_) {
    output = two;
    return;
  }
  const double ratio = durationToSec(time - one.stamp_) / durationToSec(two.stamp_ - one.stamp_);
  output.translation_.setInterpolate3(one.translation_, two.translation_, ratio);
  output.rotation_ = slerp(one.rotation_, two.rotation_, ratio);
  output.stamp_ = time;
  output.frame_id_ = one.frame_id_;
  output.child_frame_id_ = one.child_frame_id_;
}

bool TimeCache::getData(
  TimePoint time, TransformStorage & data_out, std::string * error_str, TF2Error * error_code)
{
  const TransformStorage * one = nullptr;
  const TransformStorage * two = nullptr;
  const uint8_t num = findClosest(one, two, time, error_str, error_code);
  if (num == 0) {
    return false;
  }
  if (num == 1) {
    data_out = *one;
    return true;
  }
  // A reparented frame cannot be interpolated across the change; the older sample answers.
  if (one->frame_id_ == two->frame_id_) {
    interpolate(*one, *two, time, data_out);
  } else {
    data_out = *one;
  }
  return true;
}

CompactFrameID TimeCache::getParent(TimePoint time, std::string * error_str)
{
  const TransformStorage * one = nullptr;
  const TransformStorage * two = nullptr;
  if (findClosest(one, two, time, error_str, nullptr) == 0) {
    return 0;
  }
  return one->frame_id_;
}

bool TimeCache::insertData(const TransformStorage & new_data)
{
  if (!storage_.empty() && storage_.front().stamp_ > new_data.stamp_ + max_storage_time_) {
    return false;
  }
  auto it = storage_.begin();
  while (it != storage_.end() && it->stamp_ > new_data.stamp_) {
    ++it;
  }
  if (it != storage_.end() && it->stamp_ == new_data.stamp_) {
    // One sample per stamp: a repeat is ignored, a correction replaces the old sample.
    if (!sameData(*it, new_data)) {
      *it = new_data;
    }
  } else {
    storage_.insert(it, new_data);
  }
  pruneList();
  return true;
}

void TimeCache::clearList()
{
  storage_.clear();
}

unsigned int TimeCache::getListLength()
{
  return static_cast<unsigned int>(storage_.size());
}

P_TimeAndFrameID TimeCache::getLatestTimeAndParent()
{
  if (storage_.empty()) {
    return std::make_pair(TimePoint(), 0);
  }
  return std::make_pair(storage_.front().stamp_, storage_.front().frame_id_);
}

TimePoint TimeCache::getLatestTimestamp()
{
  return storage_.empty() ? TimePoint() : storage_.front().stamp_;
}

TimePoint TimeCache::getOldestTimestamp()
{
  return storage_.empty() ? TimePoint() : storage_.back().stamp_;
}

void TimeCache::pruneList()
{
  const TimePoint latest_time = storage_.front().stamp_;
  while (!storage_.empty() && storage_.back().stamp_ + max_storage_time_ < latest_time) {
    storage_.pop_back();
  }
}

}  // namespace tf2
