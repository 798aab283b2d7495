// Drives the node clock from /clock while the use_sim_time parameter is true. The /clock
// subscription lives in its own callback group, spun by a dedicated thread when
// use_clock_thread is set, otherwise by whichever executor holds the node.
#ifndef RCLCPP__NODE_INTERFACES__NODE_TIME_SOURCE_HPP_
#define RCLCPP__NODE_INTERFACES__NODE_TIME_SOURCE_HPP_

#include <memory>
#include <mutex>
#include <thread>

#include "rclcpp/node_interfaces/node_base_interface.hpp"
#include "rclcpp/node_interfaces/node_clock_interface.hpp"
#include "rclcpp/node_interfaces/node_graph_interface.hpp"
#include "rclcpp/node_interfaces/node_logging_interface.hpp"
#include "rclcpp/node_interfaces/node_parameters_interface.hpp"
#include "rclcpp/node_interfaces/node_services_interface.hpp"
#include "rclcpp/node_interfaces/node_time_source_interface.hpp"
#include "rclcpp/node_interfaces/node_topics_interface.hpp"
#include "rclcpp/qos.hpp"

namespace rclcpp
{

class Executor;

namespace node_interfaces
{

class NodeTimeSource : public NodeTimeSourceInterface
{
public:
  RCLCPP_SMART_PTR_ALIASES_ONLY(NodeTimeSource)

  NodeTimeSource(
    rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_base,
    rclcpp::node_interfaces::NodeTopicsInterface::SharedPtr node_topics,
    rclcpp::node_interfaces::NodeGraphInterface::SharedPtr node_graph,
    rclcpp::node_interfaces::NodeServicesInterface::SharedPtr node_services,
    rclcpp::node_interfaces::NodeLoggingInterface::SharedPtr node_logging,
    rclcpp::node_interfaces::NodeClockInterface::SharedPtr node_clock,
    rclcpp::node_interfaces::NodeParametersInterface::SharedPtr node_parameters,
    const rclcpp::QoS & qos = rclcpp::ClockQoS(),
    bool use_clock_thread = true);
  virtual ~NodeTimeSource();
  NodeTimeSource(const NodeTimeSource &) = delete;
  NodeTimeSource & operator=(const NodeTimeSource &) = delete;

private:
  void set_use_sim_time(bool use_sim_time);
  void start_clock_subscription();
  void stop_clock_subscription();

  rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_base_;
  rclcpp::node_interfaces::NodeTopicsInterface::SharedPtr node_topics_;
  rclcpp::node_interfaces::NodeClockInterface::SharedPtr node_clock_;
  rclcpp::node_interfaces::NodeParametersInterface::SharedPtr node_parameters_;
  rclcpp::QoS qos_;
  bool use_clock_thread_;
  std::mutex mutex_;
  bool sim_time_active_{false};
  std::shared_ptr<void> clock_subscription_;
  rclcpp::CallbackGroup::SharedPtr clock_callback_group_;
  std::shared_ptr<rclcpp::Executor> clock_executor_;
  std::thread clock_executor_thread_;
  OnSetParametersCallbackHandle::SharedPtr parameter_callback_;
};

}  // namespace node_interfaces
}  // namespace rclcpp

#endif  // RCLCPP__NODE_INTERFACES__NODE_TIME_SOURCE_HPP_
