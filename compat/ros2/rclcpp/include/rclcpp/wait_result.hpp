// The result of a wait: its kind and, when something is ready, the wait set that says what.
#ifndef RCLCPP__WAIT_RESULT_HPP_
#define RCLCPP__WAIT_RESULT_HPP_

#include <stdexcept>

#include "rclcpp/wait_result_kind.hpp"

namespace rclcpp
{

template<class WaitSetT>
class WaitResult final
{
public:
  static WaitResult from_ready_wait_result_kind(WaitSetT & wait_set)
  {
    return WaitResult(WaitResultKind::Ready, &wait_set);
  }

  static WaitResult from_timeout_wait_result_kind()
  {
    return WaitResult(WaitResultKind::Timeout, nullptr);
  }

  static WaitResult from_empty_wait_result_kind()
  {
    return WaitResult(WaitResultKind::Empty, nullptr);
  }

  WaitResultKind kind() const
  {
    return wait_result_kind_;
  }

  const WaitSetT & get_wait_set() const
  {
    return *checked_wait_set();
  }

  WaitSetT & get_wait_set()
  {
    return *checked_wait_set();
  }

private:
  WaitResult(WaitResultKind kind, WaitSetT * wait_set)
  : wait_result_kind_(kind), wait_set_pointer_(wait_set)
  {
  }

  WaitSetT * checked_wait_set() const
  {
    if (wait_result_kind_ != WaitResultKind::Ready) {
      throw std::runtime_error("cannot access wait set when the result was not ready");
    }
    return wait_set_pointer_;
  }

  WaitResultKind wait_result_kind_;
  WaitSetT * wait_set_pointer_;
};

}  // namespace rclcpp

#endif  // RCLCPP__WAIT_RESULT_HPP_
