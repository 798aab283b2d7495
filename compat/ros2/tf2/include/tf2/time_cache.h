#ifndef TF2__TIME_CACHE_H_
#define TF2__TIME_CACHE_H_

// Per-frame storage of parent <- child samples: TimeCache keeps a time window of dynamic
// samples and interpolates between them; StaticCache holds one sample valid at every time.

#include <chrono>
#include <list>
#include <memory>
#include <string>
#include <utility>

#include "tf2/transform_storage.h"

namespace tf2
{

typedef std::pair<tf2::TimePoint, tf2::CompactFrameID> P_TimeAndFrameID;

class TimeCacheInterface
{
public:
  virtual ~TimeCacheInterface() = default;

  // Fills data_out for `time` (zero = newest); false when the cache cannot answer, with the
  // reason in error_str when there is one to give (an empty cache has none).
  virtual bool getData(
    tf2::TimePoint time, tf2::TransformStorage & data_out, std::string * error_str = 0) = 0;
  virtual bool insertData(const tf2::TransformStorage & new_data) = 0;
  virtual void clearList() = 0;
  virtual CompactFrameID getParent(tf2::TimePoint time, std::string * error_str) = 0;
  virtual P_TimeAndFrameID getLatestTimeAndParent() = 0;
  virtual unsigned int getListLength() = 0;
  virtual tf2::TimePoint getLatestTimestamp() = 0;
  virtual tf2::TimePoint getOldestTimestamp() = 0;
};

using TimeCacheInterfacePtr = std::shared_ptr<TimeCacheInterface>;

constexpr tf2::Duration TIMECACHE_DEFAULT_MAX_STORAGE_TIME = std::chrono::seconds(10);

class TimeCache : public TimeCacheInterface
{
public:
  static const int MIN_INTERPOLATION_DISTANCE = 5;
  static const unsigned int MAX_LENGTH_LINKED_LIST = 1000000;

  explicit TimeCache(tf2::Duration max_storage_time = TIMECACHE_DEFAULT_MAX_STORAGE_TIME);

  bool getData(
    tf2::TimePoint time, tf2::TransformStorage & data_out,
    std::string * error_str = 0) override;
  // Samples older than the newest minus the storage time are pruned before (not after) the
  // insertion, and a sample that old is refused; a sample equal to a stored one is not repeated.
  bool insertData(const tf2::TransformStorage & new_data) override;
  void clearList() override;
  tf2::CompactFrameID getParent(tf2::TimePoint time, std::string * error_str) override;
  P_TimeAndFrameID getLatestTimeAndParent() override;
  unsigned int getListLength() override;
  TimePoint getLatestTimestamp() override;
  TimePoint getOldestTimestamp() override;

protected:
  const std::list<TransformStorage> & getAllItems() const;

private:
  // Newest first.
  std::list<TransformStorage> storage_;
  tf2::Duration max_storage_time_;

  // Finds the samples around `target_time`; returns how many (0, 1 or 2) were found. Two are
  // returned for any time strictly inside the stored span, a stored stamp included.
  uint8_t findClosest(
    tf2::TransformStorage * & one, TransformStorage * & two,
    tf2::TimePoint target_time, std::string * error_str);
  void interpolate(
    const tf2::TransformStorage & one, const tf2::TransformStorage & two,
    tf2::TimePoint time, tf2::TransformStorage & output);
  void pruneList();
};

class StaticCache : public TimeCacheInterface
{
public:
  bool getData(TimePoint time, TransformStorage & data_out, std::string * error_str = 0) override;
  bool insertData(const TransformStorage & new_data) override;
  void clearList() override;
  CompactFrameID getParent(TimePoint time, std::string * error_str) override;
  P_TimeAndFrameID getLatestTimeAndParent() override;
  unsigned int getListLength() override;
  TimePoint getLatestTimestamp() override;
  TimePoint getOldestTimestamp() override;

private:
  TransformStorage storage_;
};

}  // namespace tf2

#endif  // TF2__TIME_CACHE_H_
