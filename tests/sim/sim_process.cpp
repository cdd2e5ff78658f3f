#include "tests/sim/sim_process.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace kvu::sim::test {

SimProcess::~SimProcess() {
    if (pid_ > 0) {
        terminate();
    }
    if (out_ >= 0) {
        ::close(out_);
    }
}

bool SimProcess::start(const std::vector<std::string>& args) {
    int out[2];
    if (::pipe(out) != 0) {
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<std::string> all = {KVU_SIM_PROGRAM};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    const int rc = posix_spawn(&pid_, KVU_SIM_PROGRAM, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    out_ = out[0];
    if (rc != 0) {
        pid_ = -1;
    }
    return rc == 0;
}

std::string SimProcess::readLine(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::string line;
    while (true) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd fd{out_, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&fd, 1, static_cast<int>(left.count())) <= 0) {
            return {};
        }
        char c = 0;
        if (::read(out_, &c, 1) != 1 || c == '\n') {
            return line;
        }
        line += c;
    }
}

bool SimProcess::signal(int signal) const {
    return pid_ > 0 && ::kill(pid_, signal) == 0;
}

int SimProcess::terminate() {
    if (pid_ <= 0) {
        return -1;
    }
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return status;
}

}  // namespace kvu::sim::test
