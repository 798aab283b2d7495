// Turns SIGINT/SIGTERM into a shutdown of every context initialised with shutdown_on_signal.
// The handler only writes to a pipe; a watcher thread does the shutdown outside signal context.
#ifndef RCLCPP__SIGNAL_HANDLER_HPP_
#define RCLCPP__SIGNAL_HANDLER_HPP_

#include <csignal>
#include <mutex>
#include <thread>

#include "rclcpp/utilities.hpp"

namespace rclcpp
{
namespace detail
{

class SignalHandler
{
public:
  static SignalHandler & instance();

  bool install(SignalHandlerOptions options);
  bool uninstall();
  bool installed() const;
  SignalHandlerOptions options() const;

  ~SignalHandler();

private:
  SignalHandler() = default;
  static void on_signal(int signal_number);
  void watch();

  mutable std::mutex mutex_;
  bool installed_{false};
  SignalHandlerOptions options_{SignalHandlerOptions::None};
  int pipe_fds_[2]{-1, -1};
  std::thread watcher_;
  struct sigaction old_sigint_{};
  struct sigaction old_sigterm_{};
};

}  // namespace detail
}  // namespace rclcpp

#endif  // RCLCPP__SIGNAL_HANDLER_HPP_
