// How long `kvuctl --all write` takes on 1, 4 and 16 simulated devices paced like the real line,
// and the time of 16 over the time of 1: devices written side by side keep it near 1.
// Usage: kvuctl_fleet_benchmark [runs per size (3)] [baud (9600)]
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "tests/sim/sim_process.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using kvu::sim::test::SimProcess;

constexpr const char* kPreset =
    "[WWAN1]\r\nAPN=bench.apn.one\r\nUSERNAME=bench\r\nPASSWORD=benchpw1\r\nAUTHTYPE=1\r\n"
    "PDPTYPE=2\r\n[WWAN2]\r\nAPN=bench.apn.two\r\n[WWAN3]\r\nAPN=bench.apn.three\r\n"
    "[WWAN4]\r\nAPN=bench.apn.four\r\n[Wi-Fi]\r\nSSID=BenchAP\r\nPASSPHRASE=benchpassphrase\r\n"
    "SECURITY=1\r\nPWTYPE=0\r\n";

// Runs kvuctl in `dir` with discovery on the look-alike tree; the exit status, or -1.
int runKvuctl(const QString& dir, const std::vector<std::string>& args) {
    std::vector<std::string> all = {KVUCTL_PROGRAM};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    const std::string sys = (dir + "/sys").toStdString();
    const std::string dev = (dir + "/dev").toStdString();
    const std::string cwd = dir.toStdString();
    std::fflush(stdout);  // the child must not print our buffered lines again
    pid_t pid = ::fork();
    if (pid == 0) {
        ::setenv("KVU_SYSFS_ROOT", sys.c_str(), 1);
        ::setenv("KVU_DEV_ROOT", dev.c_str(), 1);
        if (::chdir(cwd.c_str()) != 0) {
            ::_exit(127);
        }
        // Results and progress are not what is measured.
        std::freopen("/dev/null", "w", stdout);
        std::freopen("/dev/null", "w", stderr);
        ::execv(KVUCTL_PROGRAM, argv.data());
        ::_exit(127);
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid) {
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct Figures {
    double median = 0;
    double min = 0;
    double max = 0;
};

Figures measure(int devices, int runs, const std::string& baud, bool& ok) {
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath("dev"));
    QFile preset(dir.filePath("fleet.all"));
    preset.open(QIODevice::WriteOnly);
    preset.write(kPreset);
    preset.close();

    std::vector<std::unique_ptr<SimProcess>> sims;
    for (int i = 0; i < devices; ++i) {
        auto sim = std::make_unique<SimProcess>();
        const std::string link = dir.filePath(QStringLiteral("dev/ttyACM%1").arg(i)).toStdString();
        const std::string usb = "1-1." + std::to_string(i + 1);
        const std::string serial = "BENCH" + std::to_string(1000 + i);
        if (!sim->start({"--link", link, "--usb-sysfs", dir.filePath("sys").toStdString(),
                         "--usb-path", usb, "--serial", serial, "--baud", baud}) ||
            sim->readLine().empty()) {
            std::fprintf(stderr, "kvu-sim %d did not start\n", i);
            ok = false;
            return {};
        }
        sims.push_back(std::move(sim));
    }

    std::vector<double> seconds;
    for (int run = 0; run < runs; ++run) {
        const auto started = Clock::now();
        const int status = runKvuctl(dir.path(), {"--all", "write", "fleet.all"});
        seconds.push_back(std::chrono::duration<double>(Clock::now() - started).count());
        if (status != 0) {
            std::fprintf(stderr, "kvuctl --all write on %d devices: exit status %d\n", devices,
                         status);
            ok = false;
        }
    }
    std::sort(seconds.begin(), seconds.end());
    return {seconds[seconds.size() / 2], seconds.front(), seconds.back()};
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const std::string baud = argc > 2 ? argv[2] : "9600";
    std::printf(
        "kvuctl --all write, a full .all preset, read-back verified, kvu-sim --baud %s, "
        "%d runs per size\n",
        baud.c_str(), runs);
    bool ok = true;
    double one = 0;
    double sixteen = 0;
    for (const int devices : {1, 4, 16}) {
        const Figures f = measure(devices, runs, baud, ok);
        std::printf("N=%-2d  median %.2f s  min %.2f s  max %.2f s\n", devices, f.median, f.min,
                    f.max);
        if (devices == 1) {
            one = f.median;
        } else if (devices == 16) {
            sixteen = f.median;
        }
    }
    if (one > 0) {
        std::printf("time(N=16) / time(N=1) = %.2f (target: at most 1.5)\n", sixteen / one);
    }
    return ok ? 0 : 1;
}
