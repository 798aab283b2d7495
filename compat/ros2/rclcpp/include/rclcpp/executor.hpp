// Executors run the callbacks of the callback groups they serve. A waiting executor blocks on a
// condition variable and is woken by new work in its groups, by timers falling due, by cancel()
// and by shutdown of its context.
#ifndef RCLCPP__EXECUTOR_HPP_
#define RCLCPP__EXECUTOR_HPP_

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "rclcpp/callback_group.hpp"
#include "rclcpp/context.hpp"
#include "rclcpp/detail/executable_entity.hpp"
#include "rclcpp/executor_options.hpp"
#include "rclcpp/future_return_code.hpp"
#include "rclcpp/macros.hpp"
#include "rclcpp/node_interfaces/node_base_interface.hpp"
#include "rclcpp/utilities.hpp"

namespace rclcpp
{

class Node;

namespace detail
{
class ExecutorNotifier;
}  // namespace detail

class Executor
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS_NOT_COPYABLE(Executor)

  explicit Executor(const rclcpp::ExecutorOptions & options = rclcpp::ExecutorOptions());
  virtual ~Executor();
  Executor(const Executor &) = delete;
  Executor & operator=(const Executor &) = delete;

  virtual void spin() = 0;

  virtual void add_callback_group(
    rclcpp::CallbackGroup::SharedPtr group_ptr,
    rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_ptr, bool notify = true);
  virtual std::vector<rclcpp::CallbackGroup::WeakPtr> get_all_callback_groups();
  virtual std::vector<rclcpp::CallbackGroup::WeakPtr> get_manually_added_callback_groups();
  virtual std::vector<rclcpp::CallbackGroup::WeakPtr>
  get_automatically_added_callback_groups_from_nodes();
  virtual void remove_callback_group(
    rclcpp::CallbackGroup::SharedPtr group_ptr, bool notify = true);
  virtual void add_node(
    rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_ptr, bool notify = true);
  virtual void add_node(std::shared_ptr<rclcpp::Node> node_ptr, bool notify = true);
  virtual void remove_node(
    rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_ptr, bool notify = true);
  virtual void remove_node(std::shared_ptr<rclcpp::Node> node_ptr, bool notify = true);

  template<typename RepT = int64_t, typename T = std::milli>
  void spin_node_once(
    rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node,
    std::chrono::duration<RepT, T> timeout = std::chrono::duration<RepT, T>(-1))
  {
    spin_node_once_nanoseconds(
      node, std::chrono::duration_cast<std::chrono::nanoseconds>(timeout));
  }

  template<typename NodeT = rclcpp::Node, typename RepT = int64_t, typename T = std::milli>
  void spin_node_once(
    std::shared_ptr<NodeT> node,
    std::chrono::duration<RepT, T> timeout = std::chrono::duration<RepT, T>(-1))
  {
    spin_node_once_nanoseconds(
      node->get_node_base_interface(),
      std::chrono::duration_cast<std::chrono::nanoseconds>(timeout));
  }

  void spin_node_some(rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node);
  void spin_node_some(std::shared_ptr<rclcpp::Node> node);
  virtual void spin_some(std::chrono::nanoseconds max_duration = std::chrono::nanoseconds(0));
  virtual void spin_all(std::chrono::nanoseconds max_duration);
  virtual void spin_once(std::chrono::nanoseconds timeout = std::chrono::nanoseconds(-1));

  template<typename FutureT, typename TimeRepT = int64_t, typename TimeT = std::milli>
  FutureReturnCode spin_until_future_complete(
    const FutureT & future,
    std::chrono::duration<TimeRepT, TimeT> timeout = std::chrono::duration<TimeRepT, TimeT>(-1))
  {
    if (future.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
      return FutureReturnCode::SUCCESS;
    }
    const auto timeout_ns = std::chrono::duration_cast<std::chrono::nanoseconds>(timeout);
    auto end_time = std::chrono::steady_clock::now();
    if (timeout_ns > std::chrono::nanoseconds::zero()) {
      end_time += timeout_ns;
    }
    std::chrono::nanoseconds timeout_left = timeout_ns;
    if (spinning.exchange(true)) {
      throw std::runtime_error("spin_until_future_complete() called while already spinning");
    }
    SpinningReset reset(spinning);
    if (consume_pending_cancel()) {
      return FutureReturnCode::INTERRUPTED;
    }
    while (rclcpp::ok(context_) && spinning.load()) {
      spin_once_impl(timeout_left);
      if (future.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
        return FutureReturnCode::SUCCESS;
      }
      if (timeout_ns < std::chrono::nanoseconds::zero()) {
        continue;
      }
      const auto now = std::chrono::steady_clock::now();
      if (now >= end_time) {
        return FutureReturnCode::TIMEOUT;
      }
      timeout_left = end_time - now;
    }
    return FutureReturnCode::INTERRUPTED;
  }

  void cancel();
  void set_memory_strategy(rclcpp::memory_strategy::MemoryStrategy::SharedPtr memory_strategy);
  bool is_spinning();

protected:
  /// Clears the spinning flag however the spin call ends.
  class SpinningReset
  {
  public:
    explicit SpinningReset(std::atomic_bool & flag)
    : flag_(flag) {}
    ~SpinningReset() {flag_.store(false);}

  private:
    std::atomic_bool & flag_;
  };

  struct AnyExecutable
  {
    std::shared_ptr<detail::ExecutableEntity> entity;
    rclcpp::CallbackGroup::SharedPtr callback_group;
  };

  /// Runs at most one ready callback, waiting up to `timeout` (negative: forever) for one.
  void spin_once_impl(std::chrono::nanoseconds timeout);
  /// Finds a ready entity whose group may run now and claims that group.
  bool get_next_ready_executable(AnyExecutable & any_executable);
  /// Runs the claimed entity once and releases its group.
  void execute_any_executable(AnyExecutable & any_executable);
  void spin_some_impl(std::chrono::nanoseconds max_duration, bool exhaustive);
  /// True (and spinning stops) if cancel() was called before this spin call started.
  bool consume_pending_cancel();

  std::atomic_bool spinning;
  rclcpp::Context::SharedPtr context_;

private:
  struct GroupEntry
  {
    rclcpp::CallbackGroup::WeakPtr group;
    rclcpp::node_interfaces::NodeBaseInterface::WeakPtr node;
    rclcpp::GuardCondition::SharedPtr guard_condition;
  };

  void spin_node_once_nanoseconds(
    rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node,
    std::chrono::nanoseconds timeout);
  void associate_group(
    std::vector<GroupEntry> & entries, const rclcpp::CallbackGroup::SharedPtr & group,
    const rclcpp::node_interfaces::NodeBaseInterface::SharedPtr & node);
  void release_group(GroupEntry & entry);
  void add_groups_from_nodes();
  std::vector<GroupEntry> snapshot_groups();
  std::vector<AnyExecutable> collect_ready(bool first_only);
  std::chrono::nanoseconds time_until_next_timer();
  static bool claim(const rclcpp::CallbackGroup::SharedPtr & group);

  std::shared_ptr<detail::ExecutorNotifier> notifier_;
  rclcpp::OnShutdownCallbackHandle shutdown_callback_handle_;
  std::mutex mutex_;
  std::vector<GroupEntry> manual_groups_;
  std::vector<GroupEntry> node_groups_;
  std::vector<rclcpp::node_interfaces::NodeBaseInterface::WeakPtr> nodes_;
  std::atomic<size_t> rotation_{0};
  std::atomic_bool cancel_pending_{false};
};

}  // namespace rclcpp

#endif  // RCLCPP__EXECUTOR_HPP_
