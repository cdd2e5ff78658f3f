#include <gtest/gtest.h>

#include <string>

#include "sim/command_handler.h"
#include "sim/line_assembler.h"

namespace kvu::sim {
namespace {

// The reply to "get" written out from the wire table, independent of the device's own formatter.
std::string expectedReadAll(const DeviceState& s) {
    std::string out;
    for (int n = 0; n < 4; ++n) {
        const std::string a = std::to_string(n + 1);
        const WwanValues& w = s.wwan[static_cast<std::size_t>(n)];
        out += "GET " + a + " apn " + w.apn + "\r\n";
        out += "GET " + a + " user " + w.user + "\r\n";
        out += "GET " + a + " pw " + w.pw + "\r\n";
        out += "GET " + a + " auth " + w.auth + "\r\n";
        out += "GET " + a + " pdp " + w.pdp + "\r\n";
    }
    out += "GET w ssid " + s.wifi.ssid + "\r\n";
    out += "GET w sec " + s.wifi.sec + "\r\n";
    out += "GET w pw_type " + s.wifi.pwType + "\r\n";
    out += "GET w pw " + s.wifi.pw + "\r\n";
    return out;
}

TEST(CommandTable, IdentityReplies) {
    DeviceState s;
    s.version = "2.0.6";
    s.mcuId = "0x3A21";
    s.serial = "KV123456";
    EXPECT_EQ(handleCommand("ver\r", s).reply, "VER 2.0.6\r\nMCUID 0x3A21\r\n");
    EXPECT_EQ(handleCommand("serial\r", s).reply, "SERIAL KV123456\r\n");
}

TEST(CommandTable, SetLinesStoreTheRestOfTheLineAndEchoIt) {
    struct Case {
        const char* line;
        std::string (*read)(const DeviceState&);
        const char* expected;
    };
    const Case cases[] = {
        {"set 1 apn internet.example\r", [](const DeviceState& s) { return s.wwan[0].apn; },
         "internet.example"},
        {"set 2 user john smith \r", [](const DeviceState& s) { return s.wwan[1].user; },
         "john smith "},
        {"set 3 pw \r", [](const DeviceState& s) { return s.wwan[2].pw; }, ""},
        {"set 4 auth 2\r", [](const DeviceState& s) { return s.wwan[3].auth; }, "2"},
        {"set 4 pdp 1\r", [](const DeviceState& s) { return s.wwan[3].pdp; }, "1"},
        {"set w ssid my  net\r", [](const DeviceState& s) { return s.wifi.ssid; }, "my  net"},
        {"set w sec 1\r", [](const DeviceState& s) { return s.wifi.sec; }, "1"},
        {"set w pw_type 1\r", [](const DeviceState& s) { return s.wifi.pwType; }, "1"},
        {"set w pw p@ss word\r", [](const DeviceState& s) { return s.wifi.pw; }, "p@ss word"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        DeviceState s;
        s.wwan[2].pw = "old";
        const CommandOutcome out = handleCommand(c.line, s);
        EXPECT_EQ(out.kind, CommandKind::Set);
        EXPECT_EQ(out.reply, std::string(c.line) + "\n");
        EXPECT_EQ(c.read(s), c.expected);
    }
}

TEST(CommandTable, MalformedCommandsAreRefusedAndChangeNothing) {
    const char* const lines[] = {
        "set 0 apn x\r", "set 5 apn x\r",    "set 1 ssid x\r", "set w apn x\r",
        "set 1 apn\r",   "set 1apn x\r",     "SET 1 apn x\r",  "set  1 apn x\r",
        "Ver\r",         "ver \r",           "gett\r",         "\r",
        "fw x\r",        "set w pw_typ 1\r", "set 1 auth\r",   "set x apn y\r",
    };
    for (const char* line : lines) {
        SCOPED_TRACE(line);
        DeviceState s;
        s.wwan[0].apn = "kept";
        const CommandOutcome out = handleCommand(line, s);
        EXPECT_EQ(out.kind, CommandKind::Invalid);
        EXPECT_EQ(out.reply, "ERROR\r\n");
        EXPECT_EQ(s.wwan[0].apn, "kept");
        EXPECT_TRUE(sameProfiles(s, [] {
            DeviceState k;
            k.wwan[0].apn = "kept";
            return k;
        }()));
    }
}

TEST(CommandTable, ReadAllListsTheTwentyFourFieldsInWireOrder) {
    DeviceState s;
    s.wwan[0].apn = "a p n";
    s.wwan[1].user = "u2";
    s.wwan[2].pw = "secret";
    s.wwan[3].auth = "2";
    s.wwan[3].pdp = "1";
    s.wifi.ssid = "office";
    s.wifi.pw = "pass phrase";
    const CommandOutcome out = handleCommand("get\r", s);
    EXPECT_EQ(out.kind, CommandKind::ReadAll);
    EXPECT_EQ(out.reply, expectedReadAll(s));
}

TEST(CommandTable, EraseRestoresFactoryValuesAndKeepsIdentity) {
    DeviceState s;
    s.version = "9.9";
    ASSERT_EQ(handleCommand("set 1 apn x\r", s).kind, CommandKind::Set);
    ASSERT_EQ(handleCommand("set w sec 1\r", s).kind, CommandKind::Set);
    const CommandOutcome out = handleCommand("fe\r", s);
    EXPECT_EQ(out.reply, "FE OK\r\n");
    EXPECT_EQ(s.version, "9.9");
    EXPECT_EQ(s.wwan[0].apn, "");
    EXPECT_EQ(s.wwan[0].auth, "0");
    EXPECT_EQ(s.wifi.sec, "0");
    EXPECT_EQ(handleCommand("get\r", s).reply, expectedReadAll(DeviceState{}));
}

TEST(CommandTable, CommitAnswersOk) {
    DeviceState s;
    const CommandOutcome out = handleCommand("fw\r", s);
    EXPECT_EQ(out.kind, CommandKind::Commit);
    EXPECT_EQ(out.reply, "FW OK\r\n");
}

TEST(LineAssembler, SplitsOnCarriageReturnAndDropsTheFollowingLineFeed) {
    LineAssembler a;
    EXPECT_TRUE(a.feed("ve").empty());
    auto lines = a.feed("r\r");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].bytes, "ver\r");
    // The line feed arrives in the next chunk and still belongs to the previous line.
    lines = a.feed("\nserial\r\nget\r");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].bytes, "serial\r");
    EXPECT_EQ(lines[1].bytes, "get\r");
    // A line feed that does not follow a carriage return is part of the line.
    lines = a.feed("\n\nfe\r");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].bytes, std::string("\nfe\r"));
    lines = a.feed(std::string("a\0b\r", 4));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].bytes, std::string("a\0b\r", 4));
}

TEST(LineAssembler, OverlongLinesAreMarkedAndTheNextLineIsClean) {
    LineAssembler a;
    const std::string huge = "set 1 apn " + std::string(LineAssembler::kMaxLineBytes * 2, 'x');
    auto lines = a.feed(huge + "\rver\r");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[0].overlong);
    EXPECT_LE(lines[0].bytes.size(), LineAssembler::kMaxLineBytes);
    EXPECT_EQ(lines[0].bytes.back(), '\r');
    EXPECT_FALSE(lines[1].overlong);
    EXPECT_EQ(lines[1].bytes, "ver\r");
}

}  // namespace
}  // namespace kvu::sim
