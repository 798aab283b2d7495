#include "tf2/time_cache.h"

#include <algorithm>
#include <iterator>
#include <list>
#include <string>

namespace tf2
{

namespace
{

void setError(std::string * error_str, const std::string & text)
{
  if (error_str) {
    *error_str = text;
  }
}

}  // namespace

TimeCache::TimeCache(tf2::Duration max_storage_time)
: max_storage_time_(max_storage_time)
{
}

uint8_t TimeCache::findClosest(
  TransformStorage * & one, TransformStorage * & two, TimePoint target_time,
  std::string * error_str)
{
  if (storage_.empty()) {
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
      error_str, "Lookup would require extrapolation at time " + displayTimePoint(target_time) +
      ", but only time " + displayTimePoint(storage_.front().stamp_) + " is in the buffer");
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
      error_str, "Lookup would require extrapolation into the future.  Requested time " +
      displayTimePoint(target_time) + " but the latest data is at time " + displayTimePoint(latest));
    return 0;
  }
  if (target_time < earliest) {
    setError(
      error_str, "Lookup would require extrapolation into the past.  Requested time " +
      displayTimePoint(target_time) + " but the earliest data is at time " +
      displayTimePoint(earliest));
    return 0;
  }
  // Newest first: the first sample not newer than the target, and the one before it.
  auto older = storage_.begin();
  while (older->stamp_ > target_time) {
    ++older;
  }
  one = &*older;
  two = &*std::prev(older);
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
  const double ratio = static_cast<double>((time - one.stamp_).count()) /
    static_cast<double>((two.stamp_ - one.stamp_).count());
  output.translation_.setInterpolate3(one.translation_, two.translation_, ratio);
  output.rotation_ = slerp(one.rotation_, two.rotation_, ratio);
  // The older sample's stamp, not the time asked for: callers report the time they asked.
  output.stamp_ = one.stamp_;
  output.frame_id_ = one.frame_id_;
  output.child_frame_id_ = one.child_frame_id_;
}

bool TimeCache::getData(TimePoint time, TransformStorage & data_out, std::string * error_str)
{
  TransformStorage * one = nullptr;
  TransformStorage * two = nullptr;
  const uint8_t num = findClosest(one, two, time, error_str);
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
  TransformStorage * one = nullptr;
  TransformStorage * two = nullptr;
  if (findClosest(one, two, time, error_str) == 0) {
    return 0;
  }
  return one->frame_id_;
}

bool TimeCache::insertData(const TransformStorage & new_data)
{
  const TimePoint latest = getLatestTimestamp();
  pruneList();
  if (!storage_.empty() && new_data.stamp_ < latest - max_storage_time_) {
    return false;
  }
  // Newest first: the new sample goes before the first one not newer than it, so among equal
  // stamps the latest arrival comes first.
  auto position = std::find_if(
    storage_.begin(), storage_.end(),
    [&new_data](const TransformStorage & stored) {return stored.stamp_ <= new_data.stamp_;});
  for (auto same = position; same != storage_.end() && same->stamp_ == new_data.stamp_; ++same) {
    if (*same == new_data) {
      return true;
    }
  }
  storage_.insert(position, new_data);
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

const std::list<TransformStorage> & TimeCache::getAllItems() const
{
  return storage_;
}

void TimeCache::pruneList()
{
  const TimePoint latest = getLatestTimestamp();
  while (!storage_.empty() && storage_.back().stamp_ + max_storage_time_ < latest) {
    storage_.pop_back();
  }
}

}  // namespace tf2
