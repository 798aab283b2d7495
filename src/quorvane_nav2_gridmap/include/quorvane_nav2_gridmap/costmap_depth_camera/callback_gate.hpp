#ifndef QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__CALLBACK_GATE_HPP_
#define QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__CALLBACK_GATE_HPP_

// Lets an object wait, before it goes, for the callbacks other threads run on it; a callback that
// comes later finds the gate closed and leaves the object alone. Shared with the callbacks through
// std::shared_ptr, since they may be called after the object is gone.

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace costmap_depth_camera
{

class CallbackGate
{
public:
  // Held by a callback for as long as it uses the object; false when the gate was closed.
  class Pass
  {
public:
    explicit Pass(std::shared_ptr<CallbackGate> gate)
    : gate_(std::move(gate)), entered_(gate_->enter()) {}
    ~Pass()
    {
      if (entered_) {
        gate_->leave();
      }
    }
    Pass(const Pass &) = delete;
    Pass & operator=(const Pass &) = delete;
    explicit operator bool() const {return entered_;}

private:
    std::shared_ptr<CallbackGate> gate_;
    bool entered_;
  };

  // Returns once no other thread holds a pass; a callback that closes the gate itself is not
  // waited for. The caller must hold no lock that a callback takes on its way in.
  void close();

private:
  bool enter();
  void leave();

  std::mutex mutex_;
  std::condition_variable idle_;
  bool open_{true};
  std::vector<std::thread::id> inside_;
};

}  // namespace costmap_depth_camera

#endif  // QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__CALLBACK_GATE_HPP_
