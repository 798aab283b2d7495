// The graph seen through NodeGraph: services by node, graph events and waiting for changes, and
// the get_node_*_interface helpers that templates use to reach a node's interfaces.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "rcl_interfaces/srv/get_parameters.hpp"
#include "rclcpp/node_interfaces/get_node_base_interface.hpp"
#include "rclcpp/node_interfaces/get_node_topics_interface.hpp"
#include "rclcpp/rclcpp.hpp"
#include "std_msgs/msg/string.hpp"

using namespace std::chrono_literals;
using GetParameters = rcl_interfaces::srv::GetParameters;

class GraphTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    rclcpp::init(0, nullptr);
    node_ = std::make_shared<rclcpp::Node>("observer", "/graph");
  }
  void TearDown() override
  {
    node_.reset();
    rclcpp::shutdown();
  }

  std::shared_ptr<rclcpp::Node> node_;
};

TEST_F(GraphTest, ServicesAreListedWithTheirTypeAndNode)
{
  auto provider = std::make_shared<rclcpp::Node>("provider", "/graph");
  auto service = provider->create_service<GetParameters>(
    "~/lookup", [](const std::shared_ptr<GetParameters::Request>,
    std::shared_ptr<GetParameters::Response>) {});
  const auto all = node_->get_service_names_and_types();
  ASSERT_EQ(all.count("/graph/provider/lookup"), 1u);
  EXPECT_EQ(all.at("/graph/provider/lookup").front(), "rcl_interfaces/srv/GetParameters");
  EXPECT_EQ(node_->get_service_names_and_types_by_node("provider", "/graph").size(), 1u);
  EXPECT_TRUE(node_->get_service_names_and_types_by_node("observer", "/graph").empty());
  service.reset();
  EXPECT_EQ(node_->get_service_names_and_types().count("/graph/provider/lookup"), 0u);
}

TEST_F(GraphTest, GraphEventIsSetByChangesAndWakesWaiters)
{
  auto event = node_->get_graph_event();
  EXPECT_FALSE(event->check());
  std::thread changer([]() {
      std::this_thread::sleep_for(20ms);
      auto newcomer = std::make_shared<rclcpp::Node>("newcomer");
    });
  node_->wait_for_graph_change(event, 10s);
  changer.join();
  EXPECT_TRUE(event->check_and_clear());
  EXPECT_FALSE(event->check());
  node_->wait_for_graph_change(event, 10ms);
  EXPECT_FALSE(event->check());
  EXPECT_THROW(node_->wait_for_graph_change(nullptr, 1ms), rclcpp::exceptions::InvalidEventError);
}

TEST_F(GraphTest, CountsResolveRelativeTopicNames)
{
  auto pub = node_->create_publisher<std_msgs::msg::String>("relative", 10);
  EXPECT_EQ(node_->count_publishers("relative"), 1u);
  EXPECT_EQ(node_->count_publishers("/graph/relative"), 1u);
  EXPECT_EQ(node_->count_publishers("/relative"), 0u);
}

TEST_F(GraphTest, CountingWhileEntitiesGoAwayNeverBlocks)
{
  // A count may hold the last reference to an entity being dropped elsewhere; dropping it must
  // not wait for the graph the count is still reading. The test only ends if nothing blocks.
  std::atomic<bool> done{false};
  std::thread counter([this, &done]() {
      while (!done) {
        node_->count_subscribers("churn");
        node_->count_publishers("churn");
      }
    });
  for (int i = 0; i < 20000; ++i) {
    auto subscription = node_->create_subscription<std_msgs::msg::String>(
      "churn", 10, [](std_msgs::msg::String::ConstSharedPtr) {});
    auto publisher = node_->create_publisher<std_msgs::msg::String>("churn", 10);
  }
  done = true;
  counter.join();
  EXPECT_EQ(node_->count_subscribers("churn"), 0u);
  EXPECT_EQ(node_->count_publishers("churn"), 0u);
}

TEST_F(GraphTest, InterfaceHelpersAcceptEveryNodeForm)
{
  auto from_shared = rclcpp::node_interfaces::get_node_topics_interface(node_);
  auto from_pointer = rclcpp::node_interfaces::get_node_topics_interface(node_.get());
  auto from_reference = rclcpp::node_interfaces::get_node_topics_interface(*node_);
  auto from_interface = rclcpp::node_interfaces::get_node_topics_interface(from_shared);
  EXPECT_EQ(from_shared, node_->get_node_topics_interface());
  EXPECT_EQ(from_pointer, from_shared);
  EXPECT_EQ(from_reference, from_shared);
  EXPECT_EQ(from_interface, from_shared);
  auto base = rclcpp::node_interfaces::get_node_base_interface(node_);
  EXPECT_STREQ(base->get_fully_qualified_name(), "/graph/observer");
  auto via_free_function = rclcpp::create_publisher<std_msgs::msg::String>(
    node_, "free", rclcpp::QoS(1));
  EXPECT_STREQ(via_free_function->get_topic_name(), "/graph/free");
}
