// Writing command lines: exact bytes on the line, refused commands, a line that takes nothing.
#include "logging/log_format.h"
#include "serial/serial_channel.h"
#include "tests/serial/pty_device.h"
#include "tests/support/log_capture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace kvu {
namespace {

using namespace std::chrono_literals;
using test::LogCapture;
using test::PtyDevice;

QString maskSecret(const QString& text) {
    QString out = text;
    return out.replace(QStringLiteral("s3cret"),
                       QString::fromLatin1(kSecretMask.data(), kSecretMask.size()));
}

class SerialSend : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(device.ok());
        channel.setMaskForLog(maskSecret);
        ASSERT_TRUE(channel.initSerial(QString::fromStdString(device.slavePath())));
    }
    PtyDevice device;
    SerialChannel channel;
};

class SerialSendBytes : public SerialSend, public ::testing::WithParamInterface<std::string> {};

TEST_P(SerialSendBytes, EveryByteArrivesInOrder) {
    device.start();
    const std::string& command = GetParam();
    LogCapture log;
    EXPECT_TRUE(channel.sendData(QString::fromStdString(command)));
    ASSERT_TRUE(device.waitReceived(command.size()));
    EXPECT_EQ(device.received(), command);
    EXPECT_TRUE(log.contains(spdlog::level::debug,
                             "CKVUUtilityDlg::SendData [" +
                                 maskSecret(QString::fromStdString(command)).toStdString() + "]"));
}

INSTANTIATE_TEST_SUITE_P(
    Commands, SerialSendBytes,
    ::testing::Values(std::string("ver\r"), std::string("set 1 apn internet.example\r"),
                      std::string("set 2 pw s3cret\r"),
                      // Far more than the line buffers at once: written in several parts.
                      std::string(100000, 'a') + "\r"));

TEST_F(SerialSend, PasswordIsMaskedInTheLog) {
    device.start();
    LogCapture log;
    ASSERT_TRUE(channel.sendData(QStringLiteral("set 2 pw s3cret\r")));
    EXPECT_TRUE(log.contains("CKVUUtilityDlg::SendData [set 2 pw ********\r]"));
    EXPECT_FALSE(log.anyContains("s3cret"));
}

struct RefusedCase {
    QString command;
    const char* logLine;  // error line expected, or nullptr
};

class SerialSendRefused : public SerialSend, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(SerialSendRefused, NothingReachesTheLine) {
    device.start();
    LogCapture log;
    EXPECT_FALSE(channel.sendData(GetParam().command));
    if (GetParam().logLine) {
        EXPECT_TRUE(log.contains(spdlog::level::err, GetParam().logLine));
    }
    EXPECT_FALSE(log.anyContains("s3cret"));
    // A command sent afterwards arrives alone: the refused one left no bytes behind.
    ASSERT_TRUE(channel.sendData(QStringLiteral("ver\r")));
    ASSERT_TRUE(device.waitReceived(4));
    EXPECT_EQ(device.received(), "ver\r");
}

INSTANTIATE_TEST_SUITE_P(
    Commands, SerialSendRefused,
    ::testing::Values(
        RefusedCase{
            QStringLiteral("set 1 pw s3cret\u00e9\r"),
            "CKVUUtilityDlg::SendData non-ASCII command refused [set 1 pw ********\xC3\xA9\r]"},
        RefusedCase{QStringLiteral("set w ssid caf\u20ac\r"), nullptr},
        RefusedCase{QString(), nullptr}));

TEST_F(SerialSend, ClosedPortFails) {
    channel.uninitSerial();
    EXPECT_FALSE(channel.sendData(QStringLiteral("ver\r")));
}

TEST_F(SerialSend, StalledLineGivesUpAfterTheLimit) {
    // Nobody reads the device side, so the line fills up and then takes nothing.
    channel.setWriteStallLimit(200ms);
    LogCapture log;
    const QString huge = QString(1 << 20, QLatin1Char('x')) + QLatin1Char('\r');
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(channel.sendData(huge));
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, 200ms);
    EXPECT_LT(took, 3s);
    EXPECT_TRUE(log.anyContains("CKVUUtilityDlg::SendData write time-out"));
    EXPECT_TRUE(channel.isOpen()) << "a failed write does not close the port";
}

}  // namespace
}  // namespace kvu
