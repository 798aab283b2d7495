// The RCLCPP_* logging macros: printf-style and stream forms, each with the once, expression,
// function, skip-first, throttle and skip-first-throttle variants. The first argument must be an
// rclcpp::Logger value; THROTTLE takes an rclcpp::Clock and a period in milliseconds.
#ifndef RCLCPP__LOGGING_HPP_
#define RCLCPP__LOGGING_HPP_

#include <atomic>
#include <sstream>
#include <type_traits>

#include "rclcpp/clock.hpp"
#include "rclcpp/detail/log_output.hpp"
#include "rclcpp/logger.hpp"
#include "rcutils/logging.h"
#include "rcutils/logging_macros.h"

#define RCLCPP_LOG_MIN_SEVERITY_DEBUG 0
#define RCLCPP_LOG_MIN_SEVERITY_INFO 1
#define RCLCPP_LOG_MIN_SEVERITY_WARN 2
#define RCLCPP_LOG_MIN_SEVERITY_ERROR 3
#define RCLCPP_LOG_MIN_SEVERITY_FATAL 4
#define RCLCPP_LOG_MIN_SEVERITY_NONE 5

#ifndef RCLCPP_LOG_MIN_SEVERITY
#define RCLCPP_LOG_MIN_SEVERITY RCLCPP_LOG_MIN_SEVERITY_DEBUG
#endif

#define RCLCPP_LOGGING_CHECK_LOGGER_(logger) \
  static_assert( \
    ::std::is_same< \
      typename ::std::remove_cv_t<typename ::std::remove_reference_t<decltype(logger)>>, \
      ::rclcpp::Logger>::value, \
    "First argument to logging macros must be an rclcpp::Logger")

#define RCLCPP_LOGGING_CHECK_CLOCK_(clock) \
  static_assert( \
    ::std::is_same< \
      typename ::std::remove_cv_t<typename ::std::remove_reference_t<decltype(clock)>>, \
      ::rclcpp::Clock>::value, \
    "Second argument to throttled logging macros must be an rclcpp::Clock")

// Emits one message if the condition holds and the logger is enabled for the severity.
#define RCLCPP_LOG_EMIT_(severity, logger, condition, message_expression) \
  do { \
    RCLCPP_LOGGING_CHECK_LOGGER_(logger); \
    if (condition) { \
      const ::rclcpp::Logger & rclcpp_logging_logger_ = (logger); \
      if (::rclcpp::detail::logger_enabled_for(rclcpp_logging_logger_, severity)) { \
        ::rclcpp::detail::log_message( \
          rclcpp_logging_logger_, severity, __FILE__, __func__, __LINE__, message_expression); \
      } \
    } \
  } while (0)

#define RCLCPP_LOG_FORMAT_(...) ::rclcpp::detail::format_log(__VA_ARGS__)
#define RCLCPP_LOG_STREAM_(stream_arg) \
  ([&]() {::std::stringstream rclcpp_stream_; rclcpp_stream_ << stream_arg; \
    return rclcpp_stream_.str();}())

#define RCLCPP_LOG_COND_ONCE_() \
  ([]() {static ::std::atomic<bool> rclcpp_logged_once_{false}; \
    return !rclcpp_logged_once_.exchange(true);}())
#define RCLCPP_LOG_COND_SKIPFIRST_() \
  ([]() {static ::std::atomic<bool> rclcpp_first_call_{true}; \
    return !rclcpp_first_call_.exchange(false);}())
#define RCLCPP_LOG_COND_THROTTLE_(clock, duration) \
  ([&rclcpp_throttle_clock_ = (clock)](int64_t period_ns) { \
    RCLCPP_LOGGING_CHECK_CLOCK_(rclcpp_throttle_clock_); \
    static ::rclcpp::detail::ThrottleState rclcpp_throttle_state_; \
    return rclcpp_throttle_state_.should_log( \
      rclcpp_throttle_clock_.now().nanoseconds(), period_ns);}(RCUTILS_MS_TO_NS(duration)))
#define RCLCPP_LOG_COND_SKIPFIRST_THROTTLE_(clock, duration) \
  ([&rclcpp_throttle_clock_ = (clock)](int64_t period_ns) { \
    RCLCPP_LOGGING_CHECK_CLOCK_(rclcpp_throttle_clock_); \
    static ::std::atomic<bool> rclcpp_first_call_{true}; \
    static ::rclcpp::detail::ThrottleState rclcpp_throttle_state_; \
    const bool rclcpp_throttle_pass_ = rclcpp_throttle_state_.should_log( \
      rclcpp_throttle_clock_.now().nanoseconds(), period_ns); \
    return !rclcpp_first_call_.exchange(false) && rclcpp_throttle_pass_; \
  }(RCUTILS_MS_TO_NS(duration)))

// DEBUG
#if (RCLCPP_LOG_MIN_SEVERITY > RCLCPP_LOG_MIN_SEVERITY_DEBUG)
#define RCLCPP_DEBUG(...)
#define RCLCPP_DEBUG_ONCE(...)
#define RCLCPP_DEBUG_EXPRESSION(...)
#define RCLCPP_DEBUG_FUNCTION(...)
#define RCLCPP_DEBUG_SKIPFIRST(...)
#define RCLCPP_DEBUG_THROTTLE(...)
#define RCLCPP_DEBUG_SKIPFIRST_THROTTLE(...)
#define RCLCPP_DEBUG_STREAM(...)
#define RCLCPP_DEBUG_STREAM_ONCE(...)
#define RCLCPP_DEBUG_STREAM_EXPRESSION(...)
#define RCLCPP_DEBUG_STREAM_FUNCTION(...)
#define RCLCPP_DEBUG_STREAM_SKIPFIRST(...)
#define RCLCPP_DEBUG_STREAM_THROTTLE(...)
#define RCLCPP_DEBUG_STREAM_SKIPFIRST_THROTTLE(...)
#else
#define RCLCPP_DEBUG(logger, ...) \
  RCLCPP_LOG_EMIT_(RCUTILS_LOG_SEVERITY_DEBUG, logger, true, RCLCPP_LOG_FORMAT_(__VA_ARGS__))
#define RCLCPP_DEBUG_ONCE(logger, ...) \
  RCLCPP_LOG_EMIT_(RCUTILS_LOG_SEVERITY_DEBUG, logger, RCLCPP_LOG_COND_ONCE_(), RCLCPP_LOG_FORMAT_(__VA_ARGS__))
#define RCLCPP_DEBUG_EXPRESSION(logger, expression, ...) \
  RCLCPP_LOG_EMIT_(RCUTILS_LOG_SEVERITY_DEBUG, logger, (expression), RCLCPP_LOG_FORMAT_(__VA_ARGS__))
#define RCLCPP_DEBUG_FUNCTION(logger, function, ...) \
  RCLCPP_LOG_EMIT_(RCUTILS_LOG_SEVERITY_DEBUG, logger, (*function)(), RCLCPP_LOG_FORMAT_(__VA_ARGS__))
#define RCLCPP_DEBUG_SKIPFIRST(logger, ...) \
  RCLCPP_LOG_EMIT_(RCUTILS_LOG_SEVERITY_DEBUG, logger, RCLCPP_LOG_COND_SKIPFIRST_(), RCLCPP_LOG_FORMAT_(__VA_ARGS__))
#define RCLCPP_DEBUG_THROTTLE(logger, clock, duration, ...) \
  RCLCPP_LOG_EMIT_( \
    RCUTILS_LOG_SEVERITY_DEBUG, logger, RCLCPP_LOG_COND_THROTTLE_(clock, duration), \
    RCLCPP_LOG_FORMAT_(__VA_ARGS__))
#define RCLCPP_DEBUG_SKIPFIRST_THROTTLE(logger, clock, duration, ...) \
  RCLCPP_LOG_EMIT_( \
    RCUTILS_LOG_SEVERITY_DEBUG, logger, RCLCPP_LOG_COND_SKIPFIRST_THROTTLE_(clock, duration), \
    RCLCPP_LOG_FORMAT_(__VA_ARGS__))
#define RCLCPP_DEBUG_STREAM(logger, stream_arg) \
  RCLCPP_LOG_EMIT_(RCUTILS_LOG_SEVERITY_DEBUG, logger, true, RCLCPP_LOG_STREAM_(stream_arg))
#define RCLCPP_DEBUG_STREAM_ONCE(logger, stream_arg) \
  RCLCPP_LOG_EMIT_(RCUTILS_LOG_SEVERITY_DEBUG, logger, RCLCPP_LOG_COND_ONCE_(), RCLCPP_LOG_STREAM_(stream_arg))
#define RCLCPP_DEBUG_STREAM_EXPRESSION(logger, expression, stream_arg) \
  RCLCPP_LOG_EMIT_(RCUTILS_LOG_SEVERITY_DEBUG, logger, (expression), RCLCPP_LOG_STREAM_(stream_arg))
#define RCLCPP_DEBUG_STREAM_FUNCTION(logger, function, stream_arg) \
  RCLCPP_LOG_EMIT_(RCUTILS_LOG_SEVERITY_DEBUG, logger, (*function)(), RCLCPP_LOG_STREAM_(stream_arg))
#define RCLCPP_DEBUG_STREAM_SKIPFIRST(logger, stream_arg) \
  RCLCPP_LOG_EMIT_(RCUTILS_LOG_SEVERITY_DEBUG, logger, RCLCPP_LOG_COND_SKIPFIRST_(), RCLCPP_LOG_STREAM_(stream_arg))
#define RCLCPP_DEBUG_STREAM_THROTTLE(logger, clock, duration, stream_arg) \
  RCLCPP_LOG_EMIT_( \
    RCUTILS_LOG_SEVERITY_DEBUG, logger, RCLCPP_LOG_COND_THROTTLE_(clock, duration), RCLCPP_LOG_STREAM_(stream_arg))
#define RCLCPP_DEBUG_STREAM_SKIPFIRST_THROTTLE(logger, clock, duration, stream_arg) \
  RCLCPP_LOG_EMIT_( \
    RCUTILS_LOG_SEVERITY_DEBUG, logger, RCLCPP_LOG_COND_SKIPFIRST_THROTTLE_(clock, duration), \
    RCLCPP_LOG_STREAM_(stream_arg))
#endif

// INFO
#if (RCLCPP_LOG_MIN_SEVERITY > RCLCPP_LOG_MIN_SEVERITY_INFO)
#define RCLCPP_INFO(...)
#define RCLCPP_INFO_ONCE(...)
#define RCLCPP_INFO_EXPRESSION(...)
#define RCLCPP_INFO_FUNCTION(...)
#define RCLCPP_INFO_SKIPFIRST(...)
#define RCLCPP_INFO_THROTTLE(...)
#define RCLCPP_INFO_SKIPFIRST_THROTTLE(...)
#define RCLCPP_INFO_STREAM(...)
#define RCLCPP_INFO_STREAM_ONCE(...)
#define RCLCPP_INFO_STREAM_EXPRESSION(...)
#define RCLCPP_INFO_STREAM_FUNCTION(...)
#define RCLCPP_INFO_STREAM_SKIPFIRST(...)
#define RCLCPP_INFO_STREAM_THROTTLE(...)
#define RCLCPP_INFO_STREAM_SKIPFIRST_THROTTLE(...)
#else
#define RCLCPP_INFO(logger, ...) \
  RCLCPP_LOG_EMIT_(RCUTILS_LOG_SEVERITY_INFO, logger, true, RCLCPP_LOG_FORMAT_(__VA_ARGS__))
#define RCLCPP_INFO_ONCE(logger, ...) \
  RCLCPP_LOG_EMIT_(RCUTILS_LOG_SEVERITY_INFO, logger, RCLCPP_LOG_COND_ONCE_(), RCLCPP_LOG_FORMAT_(__VA_ARGS__))
#define RCLCPP_INFO_EXPRESSION(logger, expression, ...) \
  RCLCPP_LOG_EMIT_(RCUTILS_LOG_SEVERITY_INFO, logger, (expression), RCLCPP_LOG_FORMAT_(__VA_ARGS__))
#define RCLCPP_INFO_FUNCTION(logger, function, ...) \
  RCLCPP_LOG_EMIT_(RCUTILS_LOG_SEVERITY_INFO, logger, (*function)(), RCLCPP_LOG_FORMAT_(__VA_ARGS__))
#define RCLCPP_INFO_SKIPFIRST(logger, ...) \
  RCLCPP_LOG_EMIT_(RCUTILS_LOG_SEVERITY_INFO, logger, RCLCPP_LOG_COND_SKIPFIRST_(), RCLCPP_LOG_FORMAT_(__VA_ARGS__))
#define RCLCPP_INFO_THROTTLE(logger, clock, duration, ...) \
  RCLCPP_LOG_EMIT_( \
    RCUTILS_LOG_SEVERITY_INFO, logger, RCLCPP_LOG_COND_THROTTLE_(clock, duration), \
    RCLCPP_LOG_FORMAT_(__VA_ARGS__))
#define RCLCPP_INFO_SKIPFIRST_THROTTLE(logger, clock, duration, ...) \
  RCLCPP_LOG_EMIT_( \
    RCUTILS_LOG_SEVERITY_INFO, logger, RCLCPP_LOG_COND_SKIPFIRST_THROTTLE_(clock, duration), \
    RCLCPP_LOG_FORMAT_(__VA_ARGS__))
#define RCLCPP_INFO_STREAM(logger, stream_arg) \
  RCLCPP_LOG_EMIT_(RCUTILS_LOG_SEVERITY_INFO, logger, true, RCLCPP_LOG_STREAM_(stream_arg))
#define RCLCPP_INFO_STREAM_ONCE(logger, stream_arg) \
  RCLCPP_LOG_EMIT_(RCUTILS_LOG_SEVERITY_INFO, logger, RCLCPP_LOG_COND_ONCE_(), RCLCPP_LOG_STREAM_(stream_arg))
#define RCLCPP_INFO_STREAM_EXPRESSION(logger, expression, stream_arg) \
  RCLCPP_LOG_EMIT_(RCUTILS_LOG_SEVERITY_INFO, logger, (expression), RCLCPP_LOG_STREAM_(stream_arg))
#define RCLCPP_INFO_STREAM_FUNCTION(logger, function, stream_arg) \
  RCLCPP_LOG_EMIT_(RCUTILS_LOG_SEVERITY_INFO, logger, (*function)(), RCLCPP_LOG_STREAM_(stream_arg))
#define RCLCPP_INFO_STREAM_SKIPFIRST(logger, stream_arg) \
  RCLCPP_LOG_EMIT_(RCUTILS_LOG_SEVERITY_INFO, logger, RCLCPP_LOG_COND_SKIPFIRST_(), RCLCPP_LOG_STREAM_(stream_arg))
#define RCLCPP_INFO_STREAM_THROTTLE(logger, clock, duration, stream_arg) \
  RCLCPP_LOG_EMIT_( \
    RCUTILS_LOG_SEVERITY_INFO, logger, RCLCPP_LOG_COND_THROTTLE_(clock, duration), RCLCPP_LOG_STREAM_(stream_arg))
#define RCLCPP_INFO_STREAM_SKIPFIRST_THROTTLE(logger, clock, duration, stream_arg) \
  RCLCPP_LOG_EMIT_( \
    RCUTILS_LOG_SEVERITY_INFO, logger, RCLCPP_LOG_COND_SKIPFIRST_THROTTLE_(clock, duration), \
    RCLCPP_LOG_STREAM_(stream_arg))
#endif

// WARN
#if (RCLCPP_LOG_MIN_SEVERITY > RCLCPP_LOG_MIN_SEVERITY_WARN)
#define RCLCPP_WARN(...)
#define RCLCPP_WARN_ONCE(...)
#define RCLCPP_WARN_EXPRESSION(...)
#define RCLCPP_WARN_FUNCTION(...)
#define RCLCPP_WARN_SKIPFIRST(...)
#define RCLCPP_WARN_THROTTLE(...)
#define RCLCPP_WARN_SKIPFIRST_THROTTLE(...)
#define RCLCPP_WARN_STREAM(...)
#define RCLCPP_WARN_STREAM_ONCE(...)
#define RCLCPP_WARN_STREAM_EXPRESSION(...)
#define RCLCPP_WARN_STREAM_FUNCTION(...)
#define RCLCPP_WARN_STREAM_SKIPFIRST(...)
#define RCLCPP_WARN_STREAM_THROTTLE(...)
#define RCLCPP_WARN_STREAM_SKIPFIRST_THROTTLE(...)
#else
#define RCLCPP_WARN(logger, ...) \
  RCLCPP_LOG_EMIT_(RCUTILS_LOG_SEVERITY_WARN, logger, true, RCLCPP_LOG_FORMAT_(__VA_ARGS__))
#define RCLCPP_WARN_ONCE(logger, ...) \
  RCLCPP_LOG_EMIT_(RCUTILS_LOG_SEVERITY_WARN, logger, RCLCPP_LOG_COND_ONCE_(), RCLCPP_LOG_FORMAT_(__VA_ARGS__))
#define RCLCPP_WARN_EXPRESSION(logger, expression, ...) \
  RCLCPP_LOG_EMIT_(RCUTILS_LOG_SEVERITY_WARN, logger, (expression), RCLCPP_LOG_FORMAT_(__VA_ARGS__))
#define RCLCPP_WARN_FUNCTION(logger, function, ...) \
  RCLCPP_LOG_EMIT_(RCUTILS_LOG_SEVERITY_WARN, logger, (*function)(), RCLCPP_LOG_FORMAT_(__VA_ARGS__))
#define RCLCPP_WARN_SKIPFIRST(logger, ...) \
  RCLCPP_LOG_EMIT_(RCUTILS_LOG_SEVERITY_WARN, logger, RCLCPP_LOG_COND_SKIPFIRST_(), RCLCPP_LOG_FORMAT_(__VA_ARGS__))
#define RCLCPP_WARN_THROTTLE(logger, clock, duration, ...) \
  RCLCPP_LOG_EMIT_( \
    RCUTILS_LOG_SEVERITY_WARN, logger, RCLCPP_LOG_COND_THROTTLE_(clock, duration), \
    RCLCPP_LOG_FORMAT_(__VA_ARGS__))
#define RCLCPP_WARN_SKIPFIRST_THROTTLE(logger, clock, duration, ...) \
  RCLCPP_LOG_EMIT_( \
    RCUTILS_LOG_SEVERITY_WARN, logger, RCLCPP_LOG_COND_SKIPFIRST_THROTTLE_(clock, duration), \
    RCLCPP_LOG_FORMAT_(__VA_ARGS__))
#define RCLCPP_WARN_STREAM(logger, stream_arg) \
  RCLCPP_LOG_EMIT_(RCUTILS_LOG_SEVERITY_WARN, logger, true, RCLCPP_LOG_STREAM_(stream_arg))
#define RCLCPP_WARN_STREAM_ONCE(logger, stream_arg) \
  RCLCPP_LOG_EMIT_(RCUTILS_LOG_SEVERITY_WARN, logger, RCLCPP_LOG_COND_ONCE_(), RCLCPP_LOG_STREAM_(stream_arg))
#define RCLCPP_WARN_STREAM_EXPRESSION(logger, expression, stream_arg) \
  RCLCPP_LOG_EMIT_(RCUTILS_LOG_SEVERITY_WARN, logger, (expression), RCLCPP_LOG_STREAM_(stream_arg))
#define RCLCPP_WARN_STREAM_FUNCTION(logger, function, stream_arg) \
  RCLCPP_LOG_EMIT_(RCUTILS_LOG_SEVERITY_WARN, logger, (*function)(), RCLCPP_LOG_STREAM_(stream_arg))
#define RCLCPP_WARN_STREAM_SKIPFIRST(logger, stream_arg) \
  RCLCPP_LOG_EMIT_(RCUTILS_LOG_SEVERITY_WARN, logger, RCLCPP_LOG_COND_SKIPFIRST_(), RCLCPP_LOG_STREAM_(stream_arg))
#define RCLCPP_WARN_STREAM_THROTTLE(logger, clock, duration, stream_arg) \
  RCLCPP_LOG_EMIT_( \
    RCUTILS_LOG_SEVERITY_WARN, logger, RCLCPP_LOG_COND_THROTTLE_(clock, duration), RCLCPP_LOG_STREAM_(stream_arg))
#define RCLCPP_WARN_STREAM_SKIPFIRST_THROTTLE(logger, clock, duration, stream_arg) \
  RCLCPP_LOG_EMIT_( \
    RCUTILS_LOG_SEVERITY_WARN, logger, RCLCPP_LOG_COND_SKIPFIRST_THROTTLE_(clock, duration), \
    RCLCPP_LOG_STREAM_(stream_arg))
#endif

// ERROR
#if (RCLCPP_LOG_MIN_SEVERITY > RCLCPP_LOG_MIN_SEVERITY_ERROR)
#define RCLCPP_ERROR(...)
#define RCLCPP_ERROR_ONCE(...)
#define RCLCPP_ERROR_EXPRESSION(...)
#define RCLCPP_ERROR_FUNCTION(...)
#define RCLCPP_ERROR_SKIPFIRST(...)
#define RCLCPP_ERROR_THROTTLE(...)
#define RCLCPP_ERROR_SKIPFIRST_THROTTLE(...)
#define RCLCPP_ERROR_STREAM(...)
#define RCLCPP_ERROR_STREAM_ONCE(...)
#define RCLCPP_ERROR_STREAM_EXPRESSION(...)
#define RCLCPP_ERROR_STREAM_FUNCTION(...)
#define RCLCPP_ERROR_STREAM_SKIPFIRST(...)
#define RCLCPP_ERROR_STREAM_THROTTLE(...)
#define RCLCPP_ERROR_STREAM_SKIPFIRST_THROTTLE(...)
#else
#define RCLCPP_ERROR(logger, ...) \
  RCLCPP_LOG_EMIT_(RCUTILS_LOG_SEVERITY_ERROR, logger, true, RCLCPP_LOG_FORMAT_(__VA_ARGS__))
#define RCLCPP_ERROR_ONCE(logger, ...) \
  RCLCPP_LOG_EMIT_(RCUTILS_LOG_SEVERITY_ERROR, logger, RCLCPP_LOG_COND_ONCE_(), RCLCPP_LOG_FORMAT_(__VA_ARGS__))
#define RCLCPP_ERROR_EXPRESSION(logger, expression, ...) \
  RCLCPP_LOG_EMIT_(RCUTILS_LOG_SEVERITY_ERROR, logger, (expression), RCLCPP_LOG_FORMAT_(__VA_ARGS__))
#define RCLCPP_ERROR_FUNCTION(logger, function, ...) \
  RCLCPP_LOG_EMIT_(RCUTILS_LOG_SEVERITY_ERROR, logger, (*function)(), RCLCPP_LOG_FORMAT_(__VA_ARGS__))
#define RCLCPP_ERROR_SKIPFIRST(logger, ...) \
  RCLCPP_LOG_EMIT_(RCUTILS_LOG_SEVERITY_ERROR, logger, RCLCPP_LOG_COND_SKIPFIRST_(), RCLCPP_LOG_FORMAT_(__VA_ARGS__))
#define RCLCPP_ERROR_THROTTLE(logger, clock, duration, ...) \
  RCLCPP_LOG_EMIT_( \
    RCUTILS_LOG_SEVERITY_ERROR, logger, RCLCPP_LOG_COND_THROTTLE_(clock, duration), \
    RCLCPP_LOG_FORMAT_(__VA_ARGS__))
#define RCLCPP_ERROR_SKIPFIRST_THROTTLE(logger, clock, duration, ...) \
  RCLCPP_LOG_EMIT_( \
    RCUTILS_LOG_SEVERITY_ERROR, logger, RCLCPP_LOG_COND_SKIPFIRST_THROTTLE_(clock, duration), \
    RCLCPP_LOG_FORMAT_(__VA_ARGS__))
#define RCLCPP_ERROR_STREAM(logger, stream_arg) \
  RCLCPP_LOG_EMIT_(RCUTILS_LOG_SEVERITY_ERROR, logger, true, RCLCPP_LOG_STREAM_(stream_arg))
#define RCLCPP_ERROR_STREAM_ONCE(logger, stream_arg) \
  RCLCPP_LOG_EMIT_(RCUTILS_LOG_SEVERITY_ERROR, logger, RCLCPP_LOG_COND_ONCE_(), RCLCPP_LOG_STREAM_(stream_arg))
#define RCLCPP_ERROR_STREAM_EXPRESSION(logger, expression, stream_arg) \
  RCLCPP_LOG_EMIT_(RCUTILS_LOG_SEVERITY_ERROR, logger, (expression), RCLCPP_LOG_STREAM_(stream_arg))
#define RCLCPP_ERROR_STREAM_FUNCTION(logger, function, stream_arg) \
  RCLCPP_LOG_EMIT_(RCUTILS_LOG_SEVERITY_ERROR, logger, (*function)(), RCLCPP_LOG_STREAM_(stream_arg))
#define RCLCPP_ERROR_STREAM_SKIPFIRST(logger, stream_arg) \
  RCLCPP_LOG_EMIT_(RCUTILS_LOG_SEVERITY_ERROR, logger, RCLCPP_LOG_COND_SKIPFIRST_(), RCLCPP_LOG_STREAM_(stream_arg))
#define RCLCPP_ERROR_STREAM_THROTTLE(logger, clock, duration, stream_arg) \
  RCLCPP_LOG_EMIT_( \
    RCUTILS_LOG_SEVERITY_ERROR, logger, RCLCPP_LOG_COND_THROTTLE_(clock, duration), RCLCPP_LOG_STREAM_(stream_arg))
#define RCLCPP_ERROR_STREAM_SKIPFIRST_THROTTLE(logger, clock, duration, stream_arg) \
  RCLCPP_LOG_EMIT_( \
    RCUTILS_LOG_SEVERITY_ERROR, logger, RCLCPP_LOG_COND_SKIPFIRST_THROTTLE_(clock, duration), \
    RCLCPP_LOG_STREAM_(stream_arg))
#endif

// FATAL
#if (RCLCPP_LOG_MIN_SEVERITY > RCLCPP_LOG_MIN_SEVERITY_FATAL)
#define RCLCPP_FATAL(...)
#define RCLCPP_FATAL_ONCE(...)
#define RCLCPP_FATAL_EXPRESSION(...)
#define RCLCPP_FATAL_FUNCTION(...)
#define RCLCPP_FATAL_SKIPFIRST(...)
#define RCLCPP_FATAL_THROTTLE(...)
#define RCLCPP_FATAL_SKIPFIRST_THROTTLE(...)
#define RCLCPP_FATAL_STREAM(...)
#define RCLCPP_FATAL_STREAM_ONCE(...)
#define RCLCPP_FATAL_STREAM_EXPRESSION(...)
#define RCLCPP_FATAL_STREAM_FUNCTION(...)
#define RCLCPP_FATAL_STREAM_SKIPFIRST(...)
#define RCLCPP_FATAL_STREAM_THROTTLE(...)
#define RCLCPP_FATAL_STREAM_SKIPFIRST_THROTTLE(...)
#else
#define RCLCPP_FATAL(logger, ...) \
  RCLCPP_LOG_EMIT_(RCUTILS_LOG_SEVERITY_FATAL, logger, true, RCLCPP_LOG_FORMAT_(__VA_ARGS__))
#define RCLCPP_FATAL_ONCE(logger, ...) \
  RCLCPP_LOG_EMIT_(RCUTILS_LOG_SEVERITY_FATAL, logger, RCLCPP_LOG_COND_ONCE_(), RCLCPP_LOG_FORMAT_(__VA_ARGS__))
#define RCLCPP_FATAL_EXPRESSION(logger, expression, ...) \
  RCLCPP_LOG_EMIT_(RCUTILS_LOG_SEVERITY_FATAL, logger, (expression), RCLCPP_LOG_FORMAT_(__VA_ARGS__))
#define RCLCPP_FATAL_FUNCTION(logger, function, ...) \
  RCLCPP_LOG_EMIT_(RCUTILS_LOG_SEVERITY_FATAL, logger, (*function)(), RCLCPP_LOG_FORMAT_(__VA_ARGS__))
#define RCLCPP_FATAL_SKIPFIRST(logger, ...) \
  RCLCPP_LOG_EMIT_(RCUTILS_LOG_SEVERITY_FATAL, logger, RCLCPP_LOG_COND_SKIPFIRST_(), RCLCPP_LOG_FORMAT_(__VA_ARGS__))
#define RCLCPP_FATAL_THROTTLE(logger, clock, duration, ...) \
  RCLCPP_LOG_EMIT_( \
    RCUTILS_LOG_SEVERITY_FATAL, logger, RCLCPP_LOG_COND_THROTTLE_(clock, duration), \
    RCLCPP_LOG_FORMAT_(__VA_ARGS__))
#define RCLCPP_FATAL_SKIPFIRST_THROTTLE(logger, clock, duration, ...) \
  RCLCPP_LOG_EMIT_( \
    RCUTILS_LOG_SEVERITY_FATAL, logger, RCLCPP_LOG_COND_SKIPFIRST_THROTTLE_(clock, duration), \
    RCLCPP_LOG_FORMAT_(__VA_ARGS__))
#define RCLCPP_FATAL_STREAM(logger, stream_arg) \
  RCLCPP_LOG_EMIT_(RCUTILS_LOG_SEVERITY_FATAL, logger, true, RCLCPP_LOG_STREAM_(stream_arg))
#define RCLCPP_FATAL_STREAM_ONCE(logger, stream_arg) \
  RCLCPP_LOG_EMIT_(RCUTILS_LOG_SEVERITY_FATAL, logger, RCLCPP_LOG_COND_ONCE_(), RCLCPP_LOG_STREAM_(stream_arg))
#define RCLCPP_FATAL_STREAM_EXPRESSION(logger, expression, stream_arg) \
  RCLCPP_LOG_EMIT_(RCUTILS_LOG_SEVERITY_FATAL, logger, (expression), RCLCPP_LOG_STREAM_(stream_arg))
#define RCLCPP_FATAL_STREAM_FUNCTION(logger, function, stream_arg) \
  RCLCPP_LOG_EMIT_(RCUTILS_LOG_SEVERITY_FATAL, logger, (*function)(), RCLCPP_LOG_STREAM_(stream_arg))
#define RCLCPP_FATAL_STREAM_SKIPFIRST(logger, stream_arg) \
  RCLCPP_LOG_EMIT_(RCUTILS_LOG_SEVERITY_FATAL, logger, RCLCPP_LOG_COND_SKIPFIRST_(), RCLCPP_LOG_STREAM_(stream_arg))
#define RCLCPP_FATAL_STREAM_THROTTLE(logger, clock, duration, stream_arg) \
  RCLCPP_LOG_EMIT_( \
    RCUTILS_LOG_SEVERITY_FATAL, logger, RCLCPP_LOG_COND_THROTTLE_(clock, duration), RCLCPP_LOG_STREAM_(stream_arg))
#define RCLCPP_FATAL_STREAM_SKIPFIRST_THROTTLE(logger, clock, duration, stream_arg) \
  RCLCPP_LOG_EMIT_( \
    RCUTILS_LOG_SEVERITY_FATAL, logger, RCLCPP_LOG_COND_SKIPFIRST_THROTTLE_(clock, duration), \
    RCLCPP_LOG_STREAM_(stream_arg))
#endif

#endif  // RCLCPP__LOGGING_HPP_
