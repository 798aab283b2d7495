#include "rclcpp/node_interfaces/node_time_source.hpp"

#include <memory>
#include <string>
#include <vector>

#include "rclcpp/create_subscription.hpp"
#include "rclcpp/executors/single_threaded_executor.hpp"
#include "rosgraph_msgs/msg/clock.hpp"

namespace rclcpp
{
namespace node_interfaces
{
namespace
{

const char kUseSimTime[] = "use_sim_time";

}  // namespace

NodeTimeSource::NodeTimeSource(
  NodeBaseInterface::SharedPtr node_base, NodeTopicsInterface::SharedPtr node_topics,
  NodeGraphInterface::SharedPtr, NodeServicesInterface::SharedPtr,
  NodeLoggingInterface::SharedPtr, NodeClockInterface::SharedPtr node_clock,
  NodeParametersInterface::SharedPtr node_parameters, const rclcpp::QoS & qos,
  bool use_clock_thread)
: node_base_(node_base), node_topics_(node_topics), node_clock_(node_clock),
  node_parameters_(node_parameters), qos_(qos), use_clock_thread_(use_clock_thread)
{
  if (!node_parameters_->has_parameter(kUseSimTime)) {
    node_parameters_->declare_parameter(kUseSimTime, rclcpp::ParameterValue(false));
  }
  rclcpp::Parameter use_sim_time;
  if (node_parameters_->get_parameter(kUseSimTime, use_sim_time) && use_sim_time.as_bool()) {
    set_use_sim_time(true);
  }
  parameter_callback_ = node_parameters_->add_on_set_parameters_callback(
    [this](const std::vector<rclcpp::Parameter> & parameters) {
      rcl_interfaces::msg::SetParametersResult result;
      result.successful = true;
      for (const auto & parameter : parameters) {
        if (parameter.get_name() != kUseSimTime) {
          continue;
        }
        if (parameter.get_type() != rclcpp::PARAMETER_BOOL) {
          result.successful = false;
          result.reason = "use_sim_time parameter must be a boolean";
          return result;
        }
        set_use_sim_time(parameter.as_bool());
      }
      return result;
    });
}

NodeTimeSource::~NodeTimeSource()
{
  stop_clock_subscription();
}

void NodeTimeSource::set_use_sim_time(bool use_sim_time)
{
  std::lock_guard<std::mutex> lock(mutex_);
  if (use_sim_time == sim_time_active_) {
    return;
  }
  sim_time_active_ = use_sim_time;
  auto * handle = node_clock_->get_clock()->get_clock_handle();
  if (use_sim_time) {
    rcl_enable_ros_time_override(handle);
    start_clock_subscription();
  } else {
    stop_clock_subscription();
    rcl_disable_ros_time_override(handle);
  }
}

void NodeTimeSource::start_clock_subscription()
{
  clock_callback_group_ = node_base_->create_callback_group(
    rclcpp::CallbackGroupType::MutuallyExclusive, !use_clock_thread_);
  rclcpp::SubscriptionOptions options;
  options.callback_group = clock_callback_group_;
  auto clock = node_clock_->get_clock();
  clock_subscription_ = rclcpp::create_subscription<rosgraph_msgs::msg::Clock>(
    node_topics_, "/clock", qos_,
    [clock](std::shared_ptr<const rosgraph_msgs::msg::Clock> msg) {
      rcl_set_ros_time_override(
        clock->get_clock_handle(), rclcpp::Time(msg->clock).nanoseconds());
    }, options);
  if (use_clock_thread_) {
    rclcpp::ExecutorOptions executor_options;
    executor_options.context = node_base_->get_context();
    auto executor = std::make_shared<rclcpp::executors::SingleThreadedExecutor>(executor_options);
    executor->add_callback_group(clock_callback_group_, node_base_);
    clock_executor_ = executor;
    clock_executor_thread_ = std::thread([executor]() {executor->spin();});
  }
}

void NodeTimeSource::stop_clock_subscription()
{
  if (clock_executor_) {
    clock_executor_->cancel();
  }
  if (clock_executor_thread_.joinable()) {
    clock_executor_thread_.join();
  }
  clock_executor_.reset();
  clock_subscription_.reset();
  clock_callback_group_.reset();
}

}  // namespace node_interfaces
}  // namespace rclcpp
