// Looking for the device by its USB identity, on look-alike sysfs trees.
#include <gtest/gtest.h>

#include <QFile>

#include "discovery/com_list.h"
#include "discovery/port_finders.h"
#include "tests/discovery/sysfs_tree.h"
#include "tests/support/log_capture.h"

namespace kvu {
namespace {

using test::SysfsTree;
const QString kHub = QString(SysfsTree::kRootHub) + "/1-1";

PortEnumerator treeEnumerator(const SysfsTree& tree) {
    return [&tree](QStringList& ports) {
        return KvuPortList::enumerate(ports, tree.sysRoot(), tree.devRoot());
    };
}

TEST(findKvuPort, NoDeviceLeavesThePortAndLogsOnlyItsEntry) {
    SysfsTree tree;
    tree.usbDevice(SysfsTree::kRootHub, "1d6b", "0002", "0515");
    tree.otherTty("platform/serial8250/tty/ttyS0", "ttyS0");
    ASSERT_TRUE(tree.ok());
    QStringList ports{"stale"};
    QString port = "unchanged";
    test::LogCapture log;
    EXPECT_FALSE(findKvuPort(ports, port, treeEnumerator(tree)));
    EXPECT_EQ(port, "unchanged");
    EXPECT_TRUE(ports.isEmpty());  // filled anew by each discovery
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0].level, spdlog::level::debug);
    EXPECT_EQ(log.lines()[0].text, "CKVUUtilityDlg::GetKvuComPort");
}

TEST(findKvuPort, TwoDevicesTakeTheFirstAndCountBoth) {
    SysfsTree tree;
    tree.usbDevice(SysfsTree::kRootHub, "1d6b", "0002", "0515");
    tree.usbDevice(kHub, "1a40", "0201", "0100");
    tree.usbDevice(kHub + "/1-1.3", "0483", "5740", "0200");
    tree.acmPort(kHub + "/1-1.3", "ttyACM1");
    tree.usbDevice(kHub + "/1-1.4", "0483", "5740", "0200");
    tree.acmPort(kHub + "/1-1.4", "ttyACM0");
    ASSERT_TRUE(tree.ok());

    test::LogCapture log(spdlog::level::info);
    QString port;
    PortFinder finder = usbPortFinder(treeEnumerator(tree));
    ASSERT_TRUE(finder(port));
    EXPECT_EQ(port, tree.port("ttyACM0"));
    EXPECT_EQ(log.texts(), (std::vector<std::string>{"GetKvuComPort num:2, port:" +
                                                     tree.port("ttyACM0").toStdString()}));
}

TEST(KvuPortList, ListsEveryDeviceWithWhereItIsPluggedIn) {
    SysfsTree tree;
    tree.usbDevice(kHub, "1a40", "0201", "0100");
    tree.usbDevice(kHub + "/1-1.3", "0483", "5740", "0200");
    tree.acmPort(kHub + "/1-1.3", "ttyACM1");
    tree.usbDevice(kHub + "/1-1.4", "0483", "5740", "0200");
    tree.acmPort(kHub + "/1-1.4", "ttyACM0");
    tree.usbDevice(kHub + "/1-1.2", "0483", "df11", "0200");  // another product on the hub
    tree.acmPort(kHub + "/1-1.2", "ttyACM2");
    ASSERT_TRUE(tree.ok());

    const std::vector<KvuPort> found = KvuPortList::list(tree.sysRoot(), tree.devRoot());
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].port, tree.port("ttyACM0"));
    EXPECT_EQ(found[0].location, "1-1.4");
    EXPECT_EQ(found[1].port, tree.port("ttyACM1"));
    EXPECT_EQ(found[1].location, "1-1.3");

    QStringList ports{"kept"};
    EXPECT_EQ(KvuPortList::enumerate(ports, tree.sysRoot(), tree.devRoot()), 2);
    EXPECT_EQ(ports, (QStringList{"kept", tree.port("ttyACM0"), tree.port("ttyACM1")}));
    EXPECT_TRUE(KvuPortList::list(tree.sysRoot() + "/missing", tree.devRoot()).empty());
}

TEST(FixedPortFinder, FindsThePathWhileItExists) {
    SysfsTree tree;
    ASSERT_TRUE(tree.ok());
    const QString path = tree.devRoot() + "/ttyUSBX";
    PortFinder finder = fixedPortFinder(path);
    QString port = "unchanged";
    EXPECT_FALSE(finder(port));
    EXPECT_EQ(port, "unchanged");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_TRUE(finder(port));
    EXPECT_EQ(port, path);
}

}  // namespace
}  // namespace kvu

namespace kvu {
namespace {

// COM9 is no file on Windows: a port named that way is tried, and opening it tells.
TEST(WindowsDeviceName, TellsDeviceNamesFromPaths) {
    struct Row {
        const char* name;
        bool device;
    };
    const Row rows[] = {
        {"COM9", true},      {"com12", true}, {"\\\\.\\COM12", true}, {"\\\\.\\CNCA0", true},
        {"COM", false},      {"COMx", false}, {"COM9x", false},       {"/dev/ttyACM0", false},
        {"C:\\COM9", false}, {"", false},     {"\\\\.\\", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(isWindowsDeviceName(QString::fromLatin1(row.name)), row.device);
    }
#ifndef Q_OS_WIN
    EXPECT_FALSE(portMayBePresent(QStringLiteral("COM9")));  // a relative file here
#endif
    EXPECT_FALSE(portMayBePresent(QString()));
}

}  // namespace
}  // namespace kvu
