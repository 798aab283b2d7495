// Copyright (c) 2026 Quorvane
// Licensed under the Apache License, Version 2.0

#include "nav2_util/node_thread.hpp"

#include <chrono>
#include <functional>
#include <memory>
#include <utility>

namespace nav2_util
{

namespace
{
// Marks the end of the spin however the thread function is left.
class SignalOnExit
{
public:
  explicit SignalOnExit(std::promise<void> & done)
  : done_(done) {}
  ~SignalOnExit() {done_.set_value();}
  SignalOnExit(const SignalOnExit &) = delete;
  SignalOnExit & operator=(const SignalOnExit &) = delete;

private:
  std::promise<void> & done_;
};
}  // namespace

NodeThread::NodeThread(rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_base)
: node_(std::move(node_base))
{
  executor_ = std::make_shared<rclcpp::executors::SingleThreadedExecutor>();
  startThread([this]() {
      executor_->add_node(node_);
      executor_->spin();
      executor_->remove_node(node_);
    });
}

NodeThread::NodeThread(rclcpp::executors::SingleThreadedExecutor::SharedPtr executor)
: executor_(std::move(executor))
{
  startThread([this]() {executor_->spin();});
}

NodeThread::~NodeThread()
{
  // A cancel that lands before spin() has started is forgotten by the executor, so keep
  // cancelling until the spin has really ended.
  do {
    executor_->cancel();
  } while (spin_finished_.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready);
  thread_->join();
}

void NodeThread::startThread(std::function<void()> spin)
{
  spin_finished_ = spin_done_.get_future();
  thread_ = std::make_unique<std::thread>(
    [this, spin = std::move(spin)]() {
      SignalOnExit signal(spin_done_);
      spin();
    });
}

}  // namespace nav2_util
