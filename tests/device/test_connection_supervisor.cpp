// One connection at a time over a real pseudo-terminal: what is left open after each way an
// attempt can end, and which loss notices count.
#include "device/connection_supervisor.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <atomic>
#include <chrono>
#include <thread>

#include "sim/simulated_device.h"
#include "tests/support/log_capture.h"

namespace kvu {
namespace {

using namespace std::chrono_literals;

constexpr protocol::ExchangeTimeouts kShort{400ms, 600ms};

sim::DeviceState deviceState() {
    sim::DeviceState s;
    s.version = "3.2.1";
    s.mcuId = "00AB12CD";
    s.serial = "KV000777";
    s.wwan[1] = {"apn.two", "user two", "pw2", "2", "1"};
    s.wifi = {"Plant WLAN", "1", "1", "0123456789abcdef"};
    return s;
}

class SupervisorTest : public ::testing::Test {
  protected:
    void startDevice(sim::Faults faults = {}) {
        sim::DeviceConfig config;
        config.initial = deviceState();
        config.faults = std::move(faults);
        device_ = std::make_unique<sim::SimulatedDevice>(std::move(config));
        std::string error;
        ASSERT_TRUE(device_->start(error)) << error;
    }
    PortFinder deviceFinder() {
        return [this](QString& port) {
            const std::string path = device_ ? device_->slavePath() : std::string();
            if (path.empty()) {
                return false;
            }
            port = QString::fromStdString(path);
            return true;
        };
    }
    // The port is free again when another open succeeds (the line allows one holder).
    bool portIsFree() {
        SerialChannel probe;
        const bool opened = probe.initSerial(QString::fromStdString(device_->slavePath()));
        probe.uninitSerial();
        return opened;
    }

    std::unique_ptr<sim::SimulatedDevice> device_;
};

TEST_F(SupervisorTest, ConnectsAndHoldsIdentityAndProfiles) {
    startDevice();
    ConnectionSupervisor link(deviceFinder(), kShort);
    test::LogCapture log;
    const ConnectResult result = link.connect();
    ASSERT_EQ(result.outcome, ConnectOutcome::Connected);
    EXPECT_TRUE(link.linkUp());
    EXPECT_TRUE(link.channel().isOpen());
    EXPECT_TRUE(link.channel().isRunning());
    EXPECT_EQ(result.port.toStdString(), device_->slavePath());
    const protocol::DeviceIdentity id = link.session().identity();
    EXPECT_EQ(id.version, "VER 3.2.1");
    EXPECT_EQ(id.mcuId, "MCUID 00AB12CD");
    EXPECT_EQ(id.serial, "KV000777");
    EXPECT_EQ(link.session().profiles().wwan[1].apn, "apn.two");
    EXPECT_EQ(link.session().profiles().wifi.ssid, "Plant WLAN");
    EXPECT_TRUE(log.contains(spdlog::level::info,
                             "CKVUUtilityDlg::ComPortOpenProcess [" + device_->slavePath() + "]"));
    EXPECT_EQ(device_->received(), (std::vector<std::string>{"ver\r", "serial\r", "get\r"}));
    link.disconnect();
    EXPECT_FALSE(link.channel().isOpen());
    EXPECT_TRUE(portIsFree());
}

TEST_F(SupervisorTest, NoPortTriesNothing) {
    ConnectionSupervisor link([](QString&) { return false; }, kShort);
    test::LogCapture log;
    EXPECT_EQ(link.connect().outcome, ConnectOutcome::NoPort);
    EXPECT_TRUE(log.lines().empty());
    EXPECT_FALSE(link.channel().isOpen());
}

TEST_F(SupervisorTest, PortThatCannotBeOpenedIsReportedEveryAttempt) {
    QTemporaryDir dir;
    const QString notATty = dir.filePath("plain-file");
    QFile file(notATty);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    ConnectionSupervisor link(fixedPortFinder(notATty), kShort);
    test::LogCapture log;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const ConnectResult result = link.connect();
        EXPECT_EQ(result.outcome, ConnectOutcome::OpenFailed);
        EXPECT_FALSE(result.permissionDenied);
        EXPECT_FALSE(link.linkUp());
    }
    int failures = 0;
    for (const test::LogLine& line : log.lines()) {
        failures += line.level == spdlog::level::err && line.text == "InitSerial Failure.";
    }
    EXPECT_EQ(failures, 2);
}

// A device that does not answer the first questions must not keep the port: the next attempt
// (here, after the device came to its senses) opens it afresh and connects.
TEST_F(SupervisorTest, UnansweredFirstQuestionsReleaseThePort) {
    struct Case {
        const char* name;
        sim::Faults faults;
        ConnectOutcome outcome;
    };
    sim::Faults silent;
    silent.silentAll = true;
    sim::Faults refusedGet;
    refusedGet.errorOn = {{"get", false}};
    sim::Faults silentGet;
    silentGet.silentOn = {{"get", false}};
    const Case cases[] = {
        {"silent device", silent, ConnectOutcome::QueryFailed},
        {"get refused", refusedGet, ConnectOutcome::ReadFailed},
        {"get unanswered", silentGet, ConnectOutcome::ReadFailed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        startDevice(c.faults);
        ConnectionSupervisor link(deviceFinder(), kShort);
        const ConnectResult result = link.connect();
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_FALSE(link.linkUp());
        EXPECT_FALSE(link.channel().isOpen());
        EXPECT_FALSE(link.channel().isRunning());
        EXPECT_TRUE(portIsFree());
        if (c.outcome == ConnectOutcome::ReadFailed) {
            EXPECT_TRUE(result.error.endsWith(" Reload Error.") ||
                        result.error.endsWith(" Write Error."))
                << result.error.toStdString();
        }
        std::string error;
        ASSERT_TRUE(device_->setFaults({}, error)) << error;
        EXPECT_EQ(link.connect().outcome, ConnectOutcome::Connected);
        link.disconnect();
        device_.reset();
    }
}

TEST_F(SupervisorTest, LossNoticeNamesItsLinkAndStaleNoticesAreIgnored) {
    startDevice();
    ConnectionSupervisor link(deviceFinder(), kShort);
    std::atomic<std::uint64_t> noticed{0};
    link.setLossNotice([&](std::uint64_t linkNo) { noticed = linkNo; });
    ASSERT_EQ(link.connect().outcome, ConnectOutcome::Connected);
    const std::uint64_t first = link.linkNo();

    device_->hangUp();
    for (int i = 0; i < 200 && noticed == 0; ++i) {
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_EQ(noticed.load(), first);
    EXPECT_FALSE(link.onLinkLost(first + 1));  // no such link
    EXPECT_TRUE(link.linkUp());
    EXPECT_TRUE(link.onLinkLost(first));
    EXPECT_FALSE(link.linkUp());
    EXPECT_FALSE(link.onLinkLost(first));  // delivered twice: already handled

    ASSERT_TRUE(device_->replug());
    ASSERT_EQ(link.connect().outcome, ConnectOutcome::Connected);
    EXPECT_GT(link.linkNo(), first);
    EXPECT_FALSE(link.onLinkLost(first));  // the old link's notice, late
    EXPECT_TRUE(link.linkUp());
}

// The next device's version reply has no MCU id line (a version line alone is a whole reply):
// nothing of the device before it may show through.
TEST_F(SupervisorTest, EachAttemptStartsFromAnEmptyIdentity) {
    startDevice();
    ConnectionSupervisor link(deviceFinder(), kShort);
    ASSERT_EQ(link.connect().outcome, ConnectOutcome::Connected);
    ASSERT_EQ(link.session().identity().mcuId, "MCUID 00AB12CD");
    link.disconnect();

    sim::DeviceConfig next;
    next.initial = deviceState();
    next.initial.version = "4.0.0";
    next.initial.serial = "KV000888";
    next.faults.omitMcuId = true;
    device_ = std::make_unique<sim::SimulatedDevice>(std::move(next));
    std::string error;
    ASSERT_TRUE(device_->start(error)) << error;
    test::LogCapture log;
    ASSERT_EQ(link.connect().outcome, ConnectOutcome::Connected);
    const protocol::DeviceIdentity id = link.session().identity();
    EXPECT_EQ(id.version.toStdString(), "VER 4.0.0");
    EXPECT_EQ(id.mcuId.toStdString(), "");
    EXPECT_EQ(id.serial.toStdString(), "KV000888");
    EXPECT_TRUE(
        log.contains(spdlog::level::info, "KvuVersion:VER 4.0.0 KvuMcuID: KvuSerial: KV000888"));
}

TEST(StripLeadingKeyword, RemovesExactlyTheKeyword) {
    struct Case {
        const char* text;
        const char* expected;
    };
    const std::initializer_list<const char*> mcu = {"MCUID ", "SN "};
    const Case mcuCases[] = {
        {"MCUID 0042ABCD", "0042ABCD"},
        {"MCUID DUMMIC", "DUMMIC"},  // keyword letters in the value stay
        {"SN 1234", "1234"},
        {"SN MCUID 1", "MCUID 1"},  // only one keyword goes
        {"mcuid 12", "mcuid 12"},   // not the keyword
        {"0042", "0042"},
        {"", ""},
    };
    for (const Case& c : mcuCases) {
        EXPECT_EQ(stripLeadingKeyword(QString::fromUtf8(c.text), mcu),
                  QString::fromUtf8(c.expected))
            << c.text;
    }
    EXPECT_EQ(stripLeadingKeyword("VER 1.0 REV", {"VER "}), "1.0 REV");
    EXPECT_EQ(stripLeadingKeyword("VERSION 2", {"VER "}), "VERSION 2");
}

}  // namespace
}  // namespace kvu
