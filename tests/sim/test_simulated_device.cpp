#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "sim/simulated_device.h"
#include "tests/sim/pty_client.h"

namespace kvu::sim {
namespace {

using namespace std::chrono_literals;
using test::PtyClient;
using Clock = std::chrono::steady_clock;

constexpr std::string_view kVer = "VER 1.0.0\r\nMCUID 0001\r\n";
// The version reply holds two line ends; wait for the second.
constexpr std::string_view kVerEnd = "MCUID 0001\r\n";

std::filesystem::path scratchDir(const std::string& name) {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("kvu-sim-" + name + "-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

// A running device with a client attached to its line.
struct Bench {
    explicit Bench(DeviceConfig config = {}) : device(std::move(config)) {
        std::string error;
        started = device.start(error);
        EXPECT_TRUE(started) << error;
        if (started) {
            EXPECT_TRUE(client.open(device.slavePath(), error)) << error;
        }
    }
    SimulatedDevice device;
    PtyClient client;
    bool started = false;
};

TEST(SimulatedDevice, AnswersIdentityAndRecordsTheBytesItGot) {
    DeviceConfig config;
    config.initial.version = "2.0.6";
    config.initial.mcuId = "MCU-77";
    config.initial.serial = "KV0042";
    Bench b(config);
    ASSERT_TRUE(b.started);
    EXPECT_EQ(b.client.exchange("ver\r", "MCU-77\r\n"), "VER 2.0.6\r\nMCUID MCU-77\r\n");
    // A line feed after the carriage return is not part of the command.
    EXPECT_EQ(b.client.exchange("serial\r\n"), "SERIAL KV0042\r\n");
    EXPECT_EQ(b.client.exchange("nonsense\r"), "ERROR\r\n");
    EXPECT_EQ(b.device.received(), (std::vector<std::string>{"ver\r", "serial\r", "nonsense\r"}));
    EXPECT_EQ(b.device.commandCount(), 3u);
    b.device.clearReceived();
    EXPECT_TRUE(b.device.received().empty());
    EXPECT_EQ(b.device.commandCount(), 3u);
}

TEST(SimulatedDevice, SetThenGetRoundTripsSpacesAndEmptyValues) {
    DeviceConfig config;
    config.initial.wwan[1].user = "to be cleared";
    Bench b(config);
    ASSERT_TRUE(b.started);
    const std::vector<std::string> lines = {
        "set 1 apn internet provider\r",
        "set 1 pw  lead and trail \r",
        "set 2 user \r",
        "set 4 auth 2\r",
        "set w ssid Guest Net\r",
        "set w pw_type 1\r",
    };
    for (const std::string& line : lines) {
        EXPECT_EQ(b.client.exchange(line), line + "\n");
    }
    const std::string reply = b.client.exchange("get\r", "GET w pw \r\n");
    EXPECT_EQ(std::count(reply.begin(), reply.end(), '\n'), 24);
    EXPECT_NE(reply.find("GET 1 apn internet provider\r\n"), std::string::npos);
    EXPECT_NE(reply.find("GET 1 pw  lead and trail \r\n"), std::string::npos);
    EXPECT_NE(reply.find("GET 2 user \r\nGET 2 pw \r\n"), std::string::npos);
    EXPECT_NE(reply.find("GET 4 auth 2\r\nGET 4 pdp 0\r\n"), std::string::npos);
    EXPECT_NE(reply.find("GET w ssid Guest Net\r\nGET w sec 0\r\nGET w pw_type 1\r\n"),
              std::string::npos);
    const DeviceState s = b.device.state();
    EXPECT_EQ(s.wwan[0].pw, " lead and trail ");
    EXPECT_EQ(s.wwan[1].user, "");
    EXPECT_EQ(s.wifi.ssid, "Guest Net");
    // Nothing is committed before "fw".
    EXPECT_EQ(b.device.committedState().wifi.ssid, "");
    EXPECT_EQ(b.client.exchange("fw\r"), "FW OK\r\n");
    EXPECT_EQ(b.device.committedState().wifi.ssid, "Guest Net");
}

TEST(SimulatedDevice, EraseReturnsToFactoryValues) {
    DeviceConfig config;
    config.initial.wwan[0].apn = "apn";
    config.initial.wwan[2].auth = "1";
    config.initial.wifi.sec = "1";
    Bench b(config);
    ASSERT_TRUE(b.started);
    EXPECT_EQ(b.client.exchange("fe\r"), "FE OK\r\n");
    const std::string reply = b.client.exchange("get\r", "GET w pw \r\n");
    EXPECT_NE(reply.find("GET 1 apn \r\n"), std::string::npos);
    EXPECT_NE(reply.find("GET 3 auth 0\r\n"), std::string::npos);
    EXPECT_NE(reply.find("GET w sec 0\r\n"), std::string::npos);
    EXPECT_TRUE(sameProfiles(b.device.state(), DeviceState{}));
    EXPECT_TRUE(sameProfiles(b.device.committedState(), DeviceState{}));
}

TEST(SimulatedDevice, CommittedValuesSurviveARestartWithAStateFile) {
    const auto dir = scratchDir("restart");
    DeviceConfig config;
    config.stateFile = (dir / "kvu.state").string();
    {
        Bench b(config);
        ASSERT_TRUE(b.started);
        EXPECT_EQ(b.client.exchange("set 3 apn kept value\r"), "set 3 apn kept value\r\n");
        EXPECT_EQ(b.client.exchange("fw\r"), "FW OK\r\n");
        // Set but never committed: lost on restart.
        EXPECT_EQ(b.client.exchange("set w ssid lost\r"), "set w ssid lost\r\n");
    }
    {
        Bench b(config);
        ASSERT_TRUE(b.started);
        const std::string reply = b.client.exchange("get\r", "GET w pw \r\n");
        EXPECT_NE(reply.find("GET 3 apn kept value\r\n"), std::string::npos) << reply;
        EXPECT_NE(reply.find("GET w ssid \r\n"), std::string::npos) << reply;
    }
    std::filesystem::remove_all(dir);
}

TEST(SimulatedDevice, ACommitThatCannotBeSavedIsRefused) {
    const auto dir = scratchDir("unsaved");
    DeviceConfig config;
    config.stateFile = (dir / "no-such-dir" / "kvu.state").string();
    Bench b(config);
    ASSERT_TRUE(b.started);
    EXPECT_EQ(b.client.exchange("set 1 apn x\r"), "set 1 apn x\r\n");
    EXPECT_EQ(b.client.exchange("fw\r"), "ERROR\r\n");
    EXPECT_EQ(b.device.committedState().wwan[0].apn, "");
    std::filesystem::remove_all(dir);
}

TEST(SimulatedDevice, RefusesTheNthCommandAndMatchingCommands) {
    DeviceConfig config;
    config.faults.errorAt = {2};
    config.faults.errorOn = {{"2 pw", false}, {"^set w s", true}};
    Bench b(config);
    ASSERT_TRUE(b.started);
    EXPECT_EQ(b.client.exchange("ver\r", kVerEnd), kVer);
    EXPECT_EQ(b.client.exchange("ver\r"), "ERROR\r\n");
    EXPECT_EQ(b.client.exchange("ver\r", kVerEnd), kVer);
    EXPECT_EQ(b.client.exchange("set 1 pw a\r"), "set 1 pw a\r\n");
    EXPECT_EQ(b.client.exchange("set 2 pw b\r"), "ERROR\r\n");
    EXPECT_EQ(b.client.exchange("set w ssid c\r"), "ERROR\r\n");
    EXPECT_EQ(b.client.exchange("set w pw d\r"), "set w pw d\r\n");
    // Refused lines leave the values alone.
    const DeviceState s = b.device.state();
    EXPECT_EQ(s.wwan[0].pw, "a");
    EXPECT_EQ(s.wwan[1].pw, "");
    EXPECT_EQ(s.wifi.ssid, "");
    EXPECT_EQ(s.wifi.pw, "d");

    std::string error;
    Faults bad;
    bad.errorOn = {{"(", true}};
    EXPECT_FALSE(b.device.setFaults(bad, error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(b.device.faults().errorAt, (std::vector<std::size_t>{2}));
}

TEST(SimulatedDevice, SilenceSwallowsTheReply) {
    DeviceConfig config;
    config.faults.silentAt = {2};
    config.faults.silentOn = {{"w pw", false}};
    Bench b(config);
    ASSERT_TRUE(b.started);
    EXPECT_EQ(b.client.exchange("ver\r", kVerEnd), kVer);
    ASSERT_TRUE(b.client.send("serial\r"));
    ASSERT_TRUE(b.device.waitForCommands(2, 3s));
    ASSERT_TRUE(b.client.send("set w pw x\r"));
    ASSERT_TRUE(b.device.waitForCommands(3, 3s));
    // Had either been answered, its reply would come before this one.
    EXPECT_EQ(b.client.exchange("fe\r"), "FE OK\r\n");

    std::string error;
    Faults all;
    all.silentAll = true;
    ASSERT_TRUE(b.device.setFaults(all, error)) << error;
    ASSERT_TRUE(b.client.send("ver\r"));
    ASSERT_TRUE(b.device.waitForCommands(5, 3s));
    ASSERT_TRUE(b.device.setFaults(Faults{}, error)) << error;
    EXPECT_EQ(b.client.exchange("fw\r"), "FW OK\r\n");
}

TEST(SimulatedDevice, ReplyShapingIsVisibleInTheBytes) {
    DeviceConfig config;
    config.faults.upperCaseEcho = true;
    Bench b(config);
    ASSERT_TRUE(b.started);
    EXPECT_EQ(b.client.exchange("set w ssid Lab-2\r"), "SET W SSID LAB-2\r\n");
    EXPECT_EQ(b.device.state().wifi.ssid, "Lab-2");

    Faults f;
    f.nulAt = 4;
    f.noiseBefore = "\x13\x80";
    f.noiseAfter = "#";
    std::string error;
    ASSERT_TRUE(b.device.setFaults(f, error)) << error;
    EXPECT_EQ(b.client.exchange("fe\r", "#"), std::string("\x13\x80"
                                                          "FE O\0K\r\n#",
                                                          11));

    f = {};
    f.chunkSize = 5;
    f.chunkGap = 30ms;
    ASSERT_TRUE(b.device.setFaults(f, error)) << error;
    EXPECT_EQ(b.client.exchange("ver\r", kVerEnd), kVer);
    // 23 bytes in five pieces: at least four gaps between first and last byte.
    EXPECT_GE(b.client.firstToLast(), 4 * 30ms - 5ms);
    EXPECT_GE(b.client.readSizes().size(), 2u);
    for (std::size_t size : b.client.readSizes()) {
        EXPECT_LE(size, 10u);
    }
}

TEST(SimulatedDevice, LineAtATimeWritesEachLineOnItsOwn) {
    DeviceConfig config;
    config.faults.lineAtATime = true;
    config.faults.chunkGap = 30ms;
    Bench b(config);
    ASSERT_TRUE(b.started);
    const std::string all = b.client.exchange("get\r", "GET w pw \r\n");
    ASSERT_EQ(std::count(all.begin(), all.end(), '\n'), 24);
    // 24 lines with 23 gaps, and no read holds two lines (the longest is "GET w pw_type 0\r\n").
    EXPECT_GE(b.client.firstToLast(), 23 * 30ms - 5ms);
    EXPECT_GE(b.client.readSizes().size(), 24u);
    for (std::size_t size : b.client.readSizes()) {
        EXPECT_LE(size, 17u);
    }

    // Paced as well: still whole and still slower than the gaps alone.
    Faults f = config.faults;
    f.chunkGap = 5ms;
    f.baud = 19200;  // about 0.5 ms a byte
    std::string error;
    ASSERT_TRUE(b.device.setFaults(f, error)) << error;
    EXPECT_EQ(b.client.exchange("ver\r", kVerEnd), kVer);
    // The first read may come late and take the whole first line; the second line's 12 bytes
    // are paced after the gap in any case.
    EXPECT_GE(b.client.firstToLast(), 5ms + 11 * 500us);
}

TEST(SimulatedDevice, CanAnswerTheVersionQueryWithoutMcuId) {
    DeviceConfig config;
    config.faults.omitMcuId = true;
    Bench b(config);
    ASSERT_TRUE(b.started);
    EXPECT_EQ(b.client.exchange("ver\r"), "VER 1.0.0\r\n");
    // Nothing more follows.
    EXPECT_EQ(b.client.readUntil([](const std::string&) { return false; }, 100ms), "");
}

TEST(SimulatedDevice, DelayAndBaudPacingSlowTheReply) {
    DeviceConfig config;
    config.faults.replyDelay = 80ms;
    Bench b(config);
    ASSERT_TRUE(b.started);
    auto t0 = Clock::now();
    EXPECT_EQ(b.client.exchange("ver\r", kVerEnd), kVer);
    EXPECT_GE(Clock::now() - t0, 80ms);

    Faults f;
    f.baud = 2400;  // about 4.2 ms a byte
    std::string error;
    ASSERT_TRUE(b.device.setFaults(f, error)) << error;
    t0 = Clock::now();
    EXPECT_EQ(b.client.exchange("ver\r", kVerEnd), kVer);
    EXPECT_GE(Clock::now() - t0, 22 * 4ms);  // 23 bytes, 22 byte times between first and last
}

TEST(SimulatedDevice, BabblesUntilToldToStopAndStillAnswers) {
    DeviceConfig config;
    config.faults.babble = true;
    config.faults.babbleText = "<junk>";
    Bench b(config);
    ASSERT_TRUE(b.started);
    const std::string junk =
        b.client.readUntil([](const std::string& s) { return s.size() >= 200; }, 3s);
    ASSERT_GE(junk.size(), 200u);
    EXPECT_NE(junk.find("<junk><junk><junk>"), std::string::npos);
    const std::string mixed = b.client.exchange("ver\r", "MCUID 0001\r\n");
    EXPECT_NE(mixed.find(kVer), std::string::npos);

    std::string error;
    ASSERT_TRUE(b.device.setFaults(Faults{}, error)) << error;
    // Once the stream has dried up, a reply arrives alone.
    b.client.readUntil([](const std::string&) { return false; }, 100ms);
    EXPECT_EQ(b.client.exchange("fe\r"), "FE OK\r\n");
}

TEST(SimulatedDevice, HangUpIsSeenByTheClientAndReplugMovesTheLink) {
    const auto dir = scratchDir("replug");
    DeviceConfig config;
    config.linkPath = (dir / "ttyKVU").string();
    Bench b(config);
    ASSERT_TRUE(b.started);
    EXPECT_EQ(std::filesystem::read_symlink(config.linkPath).string(), b.device.slavePath());
    EXPECT_EQ(b.client.exchange("ver\r", kVerEnd), kVer);

    b.device.hangUp();
    EXPECT_FALSE(b.device.plugged());
    EXPECT_TRUE(b.device.slavePath().empty());
    EXPECT_TRUE(b.client.waitForHangUp(3s));
    EXPECT_FALSE(std::filesystem::is_symlink(config.linkPath));

    std::string error;
    ASSERT_TRUE(b.device.replug(error)) << error;
    EXPECT_EQ(std::filesystem::read_symlink(config.linkPath).string(), b.device.slavePath());
    PtyClient again;
    ASSERT_TRUE(again.open(config.linkPath, error)) << error;
    EXPECT_EQ(again.exchange("serial\r"), "SERIAL SIM0001\r\n");
    b.device.stop();
    EXPECT_FALSE(std::filesystem::is_symlink(config.linkPath));
    std::filesystem::remove_all(dir);
}

TEST(SimulatedDevice, HangsUpAfterTheNthCommandAndComesBackByItself) {
    const auto dir = scratchDir("autoreplug");
    DeviceConfig config;
    config.linkPath = (dir / "ttyKVU").string();
    config.faults.hangUpAfter = 2;
    config.faults.replugAfter = 50ms;
    Bench b(config);
    ASSERT_TRUE(b.started);
    EXPECT_EQ(b.client.exchange("ver\r", kVerEnd), kVer);
    EXPECT_EQ(b.client.exchange("serial\r"), "SERIAL SIM0001\r\n");
    EXPECT_TRUE(b.client.waitForHangUp(3s));

    const auto deadline = Clock::now() + 3s;
    while (!b.device.plugged() && Clock::now() < deadline) {
        b.device.waitForCommands(1000, 5ms);
    }
    ASSERT_TRUE(b.device.plugged());
    PtyClient again;
    std::string error;
    ASSERT_TRUE(again.open(config.linkPath, error)) << error;
    EXPECT_EQ(again.exchange("ver\r", kVerEnd), kVer);
    EXPECT_EQ(b.device.commandCount(), 3u);
    std::filesystem::remove_all(dir);
}

TEST(SimulatedDevice, RefusesToReplaceAFileWithTheLink) {
    const auto dir = scratchDir("nolink");
    const auto path = dir / "precious";
    { std::ofstream(path) << "data"; }
    DeviceConfig config;
    config.linkPath = path.string();
    SimulatedDevice device(config);
    std::string error;
    EXPECT_FALSE(device.start(error));
    EXPECT_NE(error.find("not a symlink"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_regular_file(path));
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kvu::sim
