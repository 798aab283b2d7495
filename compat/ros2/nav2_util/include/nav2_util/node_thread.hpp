// Copyright (c) 2026 Quorvane
// Licensed under the Apache License, Version 2.0

#ifndef NAV2_UTIL__NODE_THREAD_HPP_
#define NAV2_UTIL__NODE_THREAD_HPP_

#include <functional>
#include <future>
#include <memory>
#include <thread>

#include "rclcpp/rclcpp.hpp"

// Spins a node, or an executor, on a thread of its own for as long as the object lives.
namespace nav2_util
{

class NodeThread
{
public:
  explicit NodeThread(rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_base);
  explicit NodeThread(rclcpp::executors::SingleThreadedExecutor::SharedPtr executor);

  template<typename NodeT>
  explicit NodeThread(NodeT node)
  : NodeThread(node->get_node_base_interface())
  {}

  ~NodeThread();

protected:
  rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_;
  std::unique_ptr<std::thread> thread_;
  rclcpp::Executor::SharedPtr executor_;

private:
  void startThread(std::function<void()> spin);

  std::promise<void> spin_done_;
  std::future<void> spin_finished_;
};

}  // namespace nav2_util

#endif  // NAV2_UTIL__NODE_THREAD_HPP_
