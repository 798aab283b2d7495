#include "quorvane_nav2_gridmap/costmap_depth_camera/callback_gate.hpp"

#include <algorithm>

namespace costmap_depth_camera
{

void CallbackGate::close()
{
  std::unique_lock<std::mutex> lock(mutex_);
  open_ = false;
  const auto self = std::this_thread::get_id();
  idle_.wait(
    lock, [this, self] {
      return std::all_of(
        inside_.begin(), inside_.end(), [self](std::thread::id id) {return id == self;});
    });
}

bool CallbackGate::enter()
{
  std::lock_guard<std::mutex> lock(mutex_);
  if (!open_) {
    return false;
  }
  inside_.push_back(std::this_thread::get_id());
  return true;
}

void CallbackGate::leave()
{
  {
    std::lock_guard<std::mutex> lock(mutex_);
    inside_.erase(std::find(inside_.begin(), inside_.end(), std::this_thread::get_id()));
  }
  idle_.notify_all();
}

}  // namespace costmap_depth_camera
