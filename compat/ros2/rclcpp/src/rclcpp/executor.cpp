#include "rclcpp/executor.hpp"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "executor_notifier.hpp"
#include "rclcpp/client.hpp"
#include "rclcpp/node.hpp"
#include "rclcpp/service.hpp"
#include "rclcpp/subscription_base.hpp"
#include "rclcpp/timer.hpp"

namespace rclcpp
{
namespace
{

std::function<void(size_t)> wake_callback(const std::shared_ptr<detail::ExecutorNotifier> & n)
{
  std::weak_ptr<detail::ExecutorNotifier> weak = n;
  return [weak](size_t) {
           if (auto notifier = weak.lock()) {
             notifier->notify();
           }
         };
}

// The entities of a group in rclcpp's order of preference: timers, subscriptions, services, clients.
std::vector<std::shared_ptr<detail::ExecutableEntity>> entities_of(
  const rclcpp::CallbackGroup::SharedPtr & group)
{
  std::vector<std::shared_ptr<detail::ExecutableEntity>> timers;
  std::vector<std::shared_ptr<detail::ExecutableEntity>> others;
  group->collect_all_ptrs(
    [&others](const rclcpp::SubscriptionBase::SharedPtr & s) {others.push_back(s);},
    [&others](const rclcpp::ServiceBase::SharedPtr & s) {others.push_back(s);},
    [&others](const rclcpp::ClientBase::SharedPtr & c) {others.push_back(c);},
    [&timers](const rclcpp::TimerBase::SharedPtr & t) {timers.push_back(t);},
    nullptr);
  timers.insert(timers.end(), others.begin(), others.end());
  return timers;
}

}  // namespace

Executor::Executor(const rclcpp::ExecutorOptions & options)
: spinning(false), context_(options.context),
  notifier_(std::make_shared<detail::ExecutorNotifier>())
{
  if (!context_) {
    context_ = contexts::get_global_default_context();
  }
  auto wake = wake_callback(notifier_);
  shutdown_callback_handle_ = context_->add_on_shutdown_callback([wake]() {wake(1);});
}

Executor::~Executor()
{
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto & entry : manual_groups_) {
    release_group(entry);
  }
  for (auto & entry : node_groups_) {
    release_group(entry);
  }
  for (auto & weak : nodes_) {
    if (auto node = weak.lock()) {
      node->get_notify_guard_condition().set_on_trigger_callback(nullptr);
      node->get_associated_with_executor_atomic().store(false);
    }
  }
  context_->remove_on_shutdown_callback(shutdown_callback_handle_);
}

void Executor::associate_group(
  std::vector<GroupEntry> & entries, const rclcpp::CallbackGroup::SharedPtr & group,
  const rclcpp::node_interfaces::NodeBaseInterface::SharedPtr & node)
{
  auto guard_condition = group->get_notify_guard_condition(context_);
  guard_condition->set_on_trigger_callback(wake_callback(notifier_));
  entries.push_back({group, node, guard_condition});
}

void Executor::release_group(GroupEntry & entry)
{
  if (entry.guard_condition) {
    entry.guard_condition->set_on_trigger_callback(nullptr);
  }
  if (auto group = entry.group.lock()) {
    group->get_associated_with_executor_atomic().store(false);
  }
}

void Executor::add_callback_group(
  rclcpp::CallbackGroup::SharedPtr group_ptr,
  rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_ptr, bool notify)
{
  if (group_ptr->get_associated_with_executor_atomic().exchange(true)) {
    throw std::runtime_error("Callback group has already been added to an executor.");
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    associate_group(manual_groups_, group_ptr, node_ptr);
  }
  if (notify) {
    notifier_->notify();
  }
}

std::vector<rclcpp::CallbackGroup::WeakPtr> Executor::get_all_callback_groups()
{
  auto groups = get_manually_added_callback_groups();
  auto from_nodes = get_automatically_added_callback_groups_from_nodes();
  groups.insert(groups.end(), from_nodes.begin(), from_nodes.end());
  return groups;
}

std::vector<rclcpp::CallbackGroup::WeakPtr> Executor::get_manually_added_callback_groups()
{
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<rclcpp::CallbackGroup::WeakPtr> groups;
  for (const auto & entry : manual_groups_) {
    groups.push_back(entry.group);
  }
  return groups;
}

std::vector<rclcpp::CallbackGroup::WeakPtr>
Executor::get_automatically_added_callback_groups_from_nodes()
{
  add_groups_from_nodes();
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<rclcpp::CallbackGroup::WeakPtr> groups;
  for (const auto & entry : node_groups_) {
    groups.push_back(entry.group);
  }
  return groups;
}

void Executor::remove_callback_group(rclcpp::CallbackGroup::SharedPtr group_ptr, bool notify)
{
  {
    std::lock_guard<std::mutex> lock(mutex_);
    bool found = false;
    for (auto * entries : {&manual_groups_, &node_groups_}) {
      auto it = std::find_if(
        entries->begin(), entries->end(),
        [&group_ptr](const GroupEntry & e) {return e.group.lock() == group_ptr;});
      if (it != entries->end()) {
        if (it->node.expired()) {
          throw std::runtime_error("Node must not be deleted before its callback group(s).");
        }
        release_group(*it);
        entries->erase(it);
        found = true;
        break;
      }
    }
    if (!found) {
      throw std::runtime_error("Callback group needs to be associated with executor.");
    }
  }
  if (notify) {
    notifier_->notify();
  }
}

void Executor::add_node(rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_ptr, bool notify)
{
  if (node_ptr->get_associated_with_executor_atomic().exchange(true)) {
    throw std::runtime_error(
            std::string("Node '") + node_ptr->get_fully_qualified_name() +
            "' has already been added to an executor.");
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    nodes_.push_back(node_ptr);
    node_ptr->get_notify_guard_condition().set_on_trigger_callback(wake_callback(notifier_));
  }
  add_groups_from_nodes();
  if (notify) {
    notifier_->notify();
  }
}

void Executor::add_node(std::shared_ptr<rclcpp::Node> node_ptr, bool notify)
{
  add_node(node_ptr->get_node_base_interface(), notify);
}

void Executor::remove_node(
  rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_ptr, bool notify)
{
  if (!node_ptr->get_associated_with_executor_atomic().load()) {
    throw std::runtime_error("Node needs to be associated with an executor.");
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = std::find_if(
      nodes_.begin(), nodes_.end(),
      [&node_ptr](const rclcpp::node_interfaces::NodeBaseInterface::WeakPtr & w) {
        return w.lock() == node_ptr;
      });
    if (it == nodes_.end()) {
      throw std::runtime_error("Node needs to be associated with this executor.");
    }
    nodes_.erase(it);
    for (auto entry = node_groups_.begin(); entry != node_groups_.end(); ) {
      if (entry->node.lock() == node_ptr) {
        release_group(*entry);
        entry = node_groups_.erase(entry);
      } else {
        ++entry;
      }
    }
    node_ptr->get_notify_guard_condition().set_on_trigger_callback(nullptr);
    node_ptr->get_associated_with_executor_atomic().store(false);
  }
  if (notify) {
    notifier_->notify();
  }
}

void Executor::remove_node(std::shared_ptr<rclcpp::Node> node_ptr, bool notify)
{
  remove_node(node_ptr->get_node_base_interface(), notify);
}

void Executor::add_groups_from_nodes()
{
  std::vector<rclcpp::node_interfaces::NodeBaseInterface::SharedPtr> nodes;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    nodes_.erase(
      std::remove_if(
        nodes_.begin(), nodes_.end(),
        [](const rclcpp::node_interfaces::NodeBaseInterface::WeakPtr & w) {return w.expired();}),
      nodes_.end());
    for (const auto & weak : nodes_) {
      if (auto node = weak.lock()) {
        nodes.push_back(node);
      }
    }
  }
  for (const auto & node : nodes) {
    node->for_each_callback_group(
      [this, &node](const rclcpp::CallbackGroup::SharedPtr & group) {
        if (group->automatically_add_to_executor_with_node() &&
        !group->get_associated_with_executor_atomic().exchange(true))
        {
          std::lock_guard<std::mutex> lock(mutex_);
          associate_group(node_groups_, group, node);
        }
      });
  }
}

std::vector<Executor::GroupEntry> Executor::snapshot_groups()
{
  add_groups_from_nodes();
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto * entries : {&manual_groups_, &node_groups_}) {
    entries->erase(
      std::remove_if(
        entries->begin(), entries->end(),
        [](const GroupEntry & e) {return e.group.expired();}),
      entries->end());
  }
  std::vector<GroupEntry> groups = manual_groups_;
  groups.insert(groups.end(), node_groups_.begin(), node_groups_.end());
  if (!groups.empty()) {
    std::rotate(groups.begin(), groups.begin() + (rotation_++ % groups.size()), groups.end());
  }
  return groups;
}

bool Executor::claim(const rclcpp::CallbackGroup::SharedPtr & group)
{
  if (group->type() != rclcpp::CallbackGroupType::MutuallyExclusive) {
    return true;
  }
  return group->can_be_taken_from().exchange(false);
}

std::vector<Executor::AnyExecutable> Executor::collect_ready(bool first_only)
{
  std::vector<AnyExecutable> ready;
  for (const auto & entry : snapshot_groups()) {
    auto group = entry.group.lock();
    if (!group || !group->can_be_taken_from().load()) {
      continue;
    }
    for (const auto & entity : entities_of(group)) {
      if (entity->is_ready_to_execute()) {
        ready.push_back({entity, group});
        if (first_only) {
          return ready;
        }
        if (group->type() == rclcpp::CallbackGroupType::MutuallyExclusive) {
          break;
        }
      }
    }
  }
  return ready;
}

bool Executor::get_next_ready_executable(AnyExecutable & any_executable)
{
  // A candidate whose mutually exclusive group another thread just claimed is skipped.
  for (int attempt = 0; attempt < 2; ++attempt) {
    for (auto & candidate : collect_ready(false)) {
      if (claim(candidate.callback_group)) {
        any_executable = candidate;
        return true;
      }
    }
  }
  return false;
}

void Executor::execute_any_executable(AnyExecutable & any_executable)
{
  // Releases the group (and wakes other threads waiting for it) however the callback ends.
  struct Release
  {
    AnyExecutable & executable;
    detail::ExecutorNotifier & notifier;
    ~Release()
    {
      if (executable.callback_group->type() == rclcpp::CallbackGroupType::MutuallyExclusive) {
        executable.callback_group->can_be_taken_from().store(true);
      }
      notifier.notify();
    }
  } release{any_executable, *notifier_};
  notifier_->notify();
  any_executable.entity->execute_one();
}

std::chrono::nanoseconds Executor::time_until_next_timer()
{
  auto next = std::chrono::nanoseconds::max();
  for (const auto & entry : snapshot_groups()) {
    auto group = entry.group.lock();
    // A busy group wakes the executor when it is released, so its timers need no deadline.
    if (!group || !group->can_be_taken_from().load()) {
      continue;
    }
    group->collect_all_ptrs(
      nullptr, nullptr, nullptr,
      [&next](const rclcpp::TimerBase::SharedPtr & timer) {
        // Simulated time does not pass with wall time; its jumps wake the executor instead.
        // A timer that is running wakes the executor when its callback returns.
        if (timer->get_clock()->ros_time_is_active() || timer->is_executing()) {
          return;
        }
        next = std::min(next, timer->time_until_trigger());
      },
      nullptr);
  }
  return next;
}

void Executor::spin_once_impl(std::chrono::nanoseconds timeout)
{
  const auto start = std::chrono::steady_clock::now();
  const bool forever = timeout < std::chrono::nanoseconds::zero();
  const auto deadline = forever ? std::chrono::steady_clock::time_point::max() : start + timeout;
  while (rclcpp::ok(context_) && spinning.load()) {
    const uint64_t seen = notifier_->generation();
    // cancel() and shutdown change their flag before notifying: checking again after taking the
    // snapshot means a stop is either seen here or wakes the wait below.
    if (!rclcpp::ok(context_) || !spinning.load()) {
      return;
    }
    AnyExecutable any_executable;
    if (get_next_ready_executable(any_executable)) {
      execute_any_executable(any_executable);
      return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (!forever && now >= deadline) {
      return;
    }
    const auto timer_wait = time_until_next_timer();
    auto wake_at = deadline;
    if (timer_wait != std::chrono::nanoseconds::max()) {
      wake_at = std::min(wake_at, now + std::max(timer_wait, std::chrono::nanoseconds::zero()));
    }
    if (wake_at == std::chrono::steady_clock::time_point::max()) {
      notifier_->wait(seen);
    } else {
      notifier_->wait_until(seen, wake_at);
    }
  }
}

void Executor::spin_node_once_nanoseconds(
  rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node, std::chrono::nanoseconds timeout)
{
  add_node(node, false);
  try {
    spin_once(timeout);
  } catch (...) {
    remove_node(node, false);
    throw;
  }
  remove_node(node, false);
}

void Executor::spin_node_some(rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node)
{
  add_node(node, false);
  try {
    spin_some();
  } catch (...) {
    remove_node(node, false);
    throw;
  }
  remove_node(node, false);
}

void Executor::spin_node_some(std::shared_ptr<rclcpp::Node> node)
{
  spin_node_some(node->get_node_base_interface());
}

void Executor::spin_some_impl(std::chrono::nanoseconds max_duration, bool exhaustive)
{
  const auto start = std::chrono::steady_clock::now();
  auto time_left = [&]() {
      return max_duration == std::chrono::nanoseconds::zero() ||
             std::chrono::steady_clock::now() - start < max_duration;
    };
  do {
    // Only work that is ready at the start of a round runs in it, so a callback that keeps
    // producing work cannot make spin_some run forever.
    auto ready = collect_ready(false);
    if (ready.empty()) {
      return;
    }
    for (auto & candidate : ready) {
      if (!rclcpp::ok(context_) || !spinning.load() || !time_left()) {
        return;
      }
      if (claim(candidate.callback_group)) {
        execute_any_executable(candidate);
      }
    }
  } while (exhaustive && rclcpp::ok(context_) && spinning.load() && time_left());
}

void Executor::spin_some(std::chrono::nanoseconds max_duration)
{
  if (spinning.exchange(true)) {
    throw std::runtime_error("spin_some() called while already spinning");
  }
  SpinningReset reset(spinning);
  if (!consume_pending_cancel()) {
    spin_some_impl(max_duration, false);
  }
}

void Executor::spin_all(std::chrono::nanoseconds max_duration)
{
  if (max_duration < std::chrono::nanoseconds::zero()) {
    throw std::invalid_argument("max_duration must be greater than or equal to 0");
  }
  if (spinning.exchange(true)) {
    throw std::runtime_error("spin_all() called while already spinning");
  }
  SpinningReset reset(spinning);
  if (!consume_pending_cancel()) {
    spin_some_impl(max_duration, true);
  }
}

void Executor::spin_once(std::chrono::nanoseconds timeout)
{
  if (spinning.exchange(true)) {
    throw std::runtime_error("spin_once() called while already spinning");
  }
  SpinningReset reset(spinning);
  if (!consume_pending_cancel()) {
    spin_once_impl(timeout);
  }
}

void Executor::cancel()
{
  // A cancel() that arrives before the spin it is meant for has started (a thread that was just
  // launched to spin) still stops that spin; a running spin consumes it at once.
  cancel_pending_.store(true);
  if (spinning.exchange(false)) {
    cancel_pending_.store(false);
  }
  notifier_->notify();
}

bool Executor::consume_pending_cancel()
{
  if (cancel_pending_.exchange(false)) {
    spinning.store(false);
    return true;
  }
  return false;
}

void Executor::set_memory_strategy(rclcpp::memory_strategy::MemoryStrategy::SharedPtr)
{
  throw std::logic_error("set_memory_strategy not supported by this stand-in");
}

bool Executor::is_spinning()
{
  return spinning.load();
}

}  // namespace rclcpp
