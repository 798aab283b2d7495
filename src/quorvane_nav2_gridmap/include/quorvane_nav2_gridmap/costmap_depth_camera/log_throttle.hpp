#ifndef QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__LOG_THROTTLE_HPP_
#define QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__LOG_THROTTLE_HPP_

// Lets a recurring log line through at most once per period, from any thread: a camera that sends
// the same fault with every frame must not flood the log at its frame rate.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <limits>

namespace costmap_depth_camera
{

class LogThrottle
{
public:
  explicit LogThrottle(std::chrono::steady_clock::duration period = std::chrono::seconds(1))
  : period_(period.count()) {}

  // True when the line may be logged now; the next one is then held back for a whole period.
  bool admit()
  {
    const std::int64_t now = std::chrono::steady_clock::now().time_since_epoch().count();
    std::int64_t next = next_.load();
    while (now >= next) {
      if (next_.compare_exchange_weak(next, now + period_)) {
        return true;
      }
    }
    return false;
  }

private:
  std::int64_t period_;
  std::atomic<std::int64_t> next_{std::numeric_limits<std::int64_t>::min()};
};

}  // namespace costmap_depth_camera

#endif  // QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__LOG_THROTTLE_HPP_
