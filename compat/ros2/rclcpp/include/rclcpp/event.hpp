// A flag that graph changes set and waiters check-and-clear.
#ifndef RCLCPP__EVENT_HPP_
#define RCLCPP__EVENT_HPP_

#include <atomic>

#include "rclcpp/macros.hpp"

namespace rclcpp
{

class Event
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS(Event)

  Event()
  : state_(false) {}
  Event(const Event &) = delete;
  Event & operator=(const Event &) = delete;

  bool set() {return state_.exchange(true);}
  bool check() {return state_.load();}
  bool check_and_clear() {return state_.exchange(false);}

private:
  std::atomic_bool state_;
};

}  // namespace rclcpp

#endif  // RCLCPP__EVENT_HPP_
