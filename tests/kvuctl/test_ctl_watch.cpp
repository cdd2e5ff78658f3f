// Station mode: devices come and go while `kvuctl watch write` runs; each gets one result line.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <thread>

#include "tests/kvuctl/ctl_harness.h"

namespace kvu::ctl::test {
namespace {

const FieldValues kStation = {{'1', "apn", "station.apn"}, {'w', "ssid", "StationNet"}};

std::string verified(const Sim& sim) {
    return sim.serial() + " on " + sim.port() + ": written and verified\n";
}

TEST(CtlWatch, DevicesPluggedOneAfterTheOtherAreEachWrittenOnceAndAReplugIsLeftAlone) {
    Bench bench("watch");
    const std::string file = bench.write("station.all", presetText(kStation));
    CtlProcess ctl;
    ASSERT_TRUE(ctl.start(bench, {"--report", "station.jsonl", "watch", "write", file}));

    Sim first;
    ASSERT_TRUE(first.start(bench, "ttyKVU1", "KVW001", {}, "1-1.1"));
    ASSERT_TRUE(ctl.waitForOut(verified(first), 20s)) << ctl.out() << ctl.err();
    Sim second;
    ASSERT_TRUE(second.start(bench, "ttyKVU2", "KVW002", {}, "1-1.2"));
    ASSERT_TRUE(ctl.waitForOut(verified(second), 20s)) << ctl.out() << ctl.err();
    EXPECT_EQ(first.committedValue('1', "apn"), "station.apn");
    EXPECT_EQ(second.committedValue('w', "ssid"), "StationNet");

    // Plugged in again: looked at (it must be asked its serial) but not written again.
    const std::size_t before = first.transcript().size();
    ASSERT_TRUE(first.unplug());
    ASSERT_TRUE(first.replug());
    EXPECT_TRUE(first.waitForLine(before, "serial", 20s)) << ctl.err();
    ASSERT_TRUE(first.waitForLine(before, "get", 20s)) << ctl.err();

    ASSERT_TRUE(ctl.signal(SIGINT));
    const CtlResult r = ctl.finish(30s);
    ASSERT_FALSE(r.timedOut) << r.err;
    EXPECT_EQ(r.status, 0) << "signal " << r.signal << "\n" << r.out << r.err;
    // The replug has its own line and record, saying why it was left alone.
    const std::string skipped =
        first.serial() + " on " + first.port() + ": skipped: already provisioned at ";
    EXPECT_TRUE(r.out.starts_with(verified(first) + verified(second) + skipped)) << r.out;
    EXPECT_EQ(countOf(r.out, "\n"), 3u) << r.out;
    EXPECT_NE(r.err.find("kvuctl: 2 provisioned, 0 failed\n"), std::string::npos) << r.err;
    EXPECT_EQ(first.linesFrom(before, "set "), std::vector<std::string>{});
    EXPECT_EQ(first.linesFrom(before, "fw"), std::vector<std::string>{});
    EXPECT_EQ(first.linesFrom(0, "fw").size(), 1u);
    EXPECT_EQ(second.linesFrom(0, "fw").size(), 1u);

    const std::vector<std::string> report = splitLines(bench.read("station.jsonl"));
    ASSERT_EQ(report.size(), 3u) << bench.read("station.jsonl");
    for (const std::string& line : report) {
        EXPECT_NE(line.find("\"operation\":\"watch write\""), std::string::npos) << line;
    }
    EXPECT_NE(report[0].find("\"outcome\":\"ok\""), std::string::npos) << report[0];
    EXPECT_NE(report[1].find("\"outcome\":\"ok\""), std::string::npos) << report[1];
    EXPECT_NE(report[2].find("\"outcome\":\"skipped\""), std::string::npos) << report[2];
    EXPECT_NE(report[2].find("\"error\":\"already provisioned at "), std::string::npos)
        << report[2];
    EXPECT_NE(report[2].find("\"serial\":\"KVW001\""), std::string::npos) << report[2];
}

TEST(CtlWatch, APortThatAppearsIsTalkedToAtOnceNotAtTheNextLook) {
    Bench bench("watch-arrival");
    const std::string file = bench.write("station.all", presetText(kStation));
    constexpr int kDevices = 4;
    std::vector<std::string> args;
    for (int i = 1; i <= kDevices; ++i) {
        args.insert(args.end(), {"--port", (bench.dev / ("ttyKVU" + std::to_string(i))).string()});
    }
    args.insert(args.end(), {"watch", "write", file});
    CtlProcess ctl;
    ASSERT_TRUE(ctl.start(bench, args));
    ASSERT_TRUE(ctl.waitForErr("waiting for devices", 10s)) << ctl.err();

    // The station also looks once a second; four devices that are all asked within 350 ms of
    // their port appearing were found by the notice, not by the look (by chance: 1 in 65).
    Sim sims[kDevices];
    for (int i = 0; i < kDevices; ++i) {
        SCOPED_TRACE(i + 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(230 + 170 * i));
        ASSERT_TRUE(sims[i].start(bench, "ttyKVU" + std::to_string(i + 1),
                                  "KVA00" + std::to_string(i + 1)));
        const auto plugged = std::chrono::steady_clock::now();
        ASSERT_TRUE(sims[i].waitForLine(0, "ver", 10s)) << ctl.err();
        EXPECT_LT(std::chrono::steady_clock::now() - plugged, 350ms);
        ASSERT_TRUE(ctl.waitForOut(verified(sims[i]), 20s)) << ctl.out() << ctl.err();
    }
    ASSERT_TRUE(ctl.signal(SIGINT));
    const CtlResult r = ctl.finish(30s);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.err.find("kvuctl: 4 provisioned, 0 failed\n"), std::string::npos) << r.err;
}

// Commands 1-3 are the connect (ver, serial, get); the hang-up comes after the 7th set line.
const std::vector<std::string> kUnplugMidWrite = {"--hang-up-after", "10"};

TEST(CtlWatch, AnUnplugInTheMiddleFailsThatDeviceOnly) {
    Bench bench("watch-unplug");
    const std::string file = bench.write("station.all", presetText(kStation));
    Sim good;
    Sim pulled;
    ASSERT_TRUE(good.start(bench, "ttyKVU1", "KVW001", {}, "1-1.1"));
    ASSERT_TRUE(pulled.start(bench, "ttyKVU2", "KVW002", kUnplugMidWrite, "1-1.2"));
    CtlProcess ctl;
    ASSERT_TRUE(ctl.start(bench, {"--report", "station.jsonl", "watch", "write", file}));

    const std::string failed = "KVW002 on " + pulled.port() + ": FAILED at write";
    ASSERT_TRUE(ctl.waitForOut(failed, 20s)) << ctl.out() << ctl.err();
    ASSERT_TRUE(ctl.waitForOut(verified(good), 20s)) << ctl.out() << ctl.err();
    EXPECT_EQ(pulled.said(), "kvu-sim: unplugged");
    ASSERT_TRUE(ctl.signal(SIGINT));
    const CtlResult r = ctl.finish(30s);
    ASSERT_FALSE(r.timedOut) << r.err;
    EXPECT_EQ(r.status, 1) << "signal " << r.signal << "\n" << r.out << r.err;
    EXPECT_NE(r.err.find("kvuctl: 1 provisioned, 1 failed\n"), std::string::npos) << r.err;
    EXPECT_EQ(countOf(r.out, "FAILED"), 1u) << r.out;
    EXPECT_EQ(countOf(r.out, "    The device went away during the work (unplugged or reset)."), 1u)
        << r.out;
    EXPECT_EQ(countOf(r.out, "written and verified"), 1u) << r.out;
    EXPECT_EQ(good.committedValue('1', "apn"), "station.apn");
    EXPECT_EQ(pulled.committedValue('1', "apn"), "(nothing committed)");
    EXPECT_EQ(pulled.setLines().size(), 7u);

    const std::string report = bench.read("station.jsonl");
    EXPECT_EQ(splitLines(report).size(), 2u) << report;
    EXPECT_NE(report.find("\"outcome\":\"failed\""), std::string::npos) << report;
    EXPECT_NE(report.find("\"serial\":\"KVW002\""), std::string::npos) << report;
}

TEST(CtlWatch, AFailedDevicePluggedInAgainIsTriedAgainAndCountsAsOneProvisionedDevice) {
    Bench bench("watch-retry");
    const std::string file = bench.write("station.all", presetText(kStation));
    Sim pulled;
    ASSERT_TRUE(pulled.start(bench, "ttyKVU1", "KVW003", kUnplugMidWrite, "1-1.1"));
    CtlProcess ctl;
    ASSERT_TRUE(ctl.start(bench, {"watch", "write", file}));
    ASSERT_TRUE(ctl.waitForOut("KVW003 on " + pulled.port() + ": FAILED at write", 20s))
        << ctl.out() << ctl.err();
    ASSERT_EQ(pulled.said(), "kvu-sim: unplugged");
    // The count of commands goes on: no second hang-up.
    ASSERT_TRUE(pulled.replug());
    ASSERT_TRUE(ctl.waitForOut(verified(pulled), 20s)) << ctl.out() << ctl.err();
    ASSERT_TRUE(ctl.signal(SIGINT));
    const CtlResult r = ctl.finish(30s);
    ASSERT_FALSE(r.timedOut) << r.err;
    EXPECT_EQ(r.status, 0) << "signal " << r.signal << "\n" << r.out << r.err;
    // One device: it failed once, then it was provisioned.
    EXPECT_NE(r.err.find("kvuctl: 1 provisioned, 0 failed\n"), std::string::npos) << r.err;
    EXPECT_EQ(pulled.committedValue('1', "apn"), "station.apn");
}

TEST(CtlWatch, ABusyPortIsSaidOnceAndWrittenWhenTheOtherProgramLetsGo) {
    Bench bench("watch-busy");
    const std::string file = bench.write("station.all", presetText(kStation));
    Sim held;
    ASSERT_TRUE(held.start(bench, "ttyKVU1", "KVW004", {}, "1-1.1"));
    const int fd = ::open(held.port().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    CtlProcess ctl;
    ASSERT_TRUE(ctl.start(bench, {"watch", "write", file}));
    const std::string busy = held.port() + ": port busy\n";
    ASSERT_TRUE(ctl.waitForOut(busy, 20s)) << ctl.out() << ctl.err();
    // Tried again every second meanwhile, but not said again.
    EXPECT_FALSE(ctl.waitForOut(busy, 2500ms, 2)) << ctl.out();
    ::close(fd);
    ASSERT_TRUE(ctl.waitForOut(verified(held), 20s)) << ctl.out() << ctl.err();
    ASSERT_TRUE(ctl.signal(SIGINT));
    const CtlResult r = ctl.finish(30s);
    EXPECT_EQ(r.status, 0) << "signal " << r.signal << "\n" << r.out << r.err;
    EXPECT_EQ(countOf(r.out, busy), 1u) << r.out;
    EXPECT_EQ(held.committedValue('1', "apn"), "station.apn");
}

TEST(CtlWatch, AnInterruptLetsTheWriteInProgressFinish) {
    Bench bench("watch-interrupt");
    const std::string file = bench.write("station.all", presetText(kStation));
    Sim slow;
    // About 30 commands: well over a second of work.
    ASSERT_TRUE(slow.start(bench, "ttyKVU1", "KVW005", {"--delay", "50"}, "1-1.1"));
    CtlProcess ctl;
    ASSERT_TRUE(ctl.start(bench, {"watch", "write", file}));
    ASSERT_TRUE(ctl.waitForErr(slow.port() + ": writing", 20s)) << ctl.err();
    ASSERT_TRUE(ctl.signal(SIGINT));
    const CtlResult r = ctl.finish(30s);
    ASSERT_FALSE(r.timedOut) << r.err;
    EXPECT_EQ(r.status, 0) << "signal " << r.signal << "\n" << r.out << r.err;
    EXPECT_EQ(r.out, verified(slow));
    EXPECT_NE(r.err.find("kvuctl: 1 provisioned, 0 failed\n"), std::string::npos) << r.err;
    EXPECT_EQ(slow.committedValue('w', "ssid"), "StationNet");
}

TEST(CtlWatch, SerialChoosesTheDevicesAndTheOthersAreSkippedWithALine) {
    Bench bench("watch-serial");
    const std::string file = bench.write("station.all", presetText(kStation));
    Sim wanted1;
    Sim other;
    Sim wanted2;
    ASSERT_TRUE(wanted1.start(bench, "ttyKVU1", "KVW011", {}, "1-1.1"));
    ASSERT_TRUE(other.start(bench, "ttyKVU2", "KVW012", {}, "1-1.2"));
    ASSERT_TRUE(wanted2.start(bench, "ttyKVU3", "KVW013", {}, "1-1.3"));
    CtlProcess ctl;
    ASSERT_TRUE(
        ctl.start(bench, {"--serial", "KVW011", "--serial", "KVW013", "watch", "write", file}));
    ASSERT_TRUE(ctl.waitForOut(verified(wanted1), 20s)) << ctl.out() << ctl.err();
    ASSERT_TRUE(ctl.waitForOut(verified(wanted2), 20s)) << ctl.out() << ctl.err();
    const std::string skipped = "KVW012 on " + other.port() + ": skipped: ";
    ASSERT_TRUE(ctl.waitForOut(skipped, 20s)) << ctl.out() << ctl.err();
    ASSERT_TRUE(ctl.signal(SIGINT));
    const CtlResult r = ctl.finish(30s);
    ASSERT_FALSE(r.timedOut) << r.err;
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(countOf(r.out, skipped), 1u) << r.out;
    EXPECT_EQ(other.setLines(), std::vector<std::string>{});
    EXPECT_EQ(other.committedValue('1', "apn"), "(nothing committed)");
    EXPECT_EQ(wanted2.committedValue('1', "apn"), "station.apn");
    EXPECT_NE(r.err.find("kvuctl: 2 provisioned, 0 failed\n"), std::string::npos) << r.err;
}

TEST(CtlWatch, DevicesWithoutASerialAreKnownByTheirLocationAndEachIsWritten) {
    Bench bench("watch-no-serial");
    const std::string file = bench.write("station.all", presetText(kStation));
    const std::vector<std::string> refusesSerial = {"--error-match", "serial"};
    Sim first;
    Sim second;
    ASSERT_TRUE(first.start(bench, "ttyKVU1", "KVW015", refusesSerial, "1-1.1"));
    ASSERT_TRUE(second.start(bench, "ttyKVU2", "KVW016", refusesSerial, "1-1.2"));
    CtlProcess ctl;
    ASSERT_TRUE(ctl.start(bench, {"watch", "write", file}));
    ASSERT_TRUE(ctl.waitForOut(": written and verified\n", 20s, 2)) << ctl.out() << ctl.err();
    ASSERT_TRUE(ctl.signal(SIGINT));
    const CtlResult r = ctl.finish(30s);
    ASSERT_FALSE(r.timedOut) << r.err;
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    for (const auto& [sim, location] : {std::pair{&first, "1-1.1"}, std::pair{&second, "1-1.2"}}) {
        SCOPED_TRACE(location);
        EXPECT_EQ(sim->committedValue('1', "apn"), "station.apn");
        EXPECT_NE(r.err.find(sim->port() +
                             ": the device gave no serial number; it is known by "
                             "its USB location " +
                             location),
                  std::string::npos)
            << r.err;
    }
    EXPECT_NE(r.err.find("kvuctl: 2 provisioned, 0 failed\n"), std::string::npos) << r.err;
}

TEST(CtlWatch, AFailedFirstReadIsTriedOncePerPlugInWithTheIdentityThatWasRead) {
    Bench bench("watch-read-fails");
    const std::string file = bench.write("station.all", presetText(kStation));
    Sim sim;
    ASSERT_TRUE(sim.start(bench, "ttyKVU1", "KVW017", {"--error-match", "get"}, "1-1.1"));
    CtlProcess ctl;
    ASSERT_TRUE(ctl.start(bench, {"--report", "station.jsonl", "watch", "write", file}));
    const std::string failed = "KVW017 on " + sim.port() + ": FAILED at read";
    ASSERT_TRUE(ctl.waitForOut(failed, 20s)) << ctl.out() << ctl.err();
    // Three of the station's looks later, still the one attempt.
    EXPECT_FALSE(ctl.waitForOut(failed, 3500ms, 2)) << ctl.out();
    const std::size_t before = sim.transcript().size();
    ASSERT_TRUE(sim.unplug());
    ASSERT_TRUE(sim.replug());
    ASSERT_TRUE(ctl.waitForOut(failed, 20s, 2)) << ctl.out() << ctl.err();
    EXPECT_EQ(sim.linesFrom(before, "get").size(), 1u);
    ASSERT_TRUE(ctl.signal(SIGINT));
    const CtlResult r = ctl.finish(30s);
    ASSERT_FALSE(r.timedOut) << r.err;
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_EQ(countOf(r.out, failed), 2u) << r.out;
    const std::string report = bench.read("station.jsonl");
    EXPECT_EQ(splitLines(report).size(), 2u) << report;
    EXPECT_EQ(countOf(report, "\"serial\":\"KVW017\""), 2u) << report;
    EXPECT_NE(r.err.find("kvuctl: 0 provisioned, 1 failed\n"), std::string::npos) << r.err;
}

TEST(CtlWatch, OnePortNamedByALinkAndByItsTargetIsOneDevice) {
    Bench bench("watch-twice");
    const std::string file = bench.write("station.all", presetText(kStation));
    Sim sim;
    ASSERT_TRUE(sim.start(bench, "ttyKVU1", "KVW018"));
    CtlProcess ctl;
    ASSERT_TRUE(
        ctl.start(bench, {"--port", sim.port(), "--port", sim.line(), "watch", "write", file}));
    ASSERT_TRUE(ctl.waitForOut(": written and verified\n", 20s)) << ctl.out() << ctl.err();
    // Several of the station's looks: neither name is tried again nor found busy.
    EXPECT_FALSE(ctl.waitForOut("\n", 2500ms, 2)) << ctl.out();
    ASSERT_TRUE(ctl.signal(SIGINT));
    const CtlResult r = ctl.finish(30s);
    ASSERT_FALSE(r.timedOut) << r.err;
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(countOf(r.out, "\n"), 1u) << r.out;
    EXPECT_EQ(r.out.find("busy"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("kvuctl: 1 provisioned, 0 failed\n"), std::string::npos) << r.err;
    EXPECT_EQ(sim.linesFrom(0, "fw").size(), 1u);
}

TEST(CtlWatch, ASecondInterruptStillRecordsTheDeviceAtWork) {
    Bench bench("watch-abandon");
    const std::string file = bench.write("station.all", presetText(kStation));
    Sim stuck;  // no answer to its third set line
    ASSERT_TRUE(stuck.start(bench, "ttyKVU1", "KVW019", {"--silent-at", "6"}, "1-1.1"));
    CtlProcess ctl;
    ASSERT_TRUE(ctl.start(bench, {"--report", "station.jsonl", "watch", "write", file}));
    ASSERT_TRUE(stuck.waitForLine(0, "set 1 pw", 20s)) << ctl.err();
    ASSERT_TRUE(ctl.signal(SIGINT));
    ASSERT_TRUE(ctl.waitForErr("kvuctl: interrupted", 10s)) << ctl.err();
    ASSERT_TRUE(ctl.signal(SIGINT));
    const CtlResult r = ctl.finish(30s);
    ASSERT_FALSE(r.timedOut) << r.err;
    EXPECT_EQ(r.status, 130) << "signal " << r.signal << "\n" << r.out << r.err;
    EXPECT_TRUE(r.out.starts_with("KVW019 on " + stuck.port() +
                                  ": interrupted at write before the commit\n"))
        << r.out;
    const std::string report = bench.read("station.jsonl");
    EXPECT_EQ(splitLines(report).size(), 1u) << report;
    EXPECT_NE(report.find("\"outcome\":\"interrupted\""), std::string::npos) << report;
    EXPECT_NE(report.find("\"commitSent\":false"), std::string::npos) << report;
}

}  // namespace
}  // namespace kvu::ctl::test
