#include "state_machine_runner.hpp"

#include <chrono>
#include <exception>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "lifecycle_msgs/msg/state.hpp"
#include "rclcpp/create_publisher.hpp"
#include "rclcpp/create_service.hpp"
#include "rclcpp/logging.hpp"

namespace rclcpp_lifecycle
{
namespace
{

lifecycle_msgs::msg::State to_msg(const State & state)
{
  lifecycle_msgs::msg::State msg;
  msg.id = state.id();
  msg.label = state.label();
  return msg;
}

lifecycle_msgs::msg::TransitionDescription to_msg(const Transition & transition)
{
  lifecycle_msgs::msg::TransitionDescription msg;
  msg.transition.id = transition.id();
  msg.transition.label = transition.label();
  msg.start_state = to_msg(transition.start_state());
  msg.goal_state = to_msg(transition.goal_state());
  return msg;
}

}  // namespace

using CallbackReturn = node_interfaces::LifecycleNodeInterface::CallbackReturn;
using StateMsg = lifecycle_msgs::msg::State;

LifecycleNode::StateMachineRunner::StateMachineRunner(
  rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_base,
  rclcpp::node_interfaces::NodeServicesInterface::SharedPtr node_services,
  rclcpp::node_interfaces::NodeTopicsInterface::SharedPtr node_topics,
  bool enable_communication_interface)
: current_state_id_(StateMsg::PRIMARY_STATE_UNCONFIGURED),
  logger_(rclcpp::get_logger(""))
{
  if (enable_communication_interface) {
    create_communication_interface(node_base, node_services, node_topics);
  }
}

void LifecycleNode::StateMachineRunner::register_callback(
  uint8_t state_id, TransitionCallback callback)
{
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  callbacks_[state_id] = std::move(callback);
}

const State & LifecycleNode::StateMachineRunner::get_current_state()
{
  return detail::StateMachine::shared_state(current_state_id_.load());
}

std::vector<State> LifecycleNode::StateMachineRunner::get_available_states() const
{
  return machine_.states();
}

std::vector<Transition> LifecycleNode::StateMachineRunner::get_available_transitions()
{
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return machine_.transitions_from(current_state_id_.load());
}

std::vector<Transition> LifecycleNode::StateMachineRunner::get_transition_graph() const
{
  return machine_.all_transitions();
}

const State & LifecycleNode::StateMachineRunner::trigger_transition(
  uint8_t transition_id, CallbackReturn & cb_return_code)
{
  return run(
    [this, transition_id](uint8_t current) {return machine_.find(current, transition_id);},
    std::to_string(transition_id), cb_return_code);
}

const State & LifecycleNode::StateMachineRunner::trigger_transition(
  const std::string & label, CallbackReturn & cb_return_code)
{
  return run(
    [this, &label](uint8_t current) {return machine_.find(current, label);}, label,
    cb_return_code);
}

const State & LifecycleNode::StateMachineRunner::run(
  const EdgeFinder & find_edge, const std::string & requested, CallbackReturn & cb_return_code)
{
  State initial_state;
  uint8_t transition_state_id = 0;
  TransitionCallback callback;
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const uint8_t current = current_state_id_.load();
    const auto edge = find_edge(current);
    if (!edge) {
      const std::string current_label = detail::StateMachine::label_of(current);
      RCLCPP_ERROR(
        logger_, "Unable to start transition %s from current state %s: "
        "No transition matching %s found for current state %s", requested.c_str(),
        current_label.c_str(), requested.c_str(), current_label.c_str());
      return get_current_state();
    }
    initial_state = detail::StateMachine::state(current);
    move_to(*edge);
    transition_state_id = edge->goal;
    auto it = callbacks_.find(transition_state_id);
    if (it != callbacks_.end()) {
      callback = it->second;
    }
  }
  cb_return_code = execute_callback(transition_state_id, callback, initial_state);
  if (!follow_result(requested, cb_return_code)) {
    return get_current_state();
  }
  if (cb_return_code == CallbackReturn::ERROR) {
    RCLCPP_WARN(logger_, "Error occurred while doing error handling.");
    TransitionCallback on_error;
    {
      std::lock_guard<std::recursive_mutex> lock(mutex_);
      auto it = callbacks_.find(StateMsg::TRANSITION_STATE_ERRORPROCESSING);
      if (it != callbacks_.end()) {
        on_error = it->second;
      }
    }
    const CallbackReturn error_cb_code = execute_callback(
      StateMsg::TRANSITION_STATE_ERRORPROCESSING, on_error, initial_state);
    follow_result(requested, error_cb_code);
  }
  return get_current_state();
}

bool LifecycleNode::StateMachineRunner::follow_result(
  const std::string & requested, CallbackReturn cb_return_code)
{
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  const uint8_t current = current_state_id_.load();
  const auto edge = machine_.find(current, result_label(cb_return_code));
  if (!edge) {
    RCLCPP_ERROR(
      logger_, "Failed to finish transition %s. Current state is now: %s", requested.c_str(),
      detail::StateMachine::label_of(current).c_str());
    return false;
  }
  move_to(*edge);
  return true;
}

CallbackReturn LifecycleNode::StateMachineRunner::execute_callback(
  uint8_t state_id, const TransitionCallback & callback, const State & previous_state)
{
  if (!callback) {
    return CallbackReturn::SUCCESS;
  }
  try {
    return callback(previous_state);
  } catch (const std::exception & e) {
    RCLCPP_ERROR(logger_, "Caught exception in callback for transition %d", state_id);
    RCLCPP_ERROR(logger_, "Original error: %s", e.what());
    return CallbackReturn::ERROR;
  }
}

void LifecycleNode::StateMachineRunner::move_to(const Edge & edge)
{
  current_state_id_.store(edge.goal);
  if (!transition_events_) {
    return;
  }
  lifecycle_msgs::msg::TransitionEvent event;
  event.timestamp = static_cast<uint64_t>(
    std::chrono::duration_cast<std::chrono::nanoseconds>(
      std::chrono::system_clock::now().time_since_epoch()).count());
  event.transition.id = edge.id;
  event.transition.label = edge.label;
  event.start_state = to_msg(detail::StateMachine::shared_state(edge.start));
  event.goal_state = to_msg(detail::StateMachine::shared_state(edge.goal));
  transition_events_->publish(event);
}

std::string LifecycleNode::StateMachineRunner::result_label(CallbackReturn cb_return_code)
{
  switch (cb_return_code) {
    case CallbackReturn::SUCCESS: return "transition_success";
    case CallbackReturn::FAILURE: return "transition_failure";
    default: return "transition_error";
  }
}

void LifecycleNode::StateMachineRunner::add_managed_entity(
  std::weak_ptr<ManagedEntityInterface> managed_entity)
{
  std::lock_guard<std::mutex> lock(entities_mutex_);
  managed_entities_.push_back(std::move(managed_entity));
}

void LifecycleNode::StateMachineRunner::add_timer_handle(std::shared_ptr<rclcpp::TimerBase> timer)
{
  std::lock_guard<std::mutex> lock(entities_mutex_);
  timers_.push_back(timer);
}

void LifecycleNode::StateMachineRunner::on_activate()
{
  std::lock_guard<std::mutex> lock(entities_mutex_);
  for (const auto & weak : managed_entities_) {
    if (auto entity = weak.lock()) {
      entity->on_activate();
    }
  }
}

void LifecycleNode::StateMachineRunner::on_deactivate()
{
  std::lock_guard<std::mutex> lock(entities_mutex_);
  for (const auto & weak : managed_entities_) {
    if (auto entity = weak.lock()) {
      entity->on_deactivate();
    }
  }
}

void LifecycleNode::StateMachineRunner::create_communication_interface(
  rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_base,
  rclcpp::node_interfaces::NodeServicesInterface::SharedPtr node_services,
  rclcpp::node_interfaces::NodeTopicsInterface::SharedPtr node_topics)
{
  using lifecycle_msgs::srv::ChangeState;
  using lifecycle_msgs::srv::GetAvailableStates;
  using lifecycle_msgs::srv::GetAvailableTransitions;
  using lifecycle_msgs::srv::GetState;
  transition_events_ = rclcpp::create_publisher<lifecycle_msgs::msg::TransitionEvent>(
    node_topics, "~/transition_event", rclcpp::QoS(10));
  const auto qos = rmw_qos_profile_services_default;
  services_.push_back(
    rclcpp::create_service<ChangeState>(
      node_base, node_services, "~/change_state",
      [this](const std::shared_ptr<ChangeState::Request> request,
      std::shared_ptr<ChangeState::Response> response) {
        CallbackReturn cb_return_code = CallbackReturn::ERROR;
        const uint8_t before = get_current_state().id();
        if (request->transition.id == 0 && !request->transition.label.empty()) {
          trigger_transition(request->transition.label, cb_return_code);
        } else {
          trigger_transition(request->transition.id, cb_return_code);
        }
        response->success = get_current_state().id() != before &&
        cb_return_code == CallbackReturn::SUCCESS;
      }, qos, nullptr));
  services_.push_back(
    rclcpp::create_service<GetState>(
      node_base, node_services, "~/get_state",
      [this](const std::shared_ptr<GetState::Request>, std::shared_ptr<GetState::Response> resp) {
        resp->current_state = to_msg(get_current_state());
      }, qos, nullptr));
  services_.push_back(
    rclcpp::create_service<GetAvailableStates>(
      node_base, node_services, "~/get_available_states",
      [this](const std::shared_ptr<GetAvailableStates::Request>,
      std::shared_ptr<GetAvailableStates::Response> resp) {
        for (const auto & state : get_available_states()) {
          resp->available_states.push_back(to_msg(state));
        }
      }, qos, nullptr));
  services_.push_back(
    rclcpp::create_service<GetAvailableTransitions>(
      node_base, node_services, "~/get_available_transitions",
      [this](const std::shared_ptr<GetAvailableTransitions::Request>,
      std::shared_ptr<GetAvailableTransitions::Response> resp) {
        for (const auto & transition : get_available_transitions()) {
          resp->available_transitions.push_back(to_msg(transition));
        }
      }, qos, nullptr));
  services_.push_back(
    rclcpp::create_service<GetAvailableTransitions>(
      node_base, node_services, "~/get_transition_graph",
      [this](const std::shared_ptr<GetAvailableTransitions::Request>,
      std::shared_ptr<GetAvailableTransitions::Response> resp) {
        for (const auto & transition : get_transition_graph()) {
          resp->available_transitions.push_back(to_msg(transition));
        }
      }, qos, nullptr));
}

}  // namespace rclcpp_lifecycle
