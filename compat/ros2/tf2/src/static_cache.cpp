#include "tf2/time_cache.h"

namespace tf2
{

bool StaticCache::getData(TimePoint time, TransformStorage & data_out, std::string *)
{
  data_out = storage_;
  data_out.stamp_ = time;
  return true;
}

bool StaticCache::insertData(const TransformStorage & new_data)
{
  storage_ = new_data;
  return true;
}

// Static data outlives a buffer reset: it is only ever replaced.
void StaticCache::clearList() {}

unsigned int StaticCache::getListLength()
{
  return 1;
}

CompactFrameID StaticCache::getParent(TimePoint, std::string *)
{
  return storage_.frame_id_;
}

P_TimeAndFrameID StaticCache::getLatestTimeAndParent()
{
  return std::make_pair(TimePoint(), storage_.frame_id_);
}

TimePoint StaticCache::getLatestTimestamp()
{
  return TimePoint();
}

TimePoint StaticCache::getOldestTimestamp()
{
  return TimePoint();
}

}  // namespace tf2
