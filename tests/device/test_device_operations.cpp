// Read, Write and Erase as the front ends call them, against a simulated device, no window: what
// each result says on success and at every step that can fail.
#include "device/device_operations.h"

#include <gtest/gtest.h>

#include <chrono>

#include "sim/simulated_device.h"
#include "tests/support/log_capture.h"

namespace kvu::device {
namespace {

using namespace std::chrono_literals;

constexpr protocol::ExchangeTimeouts kShort{400ms, 600ms};

DeviceProfiles profilesToWrite() {
    DeviceProfiles p;
    p.wwan[0] = {"apn.one", "user1", "secret1", "1", "0"};
    p.wwan[1] = {"apn.two", "user2", "secret2", "2", "1"};
    p.wwan[3] = {"apn.four", "", "", "0", "2"};
    p.wifi = {"Yard-AP", "1", "1", "0123456789abcdef0123456789abcdef"};
    return p;
}

class OperationsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        sim::DeviceConfig config;
        config.initial.serial = "KV000123";
        config.initial.wwan[1] = {"old.apn", "olduser", "oldpw", "2", "1"};
        device_ = std::make_unique<sim::SimulatedDevice>(std::move(config));
        std::string error;
        ASSERT_TRUE(device_->start(error)) << error;
        link_ = std::make_unique<ConnectionSupervisor>(
            [this](QString& port) {
                port = QString::fromStdString(device_->slavePath());
                return !port.isEmpty();
            },
            kShort);
        ASSERT_EQ(link_->connect().outcome, ConnectOutcome::Connected);
        port_ = link_->channel().comPort();
        device_->clearReceived();
    }
    void refuse(const std::string& command) {
        sim::Faults faults;
        faults.errorOn.push_back({command});
        std::string error;
        ASSERT_TRUE(device_->setFaults(faults, error)) << error;
    }

    std::unique_ptr<sim::SimulatedDevice> device_;
    std::unique_ptr<ConnectionSupervisor> link_;
    QString port_;
    test::LogCapture log_;
};

TEST_F(OperationsTest, SuccessfulOperationsSayWhatTheyDidAndWhatTheDeviceHolds) {
    const OperationResult written = writeProfiles(*link_, profilesToWrite());
    EXPECT_TRUE(written.ok);
    EXPECT_EQ(written.title, "Write Result");
    EXPECT_EQ(written.outcome, "Write Successfully");
    EXPECT_TRUE(written.failedCommand.isEmpty());
    EXPECT_TRUE(written.error.isEmpty());
    EXPECT_EQ(device_->received().size(), 25u);
    EXPECT_EQ(device_->received().back(), "fw\r");
    EXPECT_EQ(device_->committedState().wwan[0].apn, "apn.one");
    EXPECT_EQ(device_->committedState().wifi.ssid, "Yard-AP");
    EXPECT_TRUE(log_.contains(spdlog::level::info, "Write Successfully"));

    const OperationResult read = readProfiles(*link_);
    EXPECT_TRUE(read.ok);
    EXPECT_EQ(read.title, "Reload Result");
    EXPECT_EQ(read.outcome, "Reload Successfully");
    EXPECT_EQ(read.profiles, profilesToWrite());

    const OperationResult erased = eraseProfiles(*link_);
    EXPECT_TRUE(erased.ok);
    EXPECT_EQ(erased.title, "Erase Result");
    EXPECT_EQ(erased.outcome, "Erase Successfully");
    EXPECT_EQ(erased.profiles, link_->session().profiles());
    EXPECT_TRUE(erased.profiles.wwan[0].apn.isEmpty());
    EXPECT_EQ(device_->received().back(), "get\r");
}

TEST_F(OperationsTest, EachFailingStepNamesItsCommandAndError) {
    struct Case {
        const char* name;
        const char* refused;
        OperationResult (*run)(ConnectionSupervisor&);
        const char* title;
        const char* outcome;
        const char* command;
        const char* error;
        const char* logLine;  // the error line, port-specific text after it
    };
    const Case cases[] = {
        {"refused set line", "set 2 pw ",
         [](ConnectionSupervisor& l) { return writeProfiles(l, profilesToWrite()); },
         "Write Result", "Write Failed", "set 2 pw secret2\r", " Write Error.",
         "CKVUUtilityDlg::OnBnClickedWrite "},
        {"refused commit", "fw",
         [](ConnectionSupervisor& l) { return writeProfiles(l, profilesToWrite()); },
         "Write Result", "Write Failed", "fw\r", " Write Error.",
         "CKVUUtilityDlg::OnBnClickedWrite "},
        {"refused read", "get", &readProfiles, "Reload Result", "Reload Failed", "get\r",
         " Reload Error.", "Reload Failed"},
        {"refused erase", "fe", &eraseProfiles, "Erase Result", "Erase Failed", "fe\r",
         " Erase Error.", "Erase Failed"},
        {"refused read-back after erase", "get", &eraseProfiles, "Reload Result", "Reload Failed",
         "get\r", " Reload Error.", "Erase Failed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        refuse(c.refused);
        log_.clear();
        const OperationResult result = c.run(*link_);
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.title, c.title);
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(result.failedCommand, c.command);
        EXPECT_EQ(result.error, port_ + c.error);
        EXPECT_TRUE(log_.anyContains(c.logLine));
    }
}

TEST_F(OperationsTest, ReadBackNamesEveryFieldTheDeviceDidNotKeep) {
    // Answers the commit, but keeps the old WWAN2 APN and password.
    sim::Faults faults;
    faults.forgetOnCommit = {{'2', "apn"}, {'2', "pw"}};
    std::string error;
    ASSERT_TRUE(device_->setFaults(faults, error)) << error;

    const OperationResult unverified = writeVerifiedProfiles(*link_, profilesToWrite(), false);
    EXPECT_TRUE(unverified.ok) << "without the read-back the commit's OK is all there is";

    log_.clear();
    const OperationResult result = writeVerifiedProfiles(*link_, profilesToWrite(), true);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.title, "Verify Result");
    EXPECT_EQ(result.outcome, "Verify Failed");
    EXPECT_EQ(device_->received().back(), "get\r");
    ASSERT_EQ(result.differences.size(), 2u);
    EXPECT_EQ(result.differences[0].field.name, "WWAN2 APN");
    EXPECT_EQ(result.differences[0].expected, "apn.two");
    EXPECT_EQ(result.differences[0].actual, "old.apn");
    EXPECT_EQ(result.differences[1].field.name, "WWAN2 password");
    EXPECT_TRUE(result.differences[1].field.secret);
    EXPECT_EQ(result.error, "the device did not keep: WWAN2 APN, WWAN2 password");
    EXPECT_TRUE(log_.contains(spdlog::level::err, "Verify Failed WWAN2 APN, WWAN2 password"));
    EXPECT_FALSE(log_.anyContains("oldpw")) << "the read-back must not log a secret";

    ASSERT_TRUE(device_->setFaults({}, error)) << error;
    const OperationResult kept = writeVerifiedProfiles(*link_, profilesToWrite(), true);
    EXPECT_TRUE(kept.ok) << kept.error.toStdString();
    EXPECT_EQ(kept.outcome, "Verify Successfully");
    EXPECT_EQ(kept.profiles, profilesToWrite());
}

TEST_F(OperationsTest, AnUnansweredCommitFailsTheWriteWithinItsBound) {
    sim::Faults faults;
    faults.silentOn.push_back({"fw"});
    std::string error;
    ASSERT_TRUE(device_->setFaults(faults, error)) << error;
    const auto started = std::chrono::steady_clock::now();
    const OperationResult result = writeProfiles(*link_, profilesToWrite());
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.failedCommand, "fw\r");
    EXPECT_EQ(result.error, port_ + " Write Error.");
}

}  // namespace
}  // namespace kvu::device
