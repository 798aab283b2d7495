#ifndef TF2__TIME_CACHE_H_
#define TF2__TIME_CACHE_H_

// Per-frame storage of parent <- child samples: TimeCache keeps a time window of dynamic
// samples and interpolates between them; StaticCache holds one sample valid at every time.

#include <deque>
#include <memory>
#include <string>
#include <utility>

#include "tf2/exceptions.h"
#include "tf2/transform_storage.h"

namespace tf2
{

typedef std::pair<TimePoint, CompactFrameID> P_TimeAndFrameID;

class TimeCacheInterface
{
public:
  virtual ~TimeCacheInterface() = default;

  // Fills data_out for `time` (zero = newest). On failure returns false and, when given,
  // writes the reason to error_str and the error kind to error_code.
  virtual bool getData(
    TimePoint time, TransformStorage & data_out, std::string * error_str = nullptr,
    TF2Error * error_code = nullptr) = 0;
  virtual bool insertData(const TransformStorage & new_data) = 0;
  virtual void clearList() = 0;
  virtual CompactFrameID getParent(TimePoint time, std::string * error_str) = 0;
  virtual P_TimeAndFrameID getLatestTimeAndParent() = 0;
  virtual unsigned int getListLength() = 0;
  virtual TimePoint getLatestTimestamp() = 0;
  virtual TimePoint getOldestTimestamp() = 0;
  virtual bool isStatic() const = 0;
};

using TimeCacheInterfacePtr = std::shared_ptr<TimeCacheInterface>;

constexpr tf2::Duration TIMECACHE_DEFAULT_MAX_STORAGE_TIME = std::chrono::seconds(10);

class TimeCache : public TimeCacheInterface
{
public:
  explicit TimeCache(tf2::Duration max_storage_time = TIMECACHE_DEFAULT_MAX_STORAGE_TIME);

  bool getData(
    TimePoint time, TransformStorage & data_out, std::string * error_str = nullptr,
    TF2Error * error_code = nullptr) override;
  bool insertData(const TransformStorage & new_data) override;
  void clearList() override;
  CompactFrameID getParent(TimePoint time, std::string * error_str) override;
  P_TimeAndFrameID getLatestTimeAndParent() override;
  unsigned int getListLength() override;
  TimePoint getLatestTimestamp() override;
  TimePoint getOldestTimestamp() override;
  bool isStatic() const override {return false;}

private:
  // Newest first.
  std::deque<TransformStorage> storage_;
  tf2::Duration max_storage_time_;

  // Finds the samples around `target_time`; returns how many (0, 1 or 2) were found.
  uint8_t findClosest(
    const TransformStorage * & one, const TransformStorage * & two, TimePoint target_time,
    std::string * error_str, TF2Error * error_code);
  void interpolate(
    const TransformStorage & one, const TransformStorage & two, TimePoint time,
    TransformStorage & output);
  void pruneList();
};

class StaticCache : public TimeCacheInterface
{
public:
  bool getData(
    TimePoint time, TransformStorage & data_out, std::string * error_str = nullptr,
    TF2Error * error_code = nullptr) override;
  bool insertData(const TransformStorage & new_data) override;
  void clearList() override;
  CompactFrameID getParent(TimePoint time, std::string * error_str) override;
  P_TimeAndFrameID getLatestTimeAndParent() override;
  unsigned int getListLength() override;
  TimePoint getLatestTimestamp() override;
  TimePoint getOldestTimestamp() override;
  bool isStatic() const override {return true;}

private:
  TransformStorage storage_;
};

}  // namespace tf2

#endif  // TF2__TIME_CACHE_H_
