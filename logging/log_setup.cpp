#include "logging/log_setup.h"

#include <spdlog/pattern_formatter.h>
#include <spdlog/sinks/rotating_file_sink.h>
#include <spdlog/spdlog.h>

#include <QFile>
#include <chrono>
#include <cstdio>
#include <exception>
#include <memory>

#include "logging/app_info.h"
#include "logging/log_format.h"

namespace kvu {

namespace {

constexpr const char* kLoggerName = "logger";
constexpr std::size_t kMaxFileSize = 5242880;  // 5 MiB
constexpr std::size_t kMaxFiles = 3;

spdlog::filename_t toFileName(const QString& fileName) {
#ifdef SPDLOG_WCHAR_FILENAMES
    return fileName.toStdWString();
#else
    return QFile::encodeName(fileName).toStdString();
#endif
}

}  // namespace

bool commandLineWantsDebug(const QString& commandLine) {
    return commandLine.contains(QStringLiteral("--log=DEBUG"), Qt::CaseSensitive);
}

LogSetupResult setupLogging(const QString& commandLine, const QString& fileName) {
    LogSetupResult result;
    // A second set-up in the same process (tests, a re-created window) must not fail on the name.
    spdlog::drop(kLoggerName);
    try {
        auto logger = spdlog::rotating_logger_mt(kLoggerName, toFileName(fileName), kMaxFileSize,
                                                 kMaxFiles, false);
        // The default pattern, but CR LF on every platform so the file reads the same everywhere.
        logger->set_formatter(
            std::make_unique<spdlog::pattern_formatter>(spdlog::pattern_time_type::local, "\r\n"));
        spdlog::set_default_logger(logger);
        result.fileLog = true;
    } catch (const std::exception& e) {
        // No file (read-only or vanished directory, locked file): carry on with a logger that
        // has no sinks, so that every later log call is harmless.
        spdlog::drop(kLoggerName);
        spdlog::set_default_logger(std::make_shared<spdlog::logger>(kLoggerName));
        result.error = QString::fromLocal8Bit(e.what());
        std::fprintf(stderr, "KVUUtility: no log file %s: %s\n",
                     QFile::encodeName(fileName).constData(), e.what());
    }
    spdlog::set_level(commandLineWantsDebug(commandLine) ? spdlog::level::debug
                                                         : spdlog::level::info);
    spdlog::flush_on(spdlog::level::err);
    spdlog::flush_every(std::chrono::seconds(3));
    spdlog::info("KVUUtility Ver.{} Start..", kVersionText);
    return result;
}

}  // namespace kvu
