// Interrupts, hang-ups and closed output on the fleet commands: every device still gets its
// line and its record, and no device is left between its set lines and the commit unsaid.

#include <gtest/gtest.h>

#include <signal.h>

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <thread>

#include "tests/kvuctl/ctl_harness.h"

namespace kvu::ctl::test {
namespace {

const FieldValues kFile = {{'1', "apn", "stop.apn"}, {'w', "ssid", "StopNet"}};

// Waits until the simulator has received `count` set lines.
bool waitForSetLines(const Sim& sim, std::size_t count, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (sim.setLines().size() < count) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

std::vector<QJsonObject> reportRecords(const std::string& text) {
    std::vector<QJsonObject> records;
    for (const std::string& line : splitLines(text)) {
        records.push_back(QJsonDocument::fromJson(QByteArray::fromStdString(line)).object());
    }
    return records;
}

struct StopSignal {
    const char* name;
    int signo;
};

TEST(CtlInterrupt, TheFirstLetsEachWriteFinishStartsNoOtherAndEndsWith128PlusTheSignal) {
    const StopSignal rows[] = {{"SIGINT", SIGINT}, {"SIGTERM", SIGTERM}, {"SIGHUP", SIGHUP}};
    for (const StopSignal& row : rows) {
        SCOPED_TRACE(row.name);
        Bench bench(std::string("interrupt-first-") + row.name);
        const std::string file = bench.write("stop.all", presetText(kFile));
        Sim writing;  // in its set lines when the signal comes
        ASSERT_TRUE(writing.start(bench, "ttyKVU1", "KVI001", {"--delay", "40"}));
        Sim connecting;  // still answering its identity queries then
        ASSERT_TRUE(connecting.start(bench, "ttyKVU2", "KVI002", {"--delay", "600"}));
        CtlProcess ctl;
        ASSERT_TRUE(ctl.start(bench, {"--report", "r.jsonl", "--port", writing.port(), "--port",
                                      connecting.port(), "write", file}));
        ASSERT_TRUE(waitForSetLines(writing, 1, 20s));
        ASSERT_TRUE(ctl.signal(row.signo));
        const CtlResult r = ctl.finish(60s);
        ASSERT_FALSE(r.timedOut) << r.err;
        EXPECT_EQ(r.status, 128 + row.signo) << "signal " << r.signal << "\n" << r.out << r.err;
        EXPECT_EQ(r.out, "KVI001 on " + writing.port() + ": written and verified\nKVI002 on " +
                             connecting.port() + ": not started\n");
        EXPECT_EQ(writing.committedValue('1', "apn"), "stop.apn");
        EXPECT_EQ(writing.linesFrom(0, "fw").size(), 1u);
        EXPECT_EQ(connecting.setLines(), std::vector<std::string>{});
        const std::vector<QJsonObject> report = reportRecords(bench.read("r.jsonl"));
        ASSERT_EQ(report.size(), 2u) << bench.read("r.jsonl");
        std::map<QString, QString> outcomes;
        for (const QJsonObject& record : report) {
            outcomes[record.value("serial").toString()] = record.value("outcome").toString();
        }
        EXPECT_EQ(outcomes["KVI001"], "ok");
        EXPECT_EQ(outcomes["KVI002"], "not started");
    }
}

struct Abandoned {
    const char* name;
    std::vector<std::string> sim;  // makes the device hang at the step
    bool commitSeen;               // the signals come once "fw" arrived, else a set line
    const char* step;
    const char* line;
    bool commitSent;
};

TEST(CtlInterrupt, ASecondAbandonsAtOnceAndRecordsTheStepAndWhetherTheCommitWent) {
    // Commands 1-3 connect; 4-27 are the set lines, 28 the commit, 29 the read-back.
    const Abandoned rows[] = {
        {"in the set lines",
         {"--silent-at", "6"},
         false,
         "write",
         ": interrupted at write before the commit\n",
         false},
        {"in the read-back",
         {"--silent-at", "29"},
         true,
         "verify",
         ": interrupted at verify after the commit\n",
         true},
    };
    for (const Abandoned& row : rows) {
        SCOPED_TRACE(row.name);
        Bench bench("interrupt-second");
        const std::string file = bench.write("stop.all", presetText(kFile));
        Sim sim;
        ASSERT_TRUE(sim.start(bench, "ttyKVU1", "KVI003", row.sim));
        CtlProcess ctl;
        ASSERT_TRUE(ctl.start(bench, {"--report", "r.jsonl", "--port", sim.port(), "write", file}));
        if (row.commitSeen) {
            ASSERT_TRUE(sim.waitForLine(0, "fw", 20s));
        } else {
            ASSERT_TRUE(waitForSetLines(sim, 3, 20s));
        }
        ASSERT_TRUE(ctl.signal(SIGINT));
        ASSERT_TRUE(ctl.waitForErr("kvuctl: interrupted", 10s)) << ctl.err();
        ASSERT_TRUE(ctl.signal(SIGINT));
        const CtlResult r = ctl.finish(60s);
        ASSERT_FALSE(r.timedOut) << r.err;
        EXPECT_EQ(r.status, 130) << "signal " << r.signal << "\n" << r.out << r.err;
        EXPECT_TRUE(r.out.starts_with("KVI003 on " + sim.port() + row.line)) << r.out;
        const std::vector<QJsonObject> report = reportRecords(bench.read("r.jsonl"));
        ASSERT_EQ(report.size(), 1u) << bench.read("r.jsonl");
        EXPECT_EQ(report[0].value("outcome").toString(), "interrupted");
        EXPECT_EQ(report[0].value("step").toString(), row.step);
        EXPECT_EQ(report[0].value("commitSent").toBool(), row.commitSent);
    }
}

TEST(CtlInterrupt, ASignalIgnoredAtTheStartStaysIgnored) {
    // nohup leaves SIGHUP ignored: a dropped session must end neither a write nor a station.
    struct Row {
        const char* name;
        bool watch;
    };
    for (const Row& row : {Row{"write", false}, Row{"watch", true}}) {
        SCOPED_TRACE(row.name);
        Bench bench(std::string("interrupt-nohup-") + row.name);
        const std::string file = bench.write("stop.all", presetText(kFile));
        Sim sim;
        CtlProcess ctl;
        CtlStart nohup;
        nohup.ignored = {SIGHUP};
        if (row.watch) {
            ASSERT_TRUE(ctl.start(bench, {"watch", "write", file}, nohup));
            ASSERT_TRUE(ctl.waitForErr("waiting for devices", 10s)) << ctl.err();
            ASSERT_TRUE(ctl.signal(SIGHUP));
            // Plugged in after the hang-up: still provisioned.
            ASSERT_TRUE(sim.start(bench, "ttyKVU1", "KVI004", {}, "1-1.1"));
            ASSERT_TRUE(ctl.waitForOut(": written and verified\n", 20s)) << ctl.out() << ctl.err();
            ASSERT_TRUE(ctl.signal(SIGINT));
        } else {
            ASSERT_TRUE(sim.start(bench, "ttyKVU1", "KVI004", {"--delay", "40"}));
            ASSERT_TRUE(ctl.start(bench, {"--port", sim.port(), "write", file}, nohup));
            if (!waitForSetLines(sim, 1, 20s)) {
                const CtlResult early = ctl.finish(5s);
                FAIL() << "no set line; kvuctl status " << early.status << "\n"
                       << early.out << early.err << "transcript: " << sim.transcript().size();
            }
            ASSERT_TRUE(ctl.signal(SIGHUP));
        }
        const CtlResult r = ctl.finish(60s);
        ASSERT_FALSE(r.timedOut) << r.err;
        EXPECT_EQ(r.status, 0) << "signal " << r.signal << "\n" << r.out << r.err;
        EXPECT_EQ(r.out, "KVI004 on " + sim.port() + ": written and verified\n");
        EXPECT_EQ(sim.committedValue('w', "ssid"), "StopNet");
    }
}

struct LostOutput {
    const char* name;
    CtlStart::Out out;
    bool closeReader;   // the reader of the pipe goes away during the work
    bool reportOnFull;  // the report goes to /dev/full
    const char* said;   // on stderr
};

TEST(CtlOutput, AResultThatCannotBeWrittenIsSaidAndFailsTheRunButNotTheDevice) {
    const LostOutput rows[] = {
        {"pipe reader gone", CtlStart::Out::Pipe, true, false,
         "kvuctl: the results could not be written: standard output: Broken pipe"},
        {"full device", CtlStart::Out::DevFull, false, false,
         "kvuctl: the results could not be written: standard output: No space left on device"},
        {"closed", CtlStart::Out::Closed, false, false,
         "kvuctl: the results could not be written: standard output is closed"},
        {"report on a full device", CtlStart::Out::Pipe, false, true,
         "kvuctl: /dev/full: the report could not be written"},
    };
    for (const LostOutput& row : rows) {
        SCOPED_TRACE(row.name);
        Bench bench("output-lost");
        const std::string file = bench.write("stop.all", presetText(kFile));
        Sim sim;
        ASSERT_TRUE(sim.start(bench, "ttyKVU1", "KVI005", {"--delay", "20"}));
        const std::string report = row.reportOnFull ? "/dev/full" : bench.path("r.jsonl");
        CtlProcess ctl;
        CtlStart how;
        how.out = row.out;
        ASSERT_TRUE(
            ctl.start(bench, {"--report", report, "--port", sim.port(), "write", file}, how));
        if (row.closeReader) {
            ASSERT_TRUE(ctl.waitForErr(": writing", 20s)) << ctl.err();
            ctl.closeOut();
        }
        const CtlResult r = ctl.finish(60s);
        ASSERT_FALSE(r.timedOut) << r.err;
        EXPECT_EQ(r.status, 1) << "signal " << r.signal << "\n" << r.out << r.err;
        EXPECT_NE(r.err.find(row.said), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("QIODevice"), std::string::npos) << r.err;
        // The device's work went on to its end.
        EXPECT_EQ(sim.committedValue('1', "apn"), "stop.apn");
        EXPECT_EQ(sim.linesFrom(0, "get").size(), 2u);
        if (!row.reportOnFull) {
            EXPECT_NE(bench.read("r.jsonl").find("\"outcome\":\"ok\""), std::string::npos);
        }
    }
}

}  // namespace
}  // namespace kvu::ctl::test
