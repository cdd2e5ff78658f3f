// The window program as an operator meets it, against the simulated device behind a --port
// symlink: how long from the device's replug until the first command ("ver\r") is on the wire,
// and how often the whole process wakes up while connected and idle (context switches of all its
// threads, voluntary and involuntary, from /proc). Prints figures; it is not a test.
// Usage: arrival_benchmark [rounds] [program]   (program: kvu-utility built beside it)
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "sim/simulated_device.h"
#include "tests/support/context_switches.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Ms = std::chrono::duration<double, std::milli>;

constexpr std::size_t kConnectCommands = 3;  // ver, serial, get
constexpr auto kIdleSpan = 10s;

QString threadName(const QString& pid, long long tid) {
    QFile comm(QStringLiteral("/proc/%1/task/%2/comm").arg(pid).arg(tid));
    return comm.open(QIODevice::ReadOnly) ? QString::fromUtf8(comm.readAll().trimmed())
                                          : QStringLiteral("?");
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    const QString program =
        argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral(KVU_UTILITY_PATH);
    QTemporaryDir work;
    QTemporaryDir runtime;
    if (!work.isValid() || !runtime.isValid()) {
        std::fprintf(stderr, "no scratch folder\n");
        return 1;
    }
    const QString link = work.filePath(QStringLiteral("ttyKVU"));
    kvu::sim::DeviceConfig config;
    config.linkPath = link.toStdString();
    kvu::sim::SimulatedDevice device(config);
    std::string error;
    if (!device.start(error)) {
        std::fprintf(stderr, "simulated device: %s\n", error.c_str());
        return 1;
    }

    QProcess window;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    window.setProcessEnvironment(env);
    window.setWorkingDirectory(work.path());
    window.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    window.start(program, {QStringLiteral("--port=") + link});
    if (!window.waitForStarted() || !device.waitForCommands(kConnectCommands, 15s)) {
        std::fprintf(stderr, "%s did not connect\n", qPrintable(program));
        return 1;
    }
    const QString pid = QString::number(window.processId());
    std::this_thread::sleep_for(500ms);

    std::vector<double> times;
    // Fixed seed: the same spread of replug moments over the window's one-second tick each run.
    std::mt19937 moments(14);
    std::uniform_int_distribution<int> offsetMs(0, 999);
    for (int i = 0; i < rounds; ++i) {
        device.hangUp();
        // The window sees the loss at once; a tick in between finds no port. The replug comes at
        // some moment of the tick's second, not always the same one.
        std::this_thread::sleep_for(300ms + std::chrono::milliseconds(offsetMs(moments)));
        device.clearReceived();
        const auto plugged = Clock::now();
        if (!device.replug(error)) {
            std::fprintf(stderr, "replug: %s\n", error.c_str());
            return 1;
        }
        // "ver\r" is written at once, so its line is complete with its first byte's arrival.
        if (!device.waitForCommands(1, 3s) || device.received().front() != "ver\r") {
            std::fprintf(stderr, "round %d: no \"ver\" within 3 s\n", i + 1);
            return 1;
        }
        times.push_back(Ms(Clock::now() - plugged).count());
        if (!device.waitForCommands(kConnectCommands, 5s)) {
            std::fprintf(stderr, "round %d: the connection did not complete\n", i + 1);
            return 1;
        }
        std::this_thread::sleep_for(200ms);
    }
    std::sort(times.begin(), times.end());
    std::printf(
        "replug behind --port to \"ver\\r\" on the wire: rounds %d  median %7.1f ms  "
        "min %7.1f ms  max %7.1f ms\n",
        rounds, times[times.size() / 2], times.front(), times.back());

    std::this_thread::sleep_for(1s);
    const auto before = kvu::test::switchesByThread(pid);
    std::this_thread::sleep_for(kIdleSpan);
    const auto after = kvu::test::switchesByThread(pid);
    const double seconds = std::chrono::duration<double>(kIdleSpan).count();
    std::printf("connected and idle for %.0f s: %.1f wake-ups/s (all %zu threads)\n", seconds,
                static_cast<double>(kvu::test::switchesBetween(before, after)) / seconds,
                after.size());
    for (const auto& [tid, n] : after) {
        const auto it = before.find(tid);
        const long long woke = it == before.end() ? n : n - it->second;
        std::printf("  thread %-8lld %-16s %6.1f/s%s\n", tid, qPrintable(threadName(pid, tid)),
                    static_cast<double>(woke) / seconds,
                    QString::number(tid) == pid ? "  (main: UI, timer)" : "");
    }

    window.terminate();
    if (!window.waitForFinished(10000)) {
        window.kill();
        window.waitForFinished();
    }
    return 0;
}
