#include <gtest/gtest.h>

#include <QStringList>
#include <optional>
#include <string>
#include <vector>

#include "protocol/response_parser.h"

namespace kvu::protocol {
namespace {

std::string show(const QString& s) {
    std::string out;
    for (QChar c : s) {
        if (c == u'\r') {
            out += "\\r";
        } else if (c == u'\n') {
            out += "\\n";
        } else {
            out += QString(c).toStdString();
        }
    }
    return out;
}

void expectNoValues(const ParsedReply& r) {
    EXPECT_FALSE(r.version.has_value());
    EXPECT_FALSE(r.mcuId.has_value());
    EXPECT_FALSE(r.serial.has_value());
    EXPECT_FALSE(r.profiles.has_value());
    EXPECT_FALSE(r.versionEvent);
}

// --- version -------------------------------------------------------------------------------

TEST(VersionReply, RulesForVersionAndMcuLines) {
    struct Case {
        QString buffer;
        ReplyState state;
        std::optional<QString> version;
        std::optional<QString> mcuId;
    };
    const auto P = ReplyState::Positive;
    const auto I = ReplyState::Incomplete;
    const std::vector<Case> cases = {
        {"VER 1.2.3\r\n", P, "VER 1.2.3", std::nullopt},
        {"VER 1.2.3\r\nMCUID 0A1B\r\n", P, "VER 1.2.3", "MCUID 0A1B"},
        {"VER 1.2.3\r\nSN 4711\r\n", P, "VER 1.2.3", "SN 4711"},
        // Both markers: the split is at "SN ", CR/LF dropped only at the ends.
        // An identity is one line: the MCU id line that "SN " overrules is no part of the version.
        {"VER 1.2.3\r\nMCUID 0A1B\r\nSN 4711\r\n", P, "VER 1.2.3", "SN 4711"},
        // Stray lines in front of the version line, and control characters, are left out.
        {"FE OK\r\nVER 1.2.3\r\nMCUID 0A1B\r\n", P, "VER 1.2.3", "MCUID 0A1B"},
        {"VER 1.\x1b[2J2\t3\r\nMCUID 0A\x7f"
         "1B\r\n",
         P, "VER 1.[2J23", "MCUID 0A1B"},
        {"\r\n\r\nVER 2\r\r\nMCUID X\n\r\n", P, "VER 2", "MCUID X"},
        {"\r\nSN 55\r\n", P, std::nullopt, "SN 55"},
        {"\r\nMCUID 66\r\n", P, std::nullopt, "MCUID 66"},
        {"VER 1.2.3\r\nMCUID 0A1B", I, std::nullopt, std::nullopt},
        {"VER 1.2.3", I, std::nullopt, std::nullopt},
        {"VER 1.2.3\r", I, std::nullopt, std::nullopt},
        {"\r\nSN 55", I, std::nullopt, std::nullopt},
        {"\r\nMCUID 66\r", I, std::nullopt, std::nullopt},
        {"x\r\nSN 55\r\n", I, std::nullopt, std::nullopt},
        {"\r\nMCU 66\r\n", I, std::nullopt, std::nullopt},
        {"ver 1\r\n", I, std::nullopt, std::nullopt},  // keywords are case-sensitive
        {"ERROR\r\n", I, std::nullopt, std::nullopt},
        {"", I, std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(show(c.buffer));
        const ParsedReply r = parseReply("ver\r", c.buffer);
        EXPECT_TRUE(r.handled);
        EXPECT_EQ(r.state, c.state);
        EXPECT_EQ(r.version, c.version);
        EXPECT_EQ(r.mcuId, c.mcuId);
        EXPECT_EQ(r.versionEvent, c.state == ReplyState::Positive);
        EXPECT_FALSE(r.serial.has_value());
        EXPECT_FALSE(r.profiles.has_value());
    }
}

TEST(VersionReply, ChunksCompleteOnlyWithTheFinalCrLf) {
    const QStringList chunks = {"VE", "R 3.0.1", "\r\nMCU", "ID 1234", "\r", "\n"};
    QString buffer;
    for (qsizetype i = 0; i < chunks.size(); ++i) {
        buffer += chunks[i];
        SCOPED_TRACE(show(buffer));
        const ParsedReply r = parseReply("ver\r", buffer);
        if (i + 1 < chunks.size()) {
            EXPECT_EQ(r.state, ReplyState::Incomplete);
        } else {
            EXPECT_EQ(r.state, ReplyState::Positive);
            EXPECT_EQ(r.version, QString("VER 3.0.1"));
            EXPECT_EQ(r.mcuId, QString("MCUID 1234"));
        }
    }
}

// --- serial --------------------------------------------------------------------------------

TEST(SerialReply, SevenCharacterLeadInIsDropped) {
    struct Case {
        QString buffer;
        ReplyState state;
        std::optional<QString> serial;
    };
    const auto P = ReplyState::Positive;
    const auto I = ReplyState::Incomplete;
    const std::vector<Case> cases = {
        {"SERIAL:KV12345\r\n", P, "KV12345"},
        {"SERIAL AB 12\r\n", P, "AB 12"},
        {"1234567\r\n", P, ""},
        {"123\r\n", P, ""},
        {"ERROR\r\n", P, ""},
        // The reply is one line; what follows it is not the serial number.
        {"lead-in\r\n\r\nXYZ\r\n", P, ""},
        {"SERIAL KV1\r\nSERIAL KV2\r\n", P, "KV1"},
        {QString("SERIAL K\x1bV\x01") + QChar(0x9B) + "1\r\n", P, "KV1"},
        // Line breaks in front do not shift the lead-in, whatever its text.
        {"\r\nSERIAL SB\r\n", P, "SB"},
        {"\n\r\n\rSERIAL:KV12345\r\n", P, "KV12345"},
        {"\r\n#$%&*()A1\r\n", P, "A1"},
        {"\r\nERROR\r\n", P, ""},
        {"\r\nSERIAL SB", I, std::nullopt},
        // Nothing but line breaks is not the reply yet.
        {"\r\n", I, std::nullopt},
        {"\r\n\r\n\n", I, std::nullopt},
        {"SERIAL:KV12345", I, std::nullopt},
        {"SERIAL:KV12345\r", I, std::nullopt},
        {"", I, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(show(c.buffer));
        const ParsedReply r = parseReply("serial\r", c.buffer);
        EXPECT_TRUE(r.handled);
        EXPECT_EQ(r.state, c.state);
        EXPECT_EQ(r.serial, c.serial);
        EXPECT_FALSE(r.version.has_value());
        EXPECT_FALSE(r.versionEvent);
    }
}

// --- erase and commit ----------------------------------------------------------------------

// Replies that store nothing: each buffer gives the expected state and no values.
struct StateCase {
    QString cmd;
    QString buffer;
    ReplyState state;
};

void expectStatesWithoutValues(const std::vector<StateCase>& cases) {
    for (const StateCase& c : cases) {
        SCOPED_TRACE(show(c.cmd) + " <- " + show(c.buffer));
        const ParsedReply r = parseReply(c.cmd, c.buffer);
        EXPECT_TRUE(r.handled);
        EXPECT_EQ(r.state, c.state);
        expectNoValues(r);
    }
}

TEST(EraseCommitReply, OnlyTheExactTextsComplete) {
    const auto P = ReplyState::Positive;
    const auto N = ReplyState::Negative;
    const auto I = ReplyState::Incomplete;
    const auto M = ReplyState::Mismatch;
    const std::vector<StateCase> cases = {
        {"fe\r", "FE OK\r\n", P},
        {"fw\r", "FW OK\r\n", P},
        // Any other line can never become the reply.
        {"fw\r", "FE OK\r\n", M},
        {"fe\r", "FW OK\r\n", M},
        {"fw\r", "xFW OK\r\n", M},
        {"fe\r", "fe ok\r\n", M},
        {"fw\r", "FW", I},
        {"fe\r", "FE OK\r", I},
        // The line breaks that close the previous reply may come first; text after it is later.
        {"fw\r", "\nFW OK\r\n", P},
        {"fw\r", "FW OK\r\nx", P},
        {"fe\r", "", I},
        {"fe\r", "ERROR\r\n", N},
        {"fw\r", "ERROR\r\n", N},
        {"fw\r", "fw\r\nERROR\r\n", N},
        {"fe\r", "FE OK\r\nERROR\r\n", N},
        {"fw\r", "ERROR\r", I},
    };
    expectStatesWithoutValues(cases);
}

// --- set lines -----------------------------------------------------------------------------

TEST(SetReply, EchoInAnyAsciiCaseOrTrailingError) {
    const auto P = ReplyState::Positive;
    const auto N = ReplyState::Negative;
    const auto I = ReplyState::Incomplete;
    const auto M = ReplyState::Mismatch;
    const QString auth = "set 1 auth 1\r";
    const std::vector<StateCase> cases = {
        {auth, "set 1 auth 1\r", P},
        {auth, "SET 1 AUTH 1\r", P},
        {auth, "Set 1 Auth 1\r\n", P},
        {auth, "set 1 auth 1\r\nOK\r\n", P},  // nothing after the echo is looked at
        {"set 2 pw Ab\r", "SET 2 PW AB\r", P},
        {"set w pw \r", "set w pw \r", P},
        {auth, "set 1 auth 1", I},      // closing CR missing
        {auth, "set 1 auth 2\r", M},    // another line's echo is never this one's
        {auth, "\nset 1 auth 1\r", P},  // the LF that ended the previous echo
        {auth, "GET 1 apn x\r\n", M},
        {auth, "ERR", I},
        {auth, "set 1 auth", I},
        {auth, "", I},
        {auth, "ERROR\r\n", N},
        {auth, "set 1 auth 1\rERROR\r\n", N},
        {auth, "\r\nERROR\r\n", N},
        {auth, "set 1 auth 1\r\nERROR\r\n", N},
        // Refused only by a line of its own: text ending in "ERROR" is not the refusal.
        {auth, "noise ERROR\r\n", M},
        {auth, "xERROR\r\n", M},
        // Only A-Z fold; other letters must match exactly.
        {QString::fromUtf8("set w ssid caf\xc3\xa9\r"),
         QString::fromUtf8("SET W SSID CAF\xc3\x89\r"), M},
        {QString::fromUtf8("set w ssid caf\xc3\xa9\r"),
         QString::fromUtf8("SET W SSID CAF\xc3\xa9\r"), P},
        // A value ending in "ERROR" is still an echo, not a refusal.
        {"set 1 apn ERROR\r", "set 1 apn ERROR\r\n", P},
        {"set 1 apn ERROR\r", "set 1 apn ERROR\rERROR\r\n", N},
        {"set 1 apn fooERROR\r", "set 1 apn fooERR", I},
        {"set 1 apn fooERROR\r", "set 1 apn fooERROR\r", P},
        {"set 1 apn fooERROR\r", "SET 1 APN FOOERROR\r\n", P},
        {"set 1 user ERROR\r", "set 1 user ERROR\r\n", P},
        {"set 1 apn fooERROR\r", "set 1 apn fooERROR\r\nERROR\r\n", N},
    };
    expectStatesWithoutValues(cases);
}

// --- other commands ------------------------------------------------------------------------

TEST(UnknownCommand, IsNotHandledAndCarriesNothing) {
    const QStringList commands = {
        "",    "ver",      "VER\r",          "Serial\r", "get", "GET\r", "fe", "Set 1 apn x\r",
        "set", "sets 1\r", " set 1 apn x\r", "xyz\r"};
    for (const QString& cmd : commands) {
        SCOPED_TRACE(show(cmd));
        for (const QString& buffer :
             {QString("FE OK\r\n"), QString("ERROR\r\n"), QString("VER 1\r\n"), QString(cmd)}) {
            const ParsedReply r = parseReply(cmd, buffer);
            EXPECT_FALSE(r.handled);
            EXPECT_EQ(r.state, ReplyState::Incomplete);
            expectNoValues(r);
        }
    }
}

// --- read-all ------------------------------------------------------------------------------

DeviceProfiles sampleProfiles() {
    DeviceProfiles p;
    for (int i = 0; i < kWwanCount; ++i) {
        const QString n = QString::number(i + 1);
        WwanProfile& w = p.wwan[static_cast<size_t>(i)];
        w.apn = "apn.net" + n;
        w.userName = "user " + n;
        w.password = "pw" + n + " x";
        w.authType = QString::number(i % 3);
        w.pdpType = QString::number((i + 2) % 3);
    }
    p.wifi.ssid = "Home Net";
    p.wifi.security = "1";
    p.wifi.keyFormat = "0";
    p.wifi.passphrase = "pass phrase";
    return p;
}

// The 24 lines as a device would send them; `number` replaces the WWAN digit.
QStringList readAllLines(const DeviceProfiles& p, std::optional<int> number = std::nullopt) {
    QStringList lines;
    for (int i = 0; i < kWwanCount; ++i) {
        const QString n = QString::number(number.value_or(i + 1));
        const WwanProfile& w = p.wwan[static_cast<size_t>(i)];
        lines << "GET " + n + " apn " + w.apn << "GET " + n + " user " + w.userName
              << "GET " + n + " pw " + w.password << "GET " + n + " auth " + w.authType
              << "GET " + n + " pdp " + w.pdpType;
    }
    lines << "GET w ssid " + p.wifi.ssid << "GET w sec " + p.wifi.security
          << "GET w pw_type " + p.wifi.keyFormat << "GET w pw " + p.wifi.passphrase;
    return lines;
}

QString joined(const QStringList& lines, const QString& separator) {
    QString out;
    for (const QString& line : lines) {
        out += line + separator;
    }
    return out;
}

TEST(ReadAllReply, SeparatorsOfAnyKindGiveTheSameRecords) {
    const DeviceProfiles p = sampleProfiles();
    const QStringList lines = readAllLines(p);
    QString mixed;
    const QStringList seps = {"\r", "\n", "\r\n", "\n\r", "\r\n\r\n"};
    for (qsizetype i = 0; i < lines.size(); ++i) {
        mixed += lines[i] + seps[i % seps.size()];
    }
    const QStringList buffers = {joined(lines, "\r\n"),
                                 joined(lines, "\r"),
                                 joined(lines, "\n"),
                                 mixed,
                                 "\r\n\n\r" + joined(lines, "\r\n"),
                                 joined(readAllLines(p, 7), "\r\n")};
    for (const QString& buffer : buffers) {
        SCOPED_TRACE(show(buffer.left(40)));
        const ParsedReply r = parseReply("get\r", buffer);
        EXPECT_TRUE(r.handled);
        EXPECT_EQ(r.state, ReplyState::Positive);
        ASSERT_TRUE(r.profiles.has_value());
        EXPECT_EQ(*r.profiles, p);
        EXPECT_FALSE(r.versionEvent);
    }
}

TEST(ReadAllReply, ShortLinesGiveEmptyFieldsAndSpacesStay) {
    QStringList lines = readAllLines(sampleProfiles());
    lines[0] = "GET 1 apn ";       // prefix alone
    lines[1] = "GET 1 user";       // the space of an empty value left off
    lines[2] = "GET 1 pw  a b  ";  // spaces belong to the value
    lines[23] = "get w PW z";      // keywords in any case
    const ParsedReply r = parseReply("get\r", joined(lines, "\r\n"));
    ASSERT_EQ(r.state, ReplyState::Positive);
    ASSERT_TRUE(r.profiles.has_value());
    EXPECT_EQ(r.profiles->wwan[0].apn, QString(""));
    EXPECT_EQ(r.profiles->wwan[0].userName, QString(""));
    EXPECT_EQ(r.profiles->wwan[0].password, QString(" a b  "));
    EXPECT_EQ(r.profiles->wifi.passphrase, QString("z"));
    EXPECT_EQ(r.profiles->wwan[1], sampleProfiles().wwan[1]);
}

// A line in front (a late reply, a repeated command) would shift every value one field down:
// a reply whose lines do not carry their own keywords is no read-all reply, and carries nothing.
TEST(ReadAllReply, LinesThatDoNotCarryTheirKeywordAreAMismatch) {
    const QStringList lines = readAllLines(sampleProfiles());
    struct Case {
        const char* name;
        QString buffer;
        QString misfit;
    };
    QStringList pwTypeTwice = lines;
    pwTypeTwice[23] = "GET w pw_type 0";
    QStringList shortLine = lines;
    shortLine[1] = "GET";
    QStringList wrongKeyword = lines;
    wrongKeyword[10] = "GET 3 ap x";
    const std::vector<Case> cases = {
        {"late erase reply in front", "FE OK\r\n" + joined(lines, "\r\n"), "FE OK"},
        {"repeated command in front", "get\r\n" + joined(lines, "\r\n"), "get"},
        {"first line missing", joined(lines.mid(1), "\r\n") + "GET w pw x\r\n", lines[1]},
        {"24th line from the 23rd", joined(pwTypeTwice, "\r\n"), "GET w pw_type 0"},
        {"fewer characters than the keyword", joined(shortLine, "\r\n"), "GET"},
        {"another keyword", joined(wrongKeyword, "\r\n"), "GET 3 ap x"},
        {"seen before the reply is whole", "FE OK\r\nGET 1 apn x\r\n", "FE OK"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ParsedReply r = parseReply("get\r", c.buffer);
        EXPECT_EQ(r.state, ReplyState::Mismatch);
        EXPECT_EQ(r.misfit, c.misfit);
        EXPECT_FALSE(r.profiles.has_value());
    }
}

TEST(ReadAllReply, CompleteOnlyWhenTheTwentyFourthLineIsClosed) {
    const DeviceProfiles p = sampleProfiles();
    const QStringList lines = readAllLines(p);
    const QString first23 = joined(lines.mid(0, 23), "\r\n");

    struct Case {
        QString buffer;
        ReplyState state;
    };
    const std::vector<Case> cases = {
        {"", ReplyState::Incomplete},
        {"\r\n\r\n", ReplyState::Incomplete},
        {joined(lines.mid(0, 5), "\r\n"), ReplyState::Incomplete},
        {first23, ReplyState::Incomplete},
        {first23 + "GET w pw pass", ReplyState::Incomplete},
        {first23 + lines[23], ReplyState::Incomplete},
        {first23 + lines[23] + "\r", ReplyState::Positive},
        {first23 + lines[23] + "\n", ReplyState::Positive},
        {first23 + lines[23] + "\r\n", ReplyState::Positive},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(show(c.buffer.right(30)));
        const ParsedReply r = parseReply("get\r", c.buffer);
        EXPECT_TRUE(r.handled);
        EXPECT_EQ(r.state, c.state);
        if (c.state == ReplyState::Positive) {
            ASSERT_TRUE(r.profiles.has_value());
            EXPECT_EQ(*r.profiles, p);
        } else {
            EXPECT_FALSE(r.profiles.has_value());
        }
    }
}

TEST(ReadAllReply, LinesAfterTheTwentyFourthAreIgnored) {
    const DeviceProfiles p = sampleProfiles();
    const QString buffer =
        joined(readAllLines(p), "\r\n") + "GET 1 apn other\r\nGET 1 user partial";
    const ParsedReply r = parseReply("get\r", buffer);
    ASSERT_EQ(r.state, ReplyState::Positive);
    ASSERT_TRUE(r.profiles.has_value());
    EXPECT_EQ(*r.profiles, p);
}

TEST(ReadAllReply, TrailingErrorIsNegativeWithoutValues) {
    const QStringList lines = readAllLines(sampleProfiles());
    const QStringList buffers = {"ERROR\r\n",
                                 "get\r\nERROR\r\n",
                                 joined(lines.mid(0, 3), "\r\n") + "ERROR\r\n",
                                 joined(lines.mid(0, 23), "\r\n") + "ERROR\r\n",
                                 joined(lines, "\r\n") + "ERROR\r\n",
                                 "\r\nERROR\r\n",
                                 joined(lines.mid(0, 7), "\n") + "ERROR\r\n",
                                 joined(lines.mid(0, 2), "\r") + "ERROR\r\n"};
    for (const QString& buffer : buffers) {
        SCOPED_TRACE(show(buffer.right(30)));
        const ParsedReply r = parseReply("get\r", buffer);
        EXPECT_TRUE(r.handled);
        EXPECT_EQ(r.state, ReplyState::Negative);
        expectNoValues(r);
    }
}

// Values ending in "ERROR" in the first, a middle and the last line: every prefix of the reply
// (a chunk may end anywhere) is incomplete, never a refusal, until the 24th line is closed.
TEST(ReadAllReply, ValuesEndingInErrorAreNeverARefusal) {
    struct Case {
        const char* name;
        void (*change)(DeviceProfiles&);
    };
    const Case cases[] = {
        {"first line", [](DeviceProfiles& p) { p.wwan[0].apn = "fooERROR"; }},
        {"middle line", [](DeviceProfiles& p) { p.wwan[2].userName = "ERROR"; }},
        {"24th line", [](DeviceProfiles& p) { p.wifi.passphrase = "NOERROR"; }},
        {"every line",
         [](DeviceProfiles& p) {
             for (WwanProfile& w : p.wwan) {
                 w = {"aERROR", "ERROR", "pwERROR", "ERROR", "ERROR"};
             }
             p.wifi = {"ERROR", "ERROR", "ERROR", "ERROR"};
         }},
    };
    for (const Case& c : cases) {
        DeviceProfiles p = sampleProfiles();
        c.change(p);
        for (const QString& separator : {QString("\r\n"), QString("\n")}) {
            SCOPED_TRACE(std::string(c.name) + " " + show(separator));
            const QString buffer = joined(readAllLines(p), separator);
            // The 24th line is closed by its first separator character.
            const qsizetype closedAt = buffer.size() - separator.size() + 1;
            for (qsizetype n = 0; n <= buffer.size(); ++n) {
                const ParsedReply r = parseReply("get\r", buffer.left(n));
                if (n < closedAt) {
                    ASSERT_EQ(r.state, ReplyState::Incomplete) << show(buffer.left(n).right(30));
                    ASSERT_FALSE(r.profiles.has_value());
                } else {
                    ASSERT_EQ(r.state, ReplyState::Positive) << n;
                    ASSERT_TRUE(r.profiles.has_value());
                    EXPECT_EQ(*r.profiles, p);
                }
            }
        }
    }
}

}  // namespace
}  // namespace kvu::protocol
