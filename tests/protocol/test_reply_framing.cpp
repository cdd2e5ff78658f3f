#include <gtest/gtest.h>

#include <QStringList>
#include <optional>
#include <vector>

#include "protocol/reply_framing.h"

namespace kvu::protocol {
namespace {

QString readAllReply(const QString& wwan1Apn) {
    QString out;
    const char* wwan[] = {"apn", "user", "pw", "auth", "pdp"};
    for (int n = 1; n <= 4; ++n) {
        for (const char* key : wwan) {
            const QString value = n == 1 && QString(key) == "apn" ? wwan1Apn : QString("0");
            out += QString("GET %1 %2 %3\r\n").arg(n).arg(key, value);
        }
    }
    out += "GET w ssid s\r\nGET w sec 1\r\nGET w pw_type 0\r\nGET w pw p\r\n";
    return out;
}

// What is left of earlier exchanges is set aside only by its own grammar, and only where the
// device may still owe it; everything else in front of a reply fails the exchange.
TEST(ReplyFraming, LateRepliesInFrontAreSetAsideByTheirOwnGrammar) {
    const auto P = ReplyState::Positive;
    const auto I = ReplyState::Incomplete;
    const auto M = ReplyState::Mismatch;
    struct Case {
        const char* name;
        QString cmd;
        QString buffer;
        std::vector<QString> unanswered;
        bool versionTail;
        ReplyState state;
        QStringList setAside;
        std::size_t lateAnswered;
    };
    const QString get = readAllReply("apn.one");
    const std::vector<Case> cases = {
        {"erase answered after its wait",
         "get\r",
         "FE OK\r\n" + get,
         {"fe\r"},
         false,
         P,
         {"fe\r"},
         1},
        {"commit answered after its wait",
         "get\r",
         "FW OK\r\n" + get,
         {"fw\r"},
         false,
         P,
         {"fw\r"},
         1},
        {"a refused erase after its wait",
         "get\r",
         "ERROR\r\n" + get,
         {"fe\r"},
         false,
         P,
         {"fe\r"},
         1},
        {"nothing owed: the same text is no reply",
         "get\r",
         "FE OK\r\n" + get,
         {},
         false,
         M,
         {},
         0},
        {"owed something else", "get\r", "FE OK\r\n" + get, {"fw\r"}, false, M, {}, 0},
        {"the older owed reply never came",
         "get\r",
         "FW OK\r\n" + get,
         {"fe\r", "fw\r"},
         false,
         P,
         {"fw\r"},
         2},
        {"a late echo before the next",
         "set 1 user u\r",
         "set 1 apn a\r\nset 1 user u\r\n",
         {"set 1 apn a\r"},
         false,
         P,
         {"set 1 apn a\r"},
         1},
        {"a late read-all before an echo",
         "set 1 apn a\r",
         get + "set 1 apn a\r\n",
         {"get\r"},
         false,
         P,
         {"get\r"},
         1},
        {"a late read-all still arriving",
         "set 1 apn a\r",
         "GET 1 apn x\r\nGET 1 us",
         {"get\r"},
         false,
         I,
         {},
         0},
        {"a late refusal before the serial reply",
         "serial\r",
         "ERROR\r\nSERIAL KV7\r\n",
         {"set 1 apn a\r"},
         false,
         P,
         {"set 1 apn a\r"},
         1},
        {"own reply wins over an owed one", "get\r", get, {"get\r"}, false, P, {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const FramedReply f = frameReply(c.cmd, c.buffer, {c.unanswered, c.versionTail});
        EXPECT_TRUE(f.reply.handled);
        EXPECT_EQ(f.reply.state, c.state);
        EXPECT_EQ(f.lateCommands, c.setAside);
        EXPECT_EQ(f.lateAnswered, c.lateAnswered);
        EXPECT_FALSE(f.tailMcuId.has_value());
        if (c.state == P && c.cmd == "get\r") {
            ASSERT_TRUE(f.reply.profiles.has_value());
            EXPECT_EQ(f.reply.profiles->wwan[0].apn, "apn.one");
            EXPECT_EQ(f.reply.profiles->wifi.passphrase, "p");
            EXPECT_EQ(f.reply.length, c.buffer.size());
        }
        if (c.state == M) {
            EXPECT_EQ(f.reply.misfit, "FE OK");
        }
    }
}

// A version reply may complete with its version line before its MCU id line has come; that line
// then arrives in front of the serial number and belongs to the identity, not to the serial.
TEST(ReplyFraming, TheVersionReplysMcuIdLineBeforeTheSerialNumber) {
    struct Case {
        const char* name;
        QString buffer;
        bool versionTail;
        ReplyState state;
        std::optional<QString> serial;
        std::optional<QString> mcuId;
    };
    const auto P = ReplyState::Positive;
    const auto I = ReplyState::Incomplete;
    const std::vector<Case> cases = {
        {"tail then serial", "MCUID 3F00CDUM\r\nSERIAL KVW012\r\n", true, P, "KVW012",
         "MCUID 3F00CDUM"},
        {"SN tail", "\nSN 55\r\nSERIAL KVW012\r\n", true, P, "KVW012", "SN 55"},
        {"tail still arriving", "MCUID 3F00", true, I, std::nullopt, std::nullopt},
        {"tail alone", "MCUID 3F00CDUM\r\n", true, I, std::nullopt, "MCUID 3F00CDUM"},
        {"no tail came", "SERIAL KVW012\r\n", true, P, "KVW012", std::nullopt},
        {"not expected: taken as the reply", "MCUID 3F00CDUM\r\n", false, P, "F00CDUM",
         std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const FramedReply f = frameReply("serial\r", c.buffer, {{}, c.versionTail});
        EXPECT_EQ(f.reply.state, c.state);
        EXPECT_EQ(f.reply.serial, c.serial);
        if (c.state == P) {
            EXPECT_EQ(f.tailMcuId, c.mcuId);
        }
    }
}

}  // namespace
}  // namespace kvu::protocol
