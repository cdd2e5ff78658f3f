// The files kvuctl writes with read -o and reads back: one file per device or none, each a
// fresh backup readable by its owner alone, and a backup that compares equal to its device.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "tests/kvuctl/ctl_harness.h"

namespace kvu::ctl::test {
namespace {

struct Device {
    std::string serial;
    std::string usbPath;         // empty: no USB location
    bool serialRefused = false;  // its serial query is refused
};

struct BackupNames {
    const char* name;
    std::vector<Device> devices;
    std::string pattern;
    int status;
    std::vector<std::string> files;  // written, relative to the bench; none when refused
    const char* err;                 // on stderr
};

TEST(CtlReadBackup, ANameTwoDevicesWouldShareIsRefusedBeforeAnythingIsWritten) {
    const BackupNames rows[] = {
        {"same serial",
         {{"KVR001", "1-1.1"}, {"KVR001", "1-1.2"}},
         "bk-{serial}.all",
         2,
         {},
         "would both be read into bk-KVR001.all; nothing was saved"},
        {"no serial",
         {{"KVR002", "1-1.1", true}, {"KVR003", "1-1.2", true}},
         "bk-{serial}.all",
         2,
         {},
         "would both be read into bk-unknown.all"},
        {"by location",
         {{"KVR001", "1-1.1"}, {"KVR001", "1-1.2"}},
         "bk-{location}.all",
         0,
         {"bk-1-1.1.all", "bk-1-1.2.all"},
         ""},
        {"by port",
         {{"KVR004", ""}, {"KVR004", ""}},
         "bk-{port}.all",
         0,
         {"bk-ttyKVU1.all", "bk-ttyKVU2.all"},
         ""},
        {"no location known",
         {{"KVR005", ""}, {"KVR006", ""}},
         "bk-{location}.all",
         2,
         {},
         "would both be read into bk-unknown.all"},
    };
    for (const BackupNames& row : rows) {
        SCOPED_TRACE(row.name);
        Bench bench("backup-names");
        std::vector<Sim> sims(row.devices.size());
        std::vector<std::string> args = {"--all"};
        for (std::size_t i = 0; i < sims.size(); ++i) {
            const Device& d = row.devices[i];
            std::vector<std::string> extra;
            if (d.serialRefused) {
                extra = {"--error-match", "serial"};
            }
            ASSERT_TRUE(
                sims[i].start(bench, "ttyKVU" + std::to_string(i + 1), d.serial, extra, d.usbPath));
            if (d.usbPath.empty()) {
                args = {};
            }
        }
        if (args.empty()) {  // not listed in the sysfs look-alike: named by port
            for (const Sim& sim : sims) {
                args.insert(args.end(), {"--port", sim.port()});
            }
        }
        args.insert(args.end(), {"read", "-o", row.pattern});
        const CtlResult r = runCtl(bench, args);
        ASSERT_FALSE(r.timedOut) << r.err;
        EXPECT_EQ(r.status, row.status) << r.out << r.err;
        EXPECT_NE(r.err.find(row.err), std::string::npos) << r.err;
        std::vector<std::string> written;
        for (const auto& entry : std::filesystem::directory_iterator(bench.dir)) {
            if (entry.path().filename().string().starts_with("bk-")) {
                written.push_back(entry.path().filename().string());
            }
        }
        std::sort(written.begin(), written.end());
        EXPECT_EQ(written, row.files);
    }
}

TEST(CtlReadBackup, TheBackupIsWrittenAnewAndOnlyItsOwnerMayReadIt) {
    Bench bench("backup-fresh");
    Sim sim;
    ASSERT_TRUE(sim.start(bench, "ttyKVU1", "KVR007", initArgs({{'1', "pw", "plain-secret"}})));
    // An older file under the name: a section and a key the device has no part in.
    const std::string target =
        bench.write("bk.all", "[Stale]\r\nOLD=1\r\n[WWAN1]\r\nAPN=old.apn\r\nSTALEKEY=yes\r\n");
    ::chmod(target.c_str(), 0644);
    const CtlResult r = runCtl(bench, {"--port", sim.port(), "read", "-o", "bk.all"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const std::string text = bench.read("bk.all");
    EXPECT_EQ(text.find("Stale"), std::string::npos) << text;
    EXPECT_EQ(text.find("STALEKEY"), std::string::npos) << text;
    EXPECT_EQ(text.find("old.apn"), std::string::npos) << text;
    EXPECT_NE(text.find("PASSWORD=plain-secret"), std::string::npos) << text;
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(CtlReadBackup, ADevicesOwnReadBackComparesEqualThoughTheWindowWouldRefuseAnEntry) {
    Bench bench("backup-diff");
    Sim sim;
    // A user name with a space: the window refuses to send it, but the device holds it.
    ASSERT_TRUE(sim.start(bench, "ttyKVU1", "KVR008", initArgs({{'4', "user", "u 4"}})));
    ASSERT_EQ(runCtl(bench, {"--port", sim.port(), "read", "-o", "bk.all"}).status, 0);
    const CtlResult r = runCtl(bench, {"--port", sim.port(), "diff", "bk.all"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "KVR008 on " + sim.port() + ": equal to the file\n");
    EXPECT_EQ(sim.setLines(), std::vector<std::string>{});
}

}  // namespace
}  // namespace kvu::ctl::test
