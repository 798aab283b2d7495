// Runs lifecycle transitions for one node: calls the registered callback for each transition,
// follows its result through the state machine, and offers the lifecycle services and
// transition events when the communication interface is enabled.
#ifndef STATE_MACHINE_RUNNER_HPP_
#define STATE_MACHINE_RUNNER_HPP_

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "lifecycle_msgs/msg/transition_event.hpp"
#include "lifecycle_msgs/srv/change_state.hpp"
#include "lifecycle_msgs/srv/get_available_states.hpp"
#include "lifecycle_msgs/srv/get_available_transitions.hpp"
#include "lifecycle_msgs/srv/get_state.hpp"
#include "rclcpp/node_interfaces/node_base_interface.hpp"
#include "rclcpp/node_interfaces/node_services_interface.hpp"
#include "rclcpp/node_interfaces/node_topics_interface.hpp"
#include "rclcpp/publisher.hpp"
#include "rclcpp/service.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "state_machine.hpp"

namespace rclcpp_lifecycle
{

class LifecycleNode::StateMachineRunner
{
public:
  using CallbackReturn = LifecycleNodeInterface::CallbackReturn;

  StateMachineRunner(
    rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_base,
    rclcpp::node_interfaces::NodeServicesInterface::SharedPtr node_services,
    rclcpp::node_interfaces::NodeTopicsInterface::SharedPtr node_topics,
    bool enable_communication_interface);

  void register_callback(uint8_t state_id, TransitionCallback callback);

  const State & get_current_state();
  std::vector<State> get_available_states() const;
  std::vector<Transition> get_available_transitions();
  std::vector<Transition> get_transition_graph() const;

  const State & trigger_transition(uint8_t transition_id, CallbackReturn & cb_return_code);
  const State & trigger_transition(const std::string & label, CallbackReturn & cb_return_code);

  void add_managed_entity(std::weak_ptr<ManagedEntityInterface> managed_entity);
  void add_timer_handle(std::shared_ptr<rclcpp::TimerBase> timer);
  void on_activate();
  void on_deactivate();

private:
  using Edge = detail::StateMachine::Edge;
  using EdgeFinder = std::function<std::optional<Edge>(uint8_t current_state_id)>;

  const State & run(
    const EdgeFinder & find_edge, const std::string & requested, CallbackReturn & cb_return_code);
  bool follow_result(const std::string & requested, CallbackReturn cb_return_code);
  CallbackReturn execute_callback(
    uint8_t state_id, const TransitionCallback & callback, const State & previous_state);
  void move_to(const Edge & edge);
  void create_communication_interface(
    rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_base,
    rclcpp::node_interfaces::NodeServicesInterface::SharedPtr node_services,
    rclcpp::node_interfaces::NodeTopicsInterface::SharedPtr node_topics);
  static std::string result_label(CallbackReturn cb_return_code);

  // Guards the machine only while a transition is checked and its state moved; the user
  // callbacks run without it, so a transition requested meanwhile meets the intermediate state.
  std::recursive_mutex mutex_;
  detail::StateMachine machine_;
  std::atomic<uint8_t> current_state_id_;
  std::map<uint8_t, TransitionCallback> callbacks_;
  std::mutex entities_mutex_;
  std::vector<std::weak_ptr<ManagedEntityInterface>> managed_entities_;
  std::vector<std::weak_ptr<rclcpp::TimerBase>> timers_;
  rclcpp::Logger logger_;
  std::shared_ptr<rclcpp::Publisher<lifecycle_msgs::msg::TransitionEvent>> transition_events_;
  std::vector<rclcpp::ServiceBase::SharedPtr> services_;
};

}  // namespace rclcpp_lifecycle

#endif  // STATE_MACHINE_RUNNER_HPP_
