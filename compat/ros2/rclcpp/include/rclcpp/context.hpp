// The lifetime of one ROS "session": init, shutdown, shutdown callbacks and interruptible sleeps.
#ifndef RCLCPP__CONTEXT_HPP_
#define RCLCPP__CONTEXT_HPP_

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <typeindex>
#include <unordered_map>
#include <vector>

#include "rcl/context.h"
#include "rclcpp/init_options.hpp"
#include "rclcpp/macros.hpp"

namespace rclcpp
{

class ContextAlreadyInitialized : public std::runtime_error
{
public:
  ContextAlreadyInitialized()
  : std::runtime_error("context is already initialized") {}
};

class Context;

class ShutdownCallbackHandle
{
  friend class Context;

public:
  using ShutdownCallbackType = std::function<void()>;

private:
  std::weak_ptr<ShutdownCallbackType> callback;
};

using OnShutdownCallbackHandle = ShutdownCallbackHandle;
using PreShutdownCallbackHandle = ShutdownCallbackHandle;

namespace detail
{
const std::vector<std::string> & get_global_ros_arguments(const Context & context);
}  // namespace detail

class Context : public std::enable_shared_from_this<Context>
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS(Context)

  Context();
  virtual ~Context();
  Context(const Context &) = delete;
  Context & operator=(const Context &) = delete;

  virtual void init(
    int argc, char const * const * argv,
    const rclcpp::InitOptions & init_options = rclcpp::InitOptions());

  bool is_valid() const;
  const rclcpp::InitOptions & get_init_options() const;
  rclcpp::InitOptions get_init_options();
  size_t get_domain_id() const;
  std::string shutdown_reason() const;
  virtual bool shutdown(const std::string & reason);

  using OnShutdownCallback = OnShutdownCallbackHandle::ShutdownCallbackType;
  using PreShutdownCallback = PreShutdownCallbackHandle::ShutdownCallbackType;

  virtual OnShutdownCallback on_shutdown(OnShutdownCallback callback);
  virtual OnShutdownCallbackHandle add_on_shutdown_callback(OnShutdownCallback callback);
  virtual bool remove_on_shutdown_callback(const OnShutdownCallbackHandle & callback_handle);
  virtual PreShutdownCallbackHandle add_pre_shutdown_callback(PreShutdownCallback callback);
  virtual bool remove_pre_shutdown_callback(const PreShutdownCallbackHandle & callback_handle);
  std::vector<OnShutdownCallback> get_on_shutdown_callbacks() const;
  std::vector<PreShutdownCallback> get_pre_shutdown_callbacks() const;

  std::shared_ptr<rcl_context_t> get_rcl_context();
  bool sleep_for(const std::chrono::nanoseconds & nanoseconds);
  virtual void interrupt_all_sleep_for();

  template<typename SubContext, typename ... Args>
  std::shared_ptr<SubContext> get_sub_context(Args && ... args)
  {
    std::lock_guard<std::recursive_mutex> lock(sub_contexts_mutex_);
    std::type_index type_i(typeid(SubContext));
    auto it = sub_contexts_.find(type_i);
    if (it == sub_contexts_.end()) {
      auto sub_context = std::make_shared<SubContext>(std::forward<Args>(args)...);
      sub_contexts_[type_i] = sub_context;
      return sub_context;
    }
    return std::static_pointer_cast<SubContext>(it->second);
  }

private:
  friend const std::vector<std::string> & detail::get_global_ros_arguments(const Context &);
  using CallbackList = std::vector<std::shared_ptr<OnShutdownCallback>>;

  ShutdownCallbackHandle add_callback(CallbackList & list, OnShutdownCallback callback);
  bool remove_callback(CallbackList & list, const ShutdownCallbackHandle & handle);
  std::vector<OnShutdownCallback> copy_callbacks(const CallbackList & list) const;
  void run_callbacks(const CallbackList & list);

  std::atomic<bool> valid_{false};
  std::atomic<bool> was_shut_down_{false};
  mutable std::mutex state_mutex_;
  rclcpp::InitOptions init_options_;
  std::string shutdown_reason_;
  std::vector<std::string> global_ros_arguments_;
  std::shared_ptr<rcl_context_t> rcl_context_;

  mutable std::mutex callbacks_mutex_;
  CallbackList on_shutdown_callbacks_;
  CallbackList pre_shutdown_callbacks_;

  std::mutex interrupt_mutex_;
  std::condition_variable interrupt_condition_variable_;

  std::recursive_mutex sub_contexts_mutex_;
  std::unordered_map<std::type_index, std::shared_ptr<void>> sub_contexts_;
};

std::vector<Context::SharedPtr> get_contexts();

}  // namespace rclcpp

#endif  // RCLCPP__CONTEXT_HPP_
