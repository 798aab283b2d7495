// The facade is configured once per process from the environment, so every case runs in a
// forked child with its own environment and captured standard output.

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <spdlog/sinks/base_sink.h>

#include "quorvane_nav2_gridmap/logger.hpp"

namespace
{

using Environment = std::map<std::string, const char *>;  // nullptr: unset

struct ChildResult
{
  std::string output;
  int exit_code{-1};
};

// Runs `body` in a child process with `environment` applied, returning what it printed.
ChildResult runInChild(const Environment & environment, const std::function<int()> & body)
{
  int pipe_ends[2];
  if (pipe(pipe_ends) != 0) {
    ADD_FAILURE() << "pipe failed";
    return {};
  }
  std::fflush(stdout);
  const pid_t pid = fork();
  if (pid == 0) {
    close(pipe_ends[0]);
    dup2(pipe_ends[1], STDOUT_FILENO);
    for (const auto & [name, value] : environment) {
      if (value == nullptr) {
        unsetenv(name.c_str());
      } else {
        setenv(name.c_str(), value, 1);
      }
    }
    const int code = body();
    std::fflush(stdout);
    _exit(code);
  }
  close(pipe_ends[1]);
  ChildResult result;
  char buffer[4096];
  ssize_t count;
  while ((count = read(pipe_ends[0], buffer, sizeof(buffer))) > 0) {
    result.output.append(buffer, static_cast<size_t>(count));
  }
  close(pipe_ends[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::vector<std::string> lines(const std::string & text)
{
  std::vector<std::string> result;
  std::istringstream stream(text);
  std::string line;
  while (std::getline(stream, line)) {
    result.push_back(line);
  }
  return result;
}

// Remembers the source location of the last message it received.
struct LocationSink : spdlog::sinks::base_sink<std::mutex>
{
  std::string file, function;
  int line{0};

protected:
  void sink_it_(const spdlog::details::log_msg & message) override
  {
    file = message.source.filename;
    function = message.source.funcname;
    line = message.source.line;
  }
  void flush_() override {}
};

const Environment kQuiet{
  {"SPDLOG_STDOUT", "true"}, {"SPDLOG_SYSTEMD", "false"}, {"SPDLOG_LEVEL", "info"}};

}  // namespace

TEST(LoggerEnvironment, UnsetVariablesPrintTheirNoticesAndUseDefaults)
{
  const auto result = runInChild(
    {{"SPDLOG_STDOUT", nullptr}, {"SPDLOG_SYSTEMD", nullptr}, {"SPDLOG_LEVEL", nullptr}}, [] {
      QLOG_DEBUG("hidden {}", 1);
      QLOG_INFO("shown {}", 2);
      return quorvane::Logger::Instance("spdlog").logger_->sinks().size() == 1 ? 0 : 3;
    });
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(
    lines(result.output),
    (std::vector<std::string>{
      "environment variable SPDLOG_STDOUT is not set, and set true",
      "environment variable SPDLOG_SYSTEMD is not set, and set false",
      "environment variable SPDLOG_LEVEL is not set, and set default level",
      "  1 [INFO] shown 2"}));
}

TEST(LoggerEnvironment, InvalidValuesFallBackWithTheirNotices)
{
  const auto result = runInChild(
    {{"SPDLOG_STDOUT", "TRUE"}, {"SPDLOG_SYSTEMD", "yes"}, {"SPDLOG_LEVEL", "warn"}}, [] {
      QLOG_INFO("info still shows");
      return quorvane::Logger::Instance("spdlog").level_ == 2 ? 0 : 3;
    });
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(
    lines(result.output),
    (std::vector<std::string>{
      "environment variable SPDLOG_STDOUT is invalid, and set true",
      "environment variable SPDLOG_SYSTEMD is invalid, and set false",
      "environment variable SPDLOG_LEVEL is invalid, and set default level",
      "  1 [INFO] info still shows"}));
}

TEST(LoggerEnvironment, StdoutFalseSilencesEveryLine)
{
  const auto result = runInChild(
    {{"SPDLOG_STDOUT", "false"}, {"SPDLOG_SYSTEMD", nullptr}, {"SPDLOG_LEVEL", "debug"}}, [] {
      QLOG_CRITICAL("nobody hears this");
      return quorvane::Logger::Instance("spdlog").logger_->sinks().empty() ? 0 : 3;
    });
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(
    lines(result.output),
    (std::vector<std::string>{"environment variable SPDLOG_SYSTEMD is not set, and set false"}));
}

TEST(LoggerEnvironment, SystemdTrueAddsTheJournalSinkAfterStdout)
{
  const auto result = runInChild(
    {{"SPDLOG_STDOUT", "true"}, {"SPDLOG_SYSTEMD", "true"}, {"SPDLOG_LEVEL", "error"}}, [] {
      const auto & sinks = quorvane::Logger::Instance("spdlog").logger_->sinks();
      return sinks.size() == 2 ? 0 : 3;
    });
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.output, "");
}

TEST(LoggerEnvironment, EveryAcceptedLevelNameSetsItsThreshold)
{
  const std::map<std::string, int> accepted{
    {"trace", 0}, {"debug", 1}, {"info", 2}, {"warning", 3}, {"error", 4}, {"critical", 5}};
  for (const auto & [name, level] : accepted) {
    const int expected = level;
    const auto result = runInChild(
      {{"SPDLOG_STDOUT", "false"}, {"SPDLOG_SYSTEMD", "false"}, {"SPDLOG_LEVEL", name.c_str()}},
      [expected] {return quorvane::Logger::Instance("spdlog").level_ == expected ? 0 : 3;});
    EXPECT_EQ(result.exit_code, 0) << name;
    EXPECT_EQ(result.output, "") << name;
  }
}

TEST(LoggerPrefix, EachLevelHasItsTagAndTheCounterRunsAcrossLevels)
{
  const auto result = runInChild(
    {{"SPDLOG_STDOUT", "true"}, {"SPDLOG_SYSTEMD", "false"}, {"SPDLOG_LEVEL", "debug"}}, [] {
      QLOG_DEBUG("d");
      QLOG_INFO("i {}", "x");
      QLOG_WARN("w {:4.3f}", 1.5);
      QLOG_ERROR("e");
      QLOG_CRITICAL("c {}", 7);
      return 0;
    });
  EXPECT_EQ(
    lines(result.output),
    (std::vector<std::string>{
      "  1 [DEBUG] d", "  2 [INFO] i x", "  3 [WARN] w 1.500", "  4 [ERROR] e",
      "  5 [CRITICAL] c 7"}));
}

TEST(LoggerPrefix, MessagesBelowTheThresholdNeitherPrintNorAdvanceTheCounter)
{
  const auto result = runInChild(
    {{"SPDLOG_STDOUT", "true"}, {"SPDLOG_SYSTEMD", "false"}, {"SPDLOG_LEVEL", "error"}}, [] {
      QLOG_INFO("not shown");
      QLOG_WARN("not shown either");
      QLOG_ERROR("first");
      QLOG_CRITICAL("second");
      return 0;
    });
  EXPECT_EQ(lines(result.output), (std::vector<std::string>{"  1 [ERROR] first", "  2 [CRITICAL] second"}));
}

TEST(LoggerPrefix, PrintedNumberWrapsAt127AndTheCounterAt255)
{
  const auto result = runInChild(kQuiet, [] {
      for (int i = 0; i < 300; ++i) {
        QLOG_INFO("m");
      }
      return quorvane::Logger::Instance("spdlog").counter_.load() == 300 % 256 ? 0 : 3;
    });
  EXPECT_EQ(result.exit_code, 0);
  const auto printed = lines(result.output);
  ASSERT_EQ(printed.size(), 300u);
  EXPECT_EQ(printed[0], "  1 [INFO] m");
  EXPECT_EQ(printed[126], "127 [INFO] m");
  EXPECT_EQ(printed[127], "  0 [INFO] m");    // 128th message: counter 128, printed 128 & 127
  EXPECT_EQ(printed[254], "127 [INFO] m");    // 255th message
  EXPECT_EQ(printed[255], "  0 [INFO] m");    // 256th: the counter itself wrapped to 0
  EXPECT_EQ(printed[256], "  1 [INFO] m");
}

TEST(LoggerPrefix, BracesInArgumentsAreNotReinterpreted)
{
  const auto result = runInChild(kQuiet, [] {
      QLOG_INFO("{}", "{not a field} {0}");
      return 0;
    });
  EXPECT_EQ(lines(result.output), (std::vector<std::string>{"  1 [INFO] {not a field} {0}"}));
}

TEST(LoggerInstance, OneInstanceKeepsItsFirstName)
{
  const auto result = runInChild(kQuiet, [] {
      auto & first = quorvane::Logger::Instance("spdlog");
      auto & second = quorvane::Logger::Instance("other");
      return (&first == &second && second.logger_->name() == "spdlog") ? 0 : 3;
    });
  EXPECT_EQ(result.exit_code, 0);
}

TEST(LoggerInstance, SourceLocationIsRelativeToThePackage)
{
  // A sink of our own sees the location spdlog receives.
  const auto result = runInChild(kQuiet, [] {
      auto & instance = quorvane::Logger::Instance("spdlog");
      auto sink = std::make_shared<LocationSink>();
      instance.logger_->sinks().push_back(sink);
      const int expected_line = __LINE__ + 1;
      QLOG_INFO("where am I");
      std::printf("%s|%s|%d\n", sink->file.c_str(), sink->function.c_str(), sink->line == expected_line);
      return 0;
    });
  const auto printed = lines(result.output);
  ASSERT_EQ(printed.size(), 2u);
  EXPECT_EQ(printed[1], "./test/test_logger.cpp|operator()|1");
}
