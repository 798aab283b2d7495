// State and Transition value types.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "lifecycle_msgs/msg/state.hpp"
#include "rclcpp_lifecycle/state.hpp"
#include "rclcpp_lifecycle/transition.hpp"

using rclcpp_lifecycle::State;
using rclcpp_lifecycle::Transition;

namespace
{

// Exposes the protected reset() to check the behaviour of a state without a handle.
class ResettableState : public State
{
public:
  using State::State;
  void drop() {reset();}
};

}  // namespace

class StateAndTransitionTest : public ::testing::Test {};

TEST_F(StateAndTransitionTest, DefaultStateIsUnknown)
{
  const State state;
  EXPECT_EQ(state.id(), lifecycle_msgs::msg::State::PRIMARY_STATE_UNKNOWN);
  EXPECT_EQ(state.label(), "unknown");
}

TEST_F(StateAndTransitionTest, EmptyLabelAndResetStateThrow)
{
  try {
    State state(1, "");
    FAIL() << "empty label accepted";
  } catch (const std::runtime_error & e) {
    EXPECT_STREQ(e.what(), "Lifecycle State cannot have an empty label.");
  }
  ResettableState state(2, "inactive");
  State copy = state;
  state.drop();
  EXPECT_THROW(state.id(), std::runtime_error);
  EXPECT_THROW(state.label(), std::runtime_error);
  EXPECT_EQ(copy.label(), "inactive");
}

TEST_F(StateAndTransitionTest, TransitionKeepsItsStates)
{
  const Transition transition(3, "activate", State(2, "inactive"), State(13, "activating"));
  EXPECT_EQ(transition.id(), 3);
  EXPECT_EQ(transition.label(), "activate");
  EXPECT_EQ(transition.start_state().label(), "inactive");
  EXPECT_EQ(transition.goal_state().id(), 13);
  EXPECT_EQ(Transition(7).start_state().label(), "unknown");
}
