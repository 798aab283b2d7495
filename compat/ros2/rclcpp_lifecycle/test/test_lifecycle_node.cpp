// LifecycleNode: the standard state machine, callback results, errors and the lifecycle services.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "lifecycle_msgs/msg/state.hpp"
#include "lifecycle_msgs/msg/transition.hpp"
#include "lifecycle_msgs/msg/transition_event.hpp"
#include "lifecycle_msgs/srv/get_available_transitions.hpp"
#include "lifecycle_msgs/srv/change_state.hpp"
#include "lifecycle_msgs/srv/get_state.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"

using namespace std::chrono_literals;
using lifecycle_msgs::msg::State;
using lifecycle_msgs::msg::Transition;
using CallbackReturn = rclcpp_lifecycle::node_interfaces::LifecycleNodeInterface::CallbackReturn;

namespace
{

// Records the callbacks it receives and answers with the configured results.
class RecordingNode : public rclcpp_lifecycle::LifecycleNode
{
public:
  explicit RecordingNode(const std::string & name)
  : rclcpp_lifecycle::LifecycleNode(name) {}

  CallbackReturn on_configure(const rclcpp_lifecycle::State & previous) override
  {
    return record("configure", previous);
  }
  CallbackReturn on_cleanup(const rclcpp_lifecycle::State & previous) override
  {
    return record("cleanup", previous);
  }
  CallbackReturn on_activate(const rclcpp_lifecycle::State & previous) override
  {
    return record("activate", previous);
  }
  CallbackReturn on_deactivate(const rclcpp_lifecycle::State & previous) override
  {
    return record("deactivate", previous);
  }
  CallbackReturn on_shutdown(const rclcpp_lifecycle::State & previous) override
  {
    return record("shutdown", previous);
  }
  CallbackReturn on_error(const rclcpp_lifecycle::State & previous) override
  {
    calls.push_back("error from " + previous.label());
    return error_result;
  }

  std::vector<std::string> calls;
  CallbackReturn result = CallbackReturn::SUCCESS;
  CallbackReturn error_result = CallbackReturn::SUCCESS;
  bool throw_in_callback = false;

private:
  CallbackReturn record(const std::string & name, const rclcpp_lifecycle::State & previous)
  {
    calls.push_back(name + " from " + previous.label());
    if (throw_in_callback) {
      throw std::runtime_error("callback failed");
    }
    return result;
  }
};

}  // namespace

class LifecycleNodeTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    rclcpp::init(0, nullptr);
    node_ = std::make_shared<RecordingNode>("managed");
  }
  void TearDown() override
  {
    node_.reset();
    rclcpp::shutdown();
  }

  std::shared_ptr<RecordingNode> node_;
};

TEST_F(LifecycleNodeTest, PrimaryTransitionsRunCallbacksWithThePreviousState)
{
  EXPECT_EQ(node_->get_current_state().id(), State::PRIMARY_STATE_UNCONFIGURED);
  EXPECT_EQ(node_->configure().id(), State::PRIMARY_STATE_INACTIVE);
  EXPECT_EQ(node_->activate().id(), State::PRIMARY_STATE_ACTIVE);
  EXPECT_EQ(node_->deactivate().id(), State::PRIMARY_STATE_INACTIVE);
  EXPECT_EQ(node_->cleanup().id(), State::PRIMARY_STATE_UNCONFIGURED);
  EXPECT_EQ(node_->shutdown().label(), "finalized");
  EXPECT_EQ(
    node_->calls, (std::vector<std::string>{
    "configure from unconfigured", "activate from inactive", "deactivate from active",
    "cleanup from inactive", "shutdown from unconfigured"}));
}

TEST_F(LifecycleNodeTest, FailureReturnsToTheStartState)
{
  node_->result = CallbackReturn::FAILURE;
  CallbackReturn code = CallbackReturn::SUCCESS;
  EXPECT_EQ(node_->configure(code).id(), State::PRIMARY_STATE_UNCONFIGURED);
  EXPECT_EQ(code, CallbackReturn::FAILURE);
  EXPECT_EQ(static_cast<int>(code), 98);
}

TEST_F(LifecycleNodeTest, ErrorRunsOnErrorWhichDecidesTheOutcome)
{
  node_->configure();
  node_->result = CallbackReturn::ERROR;
  CallbackReturn code = CallbackReturn::SUCCESS;
  EXPECT_EQ(node_->activate(code).id(), State::PRIMARY_STATE_UNCONFIGURED);
  EXPECT_EQ(code, CallbackReturn::ERROR);
  EXPECT_EQ(node_->calls.back(), "error from inactive");
  node_->result = CallbackReturn::SUCCESS;
  node_->configure();
  node_->result = CallbackReturn::ERROR;
  node_->error_result = CallbackReturn::FAILURE;
  EXPECT_EQ(node_->activate().id(), State::PRIMARY_STATE_FINALIZED);
}

TEST_F(LifecycleNodeTest, AnExceptionInACallbackCountsAsError)
{
  node_->throw_in_callback = true;
  CallbackReturn code = CallbackReturn::SUCCESS;
  EXPECT_EQ(node_->configure(code).id(), State::PRIMARY_STATE_UNCONFIGURED);
  EXPECT_EQ(code, CallbackReturn::ERROR);
  EXPECT_EQ(node_->calls.back(), "error from unconfigured");
}

TEST_F(LifecycleNodeTest, InvalidTransitionLeavesTheStateAndCodeUnchanged)
{
  CallbackReturn code = CallbackReturn::FAILURE;
  EXPECT_EQ(node_->activate(code).id(), State::PRIMARY_STATE_UNCONFIGURED);
  EXPECT_EQ(code, CallbackReturn::FAILURE);
  EXPECT_TRUE(node_->calls.empty());
}

TEST_F(LifecycleNodeTest, ShutdownResolvesFromEveryPrimaryState)
{
  node_->configure();
  node_->activate();
  EXPECT_EQ(node_->shutdown().id(), State::PRIMARY_STATE_FINALIZED);
  EXPECT_EQ(node_->calls.back(), "shutdown from active");
  EXPECT_TRUE(node_->get_available_transitions().empty());
  EXPECT_EQ(node_->configure().id(), State::PRIMARY_STATE_FINALIZED);
}

TEST_F(LifecycleNodeTest, RegisteredCallbacksReplaceTheVirtuals)
{
  int configured = 0;
  node_->register_on_configure(
    [&configured](const rclcpp_lifecycle::State &) {
      ++configured;
      return CallbackReturn::FAILURE;
    });
  EXPECT_EQ(node_->configure().id(), State::PRIMARY_STATE_UNCONFIGURED);
  EXPECT_EQ(configured, 1);
  EXPECT_TRUE(node_->calls.empty());
}

TEST_F(LifecycleNodeTest, DescribesStatesAndTransitions)
{
  EXPECT_EQ(node_->get_available_states().size(), 10u);
  const auto transitions = node_->get_available_transitions();
  ASSERT_EQ(transitions.size(), 2u);
  EXPECT_EQ(transitions[0].label(), "configure");
  EXPECT_EQ(transitions[0].goal_state().label(), "configuring");
  EXPECT_EQ(transitions[1].id(), Transition::TRANSITION_UNCONFIGURED_SHUTDOWN);
  EXPECT_EQ(node_->get_transition_graph().size(), 25u);
  EXPECT_EQ(node_->trigger_transition(Transition::TRANSITION_CONFIGURE).label(), "inactive");
}

TEST_F(LifecycleNodeTest, ParameterTemplatesLetTypeExceptionsEscape)
{
  EXPECT_THROW(node_->declare_parameter<double>("untyped"), rclcpp::ParameterTypeException);
  EXPECT_EQ(node_->declare_parameter("count", 3), 3);
  int64_t count = 0;
  EXPECT_TRUE(node_->get_parameter("count", count));
  EXPECT_EQ(count, 3);
  double wrong = 0.0;
  EXPECT_THROW(
    node_->get_parameter("count", wrong), rclcpp::exceptions::InvalidParameterTypeException);
  std::string absent = "kept";
  EXPECT_FALSE(node_->get_parameter("absent", absent));
  EXPECT_EQ(absent, "kept");
}

TEST_F(LifecycleNodeTest, ChangeStateAndGetStateServices)
{
  auto client_node = std::make_shared<rclcpp::Node>("lifecycle_client");
  auto change = client_node->create_client<lifecycle_msgs::srv::ChangeState>(
    "/managed/change_state");
  auto get = client_node->create_client<lifecycle_msgs::srv::GetState>("/managed/get_state");
  ASSERT_TRUE(change->wait_for_service(1s));
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(client_node);
  executor.add_node(node_->get_node_base_interface());
  auto request = std::make_shared<lifecycle_msgs::srv::ChangeState::Request>();
  request->transition.id = Transition::TRANSITION_CONFIGURE;
  auto changed = change->async_send_request(request);
  ASSERT_EQ(executor.spin_until_future_complete(changed, 10s), rclcpp::FutureReturnCode::SUCCESS);
  EXPECT_TRUE(changed.get()->success);
  auto state = get->async_send_request(std::make_shared<lifecycle_msgs::srv::GetState::Request>());
  ASSERT_EQ(executor.spin_until_future_complete(state, 10s), rclcpp::FutureReturnCode::SUCCESS);
  EXPECT_EQ(state.get()->current_state.label, "inactive");
}

TEST_F(LifecycleNodeTest, DefaultOnErrorRecoversToUnconfigured)
{
  auto plain = std::make_shared<rclcpp_lifecycle::LifecycleNode>("plain");
  plain->register_on_configure(
    [](const rclcpp_lifecycle::State &) -> CallbackReturn {
      throw std::runtime_error("broken configure");
    });
  CallbackReturn code = CallbackReturn::SUCCESS;
  EXPECT_EQ(plain->configure(code).id(), State::PRIMARY_STATE_UNCONFIGURED);
  EXPECT_EQ(code, CallbackReturn::ERROR);
}

TEST_F(LifecycleNodeTest, TransitionEventsArePublished)
{
  auto observer = std::make_shared<rclcpp::Node>("observer");
  std::vector<std::string> events;
  auto sub = observer->create_subscription<lifecycle_msgs::msg::TransitionEvent>(
    "/managed/transition_event", 10,
    [&events](const lifecycle_msgs::msg::TransitionEvent & event) {
      events.push_back(event.start_state.label + "->" + event.goal_state.label);
    });
  node_->configure();
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(observer);
  executor.spin_all(1s);
  EXPECT_EQ(
    events, (std::vector<std::string>{"unconfigured->configuring", "configuring->inactive"}));
}

TEST_F(LifecycleNodeTest, AvailableTransitionsServiceFollowsTheState)
{
  node_->configure();
  auto client_node = std::make_shared<rclcpp::Node>("transitions_client");
  auto client = client_node->create_client<lifecycle_msgs::srv::GetAvailableTransitions>(
    "/managed/get_available_transitions");
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(client_node);
  executor.add_node(node_->get_node_base_interface());
  auto result = client->async_send_request(
    std::make_shared<lifecycle_msgs::srv::GetAvailableTransitions::Request>());
  ASSERT_EQ(executor.spin_until_future_complete(result, 10s), rclcpp::FutureReturnCode::SUCCESS);
  const auto response = result.get();
  std::vector<std::string> labels;
  for (const auto & description : response->available_transitions) {
    labels.push_back(description.transition.label);
  }
  EXPECT_EQ(labels, (std::vector<std::string>{"cleanup", "activate", "shutdown"}));
}

TEST_F(LifecycleNodeTest, ChangeStateServiceReportsRejectedTransitions)
{
  auto client_node = std::make_shared<rclcpp::Node>("rejected_client");
  auto change = client_node->create_client<lifecycle_msgs::srv::ChangeState>(
    "/managed/change_state");
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(client_node);
  executor.add_node(node_->get_node_base_interface());
  auto request = std::make_shared<lifecycle_msgs::srv::ChangeState::Request>();
  request->transition.id = Transition::TRANSITION_ACTIVATE;
  auto result = change->async_send_request(request);
  ASSERT_EQ(executor.spin_until_future_complete(result, 10s), rclcpp::FutureReturnCode::SUCCESS);
  EXPECT_FALSE(result.get()->success);
  EXPECT_EQ(node_->get_current_state().id(), State::PRIMARY_STATE_UNCONFIGURED);
}

TEST_F(LifecycleNodeTest, NodeApiWorksOnALifecycleNode)
{
  auto plain = std::make_shared<rclcpp_lifecycle::LifecycleNode>(
    "api", "/ns", rclcpp::NodeOptions().append_parameter_override("group.a", 4));
  EXPECT_STREQ(plain->get_namespace(), "/ns");
  EXPECT_STREQ(plain->get_node_base_interface()->get_fully_qualified_name(), "/ns/api");
  EXPECT_EQ(plain->declare_parameter("group.a", 1), 4);
  plain->declare_parameter("group.b", 2);
  std::map<std::string, int64_t> group;
  EXPECT_TRUE(plain->get_parameters("group", group));
  EXPECT_EQ(group.size(), 2u);
  std::atomic<int> ticks{0};
  auto timer = plain->create_wall_timer(1ms, [&ticks]() {++ticks;});
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(plain->get_node_base_interface());
  executor.spin_until_future_complete(std::async(std::launch::async, [&ticks]() {
      while (ticks.load() < 3) {
        std::this_thread::sleep_for(1ms);
      }
    }), 10s);
  EXPECT_GE(ticks.load(), 3);
  EXPECT_EQ(plain->get_node_options().parameter_overrides().size(), 1u);
}

TEST_F(LifecycleNodeTest, TransitionObjectsAndShutdownFromInactive)
{
  const auto available = node_->get_available_transitions();
  CallbackReturn code = CallbackReturn::ERROR;
  EXPECT_EQ(node_->trigger_transition(available.front(), code).label(), "inactive");
  EXPECT_EQ(code, CallbackReturn::SUCCESS);
  EXPECT_EQ(node_->shutdown(code).id(), State::PRIMARY_STATE_FINALIZED);
  EXPECT_EQ(node_->calls.back(), "shutdown from inactive");
}

// The state machine is locked only while a transition starts and while it ends: the user
// callback runs unlocked, the state can be read at any time without waiting for it, and a
// transition requested meanwhile is refused because the machine sits in the intermediate state.
TEST_F(LifecycleNodeTest, CallbacksRunUnlockedAndConcurrentRequestsMeetTheIntermediateState)
{
  std::promise<void> entered;
  std::promise<void> release;
  auto released = release.get_future().share();
  node_->register_on_configure(
    [&entered, released](const rclcpp_lifecycle::State &) {
      entered.set_value();
      released.wait();
      return CallbackReturn::SUCCESS;
    });
  auto configuring = std::async(std::launch::async, [this]() {return node_->configure().label();});
  entered.get_future().wait();

  EXPECT_EQ(node_->get_current_state().label(), "configuring");
  CallbackReturn code = CallbackReturn::FAILURE;
  EXPECT_EQ(node_->configure(code).label(), "configuring");
  EXPECT_EQ(node_->shutdown(code).label(), "configuring");
  EXPECT_EQ(node_->trigger_transition(Transition::TRANSITION_UNCONFIGURED_SHUTDOWN, code).label(),
    "configuring");
  EXPECT_EQ(code, CallbackReturn::FAILURE);
  ASSERT_EQ(node_->get_available_transitions().size(), 3u);
  EXPECT_EQ(node_->get_available_transitions()[0].label(), "transition_success");

  release.set_value();
  EXPECT_EQ(configuring.get(), "inactive");
  EXPECT_EQ(node_->get_current_state().label(), "inactive");
  EXPECT_TRUE(node_->calls.empty());
}
