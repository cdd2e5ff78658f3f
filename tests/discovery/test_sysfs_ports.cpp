// The Linux enumerator and enumerate on sysfs look-alikes built per test.
#include "discovery/com_list.h"
#include "discovery/sysfs_ports.h"
#include "tests/discovery/sysfs_tree.h"
#include "tests/support/log_capture.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace kvu {
namespace {

using test::LogCapture;
using test::SysfsTree;
using Lines = std::vector<std::string>;

const QString kRoot = SysfsTree::kRootHub;
const QString kHubPath = kRoot + "/1-1";
const QString kDevicePath = kHubPath + "/1-1.2";

enum class Outcome { Added, NotHub2, Silent, NotKvu1, NotKvu2 };

struct TreeCase {
    const char* name;
    const char* hubVendor;  // "" leaves the attribute file out
    const char* hubProduct;
    const char* vendor;
    const char* product;
    const char* revision;
    const char* parentId;  // as the enumerator must spell it
    const char* hardwareId;
    Outcome outcome;
};

// sysfs writes lower-case hex; the ids must come out upper-case, four digits.
const TreeCase kTreeCases[] = {
    {"DeviceBehindItsHub", "1a40", "0201", "0483", "5740", "0200", R"(USB\VID_1A40&PID_0201\1-1)",
     R"(USB\VID_0483&PID_5740&REV_0200)", Outcome::Added},
    {"HubWithOtherProduct", "1a40", "0101", "0483", "5740", "0200", R"(USB\VID_1A40&PID_0101\1-1)",
     R"(USB\VID_0483&PID_5740&REV_0200)", Outcome::NotHub2},
    {"HubWithOtherVendor", "05e3", "0608", "0483", "5740", "0200", R"(USB\VID_05E3&PID_0608\1-1)",
     R"(USB\VID_0483&PID_5740&REV_0200)", Outcome::Silent},
    {"DeviceWithOtherVendor", "1a40", "0201", "1234", "5740", "0200",
     R"(USB\VID_1A40&PID_0201\1-1)", R"(USB\VID_1234&PID_5740&REV_0200)", Outcome::NotKvu1},
    {"DeviceWithOtherProduct", "1a40", "0201", "0483", "df11", "2200",
     R"(USB\VID_1A40&PID_0201\1-1)", R"(USB\VID_0483&PID_DF11&REV_2200)", Outcome::NotKvu2},
    {"DeviceWithoutIdProduct", "1a40", "0201", "0483", "", "0200", R"(USB\VID_1A40&PID_0201\1-1)",
     "", Outcome::NotKvu1},
    {"DeviceWithGarbledRevision", "1a40", "0201", "0483", "5740", "zz",
     R"(USB\VID_1A40&PID_0201\1-1)", "", Outcome::NotKvu1},
    {"HubWithoutIdVendor", "", "0201", "0483", "5740", "0200", "",
     R"(USB\VID_0483&PID_5740&REV_0200)", Outcome::Silent},
};

Lines expectedLog(const TreeCase& c, const QString& port) {
    const std::string enumName = "CGetComList::EnumKVUCommPort";
    switch (c.outcome) {
        case Outcome::Added:
            return {"Add " + port.toStdString()};
        case Outcome::NotHub2:
            return {enumName + " not HUB2", c.parentId};
        case Outcome::Silent:
            return {};
        case Outcome::NotKvu1:
            return {enumName + " not KVU1", c.hardwareId};
        case Outcome::NotKvu2:
            return {enumName + " not KVU2", c.hardwareId};
    }
    return {};
}

// The computer's root hub, an external hub at 1-1, and the tree's own ports.
void addRootAndHub(SysfsTree& tree, const QString& hubVendor, const QString& hubProduct) {
    tree.usbDevice(kRoot, "1d6b", "0002", "0515");
    tree.usbDevice(kHubPath, hubVendor, hubProduct, "0100");
}

void PrintTo(const TreeCase& c, std::ostream* os) {
    *os << c.name;
}

class SysfsPorts : public testing::TestWithParam<TreeCase> {};

TEST_P(SysfsPorts, SpellsTheIdsAndJudgesThePort) {
    const TreeCase& c = GetParam();
    SysfsTree tree;
    addRootAndHub(tree, c.hubVendor, c.hubProduct);
    tree.usbDevice(kDevicePath, c.vendor, c.product, c.revision);
    tree.acmPort(kDevicePath, "ttyACM0");
    ASSERT_TRUE(tree.ok());

    const auto ports = enumerateSysfsSerialPorts(tree.sysRoot(), tree.devRoot());
    ASSERT_EQ(ports.size(), 1u);
    EXPECT_EQ(ports[0].portName, tree.port("ttyACM0"));
    EXPECT_EQ(ports[0].parentInstanceId.toStdString(), c.parentId);
    EXPECT_EQ(ports[0].firstHardwareId.toStdString(), c.hardwareId);

    const bool added = c.outcome == Outcome::Added;
    QStringList list{"kept"};
    LogCapture log;
    EXPECT_EQ(KvuPortList::enumerate(list, tree.sysRoot(), tree.devRoot()), added ? 1 : 0);
    const QStringList expected =
        added ? QStringList{"kept", tree.port("ttyACM0")} : QStringList{"kept"};
    EXPECT_EQ(list, expected);
    EXPECT_EQ(log.texts(), expectedLog(c, tree.port("ttyACM0")));
}

INSTANTIATE_TEST_SUITE_P(Table, SysfsPorts, testing::ValuesIn(kTreeCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SysfsPortsTree, TwoDevicesAreBothFoundInNameOrder) {
    SysfsTree tree;
    addRootAndHub(tree, "1a40", "0201");
    // Made in the opposite order of their names, so the order found is not the creation order.
    tree.usbDevice(kHubPath + "/1-1.2", "0483", "5740", "0200");
    tree.acmPort(kHubPath + "/1-1.2", "ttyACM1");
    tree.usbDevice(kHubPath + "/1-1.3", "0483", "5740", "0200");
    tree.acmPort(kHubPath + "/1-1.3", "ttyACM0");
    ASSERT_TRUE(tree.ok());

    const auto ports = enumerateSysfsSerialPorts(tree.sysRoot(), tree.devRoot());
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_EQ(ports[0].portName, tree.port("ttyACM0"));
    EXPECT_EQ(ports[1].portName, tree.port("ttyACM1"));

    QStringList list;
    LogCapture log;
    EXPECT_EQ(KvuPortList::enumerate(list, tree.sysRoot(), tree.devRoot()), 2);
    EXPECT_EQ(list, (QStringList{tree.port("ttyACM0"), tree.port("ttyACM1")}));
    EXPECT_EQ(log.texts(), (Lines{"Add " + tree.port("ttyACM0").toStdString(),
                                  "Add " + tree.port("ttyACM1").toStdString()}));
}

TEST(SysfsPortsTree, PlainAndVirtualTtysAreLeftOut) {
    SysfsTree tree;
    tree.otherTty("platform/serial8250", "ttyS0");
    tree.otherTty("pnp0/00:05", "ttyS1");
    tree.otherTty("", "tty0");
    ASSERT_TRUE(tree.ok());

    EXPECT_TRUE(enumerateSysfsSerialPorts(tree.sysRoot(), tree.devRoot()).empty());
    QStringList list;
    LogCapture log;
    EXPECT_EQ(KvuPortList::enumerate(list, tree.sysRoot(), tree.devRoot()), 0);
    EXPECT_TRUE(list.isEmpty());
    EXPECT_TRUE(log.texts().empty());
}

TEST(SysfsPortsTree, DeviceStraightIntoTheComputerIsNotFound) {
    SysfsTree tree;
    tree.usbDevice(kRoot, "1d6b", "0002", "0515");
    tree.usbDevice(kRoot + "/1-1", "0483", "5740", "0200");
    tree.acmPort(kRoot + "/1-1", "ttyACM0");
    ASSERT_TRUE(tree.ok());

    const auto ports = enumerateSysfsSerialPorts(tree.sysRoot(), tree.devRoot());
    ASSERT_EQ(ports.size(), 1u);
    EXPECT_EQ(ports[0].parentInstanceId, R"(USB\VID_1D6B&PID_0002\usb1)");
    EXPECT_EQ(ports[0].firstHardwareId, R"(USB\VID_0483&PID_5740&REV_0200)");

    QStringList list;
    LogCapture log;
    EXPECT_EQ(KvuPortList::enumerate(list, tree.sysRoot(), tree.devRoot()), 0);
    EXPECT_TRUE(list.isEmpty());
    EXPECT_TRUE(log.texts().empty());
}

TEST(SysfsPortsTree, LinksLeadingOutOfTheRootAreNotFollowed) {
    SysfsTree elsewhere;
    addRootAndHub(elsewhere, "1a40", "0201");
    elsewhere.usbDevice(kDevicePath, "0483", "5740", "0200");
    elsewhere.acmPort(kDevicePath, "ttyACM0");
    SysfsTree tree;
    tree.classLink("ttyACM0", elsewhere.ttyFolder(kDevicePath, "ttyACM0"));
    ASSERT_TRUE(elsewhere.ok());
    ASSERT_TRUE(tree.ok());

    // The same device is found where it really lives.
    ASSERT_EQ(enumerateSysfsSerialPorts(elsewhere.sysRoot(), elsewhere.devRoot()).size(), 1u);
    EXPECT_TRUE(enumerateSysfsSerialPorts(tree.sysRoot(), tree.devRoot()).empty());
    QStringList list;
    EXPECT_EQ(KvuPortList::enumerate(list, tree.sysRoot(), tree.devRoot()), 0);
    EXPECT_TRUE(list.isEmpty());
}

TEST(SysfsPortsTree, NoTtyClassMeansTheEnumerationCannotStart) {
    SysfsTree tree;
    ASSERT_TRUE(tree.ok());
    const QString missing = tree.sysRoot() + "/nowhere";

    EXPECT_TRUE(enumerateSysfsSerialPorts(missing, tree.devRoot()).empty());
    QStringList list{"kept"};
    LogCapture log;
    EXPECT_EQ(KvuPortList::enumerate(list, missing, tree.devRoot()), 0);
    EXPECT_EQ(list, QStringList{"kept"});
    EXPECT_EQ(log.texts(), Lines{"CGetComList::EnumKVUCommPort SetupDiGetClassDevs fail"});
    EXPECT_EQ(log.lines().at(0).level, spdlog::level::debug);
}

}  // namespace
}  // namespace kvu
