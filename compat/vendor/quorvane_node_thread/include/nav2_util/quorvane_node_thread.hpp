// Copyright (c) 2026 Quorvane
// All rights reserved.

#ifndef NAV2_UTIL__QUORVANE_NODE_THREAD_HPP_
#define NAV2_UTIL__QUORVANE_NODE_THREAD_HPP_

#include <atomic>
#include <future>
#include <memory>
#include <thread>

#include "rclcpp/rclcpp.hpp"

namespace nav2_util
{

// Keeps a node's (or an executor's) callbacks running on a thread of its own for exactly
// the lifetime of this object; destruction stops the spinning and joins the thread.
//
// A new thread for a node that another QuorvaneNodeThread spins takes the node over, so an
// owner may start the replacement before it drops the old thread. Misuse (a node served by
// some other executor, an executor already spinning) is reported to the constructor's caller.
// A callback that throws is logged and spinning resumes.
class QuorvaneNodeThread
{
public:
  // Spins the node through a private single-threaded executor. The node is added before the
  // constructor returns and removed again by the destructor (unless a newer thread took it
  // over), so it can be handed on afterwards.
  explicit QuorvaneNodeThread(rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_base);

  // Spins an executor the caller has filled with nodes or callback groups.
  explicit QuorvaneNodeThread(rclcpp::executors::SingleThreadedExecutor::SharedPtr executor);

  ~QuorvaneNodeThread();

  QuorvaneNodeThread(const QuorvaneNodeThread &) = delete;
  QuorvaneNodeThread & operator=(const QuorvaneNodeThread &) = delete;

private:
  void takeNode();
  void releaseNode();
  void start();
  void spinUntilStopped();

  rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_;
  rclcpp::executors::SingleThreadedExecutor::SharedPtr executor_;
  // Whether this thread still serves node_; guarded by the process-wide owner registry.
  bool owns_node_{false};
  std::atomic<bool> stop_requested_{false};
  std::promise<void> spin_done_;
  std::future<void> spin_finished_;
  std::thread thread_;
};

}  // namespace nav2_util

#endif  // NAV2_UTIL__QUORVANE_NODE_THREAD_HPP_
