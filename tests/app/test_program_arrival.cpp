// The program as it is started, hearing of a port's arrival: with --port it watches the path's
// folder and talks to a replugged simulator at once instead of at its next one-second tick;
// without a device monitor it says once that arrivals are polled.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <csignal>
#include <string>
#include <thread>

#include "sim/simulated_device.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kExitTimeoutMs = 20000;
constexpr std::size_t kConnectCommands = 3;  // ver, serial, get
const QString kLogName = QStringLiteral("Nalto_KVU_Utility_log.txt");

class ProgramArrival : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(runtime_.isValid());
        ASSERT_TRUE(work_.isValid());
    }
    void TearDown() override {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(kExitTimeoutMs);
        }
    }
    void start(const QStringList& args) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime_.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("KVU_DIALOG_TRANSCRIPT"),
                   work_.filePath(QStringLiteral("t.txt")));
        process_.setProcessEnvironment(env);
        process_.setWorkingDirectory(work_.path());
        process_.setProgram(QStringLiteral(KVU_UTILITY_PATH));
        process_.setArguments(args);
        process_.start();
        ASSERT_TRUE(process_.waitForStarted());
    }
    // Ends the program as a stop signal does and gives its log.
    std::string stopAndReadLog() {
        EXPECT_EQ(::kill(static_cast<pid_t>(process_.processId()), SIGTERM), 0);
        EXPECT_TRUE(process_.waitForFinished(kExitTimeoutMs));
        QFile file(QDir(work_.path()).filePath(kLogName));
        return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
    }

    QTemporaryDir runtime_;
    QTemporaryDir work_;
    QProcess process_;
};

TEST_F(ProgramArrival, ReplugBehindThePortPathIsTalkedToAtOnce) {
    const QString link = work_.filePath(QStringLiteral("ttyKVU"));
    kvu::sim::DeviceConfig config;
    config.linkPath = link.toStdString();
    kvu::sim::SimulatedDevice device(config);
    std::string error;
    ASSERT_TRUE(device.start(error)) << error;
    start({QStringLiteral("--log=DEBUG"), QStringLiteral("--port=") + link});
    ASSERT_TRUE(device.waitForCommands(kConnectCommands, 15s));

    // At different moments of the program's one-second tick: the tick alone would answer all
    // five within 250 ms about once in a thousand runs.
    for (const auto offset : {0ms, 230ms, 470ms, 650ms, 880ms}) {
        SCOPED_TRACE(offset.count());
        device.hangUp();
        std::this_thread::sleep_for(300ms + offset);
        device.clearReceived();
        const auto plugged = Clock::now();
        ASSERT_TRUE(device.replug(error)) << error;
        ASSERT_TRUE(device.waitForCommands(1, 3s));
        EXPECT_LT(Clock::now() - plugged, 250ms);
        EXPECT_EQ(device.received().front(), "ver\r");
        ASSERT_TRUE(device.waitForCommands(kConnectCommands, 5s));
    }
    const std::string log = stopAndReadLog();
    EXPECT_NE(log.find("[debug] CKVUUtilityDlg::OnPortArrival " +
                       QFileInfo(link).absoluteFilePath().toStdString()),
              std::string::npos)
        << log;
}

// udev removes /dev/serial/by-id with the last device and makes it anew with the next: the
// program still hears of the port at once, each time.
TEST_F(ProgramArrival, APortFolderRemovedAndMadeAgainStillBringsTheReplugAtOnce) {
    const QString folder = work_.filePath(QStringLiteral("serial/by-id"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString link = folder + QStringLiteral("/usb-KVU-if00");
    kvu::sim::DeviceConfig config;
    config.linkPath = link.toStdString();
    kvu::sim::SimulatedDevice device(config);
    std::string error;
    ASSERT_TRUE(device.start(error)) << error;
    start({QStringLiteral("--port=") + link});
    ASSERT_TRUE(device.waitForCommands(kConnectCommands, 15s));

    for (const auto offset : {0ms, 430ms, 770ms}) {
        SCOPED_TRACE(offset.count());
        device.hangUp();
        ASSERT_TRUE(QDir(work_.filePath(QStringLiteral("serial"))).removeRecursively());
        std::this_thread::sleep_for(300ms + offset);
        ASSERT_TRUE(QDir().mkpath(folder));
        std::this_thread::sleep_for(50ms);
        device.clearReceived();
        const auto plugged = Clock::now();
        ASSERT_TRUE(device.replug(error)) << error;
        ASSERT_TRUE(device.waitForCommands(1, 3s));
        EXPECT_LT(Clock::now() - plugged, 250ms);
        ASSERT_TRUE(device.waitForCommands(kConnectCommands, 5s));
    }
    stopAndReadLog();
}

TEST_F(ProgramArrival, WithoutADeviceMonitorTheLogSaysOnceThatArrivalsArePolled) {
    if (QFileInfo::exists(QStringLiteral("/run/udev/control")))
        GTEST_SKIP() << "udev runs here, so the program listens to it";
    start({QStringLiteral("--log=DEBUG")});
    // The window is up when its timer is.
    QFile file(QDir(work_.path()).filePath(kLogName));
    ASSERT_TRUE(QTest::qWaitFor([&] { return file.exists() && file.size() > 0; }, 15000));
    QTest::qWait(1500);
    const std::string log = stopAndReadLog();
    std::size_t lines = 0;
    for (std::size_t at = log.find("arrivals are polled"); at != std::string::npos;
         at = log.find("arrivals are polled", at + 1)) {
        ++lines;
    }
    EXPECT_EQ(lines, 1u) << log;
    EXPECT_NE(log.find("[debug] PortArrivals::watchDevices no device monitor, arrivals are polled"),
              std::string::npos)
        << log;
}

}  // namespace
