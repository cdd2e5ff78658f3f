// The notices of arriving ports: the watch on a given path's folder (what --port and the tests
// without udev use), the fallback when no device monitor can be opened, and a real udev monitor
// where the machine has one.
#include "discovery/device_monitor.h"
#include "discovery/port_arrivals.h"
#include "tests/support/log_capture.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <unistd.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kvu {
namespace {

// Signals of QFileSystemWatcher and QSocketNotifier need an event loop.
QCoreApplication& app() {
    static int argc = 1;
    static char name[] = "discovery_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* instance =
        QCoreApplication::instance() != nullptr ? nullptr : new QCoreApplication(argc, argv);
    (void)instance;
    return *QCoreApplication::instance();
}

// Runs the event loop for `ms`, or until `done` holds.
void spin(int ms, const std::function<bool()>& done = {}) {
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired() && !(done && done())) {
        app().processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
}

// Makes `link` point at `target` the way the simulator moves its link: a new symlink renamed
// over the old one.
bool repoint(const QString& link, const QString& target) {
    const QString temp = link + QStringLiteral(".new");
    QFile::remove(temp);
    return QFile::link(target, temp) &&
           ::rename(QFile::encodeName(temp).constData(), QFile::encodeName(link).constData()) == 0;
}

struct FolderStep {
    const char* name;
    std::function<bool(const QDir& dir)> change;  // what happens in the watched folder
    bool notice;                                  // whether it is an arrival of the path
};

class PathWatch : public ::testing::TestWithParam<FolderStep> {
  protected:
    void SetUp() override {
        app();
        ASSERT_TRUE(folder_.isValid());
        dir_ = QDir(folder_.path());
        for (const char* line : {"pts1", "pts2", "pts3"}) {
            QFile f(dir_.filePath(QString::fromLatin1(line)));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        }
        // Before each step the path points at pts1, as while a device is plugged in.
        ASSERT_TRUE(QFile::link(dir_.filePath(QStringLiteral("pts1")), path()));
        ASSERT_TRUE(arrivals_.watchPath(path()));
        QObject::connect(&arrivals_, &PortArrivals::portMayHaveArrived,
                         [this](const QString& p) { notices_.push_back(p); });
    }
    QString path() const { return dir_.filePath(QStringLiteral("ttyKVU")); }

    QTemporaryDir folder_;
    QDir dir_;
    PortArrivals arrivals_;
    std::vector<QString> notices_;
};

TEST_P(PathWatch, OnlyANewOrReplacedPathIsAnArrival) {
    ASSERT_TRUE(GetParam().change(dir_));
    spin(GetParam().notice ? 2000 : 300, [&] { return !notices_.empty(); });
    if (GetParam().notice) {
        ASSERT_EQ(notices_.size(), 1u);
        EXPECT_EQ(notices_.front(), QFileInfo(path()).absoluteFilePath());
    } else {
        EXPECT_TRUE(notices_.empty()) << notices_.front().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Folder, PathWatch,
    ::testing::Values(
        FolderStep{"RepointedAtANewLine",
                   [](const QDir& d) { return repoint(d.filePath("ttyKVU"), d.filePath("pts2")); },
                   true},
        FolderStep{"RemovedThenMadeAgain",
                   [](const QDir& d) {
                       if (!QFile::remove(d.filePath("ttyKVU")))
                           return false;
                       spin(100);  // seen as gone before it comes back, as at a replug
                       return QFile::link(d.filePath("pts1"), d.filePath("ttyKVU"));
                   },
                   true},
        FolderStep{"Removed", [](const QDir& d) { return QFile::remove(d.filePath("ttyKVU")); },
                   false},
        FolderStep{"AnotherFileInTheFolder",
                   [](const QDir& d) {
                       QFile f(d.filePath("unrelated"));
                       return f.open(QIODevice::WriteOnly) && f.write("x", 1) == 1;
                   },
                   false},
        FolderStep{"PointedAtATargetThatIsMissing",
                   [](const QDir& d) { return repoint(d.filePath("ttyKVU"), d.filePath("gone")); },
                   false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PathWatchSetUp, SeveralPathsEachTellOnlyOfThemselves) {
    app();
    QTemporaryDir one;
    QTemporaryDir two;
    ASSERT_TRUE(one.isValid() && two.isValid());
    // Two ports in one folder and one in another, each pointing at a line of its own.
    const QString a = one.filePath(QStringLiteral("ttyA"));
    const QString b = one.filePath(QStringLiteral("ttyB"));
    const QString c = two.filePath(QStringLiteral("ttyC"));
    for (const QString& line : {QStringLiteral("line1"), QStringLiteral("line2")}) {
        QFile f(one.filePath(line));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(QFile::link(one.filePath(QStringLiteral("line1")), a));
    ASSERT_TRUE(QFile::link(one.filePath(QStringLiteral("line1")), b));
    PortArrivals arrivals;
    for (const QString& path : {a, b, c})
        ASSERT_TRUE(arrivals.watchPath(path));
    std::vector<QString> notices;
    QObject::connect(&arrivals, &PortArrivals::portMayHaveArrived,
                     [&](const QString& p) { notices.push_back(p); });

    ASSERT_TRUE(repoint(b, one.filePath(QStringLiteral("line2"))));
    spin(2000, [&] { return !notices.empty(); });
    spin(200);
    EXPECT_EQ(notices, std::vector<QString>{b});

    notices.clear();
    ASSERT_TRUE(QFile::link(one.filePath(QStringLiteral("line1")), c));
    spin(2000, [&] { return !notices.empty(); });
    spin(200);
    EXPECT_EQ(notices, std::vector<QString>{c});
}

// udev removes /dev/serial/by-id with the last device and makes it again with the next one: the
// watch must follow the folder through that, and tell of the path when it comes back.
TEST(PathWatchSetUp, AFolderRemovedAndMadeAgainIsWatchedAgain) {
    app();
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    QDir dir(root.path());
    {
        QFile line(dir.filePath(QStringLiteral("pts1")));
        ASSERT_TRUE(line.open(QIODevice::WriteOnly));
    }
    const QString folder = dir.filePath(QStringLiteral("serial/by-id"));
    const QString path = folder + QStringLiteral("/usb-KVU-if00");
    ASSERT_TRUE(dir.mkpath(folder));
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("pts1")), path));
    PortArrivals arrivals;
    ASSERT_TRUE(arrivals.watchPath(path));
    std::vector<QString> notices;
    QObject::connect(&arrivals, &PortArrivals::portMayHaveArrived,
                     [&](const QString& p) { notices.push_back(p); });

    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(QDir(dir.filePath(QStringLiteral("serial"))).removeRecursively());
        spin(200);
        EXPECT_TRUE(notices.empty());
        ASSERT_TRUE(dir.mkpath(folder));
        spin(100);  // the folder is seen before the port is made in it, as udev does it
        ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("pts1")), path));
        spin(2000, [&] { return !notices.empty(); });
        ASSERT_EQ(notices.size(), 1u);
        EXPECT_EQ(notices.front(), path);
        notices.clear();
    }
}

TEST(PathWatchSetUp, AFolderThatIsMissingCannotBeWatched) {
    app();
    PortArrivals arrivals;
    EXPECT_FALSE(arrivals.watchPath(QStringLiteral("/nonexistent-kvu-folder/ttyKVU")));
    EXPECT_FALSE(arrivals.watchPath(QString()));
}

bool udevRuns() {
    return QFileInfo::exists(QStringLiteral("/run/udev/control"));
}

TEST(DeviceNotices, WithoutAMonitorArrivalsArePolledAndTheLogSaysSoOnce) {
    if (udevRuns())
        GTEST_SKIP() << "udev runs here, so the monitor opens";
    app();
    test::LogCapture log;
    DeviceMonitor monitor;
    const MonitorOpenResult opened = monitor.open();
    EXPECT_EQ(opened.status, MonitorStatus::NoService);
    EXPECT_FALSE(monitor.isOpen());
    EXPECT_EQ(monitor.waitable(), -1);
    EXPECT_TRUE(monitor.takeArrivals().empty());

    PortArrivals first;
    PortArrivals second;
    EXPECT_FALSE(first.watchDevices());
    EXPECT_FALSE(second.watchDevices());
    int said = 0;
    for (const test::LogLine& line : log.lines())
        said += line.text.find("arrivals are polled") != std::string::npos;
    // Once per process, and no other test here asks for the monitor.
    EXPECT_EQ(said, 1);
    for (const test::LogLine& line : log.lines()) {
        if (line.text.find("arrivals are polled") != std::string::npos) {
            EXPECT_EQ(line.level, spdlog::level::debug);
        }
    }
}

TEST(DeviceNotices, ARealUdevMonitorHearsATtyBeingAdded) {
    if (!udevRuns())
        GTEST_SKIP() << "no udev daemon on this machine (/run/udev/control is missing)";
    const QString udevadm = QStandardPaths::findExecutable(QStringLiteral("udevadm"));
    if (udevadm.isEmpty() || ::geteuid() != 0)
        GTEST_SKIP() << "announcing a tty again needs udevadm and root";
    app();
    PortArrivals arrivals;
    ASSERT_TRUE(arrivals.watchDevices());
    std::vector<QString> notices;
    QObject::connect(&arrivals, &PortArrivals::portMayHaveArrived,
                     [&](const QString& p) { notices.push_back(p); });
    // /dev/ptmx is a tty on every Linux machine; an "add" for it changes nothing.
    ASSERT_EQ(QProcess::execute(udevadm, {QStringLiteral("trigger"), QStringLiteral("--action=add"),
                                          QStringLiteral("--sysname-match=ptmx")}),
              0);
    spin(5000, [&] { return !notices.empty(); });
    ASSERT_FALSE(notices.empty());
    EXPECT_EQ(notices.front(), QStringLiteral("/dev/ptmx"));
}

}  // namespace
}  // namespace kvu
