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
  // Leaves the rotation, translation and frame ids uninitialised.
  TransformStorage();
  TransformStorage(
    const TimePoint & stamp, const Quaternion & q, const Vector3 & t,
    CompactFrameID frame_id, CompactFrameID child_frame_id);

  bool operator==(const TransformStorage & rhs) const
  {
    return rotation_ == rhs.rotation_ && translation_ == rhs.translation_ &&
           stamp_ == rhs.stamp_ && frame_id_ == rhs.frame_id_ &&
           child_frame_id_ == rhs.child_frame_id_;
  }
  bool operator!=(const TransformStorage & rhs) const {return !(*this == rhs);}

  Quaternion rotation_;
  Vector3 translation_;
  TimePoint stamp_;
  CompactFrameID frame_id_;
  CompactFrameID child_frame_id_;
};

}  // namespace tf2

#endif  // TF2__TRANSFORM_STORAGE_H_
