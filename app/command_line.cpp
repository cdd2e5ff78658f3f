#include "app/command_line.h"

#include "logging/app_info.h"
#include "logging/log_setup.h"

namespace kvu {

namespace {

bool needsQuotes(const QString& argument) {
    return argument.isEmpty() || argument.contains(QLatin1Char(' ')) ||
           argument.contains(QLatin1Char('\t')) || argument.contains(QLatin1Char('"'));
}

// The quoting that the Windows argument splitter undoes: backslashes only count before a quote.
QString quoted(const QString& argument) {
    QString out = QStringLiteral("\"");
    int backslashes = 0;
    for (const QChar c : argument) {
        if (c == QLatin1Char('\\')) {
            ++backslashes;
            continue;
        }
        if (c == QLatin1Char('"')) {
            out += QString(backslashes * 2 + 1, QLatin1Char('\\'));
        } else {
            out += QString(backslashes, QLatin1Char('\\'));
        }
        backslashes = 0;
        out += c;
    }
    out += QString(backslashes * 2, QLatin1Char('\\'));
    out += QLatin1Char('"');
    return out;
}

}  // namespace

QStringList argumentsFromArgv(int argc, const char* const* argv) {
    QStringList arguments;
    for (int i = 0; i < argc && argv[i] != nullptr; ++i) {
        arguments.append(QString::fromLocal8Bit(argv[i]));
    }
    return arguments;
}

QString joinCommandLine(const QStringList& arguments) {
    QStringList parts;
    parts.reserve(arguments.size());
    for (const QString& argument : arguments) {
        parts.append(needsQuotes(argument) ? quoted(argument) : argument);
    }
    return parts.join(QLatin1Char(' '));
}

ParsedCommandLine parseCommandLine(const QStringList& arguments, const QString& commandLine) {
    static const QString kPortPrefix = QStringLiteral("--port=");
    ParsedCommandLine parsed;
    parsed.options.commandLine = commandLine;
    parsed.options.debugLog = commandLineWantsDebug(commandLine);
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (argument == QLatin1String("--help") || argument == QLatin1String("--version")) {
            if (parsed.action == CommandLineAction::Run) {
                parsed.action = argument == QLatin1String("--help")
                                    ? CommandLineAction::ShowHelp
                                    : CommandLineAction::ShowVersion;
            }
        } else if (argument == QLatin1String("--simulate")) {
            parsed.options.simulate = true;
        } else if (argument.startsWith(kPortPrefix)) {
            parsed.options.port = argument.mid(kPortPrefix.size());
        }
    }
    return parsed;
}

QString helpText(const QString& programName) {
    return QStringLiteral(
               "Usage: %1 [options]\n"
               "Configuration utility for the KVU field device.\n"
               "\n"
               "Options:\n"
               "  --log=DEBUG   detailed log (anywhere on the command line, case-sensitive)\n"
               "  --port=PATH   use this serial port instead of searching for the device\n"
               "  --simulate    run against the built-in simulated device\n"
               "  --help        show this help and exit\n"
               "  --version     show the version and exit\n")
        .arg(programName);
}

QString versionText() {
    return QStringLiteral("KVU Utility %1\n").arg(QString::fromUtf8(kVersionText));
}

}  // namespace kvu
