// Opening the port: line settings on a real pseudo-terminal, exclusive use, and the failures.
#include "serial/serial_channel.h"
#include "tests/serial/pty_device.h"
#include "tests/support/log_capture.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <fcntl.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace kvu {
namespace {

using test::LogCapture;
using test::PtyDevice;

TEST(SerialOpen, AppliesTheDeviceLineSettings) {
    PtyDevice device;
    ASSERT_TRUE(device.ok());
    // The parity the port reports must survive the set-up. Some pseudo-terminals refuse parity
    // altogether; then the parity found is "off" and must stay off.
    termios before{};
    ASSERT_EQ(tcgetattr(device.slaveFd(), &before), 0);
    before.c_cflag |= PARENB | PARODD;
    (void)tcsetattr(device.slaveFd(), TCSANOW, &before);
    ASSERT_EQ(tcgetattr(device.slaveFd(), &before), 0);
    const tcflag_t parityFound = before.c_cflag & (PARENB | PARODD);

    LogCapture log;
    SerialChannel channel;
    ASSERT_TRUE(channel.initSerial(QString::fromStdString(device.slavePath())));
    EXPECT_TRUE(channel.isOpen());
    EXPECT_EQ(channel.comPort().toStdString(), device.slavePath());
    EXPECT_TRUE(log.contains(spdlog::level::debug, "CKVUUtilityDlg::InitSerial"));

    termios line{};
    ASSERT_EQ(tcgetattr(device.slaveFd(), &line), 0);
    EXPECT_EQ(cfgetospeed(&line), B9600);
    EXPECT_EQ(cfgetispeed(&line), B9600);
    EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(line.c_cflag & CSTOPB, 0u);
    EXPECT_NE(line.c_cflag & CRTSCTS, 0u);
    EXPECT_NE(line.c_cflag & CREAD, 0u);
    EXPECT_NE(line.c_cflag & CLOCAL, 0u);
    EXPECT_EQ(line.c_cflag & (PARENB | PARODD), parityFound) << "parity must be left as found";
    EXPECT_EQ(line.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(line.c_iflag & (ICRNL | INLCR | IGNCR | IXON | IXOFF | ISTRIP | INPCK), 0u);
    EXPECT_EQ(line.c_oflag & OPOST, 0u);
    EXPECT_EQ(line.c_cc[VMIN], 0);
    EXPECT_EQ(line.c_cc[VTIME], 1);

    channel.uninitSerial();
    EXPECT_FALSE(channel.isOpen());
    EXPECT_TRUE(log.contains(spdlog::level::debug, "CKVUUtilityDlg::UninitSerial"));
}

TEST(SerialOpen, BareNameIsLookedUpInTheDeviceDirectory) {
    PtyDevice device;
    ASSERT_TRUE(device.ok());
    ASSERT_EQ(device.slavePath().rfind("/dev/", 0), 0u);
    const QString bare = QString::fromStdString(device.slavePath().substr(5));  // "pts/N"

    SerialChannel channel;
    EXPECT_TRUE(channel.initSerial(bare));
    EXPECT_TRUE(channel.isOpen());
    EXPECT_EQ(channel.comPort(), bare);
}

struct OpenFailureCase {
    const char* port;
    std::vector<std::pair<spdlog::level::level_enum, std::string>> lines;
    const char* lastError;
};

class SerialOpenFailure : public ::testing::TestWithParam<OpenFailureCase> {};

TEST_P(SerialOpenFailure, LogsTheFailedStepAndStaysClosed) {
    const OpenFailureCase& c = GetParam();
    LogCapture log;
    SerialChannel channel;
    EXPECT_FALSE(channel.initSerial(QString::fromUtf8(c.port)));
    EXPECT_FALSE(channel.isOpen());
    for (const auto& [level, text] : c.lines)
        EXPECT_TRUE(log.contains(level, text)) << text;
    EXPECT_EQ(channel.lastError().toStdString(), c.lastError);
    EXPECT_FALSE(channel.lastOpenWasPermissionDenied());
    EXPECT_FALSE(channel.lastOpenWasBusy());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SerialOpenFailure,
    ::testing::Values(
        OpenFailureCase{"/dev/kvu-missing-port",
                        {{spdlog::level::err,
                          "CKVUUtilityDlg::InitSerial /dev/kvu-missing-port CreateFile Failure."},
                         {spdlog::level::debug,
                          "CKVUUtilityDlg::InitSerial /dev/kvu-missing-port No such file or "
                          "directory"}},
                        "No such file or directory"},
        // Tried as given, then under /dev: neither exists.
        OpenFailureCase{"kvu-missing-port",
                        {{spdlog::level::err,
                          "CKVUUtilityDlg::InitSerial kvu-missing-port CreateFile Failure."},
                         {spdlog::level::debug,
                          "CKVUUtilityDlg::InitSerial kvu-missing-port No such file or "
                          "directory"}},
                        "No such file or directory"},
        // Opens, but is no terminal: the settings cannot be read.
        OpenFailureCase{"/dev/null",
                        {{spdlog::level::err, "CKVUUtilityDlg::InitSerial GetCommState Error."}},
                        ""}));

TEST(SerialOpen, PortInUseIsRefusedUntilReleased) {
    PtyDevice device;
    ASSERT_TRUE(device.ok());
    const QString path = QString::fromStdString(device.slavePath());
    SerialChannel first;
    ASSERT_TRUE(first.initSerial(path));

    LogCapture log;
    SerialChannel second;
    EXPECT_FALSE(second.initSerial(path));
    EXPECT_FALSE(second.isOpen());
    EXPECT_EQ(second.lastError(), QStringLiteral("Device or resource busy"));
    EXPECT_TRUE(second.lastOpenWasBusy());
    EXPECT_FALSE(second.lastOpenWasPermissionDenied());
    EXPECT_TRUE(log.contains(spdlog::level::err, "CKVUUtilityDlg::InitSerial " +
                                                     device.slavePath() + " CreateFile Failure."));

    first.uninitSerial();
    EXPECT_TRUE(second.initSerial(path));
    EXPECT_TRUE(second.isOpen());
}

// A busy port keeps its own error wherever it is named from; only a name that is not there at
// all is looked for under /dev.
TEST(SerialOpen, BusyPortNamedByARelativePathIsReportedBusy) {
    PtyDevice device;
    ASSERT_TRUE(device.ok());
    char folder[] = "/tmp/kvu-rel-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string link = std::string(folder) + "/ttyKVU";
    ASSERT_EQ(symlink(device.slavePath().c_str(), link.c_str()), 0);
    char* previous = getcwd(nullptr, 0);
    ASSERT_EQ(chdir(folder), 0);

    SerialChannel holder;
    ASSERT_TRUE(holder.initSerial(QString::fromStdString(device.slavePath())));
    SerialChannel second;
    EXPECT_FALSE(second.initSerial(QStringLiteral("ttyKVU")));
    EXPECT_TRUE(second.lastOpenWasBusy());
    EXPECT_EQ(second.lastError(), QStringLiteral("Device or resource busy"));
    holder.uninitSerial();
    EXPECT_TRUE(second.initSerial(QStringLiteral("ttyKVU")));

    EXPECT_EQ(chdir(previous), 0);
    free(previous);
    std::remove(link.c_str());
    rmdir(folder);
}

// The exclusive mode belongs to the line, not to our descriptor: a port we closed must open
// again for a user it binds while the other end (the device) stays open.
TEST(SerialOpen, ClosedPortOpensAgainForAnUnprivilegedUser) {
    if (geteuid() == 0)
        GTEST_SKIP() << "exclusive mode does not bind the superuser";
    PtyDevice device;
    ASSERT_TRUE(device.ok());
    const QString path = QString::fromStdString(device.slavePath());
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        SerialChannel channel;
        ASSERT_TRUE(channel.initSerial(path)) << channel.lastError().toStdString();
        channel.uninitSerial();
    }
    const int fd = open(device.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    EXPECT_GE(fd, 0) << std::strerror(errno);
    if (fd >= 0)
        close(fd);
}

TEST(SerialOpen, ReportsMissingPermission) {
    if (geteuid() == 0)
        GTEST_SKIP() << "access rights do not bind the superuser";
    char path[] = "/tmp/kvu-port-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    ASSERT_EQ(chmod(path, 0), 0);
    SerialChannel channel;
    EXPECT_FALSE(channel.initSerial(QString::fromUtf8(path)));
    EXPECT_TRUE(channel.lastOpenWasPermissionDenied());
    EXPECT_EQ(channel.lastError(), QStringLiteral("Permission denied"));
    std::remove(path);
}

}  // namespace
}  // namespace kvu
