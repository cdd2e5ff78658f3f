// The simulators' USB listing, read back by the host's own port discovery.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QString>
#include <QStringList>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "discovery/com_list.h"
#include "sim/usb_sysfs.h"
#include "tests/sim/pty_client.h"
#include "tests/sim/sim_process.h"

namespace {

using namespace std::chrono_literals;
using kvu::sim::test::PtyClient;
using kvu::sim::test::SimProcess;
namespace fs = std::filesystem;

const std::string kUsb1 = "devices/pci0000:00/0000:00:14.0/usb1";

struct Tree {
    fs::path dir;
    fs::path sys;
    fs::path dev;

    explicit Tree(const std::string& name) {
        dir =
            fs::temp_directory_path() / ("kvu-sim-usb-" + name + "-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        sys = dir / "sys";
        dev = dir / "dev";
        fs::create_directories(dev);
    }
    ~Tree() { fs::remove_all(dir); }

    std::string port(const std::string& tty) const { return (dev / tty).string(); }

    // What discovery finds, in its order.
    std::vector<std::string> found() const {
        QStringList ports;
        kvu::KvuPortList::enumerate(ports, QString::fromStdString(sys.string()),
                                    QString::fromStdString(dev.string()));
        std::vector<std::string> names;
        for (const QString& p : ports) {
            names.push_back(p.toStdString());
        }
        return names;
    }
};

std::string fileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string serialOf(const std::string& port) {
    PtyClient client;
    std::string error;
    if (!client.open(port, error)) {
        return "cannot open: " + error;
    }
    return client.exchange("serial\r");
}

TEST(SimUsbListing, DiscoveryFindsEverySimulatorAndFollowsUnplugAndReplug) {
    Tree tree("three");
    struct Device {
        std::string tty;
        std::string usbPath;
        std::string folder;  // below sys
    };
    // The third hangs off a second hub, one level deeper.
    const std::vector<Device> devices = {
        {"ttyKVU0", "1-1.1", kUsb1 + "/1-1/1-1.1"},
        {"ttyKVU1", "1-1.2", kUsb1 + "/1-1/1-1.2"},
        {"ttyKVU2", "1-1.4.2", kUsb1 + "/1-1/1-1.4/1-1.4.2"},
    };
    std::vector<SimProcess> sims(devices.size());
    // All started before any is waited for, so that they build the shared hub together.
    for (std::size_t i = 0; i < devices.size(); ++i) {
        ASSERT_TRUE(sims[i].start({"--link", tree.port(devices[i].tty), "--usb-sysfs",
                                   tree.sys.string(), "--usb-path", devices[i].usbPath, "--serial",
                                   "KV" + std::to_string(i)}));
    }
    for (SimProcess& sim : sims) {
        const std::string line = sim.readLine();
        ASSERT_TRUE(line.starts_with("kvu-sim: serving ")) << line;
    }
    const std::vector<std::string> all = {tree.port("ttyKVU0"), tree.port("ttyKVU1"),
                                          tree.port("ttyKVU2")};
    EXPECT_EQ(tree.found(), all);
    for (std::size_t i = 0; i < devices.size(); ++i) {
        EXPECT_EQ(serialOf(all[i]), "SERIAL KV" + std::to_string(i) + "\r\n");
    }

    // The attributes as sysfs writes them, and links that survive the tree being moved.
    const fs::path hub = tree.sys / kUsb1 / "1-1";
    EXPECT_EQ(fileText(hub / "idVendor"), "1a40\n");
    EXPECT_EQ(fileText(hub / "idProduct"), "0201\n");
    EXPECT_EQ(fileText(hub / "bcdDevice"), "0111\n");
    EXPECT_EQ(fileText(hub / "1-1.4" / "idProduct"), "0201\n");
    const fs::path device = tree.sys / devices[0].folder;
    EXPECT_EQ(fileText(device / "idVendor"), "0483\n");
    EXPECT_EQ(fileText(device / "idProduct"), "5740\n");
    EXPECT_EQ(fileText(device / "bcdDevice"), "0200\n");
    EXPECT_EQ(fs::read_symlink(tree.sys / "class/tty/ttyKVU0"),
              fs::path("../../" + devices[0].folder + "/1-1.1:1.0/tty/ttyKVU0"));
    EXPECT_EQ(fs::read_symlink(device / "1-1.1:1.0/tty/ttyKVU0/device"),
              fs::path("../../../1-1.1:1.0"));
    // No scratch entries left behind.
    for (const auto& entry : fs::directory_iterator(tree.sys)) {
        EXPECT_TRUE(entry.path().filename() == "devices" || entry.path().filename() == "class")
            << entry.path();
    }

    ASSERT_TRUE(sims[1].signal(SIGUSR1));
    ASSERT_EQ(sims[1].readLine(), "kvu-sim: unplugged");
    EXPECT_EQ(tree.found(), (std::vector<std::string>{all[0], all[2]}));
    EXPECT_FALSE(fs::exists(fs::symlink_status(tree.sys / "class/tty/ttyKVU1")));
    EXPECT_FALSE(fs::exists(tree.sys / devices[1].folder));
    EXPECT_TRUE(fs::exists(hub / "idVendor"));

    ASSERT_TRUE(sims[1].signal(SIGUSR2));
    const std::string back = sims[1].readLine();
    ASSERT_TRUE(back.starts_with("kvu-sim: serving ")) << back;
    EXPECT_EQ(tree.found(), all);
    EXPECT_EQ(serialOf(all[1]), "SERIAL KV1\r\n");

    for (SimProcess& sim : sims) {
        const int status = sim.terminate();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    EXPECT_TRUE(fs::is_empty(tree.sys / "class/tty"));
    for (const Device& d : devices) {
        EXPECT_FALSE(fs::exists(tree.sys / d.folder)) << d.folder;
    }
    EXPECT_TRUE(tree.found().empty());
}

TEST(SimUsbListing, AHangUpAfterACommandAndTheTimedReplugMoveTheListing) {
    Tree tree("timed");
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--link", tree.port("ttyKVU0"), "--usb-sysfs", tree.sys.string(),
                           "--hang-up-after", "1", "--replug-after", "300"}));
    ASSERT_TRUE(sim.readLine().starts_with("kvu-sim: serving "));
    ASSERT_EQ(tree.found(), std::vector<std::string>{tree.port("ttyKVU0")});
    EXPECT_EQ(serialOf(tree.port("ttyKVU0")), "SERIAL SIM0001\r\n");
    ASSERT_EQ(sim.readLine(), "kvu-sim: unplugged");
    EXPECT_TRUE(tree.found().empty());
    ASSERT_TRUE(sim.readLine().starts_with("kvu-sim: serving "));
    EXPECT_EQ(tree.found(), std::vector<std::string>{tree.port("ttyKVU0")});
}

TEST(SimUsbListing, ManyDevicesBuildOneHubAtOnce) {
    Tree tree("race");
    constexpr int kDevices = 8;
    std::vector<kvu::sim::UsbSysfsLayout> layouts;
    for (int i = 1; i <= kDevices; ++i) {
        layouts.push_back(kvu::sim::usbSysfsLayout(tree.sys.string(), "1-1." + std::to_string(i),
                                                   "ttyKVU" + std::to_string(i)));
    }
    std::vector<std::string> errors(kDevices);
    std::vector<char> ok(kDevices, 0);
    {
        std::vector<std::jthread> threads;
        for (int i = 0; i < kDevices; ++i) {
            threads.emplace_back([&, i] { ok[i] = kvu::sim::addUsbDevice(layouts[i], errors[i]); });
        }
    }
    for (int i = 0; i < kDevices; ++i) {
        EXPECT_TRUE(ok[i]) << errors[i];
    }
    EXPECT_EQ(tree.found().size(), static_cast<std::size_t>(kDevices));
    EXPECT_EQ(fileText(tree.sys / kUsb1 / "1-1/idVendor"), "1a40\n");

    // A second tty at a taken path is refused, and its clean-up leaves the first one alone.
    const auto clash = kvu::sim::usbSysfsLayout(tree.sys.string(), "1-1.1", "ttyOther");
    std::string error;
    EXPECT_FALSE(kvu::sim::addUsbDevice(clash, error));
    EXPECT_NE(error.find("ttyKVU1"), std::string::npos) << error;
    kvu::sim::removeUsbDevice(clash);
    EXPECT_EQ(tree.found().size(), static_cast<std::size_t>(kDevices));

    kvu::sim::removeUsbDevice(layouts[0]);
    EXPECT_EQ(tree.found().size(), static_cast<std::size_t>(kDevices - 1));
    EXPECT_FALSE(fs::exists(tree.sys / kUsb1 / "1-1/1-1.1"));
}

}  // namespace
