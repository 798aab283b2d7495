#include "state_machine.hpp"

#include <map>
#include <string>
#include <vector>

#include "lifecycle_msgs/msg/state.hpp"
#include "lifecycle_msgs/msg/transition.hpp"

namespace rclcpp_lifecycle
{
namespace detail
{
namespace
{

using S = lifecycle_msgs::msg::State;
using T = lifecycle_msgs::msg::Transition;

const char kSuccess[] = "transition_success";
const char kFailure[] = "transition_failure";
const char kError[] = "transition_error";

}  // namespace

StateMachine::StateMachine()
: edges_{
    {T::TRANSITION_CONFIGURE, "configure", S::PRIMARY_STATE_UNCONFIGURED,
      S::TRANSITION_STATE_CONFIGURING},
    {T::TRANSITION_ON_CONFIGURE_SUCCESS, kSuccess, S::TRANSITION_STATE_CONFIGURING,
      S::PRIMARY_STATE_INACTIVE},
    {T::TRANSITION_ON_CONFIGURE_FAILURE, kFailure, S::TRANSITION_STATE_CONFIGURING,
      S::PRIMARY_STATE_UNCONFIGURED},
    {T::TRANSITION_ON_CONFIGURE_ERROR, kError, S::TRANSITION_STATE_CONFIGURING,
      S::TRANSITION_STATE_ERRORPROCESSING},
    {T::TRANSITION_CLEANUP, "cleanup", S::PRIMARY_STATE_INACTIVE, S::TRANSITION_STATE_CLEANINGUP},
    {T::TRANSITION_ON_CLEANUP_SUCCESS, kSuccess, S::TRANSITION_STATE_CLEANINGUP,
      S::PRIMARY_STATE_UNCONFIGURED},
    {T::TRANSITION_ON_CLEANUP_FAILURE, kFailure, S::TRANSITION_STATE_CLEANINGUP,
      S::PRIMARY_STATE_INACTIVE},
    {T::TRANSITION_ON_CLEANUP_ERROR, kError, S::TRANSITION_STATE_CLEANINGUP,
      S::TRANSITION_STATE_ERRORPROCESSING},
    {T::TRANSITION_ACTIVATE, "activate", S::PRIMARY_STATE_INACTIVE,
      S::TRANSITION_STATE_ACTIVATING},
    {T::TRANSITION_ON_ACTIVATE_SUCCESS, kSuccess, S::TRANSITION_STATE_ACTIVATING,
      S::PRIMARY_STATE_ACTIVE},
    {T::TRANSITION_ON_ACTIVATE_FAILURE, kFailure, S::TRANSITION_STATE_ACTIVATING,
      S::PRIMARY_STATE_INACTIVE},
    {T::TRANSITION_ON_ACTIVATE_ERROR, kError, S::TRANSITION_STATE_ACTIVATING,
      S::TRANSITION_STATE_ERRORPROCESSING},
    {T::TRANSITION_DEACTIVATE, "deactivate", S::PRIMARY_STATE_ACTIVE,
      S::TRANSITION_STATE_DEACTIVATING},
    {T::TRANSITION_ON_DEACTIVATE_SUCCESS, kSuccess, S::TRANSITION_STATE_DEACTIVATING,
      S::PRIMARY_STATE_INACTIVE},
    {T::TRANSITION_ON_DEACTIVATE_FAILURE, kFailure, S::TRANSITION_STATE_DEACTIVATING,
      S::PRIMARY_STATE_ACTIVE},
    {T::TRANSITION_ON_DEACTIVATE_ERROR, kError, S::TRANSITION_STATE_DEACTIVATING,
      S::TRANSITION_STATE_ERRORPROCESSING},
    {T::TRANSITION_UNCONFIGURED_SHUTDOWN, "shutdown", S::PRIMARY_STATE_UNCONFIGURED,
      S::TRANSITION_STATE_SHUTTINGDOWN},
    {T::TRANSITION_INACTIVE_SHUTDOWN, "shutdown", S::PRIMARY_STATE_INACTIVE,
      S::TRANSITION_STATE_SHUTTINGDOWN},
    {T::TRANSITION_ACTIVE_SHUTDOWN, "shutdown", S::PRIMARY_STATE_ACTIVE,
      S::TRANSITION_STATE_SHUTTINGDOWN},
    {T::TRANSITION_ON_SHUTDOWN_SUCCESS, kSuccess, S::TRANSITION_STATE_SHUTTINGDOWN,
      S::PRIMARY_STATE_FINALIZED},
    {T::TRANSITION_ON_SHUTDOWN_FAILURE, kFailure, S::TRANSITION_STATE_SHUTTINGDOWN,
      S::PRIMARY_STATE_FINALIZED},
    {T::TRANSITION_ON_SHUTDOWN_ERROR, kError, S::TRANSITION_STATE_SHUTTINGDOWN,
      S::TRANSITION_STATE_ERRORPROCESSING},
    {T::TRANSITION_ON_ERROR_SUCCESS, kSuccess, S::TRANSITION_STATE_ERRORPROCESSING,
      S::PRIMARY_STATE_UNCONFIGURED},
    {T::TRANSITION_ON_ERROR_FAILURE, kFailure, S::TRANSITION_STATE_ERRORPROCESSING,
      S::PRIMARY_STATE_FINALIZED},
    {T::TRANSITION_ON_ERROR_ERROR, kError, S::TRANSITION_STATE_ERRORPROCESSING,
      S::PRIMARY_STATE_FINALIZED},
  }
{}

std::string StateMachine::label_of(uint8_t state_id)
{
  switch (state_id) {
    case S::PRIMARY_STATE_UNCONFIGURED: return "unconfigured";
    case S::PRIMARY_STATE_INACTIVE: return "inactive";
    case S::PRIMARY_STATE_ACTIVE: return "active";
    case S::PRIMARY_STATE_FINALIZED: return "finalized";
    case S::TRANSITION_STATE_CONFIGURING: return "configuring";
    case S::TRANSITION_STATE_CLEANINGUP: return "cleaningup";
    case S::TRANSITION_STATE_SHUTTINGDOWN: return "shuttingdown";
    case S::TRANSITION_STATE_ACTIVATING: return "activating";
    case S::TRANSITION_STATE_DEACTIVATING: return "deactivating";
    case S::TRANSITION_STATE_ERRORPROCESSING: return "errorprocessing";
    default: return "unknown";
  }
}

State StateMachine::state(uint8_t state_id)
{
  return State(state_id, label_of(state_id));
}

const State & StateMachine::shared_state(uint8_t state_id)
{
  // Never destroyed: nodes that outlive static destruction still ask for their state.
  static const auto * const kStates = [] {
      auto * table = new std::map<uint8_t, State>();
      for (uint8_t id : {S::PRIMARY_STATE_UNKNOWN, S::PRIMARY_STATE_UNCONFIGURED,
          S::PRIMARY_STATE_INACTIVE, S::PRIMARY_STATE_ACTIVE, S::PRIMARY_STATE_FINALIZED,
          S::TRANSITION_STATE_CONFIGURING, S::TRANSITION_STATE_CLEANINGUP,
          S::TRANSITION_STATE_SHUTTINGDOWN, S::TRANSITION_STATE_ACTIVATING,
          S::TRANSITION_STATE_DEACTIVATING, S::TRANSITION_STATE_ERRORPROCESSING})
      {
        table->emplace(id, state(id));
      }
      return table;
    }();
  auto it = kStates->find(state_id);
  return it != kStates->end() ? it->second : kStates->at(S::PRIMARY_STATE_UNKNOWN);
}

std::optional<StateMachine::Edge> StateMachine::find(uint8_t state_id, uint8_t transition_id) const
{
  for (const auto & edge : edges_) {
    if (edge.start == state_id && edge.id == transition_id) {
      return edge;
    }
  }
  return std::nullopt;
}

std::optional<StateMachine::Edge> StateMachine::find(
  uint8_t state_id, const std::string & label) const
{
  for (const auto & edge : edges_) {
    if (edge.start == state_id && edge.label == label) {
      return edge;
    }
  }
  return std::nullopt;
}

std::vector<State> StateMachine::states() const
{
  std::vector<State> result;
  for (uint8_t id : {S::PRIMARY_STATE_UNCONFIGURED, S::PRIMARY_STATE_INACTIVE,
      S::PRIMARY_STATE_ACTIVE, S::PRIMARY_STATE_FINALIZED, S::TRANSITION_STATE_CONFIGURING,
      S::TRANSITION_STATE_CLEANINGUP, S::TRANSITION_STATE_SHUTTINGDOWN,
      S::TRANSITION_STATE_ACTIVATING, S::TRANSITION_STATE_DEACTIVATING,
      S::TRANSITION_STATE_ERRORPROCESSING})
  {
    result.push_back(state(id));
  }
  return result;
}

std::vector<Transition> StateMachine::transitions_from(uint8_t state_id) const
{
  std::vector<Transition> result;
  for (const auto & edge : edges_) {
    if (edge.start == state_id) {
      result.emplace_back(edge.id, edge.label, state(edge.start), state(edge.goal));
    }
  }
  return result;
}

std::vector<Transition> StateMachine::all_transitions() const
{
  std::vector<Transition> result;
  for (const auto & edge : edges_) {
    result.emplace_back(edge.id, edge.label, state(edge.start), state(edge.goal));
  }
  return result;
}

}  // namespace detail
}  // namespace rclcpp_lifecycle
