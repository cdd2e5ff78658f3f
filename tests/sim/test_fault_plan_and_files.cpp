#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sim/fault_plan.h"
#include "sim/sim_options.h"
#include "sim/state_file.h"

namespace kvu::sim {
namespace {

TEST(FaultPlan, ChoosesTheFateOfEachCommand) {
    Faults f;
    f.errorAt = {2, 5};
    f.errorOn = {{"2 pw", false}, {"^set w (ssid|sec) ", true}};
    f.silentAt = {5, 7};
    f.silentOn = {{"fe", false}};
    FaultPlan plan;
    std::string error;
    ASSERT_TRUE(FaultPlan::compile(f, plan, error)) << error;

    struct Case {
        std::size_t index;
        const char* line;
        CommandFate fate;
    };
    const Case cases[] = {
        {1, "ver\r", CommandFate::Answer},
        {2, "ver\r", CommandFate::Error},
        {3, "set 2 pw secret\r", CommandFate::Error},
        {3, "set 1 pw secret\r", CommandFate::Answer},
        {4, "set w ssid x\r", CommandFate::Error},
        {4, "set w pw x\r", CommandFate::Answer},
        {4, "xset w ssid x\r", CommandFate::Answer},  // the regex is anchored
        {5, "ver\r", CommandFate::Silent},            // silence wins over the error
        {6, "fe\r", CommandFate::Silent},
        {7, "get\r", CommandFate::Silent},
        {8, "get\r", CommandFate::Answer},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.index) + " " + c.line);
        EXPECT_EQ(plan.fate(c.index, c.line), c.fate);
    }

    f = {};
    f.silentAll = true;
    ASSERT_TRUE(FaultPlan::compile(f, plan, error));
    EXPECT_EQ(plan.fate(1, "ver\r"), CommandFate::Silent);
}

TEST(FaultPlan, RejectsABadRegularExpression) {
    Faults f;
    f.errorOn = {{"set (", true}};
    FaultPlan plan;
    std::string error;
    EXPECT_FALSE(FaultPlan::compile(f, plan, error));
    EXPECT_NE(error.find("set ("), std::string::npos);
    // The same text as a plain substring is fine.
    f.errorOn = {{"set (", false}};
    EXPECT_TRUE(FaultPlan::compile(f, plan, error));
}

TEST(FaultPlan, ShapesReplies) {
    Faults f;
    f.upperCaseEcho = true;
    f.nulAt = 3;
    f.noiseBefore = "\x01\xff";
    f.noiseAfter = "~~";
    FaultPlan plan;
    std::string error;
    ASSERT_TRUE(FaultPlan::compile(f, plan, error));
    EXPECT_EQ(plan.shape("set w ssid a-b\r\n", CommandKind::Set),
              std::string("\x01\xffSET\0 W SSID A-B\r\n~~", 21));
    // Only repeated set lines are upper-cased; the zero byte lands at the end of a short reply.
    EXPECT_EQ(plan.shape("ok", CommandKind::Version), std::string("\x01\xffok\0~~", 7));

    f = {};
    f.chunkSize = 4;
    ASSERT_TRUE(FaultPlan::compile(f, plan, error));
    EXPECT_EQ(plan.chunks("FE OK\r\n"), (std::vector<std::string>{"FE O", "K\r\n"}));
    EXPECT_EQ(plan.chunks("abc"), (std::vector<std::string>{"abc"}));
    EXPECT_EQ(plan.byteTime().count(), 0);
    f.baud = 9600;
    ASSERT_TRUE(FaultPlan::compile(f, plan, error));
    EXPECT_NEAR(static_cast<double>(plan.byteTime().count()), 1.0417e6, 1e3);
}

TEST(FaultPlan, LineAtATimeCutsAfterEveryLineFeed) {
    struct Case {
        std::size_t chunkSize;
        std::string bytes;
        std::vector<std::string> pieces;
    };
    const Case cases[] = {
        {0, "GET 1 apn a\r\nGET 1 user b\r\n", {"GET 1 apn a\r\n", "GET 1 user b\r\n"}},
        {0, "set 1 apn xERROR\r\n", {"set 1 apn xERROR\r\n"}},
        {0, "\r\n\nab", {"\r\n", "\n", "ab"}},                // an unterminated tail is a piece too
        {4, "FE OK\r\nab\r\n", {"FE O", "K\r\n", "ab\r\n"}},  // chunks never span lines
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        Faults f;
        f.lineAtATime = true;
        f.chunkSize = c.chunkSize;
        FaultPlan plan;
        std::string error;
        ASSERT_TRUE(FaultPlan::compile(f, plan, error));
        EXPECT_EQ(plan.chunks(c.bytes), c.pieces);
    }
}

TEST(FaultPlan, WithoutMcuIdTheVersionReplyIsItsFirstLine) {
    Faults f;
    f.omitMcuId = true;
    FaultPlan plan;
    std::string error;
    ASSERT_TRUE(FaultPlan::compile(f, plan, error));
    EXPECT_EQ(plan.shape("VER 1.0\r\nMCUID 01\r\n", CommandKind::Version), "VER 1.0\r\n");
    // Other replies keep every line.
    EXPECT_EQ(plan.shape("GET 1 apn a\r\nGET 1 user b\r\n", CommandKind::ReadAll),
              "GET 1 apn a\r\nGET 1 user b\r\n");
}

TEST(StateFile, RoundTripsAwkwardValues) {
    DeviceState s;
    s.wwan[0].apn = "with spaces ";
    s.wwan[1].pw = "back\\slash";
    s.wwan[2].user = std::string("ctl\r\n\0\x7f", 8);
    s.wwan[3].auth = "2";
    s.wifi.ssid = "caf\xc3\xa9";
    s.wifi.pw = "";
    DeviceState loaded;
    loaded.version = "keep";
    std::string error;
    ASSERT_TRUE(parseStateFile(formatStateFile(s), loaded, error)) << error;
    EXPECT_TRUE(sameProfiles(loaded, s));
    EXPECT_EQ(loaded.version, "keep");
    // One field per line: no value may break the line structure.
    const std::string text = formatStateFile(s);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 25);
}

TEST(StateFile, RejectsMalformedFilesWithoutTouchingTheState) {
    const char* const texts[] = {
        "",
        "something else\n1 apn x\n",
        "kvu-sim state 1\n1 nokey x\n",
        "kvu-sim state 1\n1 apn bad\\x4\n",
        "kvu-sim state 1\n1 apn bad\\q00\n",
        "kvu-sim state 1\n9 apn x\n",
        "kvu-sim state 1\n1 apn\n",
    };
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        DeviceState s;
        s.wwan[0].apn = "unchanged";
        std::string error;
        EXPECT_FALSE(parseStateFile(text, s, error));
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(s.wwan[0].apn, "unchanged");
    }
    // Missing fields take their factory values.
    DeviceState s;
    s.wwan[1].apn = "stale";
    std::string error;
    ASSERT_TRUE(parseStateFile("kvu-sim state 1\n1 apn x\n", s, error)) << error;
    EXPECT_EQ(s.wwan[0].apn, "x");
    EXPECT_EQ(s.wwan[1].apn, "");
}

TEST(StateFile, SavesAndLoadsThroughTheFileSystem) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("kvu-sim-state-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "device.state").string();
    DeviceState s;
    bool found = true;
    std::string error;
    ASSERT_TRUE(loadStateFile(path, s, found, error)) << error;
    EXPECT_FALSE(found);

    s.wifi.ssid = "net";
    ASSERT_TRUE(saveStateFile(path, s, error)) << error;
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
    DeviceState loaded;
    ASSERT_TRUE(loadStateFile(path, loaded, found, error)) << error;
    EXPECT_TRUE(found);
    EXPECT_EQ(loaded.wifi.ssid, "net");

    EXPECT_FALSE(saveStateFile((dir / "missing" / "x").string(), s, error));
    EXPECT_FALSE(error.empty());
    std::filesystem::remove_all(dir);
}

TEST(SimOptions, ParsesEveryOption) {
    const std::vector<std::string> args = {"--link",
                                           "/tmp/kvu0",
                                           "--state=/tmp/s",
                                           "--fw-version",
                                           "3.1",
                                           "--mcuid",
                                           "M1",
                                           "--serial",
                                           "S9",
                                           "--init",
                                           "2 apn my apn",
                                           "--init",
                                           "w sec 1",
                                           "--error-at",
                                           "3",
                                           "--error-at",
                                           "7",
                                           "--error-match",
                                           "2 pw",
                                           "--error-regex",
                                           "^set w",
                                           "--silent",
                                           "--silent-at",
                                           "4",
                                           "--silent-match",
                                           "fe",
                                           "--silent-regex",
                                           "g.t",
                                           "--delay",
                                           "25",
                                           "--chunk",
                                           "5",
                                           "--chunk-gap",
                                           "9",
                                           "--upper-echo",
                                           "--nul-at",
                                           "0",
                                           "--noise-before",
                                           "\\x00\\xfe",
                                           "--noise-after",
                                           "\\r\\n!",
                                           "--babble",
                                           "--babble-text",
                                           "zz",
                                           "--baud",
                                           "9600",
                                           "--hang-up-after",
                                           "12",
                                           "--replug-after",
                                           "300",
                                           "--line-at-a-time",
                                           "--no-mcuid",
                                           "--forget-on-commit",
                                           "2 apn",
                                           "--forget-on-commit=w pw",
                                           "--usb-sysfs",
                                           "/tmp/sys",
                                           "--usb-path",
                                           "3-2.4.1"};
    SimOptions o;
    const ParseResult r = parseSimOptions(args, o);
    ASSERT_TRUE(r.ok) << r.error;
    const DeviceConfig& c = o.config;
    const Faults& f = c.faults;
    EXPECT_FALSE(o.help);
    EXPECT_EQ(c.linkPath, "/tmp/kvu0");
    EXPECT_EQ(c.stateFile, "/tmp/s");
    EXPECT_EQ(c.initial.version, "3.1");
    EXPECT_EQ(c.initial.mcuId, "M1");
    EXPECT_EQ(c.initial.serial, "S9");
    EXPECT_EQ(c.initial.wwan[1].apn, "my apn");
    EXPECT_EQ(c.initial.wifi.sec, "1");
    EXPECT_EQ(f.errorAt, (std::vector<std::size_t>{3, 7}));
    ASSERT_EQ(f.errorOn.size(), 2u);
    EXPECT_EQ(f.errorOn[0].text, "2 pw");
    EXPECT_FALSE(f.errorOn[0].regex);
    EXPECT_TRUE(f.errorOn[1].regex);
    EXPECT_TRUE(f.silentAll);
    EXPECT_EQ(f.silentAt, (std::vector<std::size_t>{4}));
    ASSERT_EQ(f.silentOn.size(), 2u);
    EXPECT_TRUE(f.silentOn[1].regex);
    EXPECT_EQ(f.replyDelay.count(), 25);
    EXPECT_EQ(f.chunkSize, 5u);
    EXPECT_EQ(f.chunkGap.count(), 9);
    EXPECT_TRUE(f.upperCaseEcho);
    ASSERT_TRUE(f.nulAt.has_value());
    EXPECT_EQ(*f.nulAt, 0u);
    EXPECT_EQ(f.noiseBefore, std::string("\0\xfe", 2));
    EXPECT_EQ(f.noiseAfter, "\r\n!");
    EXPECT_TRUE(f.babble);
    EXPECT_EQ(f.babbleText, "zz");
    EXPECT_EQ(f.baud, 9600u);
    EXPECT_EQ(f.hangUpAfter, 12u);
    EXPECT_EQ(f.replugAfter.count(), 300);
    EXPECT_TRUE(f.lineAtATime);
    EXPECT_TRUE(f.omitMcuId);
    EXPECT_EQ(f.forgetOnCommit, (std::vector<FieldName>{{'2', "apn"}, {'w', "pw"}}));
    EXPECT_EQ(c.usb.root, "/tmp/sys");
    EXPECT_EQ(c.usb.path, "3-2.4.1");

    SimOptions help;
    ASSERT_TRUE(parseSimOptions({"--help"}, help).ok);
    EXPECT_TRUE(help.help);
    EXPECT_TRUE(help.config.faults.forgetOnCommit.empty());
    EXPECT_TRUE(help.config.usb.root.empty());
    EXPECT_EQ(help.config.usb.path, "1-1.1");
}

TEST(SimOptions, RejectsBadInput) {
    const std::vector<std::vector<std::string>> bad = {
        {"--bogus"},
        {"--link"},
        {"--delay", "-5"},
        {"--delay", "1s"},
        {"--error-at", "0"},
        {"--chunk", ""},
        {"--init", "9 apn x"},
        {"--noise-after", "\\x4"},
        {"--noise-after", "\\q"},
        {"--silent=yes"},
        {"--baud", "fast"},
        {"--forget-on-commit", "9 apn"},
        {"--forget-on-commit", "w passphrase"},
        {"--forget-on-commit", "2apn"},
        {"--forget-on-commit", "2 apn x"},
        {"--forget-on-commit", ""},
        {"--usb-sysfs", ""},
        {"--usb-sysfs", "/tmp/sys"},
        {"--usb-path", "1-1.2"},
        {"--link", "/tmp/l", "--usb-sysfs", "/tmp/sys", "--usb-path", "1-1"},
        {"--link", "/tmp/l", "--usb-sysfs", "/tmp/sys", "--usb-path", "1-1."},
        {"--link", "/tmp/l", "--usb-sysfs", "/tmp/sys", "--usb-path", "1-a.2"},
        {"--link", "/tmp/l", "--usb-sysfs", "/tmp/sys", "--usb-path", "-1.2"},
    };
    for (const auto& args : bad) {
        std::string joined;
        for (const std::string& a : args) {
            joined += a + " ";
        }
        SCOPED_TRACE(joined);
        SimOptions o;
        const ParseResult r = parseSimOptions(args, o);
        EXPECT_FALSE(r.ok);
        EXPECT_FALSE(r.error.empty());
    }
}

}  // namespace
}  // namespace kvu::sim
