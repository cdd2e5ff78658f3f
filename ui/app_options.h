// What the command line asks of the program, parsed once at start-up.
#pragma once

#include <QString>

namespace kvu {

struct AppOptions {
    QString commandLine;    // the whole command line, program path included
    bool debugLog = false;  // "--log=DEBUG" anywhere in commandLine
    QString port;  // --port=PATH: use this serial port instead of searching by USB identity
    bool simulate = false;  // --simulate: run against the built-in simulated device
};

}  // namespace kvu
