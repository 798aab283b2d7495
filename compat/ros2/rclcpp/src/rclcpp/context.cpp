#include "rclcpp/context.hpp"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "rclcpp/detail/log_output.hpp"
#include "rclcpp/exceptions.hpp"
#include "parameter_overrides.hpp"
#include "ros_arguments.hpp"

namespace rclcpp
{
namespace
{

std::mutex g_contexts_mutex;
std::vector<std::weak_ptr<Context>> g_contexts;
std::atomic<uint64_t> g_next_instance_id{1};

void apply_log_levels(const std::vector<std::string> & ros_arguments)
{
  for (size_t i = 0; i + 1 < ros_arguments.size(); ++i) {
    if (ros_arguments[i] != "--log-level") {
      continue;
    }
    const std::string & rule = ros_arguments[++i];
    if (!detail::apply_log_level_rule(rule)) {
      rcl_error_state_t state{};
      const std::string message = "Argument " + rule + " is not a valid log level rule";
      message.copy(state.message, sizeof(state.message) - 1);
      throw rclcpp::exceptions::RCLInvalidROSArgsError(
              RCL_RET_INVALID_ROS_ARGS, &state, "failed to parse arguments: ");
    }
  }
}

void register_context(const Context::SharedPtr & context)
{
  std::lock_guard<std::mutex> lock(g_contexts_mutex);
  g_contexts.erase(
    std::remove_if(
      g_contexts.begin(), g_contexts.end(),
      [](const std::weak_ptr<Context> & c) {return c.expired();}),
    g_contexts.end());
  g_contexts.push_back(context);
}

}  // namespace

namespace detail
{
const std::vector<std::string> & get_global_ros_arguments(const Context & context)
{
  return context.global_ros_arguments_;
}
}  // namespace detail

Context::Context() = default;

Context::~Context()
{
  if (is_valid()) {
    shutdown("context destructor was called while still not shutdown");
  }
}

void Context::init(int argc, char const * const * argv, const rclcpp::InitOptions & init_options)
{
  std::lock_guard<std::mutex> init_lock(state_mutex_);
  if (valid_) {
    throw rclcpp::ContextAlreadyInitialized();
  }
  auto ros_arguments = detail::RosArguments::extract(argc, argv);
  detail::RosArguments::validate(ros_arguments);
  detail::ParameterOverrides::check(ros_arguments);
  apply_log_levels(ros_arguments);
  global_ros_arguments_ = std::move(ros_arguments);
  init_options_ = init_options;
  shutdown_reason_.clear();
  rcl_context_ = std::make_shared<rcl_context_t>();
  rcl_context_->instance_id = g_next_instance_id++;
  was_shut_down_ = false;
  valid_ = true;
  try {
    register_context(shared_from_this());
  } catch (const std::bad_weak_ptr &) {
    // A context owned by value still works; it is just not listed by get_contexts().
  }
}

bool Context::is_valid() const
{
  return valid_;
}

const rclcpp::InitOptions & Context::get_init_options() const
{
  return init_options_;
}

rclcpp::InitOptions Context::get_init_options()
{
  std::lock_guard<std::mutex> lock(state_mutex_);
  return init_options_;
}

size_t Context::get_domain_id() const
{
  return init_options_.get_domain_id();
}

std::string Context::shutdown_reason() const
{
  std::lock_guard<std::mutex> lock(state_mutex_);
  return shutdown_reason_;
}

bool Context::shutdown(const std::string & reason)
{
  {
    std::lock_guard<std::mutex> lock(state_mutex_);
    if (!valid_) {
      return false;
    }
  }
  run_callbacks(pre_shutdown_callbacks_);
  {
    std::lock_guard<std::mutex> lock(state_mutex_);
    if (!valid_) {
      return false;
    }
    valid_ = false;
    was_shut_down_ = true;
    shutdown_reason_ = reason;
  }
  run_callbacks(on_shutdown_callbacks_);
  interrupt_all_sleep_for();
  return true;
}

Context::OnShutdownCallback Context::on_shutdown(OnShutdownCallback callback)
{
  add_on_shutdown_callback(callback);
  return callback;
}

OnShutdownCallbackHandle Context::add_on_shutdown_callback(OnShutdownCallback callback)
{
  return add_callback(on_shutdown_callbacks_, std::move(callback));
}

bool Context::remove_on_shutdown_callback(const OnShutdownCallbackHandle & callback_handle)
{
  return remove_callback(on_shutdown_callbacks_, callback_handle);
}

PreShutdownCallbackHandle Context::add_pre_shutdown_callback(PreShutdownCallback callback)
{
  return add_callback(pre_shutdown_callbacks_, std::move(callback));
}

bool Context::remove_pre_shutdown_callback(const PreShutdownCallbackHandle & callback_handle)
{
  return remove_callback(pre_shutdown_callbacks_, callback_handle);
}

std::vector<Context::OnShutdownCallback> Context::get_on_shutdown_callbacks() const
{
  return copy_callbacks(on_shutdown_callbacks_);
}

std::vector<Context::PreShutdownCallback> Context::get_pre_shutdown_callbacks() const
{
  return copy_callbacks(pre_shutdown_callbacks_);
}

std::shared_ptr<rcl_context_t> Context::get_rcl_context()
{
  std::lock_guard<std::mutex> lock(state_mutex_);
  return rcl_context_;
}

bool Context::sleep_for(const std::chrono::nanoseconds & nanoseconds)
{
  // A context that was shut down answers at once; one never initialised still waits once.
  // The flag is read under the interrupt mutex, which shutdown takes to notify, so a shutdown
  // either is seen here or wakes the wait.
  std::chrono::nanoseconds time_left = nanoseconds;
  do {
    std::unique_lock<std::mutex> lock(interrupt_mutex_);
    if (was_shut_down_) {
      return false;
    }
    const auto start = std::chrono::steady_clock::now();
    interrupt_condition_variable_.wait_for(lock, time_left);
    time_left -= std::chrono::steady_clock::now() - start;
  } while (time_left > std::chrono::nanoseconds::zero() && is_valid());
  return is_valid();
}

void Context::interrupt_all_sleep_for()
{
  std::lock_guard<std::mutex> lock(interrupt_mutex_);
  interrupt_condition_variable_.notify_all();
}

ShutdownCallbackHandle Context::add_callback(CallbackList & list, OnShutdownCallback callback)
{
  auto shared = std::make_shared<OnShutdownCallback>(std::move(callback));
  std::lock_guard<std::mutex> lock(callbacks_mutex_);
  list.push_back(shared);
  ShutdownCallbackHandle handle;
  handle.callback = shared;
  return handle;
}

bool Context::remove_callback(CallbackList & list, const ShutdownCallbackHandle & handle)
{
  auto target = handle.callback.lock();
  if (!target) {
    return false;
  }
  std::lock_guard<std::mutex> lock(callbacks_mutex_);
  auto it = std::find(list.begin(), list.end(), target);
  if (it == list.end()) {
    return false;
  }
  list.erase(it);
  return true;
}

std::vector<Context::OnShutdownCallback> Context::copy_callbacks(const CallbackList & list) const
{
  std::lock_guard<std::mutex> lock(callbacks_mutex_);
  std::vector<OnShutdownCallback> callbacks;
  for (const auto & callback : list) {
    callbacks.push_back(*callback);
  }
  return callbacks;
}

void Context::run_callbacks(const CallbackList & list)
{
  // Callbacks may add or remove callbacks, so they run on a snapshot without the lock held.
  CallbackList snapshot;
  {
    std::lock_guard<std::mutex> lock(callbacks_mutex_);
    snapshot = list;
  }
  for (const auto & callback : snapshot) {
    (*callback)();
  }
}

std::vector<Context::SharedPtr> get_contexts()
{
  std::lock_guard<std::mutex> lock(g_contexts_mutex);
  std::vector<Context::SharedPtr> contexts;
  for (const auto & weak : g_contexts) {
    if (auto context = weak.lock()) {
      contexts.push_back(context);
    }
  }
  return contexts;
}

}  // namespace rclcpp
