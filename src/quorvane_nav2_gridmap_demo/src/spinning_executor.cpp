#include "quorvane_nav2_gridmap_demo/spinning_executor.hpp"

#include <chrono>

namespace quorvane_nav2_gridmap_demo
{

SpinningExecutor::SpinningExecutor(
  const std::vector<rclcpp::node_interfaces::NodeBaseInterface::SharedPtr> & nodes)
: nodes_(nodes)
{
  for (const auto & node : nodes_) {
    executor_.add_node(node);
  }
  // Short waits instead of one spin(): a cancel() that came before spin() started would be lost.
  thread_ = std::thread(
    [this]() {
      while (running_ && rclcpp::ok()) {
        executor_.spin_once(std::chrono::milliseconds(50));
      }
    });
}

SpinningExecutor::~SpinningExecutor()
{
  running_ = false;
  executor_.cancel();
  thread_.join();
  for (const auto & node : nodes_) {
    executor_.remove_node(node);
  }
}

}  // namespace quorvane_nav2_gridmap_demo
