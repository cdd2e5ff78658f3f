#include "tests/support/log_capture.h"

#include <spdlog/sinks/base_sink.h>

#include <algorithm>

namespace kvu::test {

class LogCapture::Sink : public spdlog::sinks::base_sink<std::mutex> {
  public:
    std::vector<LogLine> snapshot() {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_;
    }
    void reset() {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.clear();
    }

  protected:
    void sink_it_(const spdlog::details::log_msg& msg) override {
        lines_.push_back({msg.level, std::string(msg.payload.data(), msg.payload.size())});
    }
    void flush_() override {}

  private:
    std::vector<LogLine> lines_;
};

LogCapture::LogCapture(spdlog::level::level_enum level)
    : sink_(std::make_shared<Sink>()), previous_(spdlog::default_logger()) {
    auto logger = std::make_shared<spdlog::logger>("capture", sink_);
    logger->set_level(level);
    spdlog::set_default_logger(logger);
}

LogCapture::~LogCapture() {
    spdlog::set_default_logger(previous_);
}

std::vector<LogLine> LogCapture::lines() const {
    return sink_->snapshot();
}

std::vector<std::string> LogCapture::texts() const {
    std::vector<std::string> out;
    for (const auto& line : sink_->snapshot())
        out.push_back(line.text);
    return out;
}

bool LogCapture::contains(const std::string& text) const {
    const auto all = sink_->snapshot();
    return std::any_of(all.begin(), all.end(), [&](const LogLine& l) { return l.text == text; });
}

bool LogCapture::contains(spdlog::level::level_enum level, const std::string& text) const {
    const auto all = sink_->snapshot();
    return std::any_of(all.begin(), all.end(),
                       [&](const LogLine& l) { return l.level == level && l.text == text; });
}

bool LogCapture::anyContains(const std::string& fragment) const {
    const auto all = sink_->snapshot();
    return std::any_of(all.begin(), all.end(), [&](const LogLine& l) {
        return l.text.find(fragment) != std::string::npos;
    });
}

void LogCapture::clear() {
    sink_->reset();
}

}  // namespace kvu::test
