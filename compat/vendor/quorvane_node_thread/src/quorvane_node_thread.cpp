// Copyright (c) 2026 Quorvane
// All rights reserved.

#include "nav2_util/quorvane_node_thread.hpp"

#include <chrono>
#include <exception>
#include <map>
#include <mutex>
#include <memory>
#include <stdexcept>
#include <utility>

namespace nav2_util
{

namespace
{
rclcpp::Logger logger()
{
  return rclcpp::get_logger("quorvane_node_thread");
}

// Which QuorvaneNodeThread serves each node, so a newer thread can take a node over.
struct OwnerRegistry
{
  std::mutex mutex;
  std::map<const rclcpp::node_interfaces::NodeBaseInterface *, QuorvaneNodeThread *> owners;
};

OwnerRegistry & registry()
{
  static OwnerRegistry instance;
  return instance;
}
}  // namespace

QuorvaneNodeThread::QuorvaneNodeThread(
  rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_base)
: node_(std::move(node_base))
{
  if (!node_) {
    throw std::invalid_argument("QuorvaneNodeThread needs a node to spin");
  }
  executor_ = std::make_shared<rclcpp::executors::SingleThreadedExecutor>();
  takeNode();
  try {
    start();
  } catch (...) {
    releaseNode();
    throw;
  }
}

QuorvaneNodeThread::QuorvaneNodeThread(
  rclcpp::executors::SingleThreadedExecutor::SharedPtr executor)
: executor_(std::move(executor))
{
  if (!executor_) {
    throw std::invalid_argument("QuorvaneNodeThread needs an executor to spin");
  }
  if (executor_->is_spinning()) {
    throw std::runtime_error("QuorvaneNodeThread: the executor is already spinning elsewhere");
  }
  start();
}

QuorvaneNodeThread::~QuorvaneNodeThread()
{
  stop_requested_ = true;
  // A cancel that lands before spin() has started is forgotten by the executor, so keep
  // cancelling until the spin has really ended.
  do {
    executor_->cancel();
  } while (spin_finished_.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready);
  thread_.join();
  if (node_) {
    releaseNode();
  }
}

void QuorvaneNodeThread::takeNode()
{
  auto & reg = registry();
  std::lock_guard<std::mutex> lock(reg.mutex);
  auto previous = reg.owners.find(node_.get());
  if (previous != reg.owners.end()) {
    // Executors allow removal while they spin; the previous thread just loses this node.
    previous->second->executor_->remove_node(node_);
    previous->second->owns_node_ = false;
    reg.owners.erase(previous);
  }
  // Adding here, not on the thread, lets "already added to an executor" reach the caller.
  executor_->add_node(node_);
  reg.owners[node_.get()] = this;
  owns_node_ = true;
}

void QuorvaneNodeThread::releaseNode()
{
  auto & reg = registry();
  std::lock_guard<std::mutex> lock(reg.mutex);
  if (!owns_node_) {
    return;
  }
  executor_->remove_node(node_);
  reg.owners.erase(node_.get());
  owns_node_ = false;
}

void QuorvaneNodeThread::start()
{
  spin_finished_ = spin_done_.get_future();
  thread_ = std::thread([this]() {spinUntilStopped();});
}

void QuorvaneNodeThread::spinUntilStopped()
{
  while (!stop_requested_) {
    try {
      // Returns on cancel() or when the context shuts down; either way this thread is done.
      executor_->spin();
      break;
    } catch (const std::exception & error) {
      RCLCPP_ERROR(logger(), "A callback failed while spinning, spinning on: %s", error.what());
    }
  }
  spin_done_.set_value();
}

}  // namespace nav2_util
