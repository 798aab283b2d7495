#include "signal_handler.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>

namespace rclcpp
{
namespace detail
{
namespace
{

std::atomic<int> g_write_fd{-1};
const char kStopByte = 's';
const char kSignalByte = 'x';

}  // namespace

SignalHandler & SignalHandler::instance()
{
  static SignalHandler handler;
  return handler;
}

SignalHandler::~SignalHandler()
{
  uninstall();
}

void SignalHandler::on_signal(int)
{
  const int fd = g_write_fd.load();
  if (fd >= 0) {
    const ssize_t written = ::write(fd, &kSignalByte, 1);
    (void)written;
  }
}

bool SignalHandler::install(SignalHandlerOptions options)
{
  std::lock_guard<std::mutex> lock(mutex_);
  if (installed_ || options == SignalHandlerOptions::None) {
    return false;
  }
  if (::pipe(pipe_fds_) != 0) {
    return false;
  }
  g_write_fd = pipe_fds_[1];
  struct sigaction action {};
  action.sa_handler = &SignalHandler::on_signal;
  sigemptyset(&action.sa_mask);
  if (options == SignalHandlerOptions::All || options == SignalHandlerOptions::SigInt) {
    sigaction(SIGINT, &action, &old_sigint_);
  }
  if (options == SignalHandlerOptions::All || options == SignalHandlerOptions::SigTerm) {
    sigaction(SIGTERM, &action, &old_sigterm_);
  }
  options_ = options;
  installed_ = true;
  watcher_ = std::thread([this]() {watch();});
  return true;
}

bool SignalHandler::uninstall()
{
  std::lock_guard<std::mutex> lock(mutex_);
  if (!installed_) {
    return false;
  }
  if (options_ == SignalHandlerOptions::All || options_ == SignalHandlerOptions::SigInt) {
    sigaction(SIGINT, &old_sigint_, nullptr);
  }
  if (options_ == SignalHandlerOptions::All || options_ == SignalHandlerOptions::SigTerm) {
    sigaction(SIGTERM, &old_sigterm_, nullptr);
  }
  g_write_fd = -1;
  const ssize_t written = ::write(pipe_fds_[1], &kStopByte, 1);
  (void)written;
  watcher_.join();
  ::close(pipe_fds_[0]);
  ::close(pipe_fds_[1]);
  installed_ = false;
  options_ = SignalHandlerOptions::None;
  return true;
}

bool SignalHandler::installed() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return installed_;
}

SignalHandlerOptions SignalHandler::options() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return options_;
}

void SignalHandler::watch()
{
  char byte = 0;
  while (::read(pipe_fds_[0], &byte, 1) == 1 && byte != kStopByte) {
    for (const auto & context : rclcpp::get_contexts()) {
      if (context->get_init_options().shutdown_on_signal) {
        context->shutdown("signal handler");
      }
    }
  }
}

}  // namespace detail
}  // namespace rclcpp
