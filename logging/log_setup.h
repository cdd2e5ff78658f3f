// Configures the process-wide default logger: the rotating log file in the current directory,
// the level taken from the command line, flushing, and CR LF line ends on every platform.
#pragma once

#include <QString>

namespace kvu {

inline constexpr const char* kLogFileName = "Nalto_KVU_Utility_log.txt";

// True when "--log=DEBUG" occurs anywhere in the command line (case-sensitive).
bool commandLineWantsDebug(const QString& commandLine);

struct LogSetupResult {
    bool fileLog = false;  // false: the file could not be opened; logging goes nowhere
    QString error;         // why, when fileLog is false
};

// Installs the default logger "logger" and writes the start line. Never throws: when the file
// cannot be created the program goes on without a file log and says so once on standard error.
LogSetupResult setupLogging(const QString& commandLine, const QString& fileName = kLogFileName);

}  // namespace kvu
