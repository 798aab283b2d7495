#include "quorvane_nav2_gridmap/logger.hpp"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

#include <spdlog/sinks/ansicolor_sink.h>
#include <spdlog/sinks/systemd_sink.h>

namespace quorvane
{
namespace
{

// Reads a "true"/"false" switch; unset or any other text gives the fallback with a notice.
bool readSwitch(const char * variable, bool fallback)
{
  const char * value = std::getenv(variable);
  const char * fallback_text = fallback ? "true" : "false";
  if (value == nullptr) {
    std::printf("environment variable %s is not set, and set %s\n", variable, fallback_text);
    return fallback;
  }
  const std::string text(value);
  if (text == "true") {
    return true;
  }
  if (text == "false") {
    return false;
  }
  std::printf("environment variable %s is invalid, and set %s\n", variable, fallback_text);
  return fallback;
}

int readLevel()
{
  static const std::map<std::string, int> levels{
    {"trace", spdlog::level::trace}, {"debug", spdlog::level::debug},
    {"info", spdlog::level::info}, {"warning", spdlog::level::warn},
    {"error", spdlog::level::err}, {"critical", spdlog::level::critical}};
  const char * value = std::getenv("SPDLOG_LEVEL");
  if (value == nullptr) {
    std::printf("environment variable SPDLOG_LEVEL is not set, and set default level\n");
    return spdlog::level::info;
  }
  const auto found = levels.find(value);
  if (found == levels.end()) {
    std::printf("environment variable SPDLOG_LEVEL is invalid, and set default level\n");
    return spdlog::level::info;
  }
  return found->second;
}

}  // namespace

Logger & Logger::Instance(const std::string & name)
{
  static Logger instance(name);
  return instance;
}

Logger::Logger(const std::string & name)
{
  try {
    std::vector<spdlog::sink_ptr> sinks;
    if (readSwitch("SPDLOG_STDOUT", true)) {
      sinks.push_back(std::make_shared<spdlog::sinks::ansicolor_stdout_sink_mt>());
    }
    if (readSwitch("SPDLOG_SYSTEMD", false)) {
      sinks.push_back(std::make_shared<spdlog::sinks::systemd_sink_mt>());
    }
    logger_ = std::make_shared<spdlog::logger>(name, sinks.begin(), sinks.end());
    level_ = readLevel();
    logger_->set_level(static_cast<spdlog::level::level_enum>(level_));
    logger_->set_pattern("%v");
  } catch (const spdlog::spdlog_ex &) {
    // The facade keeps what was built; without a logger every message is dropped.
  }
  std::fflush(stdout);
}

namespace detail
{

const char * levelPrefix(spdlog::level::level_enum level)
{
  switch (level) {
    case spdlog::level::debug: return "{0:3d} [DEBUG] ";
    case spdlog::level::info: return "{0:3d} [INFO] ";
    case spdlog::level::warn: return "{0:3d} [WARN] ";
    case spdlog::level::err: return "{0:3d} [ERROR] ";
    case spdlog::level::critical: return "{0:3d} [CRITICAL] ";
    default: return "{0:3d} ";
  }
}

}  // namespace detail
}  // namespace quorvane
