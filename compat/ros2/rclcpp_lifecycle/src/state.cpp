#include "rclcpp_lifecycle/state.hpp"

#include <memory>
#include <stdexcept>
#include <string>

#include "lifecycle_msgs/msg/state.hpp"

namespace rclcpp_lifecycle
{

State::State(rcutils_allocator_t allocator)
: State(lifecycle_msgs::msg::State::PRIMARY_STATE_UNKNOWN, "unknown", allocator)
{}

State::State(uint8_t id, const std::string & label, rcutils_allocator_t)
{
  if (label.empty()) {
    throw std::runtime_error("Lifecycle State cannot have an empty label.");
  }
  state_handle_ = std::make_unique<Handle>(Handle{id, label});
}

State::State(const State & rhs)
: state_handle_(rhs.state_handle_ ? std::make_unique<Handle>(*rhs.state_handle_) : nullptr)
{}

State::~State() = default;

State & State::operator=(const State & rhs)
{
  if (this != &rhs) {
    state_handle_ = rhs.state_handle_ ? std::make_unique<Handle>(*rhs.state_handle_) : nullptr;
  }
  return *this;
}

uint8_t State::id() const
{
  if (!state_handle_) {
    throw std::runtime_error("Error in state! Internal state_handle is NULL.");
  }
  return state_handle_->id;
}

std::string State::label() const
{
  if (!state_handle_) {
    throw std::runtime_error("Error in state! Internal state_handle is NULL.");
  }
  return state_handle_->label;
}

void State::reset() noexcept
{
  state_handle_.reset();
}

}  // namespace rclcpp_lifecycle
