#include <gtest/gtest.h>

#include <QByteArray>
#include <string>
#include <vector>

#include "protocol/commands.h"

namespace kvu::protocol {
namespace {

QByteArray bytes(std::initializer_list<unsigned char> list) {
    QByteArray out;
    for (unsigned char b : list) {
        out.append(static_cast<char>(b));
    }
    return out;
}

TEST(CommandTexts, FixedCommandsAndRepliesAreByteExact) {
    struct Case {
        QString text;
        QByteArray expected;
    };
    const std::vector<Case> cases = {
        {QString(kCmdVersion), bytes({0x76, 0x65, 0x72, 0x0D})},
        {QString(kCmdSerial), bytes({0x73, 0x65, 0x72, 0x69, 0x61, 0x6C, 0x0D})},
        {QString(kCmdReadAll), bytes({0x67, 0x65, 0x74, 0x0D})},
        {QString(kCmdErase), bytes({0x66, 0x65, 0x0D})},
        {QString(kCmdCommit), bytes({0x66, 0x77, 0x0D})},
        {QString(kSetPrefix), bytes({0x73, 0x65, 0x74, 0x20})},
        {QString(kReplyError), bytes({0x45, 0x52, 0x52, 0x4F, 0x52, 0x0D, 0x0A})},
        {QString(kReplyEraseOk), bytes({0x46, 0x45, 0x20, 0x4F, 0x4B, 0x0D, 0x0A})},
        {QString(kReplyCommitOk), bytes({0x46, 0x57, 0x20, 0x4F, 0x4B, 0x0D, 0x0A})},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.text.toLatin1(), c.expected);
    }
}

TEST(SetLines, WwanLinesHaveAddressKeywordAndValue) {
    struct Case {
        int n;
        WwanField field;
        QString value;
        QString expected;
    };
    const std::vector<Case> cases = {
        {1, WwanField::Apn, "internet", "set 1 apn internet\r"},
        {2, WwanField::User, "bob", "set 2 user bob\r"},
        {3, WwanField::Password, "s3 cr=t", "set 3 pw s3 cr=t\r"},
        {4, WwanField::Auth, "2", "set 4 auth 2\r"},
        {1, WwanField::Pdp, "0", "set 1 pdp 0\r"},
        {2, WwanField::User, "", "set 2 user \r"},
        {3, WwanField::Password, "", "set 3 pw \r"},
        {4, WwanField::Apn, "%s%d", "set 4 apn %s%d\r"},  // value goes out unchanged
    };
    for (const Case& c : cases) {
        EXPECT_EQ(wwanSetLine(c.n, c.field, c.value), c.expected);
    }
}

TEST(SetLines, WifiLinesUseTheLetterW) {
    struct Case {
        WifiField field;
        QString value;
        QString expected;
    };
    const std::vector<Case> cases = {
        {WifiField::Ssid, "My Net", "set w ssid My Net\r"},
        {WifiField::Security, "1", "set w sec 1\r"},
        {WifiField::KeyFormat, "0", "set w pw_type 0\r"},
        {WifiField::Passphrase, "pass phrase", "set w pw pass phrase\r"},
        {WifiField::Passphrase, "", "set w pw \r"},
        {WifiField::Ssid, "", "set w ssid \r"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(wifiSetLine(c.field, c.value), c.expected);
    }
}

TEST(SetLines, ExampleLinesAreByteExact) {
    EXPECT_EQ(
        wwanSetLine(1, WwanField::Auth, "1").toLatin1(),
        bytes({0x73, 0x65, 0x74, 0x20, 0x31, 0x20, 0x61, 0x75, 0x74, 0x68, 0x20, 0x31, 0x0D}));
    EXPECT_EQ(wifiSetLine(WifiField::Security, "1").toLatin1(),
              bytes({0x73, 0x65, 0x74, 0x20, 0x77, 0x20, 0x73, 0x65, 0x63, 0x20, 0x31, 0x0D}));
}

DeviceProfiles sampleProfiles() {
    DeviceProfiles p;
    for (int i = 0; i < kWwanCount; ++i) {
        const QString n = QString::number(i + 1);
        WwanProfile& w = p.wwan[static_cast<size_t>(i)];
        w.apn = "apn" + n;
        w.userName = "user" + n;
        w.password = "secret" + n;
        w.pdpType = QString::number(i % 3);
        w.authType = QString::number((i + 1) % 3);
    }
    p.wifi.ssid = QString::fromUtf8("Caf\xc3\xa9 Net");
    p.wifi.security = "1";
    p.wifi.keyFormat = "0";
    p.wifi.passphrase = "wifi pass";
    return p;
}

TEST(WriteAllLines, TwentyFourLinesInSendOrderWithLogTexts) {
    const DeviceProfiles p = sampleProfiles();
    const std::vector<SetLine> lines = writeAllLines(p);
    ASSERT_EQ(lines.size(), 24u);

    struct Expected {
        QString command;
        std::string log;
    };
    std::vector<Expected> expected;
    for (int i = 0; i < kWwanCount; ++i) {
        const WwanProfile& w = p.wwan[static_cast<size_t>(i)];
        const std::string n = std::to_string(i + 1);
        const QString qn = QString::number(i + 1);
        expected.push_back({"set " + qn + " apn " + w.apn + "\r",
                            "Write WWAN " + n + " APN " + w.apn.toStdString()});
        expected.push_back({"set " + qn + " user " + w.userName + "\r",
                            "Write WWAN " + n + " username " + w.userName.toStdString()});
        expected.push_back(
            {"set " + qn + " pw " + w.password + "\r", "Write WWAN " + n + " password ********"});
        expected.push_back({"set " + qn + " auth " + w.authType + "\r",
                            "Write WWAN " + n + " Auth " + w.authType.toStdString()});
        expected.push_back({"set " + qn + " pdp " + w.pdpType + "\r",
                            "Write WWAN " + n + " PDP " + w.pdpType.toStdString()});
    }
    expected.push_back({"set w ssid " + p.wifi.ssid + "\r", "Write WiFi SSID Caf\xc3\xa9 Net"});
    expected.push_back({"set w sec 1\r", "Write WiFi security 1"});
    expected.push_back({"set w pw_type 0\r", "Write WiFi key_fmt 0"});
    expected.push_back({"set w pw wifi pass\r", "Write WiFi passphrase ********"});

    for (size_t i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE("line " + std::to_string(i + 1));
        EXPECT_EQ(lines[i].command, expected[i].command);
        EXPECT_EQ(lines[i].logMessage, expected[i].log);
    }
}

TEST(WriteAllLines, NoSecretReachesTheLogMessages) {
    const DeviceProfiles p = sampleProfiles();
    for (const SetLine& line : writeAllLines(p)) {
        for (const WwanProfile& w : p.wwan) {
            EXPECT_EQ(line.logMessage.find(w.password.toStdString()), std::string::npos)
                << line.logMessage;
        }
        EXPECT_EQ(line.logMessage.find("wifi pass"), std::string::npos) << line.logMessage;
    }
}

TEST(WriteAllLines, EmptyRecordsGiveLinesEndingInSpaceCr) {
    const std::vector<SetLine> lines = writeAllLines(DeviceProfiles{});
    ASSERT_EQ(lines.size(), 24u);
    for (const SetLine& line : lines) {
        EXPECT_TRUE(line.command.startsWith("set ")) << line.command.toStdString();
        EXPECT_TRUE(line.command.endsWith(" \r")) << line.command.toStdString();
        EXPECT_EQ(line.command.count(u' '), 3) << line.command.toStdString();
    }
    EXPECT_EQ(lines[2].logMessage, "Write WWAN 1 password ********");
    EXPECT_EQ(lines[0].logMessage, "Write WWAN 1 APN ");
}

}  // namespace
}  // namespace kvu::protocol
