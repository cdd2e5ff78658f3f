#pragma once
// The real kvu-sim program run as a child process in tests, its stdout on a pipe.

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace kvu::sim::test {

class SimProcess {
  public:
    SimProcess() = default;
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Starts the program with these arguments (program name left off).
    bool start(const std::vector<std::string>& args);

    // The next line the program printed, without its newline; empty at end of output or when
    // no whole line came within the time.
    std::string readLine(std::chrono::milliseconds timeout = std::chrono::seconds(5));

    bool signal(int signal) const;

    // Sends SIGTERM and returns the wait status.
    int terminate();

  private:
    pid_t pid_ = -1;
    int out_ = -1;
};

}  // namespace kvu::sim::test
