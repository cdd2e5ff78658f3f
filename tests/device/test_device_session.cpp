// The transactions over a real pseudo-terminal against the simulated device.
#include "device/device_session.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "sim/simulated_device.h"
#include "tests/support/log_capture.h"

namespace kvu::protocol {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto kReply = 800ms;
constexpr auto kFlash = 1200ms;
const char* const kCanaryPassword = "Canary-Pw-7f3a";
const char* const kCanaryPassphrase = "Canary-Phrase-9c1e";

sim::DeviceState deviceWithValues() {
    sim::DeviceState s;
    s.version = "2.1.7";
    s.mcuId = "0042ABCD";
    s.serial = "KV123456";
    for (int i = 0; i < 4; ++i) {
        const std::string n = std::to_string(i + 1);
        s.wwan[i] = {"apn" + n + ".example", "user " + n, "pw" + n, "1", "2"};
    }
    s.wifi = {"Field Net", "1", "0", "passphrase-1"};
    return s;
}

DeviceProfiles profilesToWrite() {
    DeviceProfiles p;
    for (int i = 0; i < kWwanCount; ++i) {
        const QString n = QString::number(i + 1);
        p.wwan[i] = {.apn = "internet" + n,
                     .userName = "op" + n,
                     .password = "secret" + n,
                     .pdpType = "0",
                     .authType = "2"};
    }
    p.wwan[0].password = kCanaryPassword;
    p.wwan[2].userName.clear();  // an empty value still goes out
    p.wifi = {"Site WLAN", "1", "0", kCanaryPassphrase};
    return p;
}

// Builds a fault set by naming only what differs from a well-behaved device.
sim::Faults faults(const std::function<void(sim::Faults&)>& change) {
    sim::Faults f;
    change(f);
    return f;
}

sim::Faults errorOn(const std::string& text) {
    return faults([&](sim::Faults& f) { f.errorOn = {{text, false}}; });
}

class DeviceSessionTest : public ::testing::Test {
  protected:
    void startDevice(sim::Faults faults = {}, sim::DeviceState initial = deviceWithValues()) {
        sim::DeviceConfig config;
        config.initial = std::move(initial);
        config.faults = std::move(faults);
        device_ = std::make_unique<sim::SimulatedDevice>(std::move(config));
        std::string error;
        ASSERT_TRUE(device_->start(error)) << error;
        channel_.setLinkLostHook([this] { ++linkLost_; });
        session_ = std::make_unique<DeviceSession>(channel_, ExchangeTimeouts{kReply, kFlash});
        ASSERT_TRUE(channel_.initSerial(QString::fromStdString(device_->slavePath())));
        ASSERT_TRUE(channel_.startRecvThread());
    }

    void setFaults(const sim::Faults& faults) {
        std::string error;
        ASSERT_TRUE(device_->setFaults(faults, error)) << error;
    }

    void TearDown() override {
        channel_.stopRecvThread();
        if (device_)
            device_->stop();
    }

    QString port() const { return channel_.comPort(); }

    test::LogCapture log_{spdlog::level::debug};
    std::unique_ptr<sim::SimulatedDevice> device_;
    SerialChannel channel_;
    std::unique_ptr<DeviceSession> session_;
    std::atomic<int> linkLost_{0};
};

TEST_F(DeviceSessionTest, ConnectSequenceReadsIdentityAndAllProfiles) {
    startDevice();
    ASSERT_TRUE(session_->queryVersion());
    QString error;
    ASSERT_TRUE(session_->readAll(error));
    EXPECT_TRUE(error.isEmpty());

    EXPECT_EQ(device_->received(), (std::vector<std::string>{"ver\r", "serial\r", "get\r"}));
    const DeviceIdentity id = session_->identity();
    EXPECT_EQ(id.version, "VER 2.1.7");
    EXPECT_EQ(id.mcuId, "MCUID 0042ABCD");
    EXPECT_EQ(id.serial, "KV123456");

    const DeviceProfiles p = session_->profiles();
    EXPECT_EQ(p.wwan[1].apn, "apn2.example");
    EXPECT_EQ(p.wwan[1].userName, "user 2");  // embedded space arrives whole
    EXPECT_EQ(p.wwan[3].password, "pw4");
    EXPECT_EQ(p.wwan[3].authType, "1");
    EXPECT_EQ(p.wwan[3].pdpType, "2");
    EXPECT_EQ(p.wifi, (WifiProfile{"Field Net", "1", "0", "passphrase-1"}));

    EXPECT_TRUE(log_.contains(spdlog::level::info, "CKVUUtilityDlg::QueryKvuVer"));
    EXPECT_TRUE(log_.contains(spdlog::level::info,
                              "KvuVersion:VER 2.1.7 KvuMcuID:MCUID 0042ABCD KvuSerial: KV123456"));
    EXPECT_TRUE(log_.contains(spdlog::level::info, "CKVUUtilityDlg::get_APN_WIFI_info"));
    EXPECT_TRUE(log_.contains(spdlog::level::debug, "CKVUUtilityDlg::ParseRecvData SetEvent"));
    EXPECT_TRUE(log_.contains(spdlog::level::debug, "CKVUUtilityDlg::ParseRecvData send:[get\r]"));
    EXPECT_EQ(linkLost_, 0);
}

TEST_F(DeviceSessionTest, WriteSendsTheTwentyFourLinesThenCommits) {
    startDevice();
    session_->setProfiles(profilesToWrite());
    QString error;
    ASSERT_TRUE(session_->writeAll(error)) << error.toStdString();
    ASSERT_TRUE(session_->commitProfiles(error)) << error.toStdString();

    const std::vector<std::string> expected = {"set 1 apn internet1\r",
                                               "set 1 user op1\r",
                                               "set 1 pw Canary-Pw-7f3a\r",
                                               "set 1 auth 2\r",
                                               "set 1 pdp 0\r",
                                               "set 2 apn internet2\r",
                                               "set 2 user op2\r",
                                               "set 2 pw secret2\r",
                                               "set 2 auth 2\r",
                                               "set 2 pdp 0\r",
                                               "set 3 apn internet3\r",
                                               "set 3 user \r",
                                               "set 3 pw secret3\r",
                                               "set 3 auth 2\r",
                                               "set 3 pdp 0\r",
                                               "set 4 apn internet4\r",
                                               "set 4 user op4\r",
                                               "set 4 pw secret4\r",
                                               "set 4 auth 2\r",
                                               "set 4 pdp 0\r",
                                               "set w ssid Site WLAN\r",
                                               "set w sec 1\r",
                                               "set w pw_type 0\r",
                                               "set w pw Canary-Phrase-9c1e\r",
                                               "fw\r"};
    EXPECT_EQ(device_->received(), expected);
    EXPECT_EQ(device_->committedState().wwan[0].pw, kCanaryPassword);
    EXPECT_EQ(device_->committedState().wifi.ssid, "Site WLAN");

    EXPECT_TRUE(log_.contains(spdlog::level::info, "CKVUUtilityDlg::set_APN_WIFI_info"));
    EXPECT_TRUE(log_.contains(spdlog::level::info, "Write WWAN 1 APN internet1"));
    EXPECT_TRUE(log_.contains(spdlog::level::info, "Write WWAN 1 password ********"));
    EXPECT_TRUE(log_.contains(spdlog::level::info, "Write WiFi passphrase ********"));
    EXPECT_TRUE(log_.contains(spdlog::level::info, "Write WiFi key_fmt 0"));
}

TEST_F(DeviceSessionTest, SecretsNeverReachTheLogAtAnyLevel) {
    startDevice();
    session_->setProfiles(profilesToWrite());
    QString error;
    ASSERT_TRUE(session_->writeAll(error));
    // Read the secrets back too, so they pass through the receive buffer and the parser.
    ASSERT_TRUE(session_->readAll(error));
    ASSERT_EQ(session_->profiles().wwan[0].password, kCanaryPassword);
    ASSERT_EQ(session_->profiles().wifi.passphrase, kCanaryPassphrase);
    ASSERT_GT(log_.lines().size(), 50u);  // debug echoes were written
    EXPECT_FALSE(log_.anyContains(kCanaryPassword));
    EXPECT_FALSE(log_.anyContains(kCanaryPassphrase));
    EXPECT_TRUE(log_.anyContains("pw ********"));
}

TEST_F(DeviceSessionTest, NegativeRepliesEndEachTransactionWithItsErrorText) {
    startDevice();
    QString error;

    setFaults(errorOn("get"));
    const DeviceProfiles before = session_->profiles();
    EXPECT_FALSE(session_->readAll(error));
    EXPECT_EQ(error, port() + " Reload Error.");
    EXPECT_EQ(session_->profiles(), before);
    EXPECT_TRUE(log_.contains(spdlog::level::err,
                              "CKVUUtilityDlg::get_APN_WIFI_info " + error.toStdString()));

    setFaults(errorOn("fe"));
    error.clear();
    EXPECT_FALSE(session_->erase(error));
    EXPECT_EQ(error, port() + " Erase Error.");

    setFaults(errorOn("fw"));
    error.clear();
    EXPECT_FALSE(session_->commitProfiles(error));
    EXPECT_EQ(error, port() + " Write Error.");

    // A refused serial query is not judged: the version query still succeeds, serial empty.
    setFaults(errorOn("serial"));
    EXPECT_TRUE(session_->queryVersion());
    EXPECT_TRUE(session_->identity().serial.isEmpty());
    EXPECT_EQ(linkLost_, 0);
}

TEST_F(DeviceSessionTest, RefusedPasswordOfWwan2StopsTheWriteThere) {
    startDevice();
    setFaults(errorOn("set 2 pw "));
    session_->setProfiles(profilesToWrite());
    device_->clearReceived();
    QString error;
    EXPECT_FALSE(session_->writeAll(error));
    EXPECT_EQ(error, port() + " Write Error.");
    const auto got = device_->received();
    ASSERT_EQ(got.size(), 8u);  // lines 1 to 8 went out, 9 to 24 did not
    EXPECT_EQ(got.back(), "set 2 pw secret2\r");
    EXPECT_EQ(channel_.currentCommand(), "set 2 pw secret2\r");
    EXPECT_TRUE(log_.contains(spdlog::level::err,
                              "CKVUUtilityDlg::set_APN_WIFI_info " + error.toStdString()));
    EXPECT_FALSE(log_.anyContains("Write WWAN 2 Auth"));
}

TEST_F(DeviceSessionTest, UnansweredCommandsFailWithinTheirBound) {
    startDevice();
    struct Case {
        const char* name;
        std::function<bool(QString&)> run;
        std::chrono::milliseconds bound;
    };
    const Case cases[] = {
        {"ver", [&](QString&) { return session_->queryVersion(); }, kReply},
        {"get", [&](QString& e) { return session_->readAll(e); }, kReply},
        {"set", [&](QString& e) { return session_->writeAll(e); }, kReply},
        {"fe", [&](QString& e) { return session_->erase(e); }, kFlash},
        {"fw", [&](QString& e) { return session_->commitProfiles(e); }, kFlash},
    };
    setFaults(faults([](sim::Faults& f) { f.silentAll = true; }));
    for (const Case& c : cases) {
        QString error;
        const auto start = Clock::now();
        EXPECT_FALSE(c.run(error)) << c.name;
        const auto took = Clock::now() - start;
        EXPECT_GE(took, c.bound - 50ms) << c.name;
        EXPECT_LT(took, c.bound + 700ms) << c.name;
        if (std::string(c.name) != "ver") {
            EXPECT_EQ(error, port() + " Write Error.") << c.name;
        }
    }
    EXPECT_TRUE(log_.anyContains("wait time-out"));
}

TEST_F(DeviceSessionTest, ErrorToTheVersionQueryIsNeverAnAnswer) {
    startDevice(errorOn("ver"));
    EXPECT_FALSE(session_->queryVersion());
    EXPECT_EQ(device_->received(), std::vector<std::string>{"ver\r"});
    EXPECT_TRUE(log_.contains(spdlog::level::err, "CKVUUtilityDlg::QueryKvuVer " +
                                                      port().toStdString() + " Write Error."));
}

TEST_F(DeviceSessionTest, HangUpDuringAnExchangeFailsAtOnceWithOneLossNotice) {
    startDevice(faults([](sim::Faults& f) { f.silentOn = {{"get", false}}; }));
    std::thread unplug([&] {
        device_->waitForCommands(1, 2s);
        device_->hangUp();
    });
    QString error;
    const auto start = Clock::now();
    EXPECT_FALSE(session_->readAll(error));
    const auto took = Clock::now() - start;
    unplug.join();
    EXPECT_LT(took, kReply);  // ended by the loss, not by the time-out
    EXPECT_EQ(error, port() + " Write Error.");
    EXPECT_TRUE(log_.anyContains("link lost"));

    const auto deadline = Clock::now() + 2s;
    while (linkLost_ == 0 && Clock::now() < deadline)
        std::this_thread::sleep_for(5ms);
    EXPECT_EQ(linkLost_, 1);
    EXPECT_FALSE(channel_.isOpen());
    // Later transactions fail at once without a second notice.
    EXPECT_FALSE(session_->erase(error));
    EXPECT_EQ(linkLost_, 1);
}

TEST_F(DeviceSessionTest, AwkwardButValidRepliesAreUnderstood) {
    startDevice();
    struct Case {
        const char* name;
        sim::Faults faults;
    };
    const Case cases[] = {
        {"one-byte chunks", faults([](sim::Faults& f) {
             f.chunkSize = 1;
             f.chunkGap = 0ms;
         })},
        {"upper-case echo", faults([](sim::Faults& f) { f.upperCaseEcho = true; })},
        {"NUL byte in every reply", faults([](sim::Faults& f) { f.nulAt = 3; })},
        {"paced at 9600 baud", faults([](sim::Faults& f) { f.baud = 9600; })},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        setFaults(c.faults);
        session_->setProfiles({});
        QString error;
        ASSERT_TRUE(session_->readAll(error)) << error.toStdString();
        EXPECT_EQ(session_->profiles().wwan[2].userName, "user 3");
        EXPECT_EQ(session_->profiles().wifi.passphrase, "passphrase-1");
        ASSERT_TRUE(session_->queryVersion());
        EXPECT_EQ(session_->identity().mcuId, "MCUID 0042ABCD");

        DeviceProfiles p = session_->profiles();
        ASSERT_TRUE(session_->writeAll(error))
            << error.toStdString() << " at " << channel_.currentCommand().toStdString() << " buf["
            << channel_.receiveBuffer().toStdString() << "]";
        ASSERT_TRUE(session_->commitProfiles(error)) << error.toStdString();
        EXPECT_EQ(session_->profiles(), p);
    }
}

// A device that writes its replies line by line lets the buffer end in "ERROR\r\n" after a line
// whose value ends in ERROR, before the rest of the reply is in: that is no refusal, neither of
// the read-all reply nor of a set line's echo.
TEST_F(DeviceSessionTest, ValuesEndingInErrorSurviveRepliesWrittenLineByLine) {
    startDevice();
    struct Position {
        const char* name;
        void (*change)(DeviceProfiles&);
    };
    const Position positions[] = {
        {"first line", [](DeviceProfiles& p) { p.wwan[0].apn = "fooERROR"; }},
        {"middle line", [](DeviceProfiles& p) { p.wwan[2].userName = "ERROR"; }},
        {"24th line", [](DeviceProfiles& p) { p.wifi.passphrase = "NOERROR"; }},
    };
    struct Mode {
        const char* name;
        sim::Faults faults;
    };
    const Mode modes[] = {
        {"line at a time", faults([](sim::Faults& f) { f.lineAtATime = true; })},
        {"line at a time, paced at 19200 baud", faults([](sim::Faults& f) {
             f.lineAtATime = true;
             f.baud = 19200;
         })},
    };
    for (const Mode& mode : modes) {
        for (const Position& position : positions) {
            SCOPED_TRACE(std::string(mode.name) + ", " + position.name);
            DeviceProfiles values = profilesToWrite();
            position.change(values);
            session_->setProfiles(values);
            QString error;
            // The set lines' echoes, the one with the value ending in ERROR among them.
            setFaults(mode.faults);
            ASSERT_TRUE(session_->writeAll(error))
                << error.toStdString() << " at " << channel_.currentCommand().toStdString();
            EXPECT_EQ(device_->state().wwan[0].apn, values.wwan[0].apn.toStdString());
            EXPECT_EQ(device_->state().wwan[2].user, values.wwan[2].userName.toStdString());
            EXPECT_EQ(device_->state().wifi.pw, values.wifi.passphrase.toStdString());

            session_->setProfiles({});
            ASSERT_TRUE(session_->readAll(error)) << error.toStdString();
            EXPECT_EQ(session_->profiles(), values);
        }
    }
    // A refusal is still one: "ERROR\r\n" on a line of its own, written line by line.
    setFaults(faults([](sim::Faults& f) {
        f.lineAtATime = true;
        f.errorOn = {{"get", false}, {"set 1 apn", false}};
    }));
    QString error;
    EXPECT_FALSE(session_->readAll(error));
    EXPECT_EQ(error, port() + " Reload Error.");
    EXPECT_FALSE(session_->writeAll(error));
    EXPECT_EQ(error, port() + " Write Error.");
    EXPECT_EQ(linkLost_, 0);
}

TEST_F(DeviceSessionTest, BabblingDeviceCannotHangOrFloodTheHost) {
    startDevice(faults([](sim::Faults& f) { f.babble = true; }));
    QString error;
    const auto start = Clock::now();
    session_->readAll(error);  // may or may not make sense of the junk
    EXPECT_LT(Clock::now() - start, kReply + 700ms);
    std::this_thread::sleep_for(300ms);
    EXPECT_LE(channel_.receiveBuffer().size(), SerialChannel::kReceiveCap);
    // Once the device calms down the link works normally again.
    setFaults({});
    std::this_thread::sleep_for(100ms);
    ASSERT_TRUE(session_->readAll(error)) << error.toStdString();
    EXPECT_EQ(session_->profiles().wwan[0].apn, "apn1.example");
}

}  // namespace
}  // namespace kvu::protocol
