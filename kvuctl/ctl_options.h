// The command line of kvuctl: the commands, the device selection and the output switches,
// parsed into one plain record.
#pragma once

#include <QString>
#include <QStringList>

#include <string>

namespace kvu::ctl {

enum class Command { List, Show, Read, Write, Diff, Erase, Watch };

struct CtlOptions {
    Command command = Command::List;
    QStringList ports;    // --port, repeatable
    QStringList serials;  // --serial, repeatable: only devices with one of these serials
    bool all = false;     // --all
    QString file;         // write, diff, watch write: the preset; read: -o
    int wwanGroup = -1;   // --group N as 0-3; -1 when not given
    bool verify = true;   // --no-verify clears it
    bool yes = false;     // erase --yes
    bool noQuery = false;
    bool showSecrets = false;
    bool json = false;
    QString report;  // --report FILE
    bool debugLog = false;
};

struct ParseOutcome {
    bool run = false;  // false: exit with `exitStatus` after printing `out` / `err`
    int exitStatus = 0;
    std::string out;  // help or version text
    std::string err;  // the usage error
    CtlOptions options;
};

ParseOutcome parseCommandLine(int argc, const char* const* argv);

}  // namespace kvu::ctl
