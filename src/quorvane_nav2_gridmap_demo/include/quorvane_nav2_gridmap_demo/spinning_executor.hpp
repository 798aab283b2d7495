#ifndef QUORVANE_NAV2_GRIDMAP_DEMO__SPINNING_EXECUTOR_HPP_
#define QUORVANE_NAV2_GRIDMAP_DEMO__SPINNING_EXECUTOR_HPP_

// The host's own executor thread: it runs the callbacks of the grid-map node (camera
// subscriptions, load_map) and of the host's node (the load_map client's response) while the
// main thread updates and queries the grid maps.

#include <atomic>
#include <thread>
#include <vector>

#include "rclcpp/rclcpp.hpp"

namespace quorvane_nav2_gridmap_demo
{

class SpinningExecutor
{
public:
  // Adds the nodes and starts spinning them.
  explicit SpinningExecutor(
    const std::vector<rclcpp::node_interfaces::NodeBaseInterface::SharedPtr> & nodes);
  // Stops spinning, joins the thread and hands the nodes back.
  ~SpinningExecutor();

  SpinningExecutor(const SpinningExecutor &) = delete;
  SpinningExecutor & operator=(const SpinningExecutor &) = delete;

private:
  rclcpp::executors::SingleThreadedExecutor executor_;
  std::atomic<bool> running_{true};
  std::vector<rclcpp::node_interfaces::NodeBaseInterface::SharedPtr> nodes_;
  std::thread thread_;
};

}  // namespace quorvane_nav2_gridmap_demo

#endif  // QUORVANE_NAV2_GRIDMAP_DEMO__SPINNING_EXECUTOR_HPP_
