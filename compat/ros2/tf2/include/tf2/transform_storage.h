#ifndef TF2__TRANSFORM_STORAGE_H_
#define TF2__TRANSFORM_STORAGE_H_

// One stamped sample of a parent <- child transform as the time caches keep it.

#include <cstdint>

#include "tf2/LinearMath/Quaternion.h"
#include "tf2/LinearMath/Vector3.h"
#include "tf2/time.h"

namespace tf2
{

typedef uint32_t CompactFrameID;

class TransformStorage
{
public:
  TransformStorage();
  TransformStorage(
    const TimePoint & stamp, const Quaternion & q, const Vector3 & t,
    CompactFrameID frame_id, CompactFrameID child_frame_id);

  Quaternion rotation_;
  Vector3 translation_;
  TimePoint stamp_;
  CompactFrameID frame_id_;
  CompactFrameID child_frame_id_;
};

}  // namespace tf2

#endif  // TF2__TRANSFORM_STORAGE_H_
