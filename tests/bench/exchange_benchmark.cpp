// Measures the host's cost per exchange against the simulated device (no device delay) over a
// real pseudo-terminal, and how often the receive thread wakes while the link is idle.
// Usage: exchange_benchmark [rounds] [idle-seconds]
#include <spdlog/sinks/null_sink.h>
#include <spdlog/spdlog.h>

#include <dirent.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "device/device_session.h"
#include "protocol/commands.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::duration<double, std::milli>;

struct SimProcess {
    pid_t pid = -1;
    std::string path;
};

bool startSim(SimProcess& sim) {
    int out[2];
    if (pipe(out) != 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    char* argv[] = {const_cast<char*>(KVU_SIM_PATH), nullptr};
    const int rc = posix_spawn(&sim.pid, KVU_SIM_PATH, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (rc != 0)
        return false;
    std::string line;
    char c = 0;
    while (read(out[0], &c, 1) == 1 && c != '\n')
        line += c;
    close(out[0]);
    const std::string prefix = "kvu-sim: serving ";
    if (line.rfind(prefix, 0) != 0)
        return false;
    sim.path = line.substr(prefix.size());
    return true;
}

void stopSim(SimProcess& sim) {
    if (sim.pid <= 0)
        return;
    kill(sim.pid, SIGTERM);
    waitpid(sim.pid, nullptr, 0);
}

// Voluntary context switches of every thread of this process but the calling one.
long otherThreadsWakeups() {
    const std::string self = std::to_string(gettid());
    long total = 0;
    DIR* dir = opendir("/proc/self/task");
    if (!dir)
        return -1;
    while (dirent* entry = readdir(dir)) {
        const std::string tid = entry->d_name;
        if (tid == "." || tid == ".." || tid == self)
            continue;
        std::ifstream status("/proc/self/task/" + tid + "/status");
        std::string key;
        while (status >> key) {
            if (key == "voluntary_ctxt_switches:") {
                long n = 0;
                status >> n;
                total += n;
            }
        }
    }
    closedir(dir);
    return total;
}

struct Stats {
    double median = 0, p95 = 0, total = 0;
};

Stats summarise(std::vector<double> samples) {
    Stats s;
    if (samples.empty())
        return s;
    std::sort(samples.begin(), samples.end());
    s.median = samples[samples.size() / 2];
    s.p95 = samples[std::min(samples.size() - 1, samples.size() * 95 / 100)];
    for (double v : samples)
        s.total += v;
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 20;
    const int idleSeconds = argc > 2 ? std::atoi(argv[2]) : 10;
    spdlog::set_default_logger(
        std::make_shared<spdlog::logger>("bench", std::make_shared<spdlog::sinks::null_sink_mt>()));

    SimProcess sim;
    if (!startSim(sim)) {
        std::fprintf(stderr, "cannot start %s\n", KVU_SIM_PATH);
        return 1;
    }
    kvu::SerialChannel channel;
    kvu::protocol::DeviceSession session(channel);
    if (!channel.initSerial(QString::fromStdString(sim.path)) || !channel.startRecvThread()) {
        std::fprintf(stderr, "cannot open %s\n", sim.path.c_str());
        stopSim(sim);
        return 1;
    }

    // The command sequences of a connect and of a Write, each exchange timed on its own.
    std::vector<QString> connect = {QString(kvu::protocol::kCmdVersion),
                                    QString(kvu::protocol::kCmdSerial),
                                    QString(kvu::protocol::kCmdReadAll)};
    std::vector<QString> write;
    for (const auto& line : kvu::protocol::writeAllLines(session.profiles()))
        write.push_back(line.command);
    write.push_back(QString(kvu::protocol::kCmdCommit));

    std::vector<double> connectSamples, writeSamples, connectTotals, writeTotals;
    int failures = 0;
    auto run = [&](const std::vector<QString>& cmds, std::vector<double>& samples,
                   std::vector<double>& totals) {
        const auto start = Clock::now();
        for (const QString& cmd : cmds) {
            const auto t0 = Clock::now();
            if (channel.exchange(cmd, std::chrono::seconds(3)).status !=
                kvu::ExchangeStatus::Completed)
                ++failures;
            samples.push_back(Ms(Clock::now() - t0).count());
        }
        totals.push_back(Ms(Clock::now() - start).count());
    };
    for (int i = 0; i < rounds; ++i) {
        run(connect, connectSamples, connectTotals);
        run(write, writeSamples, writeTotals);
    }

    const long before = otherThreadsWakeups();
    std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
    const long after = otherThreadsWakeups();

    channel.stopRecvThread();
    stopSim(sim);

    const Stats c = summarise(connectSamples), w = summarise(writeSamples);
    const Stats ct = summarise(connectTotals), wt = summarise(writeTotals);
    std::printf("rounds: %d (failed exchanges: %d)\n", rounds, failures);
    std::printf(
        "connect (ver, serial, get): per exchange median %.3f ms, p95 %.3f ms; "
        "whole connect median %.3f ms\n",
        c.median, c.p95, ct.median);
    std::printf(
        "write (24 set lines, fw): per exchange median %.3f ms, p95 %.3f ms; "
        "whole write median %.3f ms\n",
        w.median, w.p95, wt.median);
    std::printf("idle for %d s: receive thread wake-ups %.1f per second\n", idleSeconds,
                static_cast<double>(after - before) / idleSeconds);
    return failures == 0 ? 0 : 1;
}
