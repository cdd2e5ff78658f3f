// The program's command line: the whole line as one text (program path first, as the Windows
// command line reads) and the options parsed from the argument list.
#pragma once

#include <QString>
#include <QStringList>

#include "ui/app_options.h"

namespace kvu {

enum class CommandLineAction {
    Run,          // start the program
    ShowHelp,     // print the option list and exit 0
    ShowVersion,  // print the version and exit 0
};

struct ParsedCommandLine {
    AppOptions options;
    CommandLineAction action = CommandLineAction::Run;
};

// argv as text; the program path is arguments[0].
QStringList argumentsFromArgv(int argc, const char* const* argv);

// Joins the arguments into one line: an argument holding a blank, a tab or a quote (or an empty
// one) is put in double quotes, with quotes and the backslashes before them escaped.
QString joinCommandLine(const QStringList& arguments);

// Reads the options from arguments[1..]; commandLine is used for the whole-line "--log=DEBUG"
// test. Unknown arguments are ignored. The first of --help and --version wins.
ParsedCommandLine parseCommandLine(const QStringList& arguments, const QString& commandLine);

// What --help and --version print; programName is the file name shown in the usage line.
QString helpText(const QString& programName);
QString versionText();

}  // namespace kvu
