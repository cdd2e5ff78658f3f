// The program stopped by a termination signal in the middle of a Write: it lets the Write end,
// closes the port, writes its log out and exits with status 0. The program is the real one with
// a driver that presses Write once the window shows "Connected".
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <string>
#include <vector>

#include "protocol/commands.h"
#include "settings/profiles.h"
#include "sim/simulated_device.h"
#include "tests/support/device_state_profiles.h"

namespace {

using namespace std::chrono_literals;

constexpr int kExitTimeoutMs = 20000;
const QString kLogName = QStringLiteral("Nalto_KVU_Utility_log.txt");
// "ver", "serial" and "get" of the connection come before the set lines.
constexpr std::size_t kConnectCommands = 3;

kvu::sim::DeviceState deviceValues() {
    kvu::sim::DeviceState s;
    for (int i = 0; i < 4; ++i) {
        const std::string n = std::to_string(i + 1);
        s.wwan[static_cast<std::size_t>(i)] = {"apn" + n + ".example", "user" + n, "secret" + n,
                                               "1", "2"};
    }
    s.wifi = {"Plant-WLAN", "1", "0", "passphrase-55"};
    return s;
}

struct StopCase {
    const char* name;
    int signo;
};

class ProgramStop : public ::testing::TestWithParam<StopCase> {
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

    // The program that presses Write once connected, against the device behind `link`.
    void prepareProgram(const QString& link) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime_.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("KVU_DIALOG_TRANSCRIPT"),
                   work_.filePath(QStringLiteral("t.txt")));
        process_.setProcessEnvironment(env);
        process_.setWorkingDirectory(work_.path());
        process_.setProgram(QStringLiteral(KVU_PRESS_WRITE_PATH));
        process_.setArguments({QStringLiteral("--port=") + link});
    }

    QTemporaryDir runtime_;
    QTemporaryDir work_;
    QProcess process_;
};

TEST_P(ProgramStop, SignalDuringWriteLetsItEndThenExitsWithItsLogComplete) {
    const QString link = work_.filePath(QStringLiteral("ttyKVU"));
    kvu::sim::DeviceConfig config;
    config.initial = deviceValues();
    // Paced: each reply waits, so that the Write is still going when the signal comes.
    config.faults.replyDelay = 120ms;
    config.linkPath = link.toStdString();
    kvu::sim::SimulatedDevice device(config);
    std::string error;
    ASSERT_TRUE(device.start(error)) << error;

    prepareProgram(link);
    process_.start();
    ASSERT_TRUE(process_.waitForStarted());

    // Four set lines are on the wire: the Write is under way.
    ASSERT_TRUE(device.waitForCommands(kConnectCommands + 4, 15s))
        << process_.readAllStandardError().toStdString();
    ASSERT_EQ(::kill(static_cast<pid_t>(process_.processId()), GetParam().signo), 0);
    ASSERT_TRUE(process_.waitForFinished(kExitTimeoutMs));
    EXPECT_EQ(process_.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process_.exitCode(), 0);

    QFile file(QDir(work_.path()).filePath(kLogName));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const std::string log = file.readAll().toStdString();
    const std::vector<std::string> received = device.received();
    std::size_t setLines = 0;
    for (const kvu::protocol::SetLine& line :
         kvu::protocol::writeAllLines(kvu::test::profilesOf(config.initial))) {
        const bool sent = std::find(received.begin(), received.end(), line.command.toStdString()) !=
                          received.end();
        if (sent) {
            ++setLines;
            EXPECT_NE(log.find("[info] " + line.logMessage), std::string::npos) << line.logMessage;
        }
    }
    // The conversation under way ended first: the whole Write went out and was committed.
    EXPECT_EQ(setLines, 24u);
    EXPECT_EQ(received.back(), "fw\r");
    const std::string stopLine =
        std::string("[info] CKVUUtilityApp: stop requested by ") + GetParam().name;
    const std::size_t stopAt = log.find(stopLine);
    const std::size_t writtenAt = log.find("[info] Write Successfully");
    ASSERT_NE(stopAt, std::string::npos) << log;
    ASSERT_NE(writtenAt, std::string::npos) << log;
    EXPECT_LT(stopAt, writtenAt);
}

// Started under nohup: a hang-up of the session is not the operator's stop request.
TEST_F(ProgramStop, HangUpIgnoredAtTheStartStaysIgnored) {
    const QString link = work_.filePath(QStringLiteral("ttyKVU"));
    kvu::sim::DeviceConfig config;
    config.initial = deviceValues();
    config.faults.replyDelay = 60ms;
    config.linkPath = link.toStdString();
    kvu::sim::SimulatedDevice device(config);
    std::string error;
    ASSERT_TRUE(device.start(error)) << error;

    prepareProgram(link);
    // The child inherits the ignored disposition, as nohup hands it on.
    struct sigaction ignore {};
    struct sigaction before {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ASSERT_EQ(::sigaction(SIGHUP, &ignore, &before), 0);
    process_.start();
    const bool started = process_.waitForStarted();
    ::sigaction(SIGHUP, &before, nullptr);
    ASSERT_TRUE(started);

    ASSERT_TRUE(device.waitForCommands(kConnectCommands + 4, 15s))
        << process_.readAllStandardError().toStdString();
    ASSERT_EQ(::kill(static_cast<pid_t>(process_.processId()), SIGHUP), 0);
    // The Write ends with its commit, and the program stays.
    ASSERT_TRUE(device.waitForCommands(kConnectCommands + 25, 15s));
    EXPECT_FALSE(process_.waitForFinished(2000));
    ASSERT_EQ(::kill(static_cast<pid_t>(process_.processId()), SIGTERM), 0);
    ASSERT_TRUE(process_.waitForFinished(kExitTimeoutMs));
    EXPECT_EQ(process_.exitCode(), 0);
    QFile file(QDir(work_.path()).filePath(kLogName));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const std::string log = file.readAll().toStdString();
    EXPECT_EQ(log.find("stop requested by SIGHUP"), std::string::npos) << log;
    EXPECT_NE(log.find("stop requested by SIGTERM"), std::string::npos) << log;
}

INSTANTIATE_TEST_SUITE_P(Signals, ProgramStop,
                         ::testing::Values(StopCase{"SIGTERM", SIGTERM}, StopCase{"SIGINT", SIGINT},
                                           StopCase{"SIGHUP", SIGHUP}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
