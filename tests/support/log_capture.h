// Replaces the default logger for the lifetime of the object and keeps every line in memory,
// so that tests can check exact log texts and levels.
#pragma once

#include <spdlog/spdlog.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kvu::test {

struct LogLine {
    spdlog::level::level_enum level;
    std::string text;
};

class LogCapture {
  public:
    explicit LogCapture(spdlog::level::level_enum level = spdlog::level::debug);
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<LogLine> lines() const;
    // Only the message texts, in order.
    std::vector<std::string> texts() const;
    // True when some line has exactly this text (and level, when given).
    bool contains(const std::string& text) const;
    bool contains(spdlog::level::level_enum level, const std::string& text) const;
    // True when some line contains this fragment anywhere.
    bool anyContains(const std::string& fragment) const;
    void clear();

  private:
    class Sink;
    std::shared_ptr<Sink> sink_;
    std::shared_ptr<spdlog::logger> previous_;
};

}  // namespace kvu::test
