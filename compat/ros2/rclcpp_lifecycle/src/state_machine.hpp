// The default lifecycle state machine: primary and transition states, the transitions between
// them, and the goal state for each callback result.
#ifndef STATE_MACHINE_HPP_
#define STATE_MACHINE_HPP_

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "rclcpp_lifecycle/state.hpp"
#include "rclcpp_lifecycle/transition.hpp"

namespace rclcpp_lifecycle
{
namespace detail
{

class StateMachine
{
public:
  struct Edge
  {
    uint8_t id;
    std::string label;
    uint8_t start;
    uint8_t goal;
  };

  StateMachine();

  static std::string label_of(uint8_t state_id);
  static State state(uint8_t state_id);
  /// One immutable instance per state id, so readers can hold a reference without a lock.
  static const State & shared_state(uint8_t state_id);

  /// The transition with this id or label that leaves `state_id`, if there is one.
  std::optional<Edge> find(uint8_t state_id, uint8_t transition_id) const;
  std::optional<Edge> find(uint8_t state_id, const std::string & label) const;

  std::vector<State> states() const;
  std::vector<Transition> transitions_from(uint8_t state_id) const;
  std::vector<Transition> all_transitions() const;

private:
  std::vector<Edge> edges_;
};

}  // namespace detail
}  // namespace rclcpp_lifecycle

#endif  // STATE_MACHINE_HPP_
