#ifndef TEST_MAP_MARK_SUPPORT_HPP_
#define TEST_MAP_MARK_SUPPORT_HPP_

// Shared by the map-mark tests: a scratch directory that files are written into, and a
// recorder of the facade's log lines with their level and source location.

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include <spdlog/sinks/base_sink.h>

#include "quorvane_nav2_gridmap/logger.hpp"

namespace map_mark_test
{

struct LogLine
{
  spdlog::level::level_enum level;
  std::string text;  // without the facade's numbered prefix
  std::string file;
  std::string function;

  bool operator==(const LogLine & other) const
  {
    return level == other.level && text == other.text;
  }
};

inline void PrintTo(const LogLine & line, std::ostream * out)
{
  *out << spdlog::level::to_string_view(line.level).data() << " \"" << line.text << "\"";
}

class RecordingSink : public spdlog::sinks::base_sink<std::mutex>
{
public:
  std::vector<LogLine> lines;

protected:
  void sink_it_(const spdlog::details::log_msg & message) override
  {
    const std::string text(message.payload.data(), message.payload.size());
    const auto prefix_end = text.find("] ");
    lines.push_back(
      {message.level, prefix_end == std::string::npos ? text : text.substr(prefix_end + 2),
        message.source.filename, message.source.funcname});
  }
  void flush_() override {}
};

// Records what the facade logs while it lives.
class LogRecorder
{
public:
  LogRecorder()
  : logger_(quorvane::Logger::Instance("spdlog").logger_),
    sink_(std::make_shared<RecordingSink>())
  {
    logger_->sinks().push_back(sink_);
  }
  ~LogRecorder()
  {
    auto & sinks = logger_->sinks();
    sinks.erase(std::remove(sinks.begin(), sinks.end(), sink_), sinks.end());
  }
  LogRecorder(const LogRecorder &) = delete;
  LogRecorder & operator=(const LogRecorder &) = delete;

  const std::vector<LogLine> & lines() const {return sink_->lines;}
  void clear() {sink_->lines.clear();}

private:
  std::shared_ptr<spdlog::logger> logger_;
  std::shared_ptr<RecordingSink> sink_;
};

inline LogLine info(const std::string & text) {return {spdlog::level::info, text, {}, {}};}
inline LogLine warn(const std::string & text) {return {spdlog::level::warn, text, {}, {}};}
inline LogLine error(const std::string & text) {return {spdlog::level::err, text, {}, {}};}
inline LogLine critical(const std::string & text)
{
  return {spdlog::level::critical, text, {}, {}};
}

// A fresh directory under /tmp, removed with everything in it.
class ScratchDirectory
{
public:
  ScratchDirectory()
  {
    std::string pattern = (std::filesystem::temp_directory_path() / "map_mark_XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~ScratchDirectory() {std::filesystem::remove_all(path_);}
  ScratchDirectory(const ScratchDirectory &) = delete;
  ScratchDirectory & operator=(const ScratchDirectory &) = delete;

  const std::filesystem::path & path() const {return path_;}

  // Writes `content` byte for byte, creating parent directories; returns the file's path.
  std::filesystem::path write(const std::filesystem::path & relative, const std::string & content)
  const
  {
    const std::filesystem::path file = path_ / relative;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << content;
    return file;
  }

private:
  std::filesystem::path path_;
};

}  // namespace map_mark_test

#endif  // TEST_MAP_MARK_SUPPORT_HPP_
