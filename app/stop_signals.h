// Polite stop requests from outside the program: SIGTERM, SIGINT and SIGHUP on POSIX systems; on
// Windows the console's Ctrl+C, Ctrl+Break and close events. The handlers only note the request
// (async-signal-safe); the UI thread is woken through a descriptor or an event handle and ends
// the program as File > Exit does.
#pragma once

#include <cstdint>
#include <string>

namespace kvu {

// One per process; the handlers stay until the object goes.
class StopSignals {
  public:
    StopSignals() = default;
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // False with the reason when the handlers cannot be installed.
    bool install(std::string& error);

    // POSIX: the read end of a pipe that is readable once a request has come. Windows: the
    // HANDLE of an event that is set then. -1 before install().
    std::intptr_t waitable() const;

    // Consumes the pending requests and names the last one ("SIGTERM", "CTRL_CLOSE_EVENT"),
    // empty when none was pending.
    std::string take();

    // The program has closed its port and flushed its log. On Windows a console close handler
    // waits for this (within the system's grace period) before the process is ended.
    void finished();

  private:
    bool installed_ = false;
};

}  // namespace kvu
