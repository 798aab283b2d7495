// Services and clients: round trips through executors, the callback forms, deferred responses
// and service discovery.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "rcl_interfaces/srv/get_parameters.hpp"
#include "rcl_interfaces/srv/list_parameters.hpp"
#include "rclcpp/rclcpp.hpp"

using namespace std::chrono_literals;
using GetParameters = rcl_interfaces::srv::GetParameters;

namespace
{

// The test service answers each requested name with a string value "<name>!".
void answer(const GetParameters::Request & request, GetParameters::Response & response)
{
  for (const auto & name : request.names) {
    rcl_interfaces::msg::ParameterValue value;
    value.type = rcl_interfaces::msg::ParameterType::PARAMETER_STRING;
    value.string_value = name + "!";
    response.values.push_back(value);
  }
}

GetParameters::Request::SharedPtr request_for(const std::string & name)
{
  auto request = std::make_shared<GetParameters::Request>();
  request->names.push_back(name);
  return request;
}

}  // namespace

class ServiceTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    rclcpp::init(0, nullptr);
    server_ = std::make_shared<rclcpp::Node>("server");
    client_node_ = std::make_shared<rclcpp::Node>("client");
    executor_.add_node(server_);
    executor_.add_node(client_node_);
  }
  void TearDown() override
  {
    rclcpp::shutdown();
    if (spinner_.joinable()) {
      spinner_.join();
    }
  }

  void spin_in_background()
  {
    spinner_ = std::thread([this]() {executor_.spin();});
  }

  std::shared_ptr<rclcpp::Node> server_;
  std::shared_ptr<rclcpp::Node> client_node_;
  rclcpp::executors::MultiThreadedExecutor executor_{rclcpp::ExecutorOptions(), 2};
  std::thread spinner_;
};

TEST_F(ServiceTest, RequestAndResponseRoundTrip)
{
  auto service = server_->create_service<GetParameters>(
    "lookup", [](const std::shared_ptr<GetParameters::Request> request,
    std::shared_ptr<GetParameters::Response> response) {answer(*request, *response);});
  auto client = client_node_->create_client<GetParameters>("lookup");
  EXPECT_TRUE(client->service_is_ready());
  EXPECT_STREQ(service->get_service_name(), "/lookup");
  spin_in_background();
  auto result = client->async_send_request(request_for("speed"));
  ASSERT_EQ(result.wait_for(10s), std::future_status::ready);
  const auto response = result.get();
  ASSERT_EQ(response->values.size(), 1u);
  EXPECT_EQ(response->values[0].string_value, "speed!");
}

TEST_F(ServiceTest, BoundMemberCallbackInACallbackGroupOfItsOwn)
{
  struct Handler
  {
    void on_request(
      const std::shared_ptr<rmw_request_id_t>, const std::shared_ptr<GetParameters::Request> req,
      std::shared_ptr<GetParameters::Response> res)
    {
      answer(*req, *res);
    }
  } handler;
  auto group = server_->create_callback_group(rclcpp::CallbackGroupType::Reentrant, false);
  auto service = server_->create_service<GetParameters>(
    "bound", std::bind(
      &Handler::on_request, &handler, std::placeholders::_1, std::placeholders::_2,
      std::placeholders::_3), rmw_qos_profile_services_default, group);
  rclcpp::executors::SingleThreadedExecutor group_executor;
  group_executor.add_callback_group(group, server_->get_node_base_interface());
  std::thread group_spinner([&group_executor]() {group_executor.spin();});
  auto client = client_node_->create_client<GetParameters>("bound");
  spin_in_background();
  auto result = client->async_send_request(request_for("bound"));
  const bool ready = result.wait_for(10s) == std::future_status::ready;
  group_executor.cancel();
  group_spinner.join();
  ASSERT_TRUE(ready);
  EXPECT_EQ(result.get()->values[0].string_value, "bound!");
}

TEST_F(ServiceTest, SpinUntilFutureCompleteDrivesTheClient)
{
  auto service = server_->create_service<GetParameters>(
    "lookup", [](std::shared_ptr<rmw_request_id_t> header,
    const std::shared_ptr<GetParameters::Request> request,
    std::shared_ptr<GetParameters::Response> response) {
      EXPECT_GT(header->sequence_number, 0);
      answer(*request, *response);
    });
  auto client = client_node_->create_client<GetParameters>("lookup");
  rclcpp::executors::SingleThreadedExecutor executor;
  executor_.remove_node(server_);
  executor_.remove_node(client_node_);
  executor.add_node(server_);
  executor.add_node(client_node_);
  auto first = client->async_send_request(request_for("a"));
  auto second = client->async_send_request(request_for("b"));
  EXPECT_NE(first.request_id, second.request_id);
  ASSERT_EQ(executor.spin_until_future_complete(second, 10s), rclcpp::FutureReturnCode::SUCCESS);
  EXPECT_EQ(second.get()->values[0].string_value, "b!");
  ASSERT_EQ(executor.spin_until_future_complete(first, 10s), rclcpp::FutureReturnCode::SUCCESS);
  EXPECT_EQ(first.get()->values[0].string_value, "a!");
}

TEST_F(ServiceTest, DeferredResponseIsSentLater)
{
  std::promise<std::pair<std::shared_ptr<rmw_request_id_t>, std::string>> received;
  rclcpp::Service<GetParameters>::SharedPtr service;
  service = server_->create_service<GetParameters>(
    "deferred", [&received](std::shared_ptr<rmw_request_id_t> header,
    const std::shared_ptr<GetParameters::Request> request) {
      received.set_value({header, request->names.at(0)});
    });
  auto client = client_node_->create_client<GetParameters>("deferred");
  spin_in_background();
  auto result = client->async_send_request(request_for("later"));
  auto request = received.get_future().get();
  EXPECT_EQ(result.wait_for(20ms), std::future_status::timeout);
  GetParameters::Response response;
  GetParameters::Request original;
  original.names.push_back(request.second);
  answer(original, response);
  service->send_response(*request.first, response);
  ASSERT_EQ(result.wait_for(10s), std::future_status::ready);
  EXPECT_EQ(result.get()->values[0].string_value, "later!");
}

TEST_F(ServiceTest, ResponseCallbacksReceiveTheFuture)
{
  auto service = server_->create_service<GetParameters>(
    "lookup", [](const std::shared_ptr<GetParameters::Request> request,
    std::shared_ptr<GetParameters::Response> response) {answer(*request, *response);});
  auto client = client_node_->create_client<GetParameters>("lookup");
  std::promise<std::string> from_callback;
  std::promise<std::string> with_request;
  spin_in_background();
  client->async_send_request(
    request_for("cb"), [&from_callback](rclcpp::Client<GetParameters>::SharedFuture future) {
      from_callback.set_value(future.get()->values[0].string_value);
    });
  client->async_send_request(
    request_for("pair"),
    [&with_request](rclcpp::Client<GetParameters>::SharedFutureWithRequest future) {
      auto pair = future.get();
      with_request.set_value(pair.first->names[0] + "->" + pair.second->values[0].string_value);
    });
  auto callback_result = from_callback.get_future();
  auto pair_result = with_request.get_future();
  ASSERT_EQ(callback_result.wait_for(10s), std::future_status::ready);
  EXPECT_EQ(callback_result.get(), "cb!");
  ASSERT_EQ(pair_result.wait_for(10s), std::future_status::ready);
  EXPECT_EQ(pair_result.get(), "pair->pair!");
}

TEST_F(ServiceTest, WaitForServiceSeesServicesComeAndGo)
{
  auto client = client_node_->create_client<GetParameters>("late_service");
  EXPECT_FALSE(client->wait_for_service(10ms));
  std::thread creator([this]() {
      std::this_thread::sleep_for(20ms);
      auto service = server_->create_service<GetParameters>(
        "late_service", [](const std::shared_ptr<GetParameters::Request>,
        std::shared_ptr<GetParameters::Response>) {});
      std::this_thread::sleep_for(50ms);
    });
  EXPECT_TRUE(client->wait_for_service(10s));
  creator.join();
  EXPECT_FALSE(client->service_is_ready());
}

TEST_F(ServiceTest, RequestWithoutServiceStaysPendingUntilRemoved)
{
  auto client = client_node_->create_client<GetParameters>("nobody");
  auto result = client->async_send_request(request_for("x"));
  rclcpp::executors::SingleThreadedExecutor executor;
  executor_.remove_node(client_node_);
  executor.add_node(client_node_);
  EXPECT_EQ(executor.spin_until_future_complete(result, 20ms), rclcpp::FutureReturnCode::TIMEOUT);
  EXPECT_TRUE(client->remove_pending_request(result));
  EXPECT_FALSE(client->remove_pending_request(result.request_id));
}

TEST_F(ServiceTest, ShutdownEndsWaitForService)
{
  auto client = client_node_->create_client<GetParameters>("never");
  std::thread stopper([]() {
      std::this_thread::sleep_for(20ms);
      rclcpp::shutdown();
    });
  EXPECT_FALSE(client->wait_for_service());
  stopper.join();
}

TEST_F(ServiceTest, ResponsesReachTheClientThatAsked)
{
  auto service = server_->create_service<GetParameters>(
    "shared", [](const std::shared_ptr<GetParameters::Request> request,
    std::shared_ptr<GetParameters::Response> response) {answer(*request, *response);});
  auto first = client_node_->create_client<GetParameters>("shared");
  auto second = client_node_->create_client<GetParameters>("/shared");
  spin_in_background();
  auto from_first = first->async_send_request(request_for("one"));
  auto from_second = second->async_send_request(request_for("two"));
  ASSERT_EQ(from_first.wait_for(10s), std::future_status::ready);
  ASSERT_EQ(from_second.wait_for(10s), std::future_status::ready);
  EXPECT_EQ(from_first.get()->values[0].string_value, "one!");
  EXPECT_EQ(from_second.get()->values[0].string_value, "two!");
}

TEST_F(ServiceTest, AClientDestroyedBeforeTheResponseIsHarmless)
{
  std::promise<void> entered;
  std::promise<void> release;
  auto release_future = release.get_future().share();
  std::atomic<bool> first_call{true};
  auto service = server_->create_service<GetParameters>(
    "slow", [&](const std::shared_ptr<GetParameters::Request> request,
    std::shared_ptr<GetParameters::Response> response) {
      if (first_call.exchange(false)) {
        entered.set_value();
        release_future.wait();
      }
      answer(*request, *response);
    });
  auto client = client_node_->create_client<GetParameters>("slow");
  spin_in_background();
  auto result = client->async_send_request(request_for("gone"));
  entered.get_future().wait();
  client.reset();
  release.set_value();
  auto later = client_node_->create_client<GetParameters>("slow");
  auto second = later->async_send_request(request_for("still works"));
  ASSERT_EQ(second.wait_for(10s), std::future_status::ready);
  EXPECT_EQ(second.get()->values[0].string_value, "still works!");
}

TEST_F(ServiceTest, ServiceTypeMustMatchForAClientToSeeIt)
{
  auto service = server_->create_service<GetParameters>(
    "typed", [](const std::shared_ptr<GetParameters::Request>,
    std::shared_ptr<GetParameters::Response>) {});
  auto mismatched = client_node_->create_client<rcl_interfaces::srv::ListParameters>("typed");
  EXPECT_FALSE(mismatched->service_is_ready());
  EXPECT_FALSE(mismatched->wait_for_service(10ms));
}
