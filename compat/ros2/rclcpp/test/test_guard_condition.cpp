// GuardCondition and CallbackGroup: how triggers reach a waiting executor, and what a group
// reports about its entities.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "rclcpp/rclcpp.hpp"
#include "std_msgs/msg/string.hpp"

class GuardConditionTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    rclcpp::init(0, nullptr);
  }
  void TearDown() override
  {
    rclcpp::shutdown();
  }
};

TEST_F(GuardConditionTest, TriggersBeforeACallbackAreCountedAndDeliveredOnSet)
{
  rclcpp::GuardCondition guard_condition;
  guard_condition.trigger();
  guard_condition.trigger();
  std::vector<size_t> counts;
  guard_condition.set_on_trigger_callback([&counts](size_t count) {counts.push_back(count);});
  EXPECT_EQ(counts, std::vector<size_t>{2});
  guard_condition.trigger();
  EXPECT_EQ(counts, (std::vector<size_t>{2, 1}));
  guard_condition.set_on_trigger_callback(nullptr);
  guard_condition.trigger();
  EXPECT_EQ(counts.size(), 2u);
  EXPECT_FALSE(guard_condition.exchange_in_use_by_wait_set_state(true));
  EXPECT_TRUE(guard_condition.exchange_in_use_by_wait_set_state(false));
}

TEST_F(GuardConditionTest, NullContextIsRejected)
{
  EXPECT_THROW(rclcpp::GuardCondition(nullptr), std::invalid_argument);
}

class CallbackGroupTest : public GuardConditionTest {};

TEST_F(CallbackGroupTest, ReportsItsEntitiesWhileTheyLive)
{
  auto node = std::make_shared<rclcpp::Node>("grouped");
  auto group = node->create_callback_group(rclcpp::CallbackGroupType::Reentrant, false);
  EXPECT_EQ(group->type(), rclcpp::CallbackGroupType::Reentrant);
  EXPECT_FALSE(group->automatically_add_to_executor_with_node());
  rclcpp::SubscriptionOptions options;
  options.callback_group = group;
  auto sub = node->create_subscription<std_msgs::msg::String>(
    "grouped", 1, [](const std_msgs::msg::String &) {}, options);
  auto timer = node->create_wall_timer(std::chrono::hours(1), []() {}, group);
  EXPECT_EQ(group->size(), 2u);
  auto found = group->find_subscription_ptrs_if(
    [](const rclcpp::SubscriptionBase::SharedPtr & s) {
      return std::string(s->get_topic_name()) == "/grouped";
    });
  EXPECT_EQ(found, sub);
  EXPECT_EQ(group->find_timer_ptrs_if([](const rclcpp::TimerBase::SharedPtr &) {return true;}),
    timer);
  sub.reset();
  found.reset();
  EXPECT_EQ(
    group->find_subscription_ptrs_if([](const rclcpp::SubscriptionBase::SharedPtr &) {
      return true;
    }), nullptr);
}

TEST_F(CallbackGroupTest, EntitiesMustUseAGroupOfTheirOwnNode)
{
  auto owner = std::make_shared<rclcpp::Node>("owner");
  auto other = std::make_shared<rclcpp::Node>("other");
  auto foreign = other->create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive);
  rclcpp::SubscriptionOptions options;
  options.callback_group = foreign;
  EXPECT_THROW(
    owner->create_subscription<std_msgs::msg::String>(
      "t", 1, [](const std_msgs::msg::String &) {}, options),
    std::runtime_error);
  EXPECT_THROW(owner->create_wall_timer(std::chrono::seconds(1), []() {}, foreign),
    std::runtime_error);
  EXPECT_TRUE(owner->get_node_base_interface()->callback_group_in_node(
      owner->get_node_base_interface()->get_default_callback_group()));
  EXPECT_FALSE(owner->get_node_base_interface()->callback_group_in_node(foreign));
}

TEST_F(CallbackGroupTest, NodeListsTheGroupsItCreated)
{
  auto node = std::make_shared<rclcpp::Node>("lister");
  auto extra = node->create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive);
  int count = 0;
  bool saw_extra = false;
  node->for_each_callback_group(
    [&](const rclcpp::CallbackGroup::SharedPtr & group) {
      ++count;
      saw_extra = saw_extra || group == extra;
    });
  EXPECT_EQ(count, 2);
  EXPECT_TRUE(saw_extra);
  extra.reset();
  count = 0;
  node->for_each_callback_group([&count](const rclcpp::CallbackGroup::SharedPtr &) {++count;});
  EXPECT_EQ(count, 1);
}
