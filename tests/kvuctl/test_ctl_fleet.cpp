// A fleet written side by side: each device's own outcome, its report record, what it stored.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <map>

#include "tests/kvuctl/ctl_harness.h"

namespace kvu::ctl::test {
namespace {

// All five groups, every field set, none of them the simulator's factory value.
const FieldValues kFleet = {
    {'1', "apn", "fleet.one"},  {'1', "user", "u1"},         {'1', "pw", "pw1-secret"},
    {'1', "auth", "1"},         {'1', "pdp", "1"},           {'2', "apn", "fleet.two"},
    {'2', "user", "u2"},        {'2', "pw", "pw2-secret"},   {'2', "auth", "2"},
    {'2', "pdp", "2"},          {'3', "apn", "fleet.three"}, {'3', "user", "u3"},
    {'3', "pw", "pw3-secret"},  {'3', "auth", "1"},          {'3', "pdp", "0"},
    {'4', "apn", "fleet.four"}, {'4', "user", "u4"},         {'4', "pw", "pw4-secret"},
    {'4', "auth", "2"},         {'4', "pdp", "1"},           {'w', "ssid", "FleetNet"},
    {'w', "sec", "1"},          {'w', "pw_type", "0"},       {'w', "pw", "fleet-passphrase"},
};

// Every field the device committed equals the file's.
void expectHoldsFleet(const Sim& sim) {
    for (const FieldValue& f : kFleet) {
        EXPECT_EQ(sim.committedValue(f.address, f.key), f.value)
            << sim.serial() << " " << f.address << " " << f.key;
    }
}

std::map<QString, QJsonObject> reportBySerial(const std::string& text, std::size_t& lines) {
    std::map<QString, QJsonObject> records;
    const std::vector<std::string> rows = splitLines(text);
    lines = rows.size();
    for (const std::string& row : rows) {
        QJsonParseError error;
        const QJsonDocument document =
            QJsonDocument::fromJson(QByteArray::fromStdString(row), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << row;
        EXPECT_TRUE(document.isObject()) << row;
        const QJsonObject record = document.object();
        records[record.value("serial").toString()] = record;
    }
    return records;
}

TEST(CtlFleet, FourDevicesWrittenSideBySideEachWithItsOwnOutcomeAndRecord) {
    Bench bench("fleet");
    const std::string file = bench.write("fleet.all", presetText(kFleet));
    const FieldValues before = {{'3', "apn", "kept.three"}, {'w', "ssid", "OldNet"}};
    Sim good1;
    Sim refuses;
    Sim forgets;
    Sim good2;
    ASSERT_TRUE(good1.start(bench, "ttyKVU1", "KVA001", {}, "1-1.1"));
    ASSERT_TRUE(refuses.start(bench, "ttyKVU2", "KVB002", {"--error-match", "set 2 apn"}, "1-1.2"));
    std::vector<std::string> forgetArgs = initArgs(before);
    forgetArgs.insert(forgetArgs.end(), {"--forget-on-commit", "3 apn"});
    ASSERT_TRUE(forgets.start(bench, "ttyKVU3", "KVC003", forgetArgs, "1-1.3"));
    ASSERT_TRUE(good2.start(bench, "ttyKVU4", "KVD004", {}, "1-1.4"));

    const CtlResult r = runCtl(bench, {"--all", "--report", "rollout.jsonl", "write", file});
    ASSERT_FALSE(r.timedOut) << r.err;
    EXPECT_EQ(r.status, 1) << r.out << r.err;

    // One block per device; the good ones verified, the others naming serial, port and cause.
    for (const Sim* sim : {&good1, &good2}) {
        EXPECT_EQ(countOf(r.out, sim->serial() + " on " + sim->port() + ": written and verified\n"),
                  1u)
            << r.out;
        expectHoldsFleet(*sim);
    }
    EXPECT_NE(r.out.find("KVB002 on " + refuses.port() + ": FAILED at write"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("    command: set 2 apn fleet.two\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("KVC003 on " + forgets.port() + ": FAILED at verify"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("    WWAN3 APN: wrote \"fleet.three\", device kept \"kept.three\"\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(countOf(r.out, "written and verified"), 2u) << r.out;

    // The refusing device stopped at its refused line: no later line, no commit.
    const std::vector<std::string> refusedWire = refuses.transcript();
    ASSERT_FALSE(refusedWire.empty());
    EXPECT_EQ(refusedWire.back(), "set 2 apn fleet.two");
    EXPECT_EQ(refuses.committedValue('1', "apn"), "(nothing committed)");
    // The forgetting device committed everything else.
    EXPECT_EQ(forgets.committedValue('3', "apn"), "kept.three");
    EXPECT_EQ(forgets.committedValue('3', "user"), "u3");
    EXPECT_EQ(forgets.committedValue('w', "ssid"), "FleetNet");

    std::size_t lines = 0;
    const std::map<QString, QJsonObject> report =
        reportBySerial(bench.read("rollout.jsonl"), lines);
    EXPECT_EQ(lines, 4u);
    ASSERT_EQ(report.size(), 4u);
    struct Expected {
        const Sim* sim;
        const char* location;
        const char* outcome;
        const char* step;
        const char* failedCommand;
        QStringList differing;
    };
    const Expected expected[] = {
        {&good1, "1-1.1", "ok", "verify", "", {}},
        {&refuses, "1-1.2", "failed", "write", "set 2 apn fleet.two", {}},
        {&forgets, "1-1.3", "failed", "verify", "", {"WWAN3 APN"}},
        {&good2, "1-1.4", "ok", "verify", "", {}},
    };
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.sim->serial());
        const auto it = report.find(QString::fromStdString(e.sim->serial()));
        ASSERT_NE(it, report.end());
        const QJsonObject& record = it->second;
        EXPECT_EQ(record.value("port").toString().toStdString(), e.sim->port());
        EXPECT_EQ(record.value("location").toString(), e.location);
        EXPECT_EQ(record.value("mcuId").toString(), "0001");
        EXPECT_EQ(record.value("operation").toString(), "write");
        EXPECT_EQ(record.value("file").toString().toStdString(), file);
        EXPECT_EQ(record.value("outcome").toString(), e.outcome);
        EXPECT_EQ(record.value("step").toString(), e.step);
        EXPECT_EQ(record.value("failedCommand").toString(), e.failedCommand);
        EXPECT_EQ(record.value("error").toString().isEmpty(), QString(e.outcome) == "ok");
        EXPECT_EQ(record.value("differingFields").toVariant().toStringList(), e.differing);
        EXPECT_TRUE(
            QDateTime::fromString(record.value("time").toString(), Qt::ISODateWithMs).isValid())
            << record.value("time").toString().toStdString();
    }
}

TEST(CtlFleet, APortHeldByAnotherProgramIsBusyAndTheOthersAreWrittenAnyway) {
    Bench bench("busy");
    const std::string file = bench.write("fleet.all", presetText(kFleet));
    Sim first;
    Sim held;
    Sim third;
    ASSERT_TRUE(first.start(bench, "ttyKVU1", "KVA001"));
    ASSERT_TRUE(held.start(bench, "ttyKVU2", "KVB002"));
    ASSERT_TRUE(third.start(bench, "ttyKVU3", "KVC003"));

    // As the window's serial layer holds a port.
    const int fd = ::open(held.port().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);

    const CtlResult r = runCtl(bench, {"--port", first.port(), "--port", held.port(), "--port",
                                       third.port(), "write", file});
    ::close(fd);
    ASSERT_FALSE(r.timedOut) << r.err;
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_NE(r.out.find("(serial unknown) on " + held.port() +
                         ": FAILED at connect: " + held.port() + ": port busy\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find(held.port() + " is held by another program"), std::string::npos) << r.out;
    EXPECT_TRUE(held.transcript().empty());
    for (const Sim* sim : {&first, &third}) {
        EXPECT_EQ(countOf(r.out, sim->serial() + " on " + sim->port() + ": written and verified"),
                  1u)
            << r.out;
        expectHoldsFleet(*sim);
    }
}

struct FailureCase {
    const char* name;
    std::vector<std::string> sim;
    bool held;          // another program holds the port
    const char* cause;  // in the line, --json and the report
    const char* line;   // the result line after "<serial> on <port>: "
    const char* hint;   // a text of the hint; empty: none asked for
};

TEST(CtlFleet, FailuresThatReadAlikeInTheWindowSayTheirCause) {
    const FailureCase rows[] = {
        // The third set line: two before it went through.
        {"refused mid-write",
         {"--error-match", "set 1 pw"},
         false,
         "refused",
         "FAILED at write (refused): ",
         "may be active on the device without a commit"},
        {"no answer",
         {"--silent-match", "set 2 apn"},
         false,
         "no answer",
         "FAILED at write (no answer): ",
         ""},
        {"unplugged",
         {"--hang-up-after", "10"},
         false,
         "device left",
         "FAILED at write (device left): ",
         "The device went away during the work"},
        {"erase refused",
         {"--error-match", "fe"},
         false,
         "refused",
         "FAILED at erase (refused): ",
         ""},
        {"busy", {}, true, "busy", "FAILED at connect: ", "held by another program"},
    };
    for (const FailureCase& row : rows) {
        SCOPED_TRACE(row.name);
        Bench bench("causes");
        const std::string file = bench.write("fleet.all", presetText(kFleet));
        const bool erase = std::string(row.name) == "erase refused";
        // A device of its own for each run: an unplugged one does not come back.
        const auto run = [&](const std::string& tty, bool asJson) {
            Sim sim;
            if (!sim.start(bench, tty, "KVF001", row.sim)) {
                return CtlResult{};
            }
            int fd = -1;
            if (row.held) {
                fd = ::open(sim.port().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
                EXPECT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
            }
            std::vector<std::string> args = {"--report", "r.jsonl", "--port", sim.port()};
            if (asJson) {
                args.insert(args.begin(), "--json");
            }
            if (erase) {
                args.insert(args.end(), {"erase", "--yes"});
            } else {
                args.insert(args.end(), {"write", file});
            }
            CtlResult r = runCtl(bench, args);
            if (fd >= 0) {
                ::close(fd);
            }
            return r;
        };
        const CtlResult text = run("ttyKVU1", false);
        const CtlResult json = run("ttyKVU2", true);
        ASSERT_FALSE(text.timedOut || json.timedOut) << text.err << json.err;
        EXPECT_EQ(text.status, 1) << text.out << text.err;
        EXPECT_NE(text.out.find(": " + std::string(row.line)), std::string::npos) << text.out;
        EXPECT_NE(text.out.find(row.hint), std::string::npos) << text.out;
        const QJsonObject device = QJsonDocument::fromJson(QByteArray::fromStdString(json.out))
                                       .object()
                                       .value("devices")
                                       .toArray()
                                       .at(0)
                                       .toObject();
        EXPECT_EQ(device.value("cause").toString().toStdString(), row.cause) << json.out;
        std::size_t lines = 0;
        const std::map<QString, QJsonObject> report = reportBySerial(bench.read("r.jsonl"), lines);
        EXPECT_EQ(lines, 2u);
        for (const auto& [serial, record] : report) {
            EXPECT_EQ(record.value("cause").toString().toStdString(), row.cause)
                << serial.toStdString();
        }
    }
}

}  // namespace
}  // namespace kvu::ctl::test
