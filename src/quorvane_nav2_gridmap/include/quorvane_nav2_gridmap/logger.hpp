#ifndef QUORVANE_NAV2_GRIDMAP__LOGGER_HPP_
#define QUORVANE_NAV2_GRIDMAP__LOGGER_HPP_

// The one process-wide logging facade of the library: a numbered prefix per line over one spdlog
// logger whose sinks (coloured stdout, systemd journal) and level come from the environment.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include <fmt/format.h>
#include <spdlog/spdlog.h>

namespace quorvane
{

class Logger
{
public:
  // Returns the one instance; the first call builds it with `name`, later calls ignore `name`.
  static Logger & Instance(const std::string & name);

  Logger(const Logger &) = delete;
  Logger & operator=(const Logger &) = delete;

  // Empty when construction failed before the logger existed: messages are then dropped.
  std::shared_ptr<spdlog::logger> logger_;
  // Sequence number of emitted messages; wraps from 255 to 0. Atomic so that concurrent
  // callers race benignly (they may share or skip a number, nothing else depends on it).
  std::atomic<std::uint8_t> counter_{0};
  // Threshold in spdlog's numbering (trace 0 ... critical 5).
  int level_{spdlog::level::info};

private:
  explicit Logger(const std::string & name);
};

namespace detail
{

// The fmt prefix of a level; the argument is the masked sequence number.
const char * levelPrefix(spdlog::level::level_enum level);

template<typename ... Args>
void emit(
  spdlog::level::level_enum level, const spdlog::source_loc & location,
  fmt::format_string<Args...> format, Args && ... args)
{
  Logger & instance = Logger::Instance("spdlog");
  const std::string text = fmt::format(format, std::forward<Args>(args)...);
  std::uint8_t number;
  if (instance.level_ <= level) {
    number = static_cast<std::uint8_t>(instance.counter_.fetch_add(1, std::memory_order_relaxed) + 1);
  } else {
    number = instance.counter_.load(std::memory_order_relaxed);
  }
  std::string line = fmt::format(fmt::runtime(levelPrefix(level)), number & 127);
  line += text;
  if (instance.logger_) {
    instance.logger_->log(location, level, line);
  }
}

}  // namespace detail
}  // namespace quorvane

#define QUORVANE_LOG_AT(level, ...) \
  ::quorvane::detail::emit( \
    level, ::spdlog::source_loc{__FILE__, __LINE__, static_cast<const char *>(__func__)}, \
    __VA_ARGS__)

#define QLOG_DEBUG(...) QUORVANE_LOG_AT(::spdlog::level::debug, __VA_ARGS__)
#define QLOG_INFO(...) QUORVANE_LOG_AT(::spdlog::level::info, __VA_ARGS__)
#define QLOG_WARN(...) QUORVANE_LOG_AT(::spdlog::level::warn, __VA_ARGS__)
#define QLOG_ERROR(...) QUORVANE_LOG_AT(::spdlog::level::err, __VA_ARGS__)
#define QLOG_CRITICAL(...) QUORVANE_LOG_AT(::spdlog::level::critical, __VA_ARGS__)

#endif  // QUORVANE_NAV2_GRIDMAP__LOGGER_HPP_
