// diff against a file, and a partial file that changes only its own sections on the wire.

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

#include "tests/kvuctl/ctl_harness.h"

namespace kvu::ctl::test {
namespace {

// What the device holds before: every group set.
const FieldValues kDevice = {
    {'1', "apn", "old.one"},  {'1', "user", "ou1"},      {'1', "pw", "opw1"},
    {'1', "auth", "1"},       {'1', "pdp", "0"},         {'2', "apn", "old.two"},
    {'2', "user", "ou2"},     {'2', "pw", "opw2"},       {'2', "auth", "2"},
    {'2', "pdp", "1"},        {'3', "apn", "old.three"}, {'3', "user", "ou3"},
    {'3', "pw", "opw3"},      {'3', "auth", "0"},        {'3', "pdp", "2"},
    {'4', "apn", "old.four"}, {'4', "user", "ou4"},      {'4', "pw", "opw4"},
    {'4', "auth", "1"},       {'4', "pdp", "1"},         {'w', "ssid", "OldNet"},
    {'w', "sec", "1"},        {'w', "pw_type", "0"},     {'w', "pw", "old-passphrase"},
};

FieldValues group(const FieldValues& values, char address) {
    FieldValues out;
    for (const FieldValue& v : values) {
        if (v.address == address) {
            out.push_back(v);
        }
    }
    return out;
}

FieldValues joined(const FieldValues& a, const FieldValues& b) {
    FieldValues out = a;
    out.insert(out.end(), b.begin(), b.end());
    return out;
}

FieldValues changed(FieldValues values, char address, const std::string& key,
                    const std::string& value) {
    for (FieldValue& v : values) {
        if (v.address == address && v.key == key) {
            v.value = value;
        }
    }
    return values;
}

TEST(CtlDiff, EqualAndUnequalFilesAndNothingWritten) {
    Bench bench("diff");
    Sim sim;
    ASSERT_TRUE(sim.start(bench, "ttyKVU1", "KVD001", initArgs(kDevice)));
    const FieldValues wwan2AndWifi = joined(group(kDevice, '2'), group(kDevice, 'w'));
    struct Case {
        const char* name;
        FieldValues file;
        int status;
        std::vector<std::string> lines;  // expected in stdout
        std::vector<std::string> absent;
    };
    const std::vector<Case> cases = {
        {"the whole device", kDevice, 0, {"KVD001 on " + sim.port() + ": equal to the file\n"}, {}},
        {"two of its groups", wwan2AndWifi, 0, {": equal to the file\n"}, {}},
        {"a text and a secret differ",
         changed(changed(wwan2AndWifi, '2', "user", "new-user"), 'w', "pw", "new-passphrase"),
         1,
         {"KVD001 on " + sim.port() + ": differs from the file\n",
          "    WWAN2 user name: device \"ou2\", file \"new-user\"\n",
          "    Wi-Fi passphrase: (differs)\n"},
         {"new-passphrase", "old-passphrase", "APN"}},
        // A group the file leaves out is not compared, however different it would be.
        {"an item of a list differs",
         changed(group(kDevice, '3'), '3', "pdp", "0"),
         1,
         {"    WWAN3 PDP type: device \"IPV4V6\", file \"IPV4\"\n"},
         {"WWAN1", "WWAN2", "Wi-Fi"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = bench.write("compare.all", presetText(c.file));
        const CtlResult r = runCtl(bench, {"--port", sim.port(), "diff", file});
        ASSERT_FALSE(r.timedOut);
        EXPECT_EQ(r.status, c.status) << r.out << r.err;
        for (const std::string& line : c.lines) {
            EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n---\n" << r.out;
        }
        for (const std::string& text : c.absent) {
            EXPECT_EQ(r.out.find(text), std::string::npos) << text << "\n---\n" << r.out;
        }
    }

    // The same in JSON, for scripts: the status inside the document too, secrets without values.
    const std::string file = bench.write(
        "compare.all", presetText(changed(changed(wwan2AndWifi, '2', "user", "new-user"), 'w', "pw",
                                          "new-passphrase")));
    const CtlResult r = runCtl(bench, {"--port", sim.port(), "--json", "diff", file});
    EXPECT_EQ(r.status, 1) << r.err;
    const QJsonObject document = QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object();
    EXPECT_EQ(document.value("exitStatus").toInt(), 1) << r.out;
    const QJsonArray devices = document.value("devices").toArray();
    ASSERT_EQ(devices.size(), 1) << r.out;
    const QJsonObject device = devices.at(0).toObject();
    EXPECT_EQ(device.value("serial").toString(), "KVD001");
    EXPECT_EQ(device.value("outcome").toString(), "differs");
    const QJsonArray differences = device.value("differences").toArray();
    ASSERT_EQ(differences.size(), 2) << r.out;
    EXPECT_EQ(differences.at(0).toObject(),
              (QJsonObject{{"field", "WWAN2 user name"}, {"file", "new-user"}, {"device", "ou2"}}));
    EXPECT_EQ(differences.at(1).toObject(),
              (QJsonObject{{"field", "Wi-Fi passphrase"}, {"differs", true}}));

    EXPECT_TRUE(sim.setLines().empty());
    EXPECT_TRUE(sim.linesFrom(0, "fw").empty());
    EXPECT_FALSE(sim.linesFrom(0, "get").empty());
}

TEST(CtlPartialFile, OnlyItsSectionsChangeTheOthersGoOutWithTheDevicesValues) {
    Bench bench("partial");
    Sim sim;
    ASSERT_TRUE(sim.start(bench, "ttyKVU1", "KVP001", initArgs(kDevice)));
    const FieldValues fileValues = {
        {'1', "apn", "new.one"}, {'1', "user", "nu1"},  {'1', "pw", "npw1"},
        {'1', "auth", "2"},      {'1', "pdp", "2"},     {'w', "ssid", "NewNet"},
        {'w', "sec", "1"},       {'w', "pw_type", "0"}, {'w', "pw", "new-passphrase"},
    };
    const std::string file = bench.write("partial.all", presetText(fileValues));

    const CtlResult r = runCtl(bench, {"--port", sim.port(), "write", file});
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "KVP001 on " + sim.port() + ": written and verified\n");

    // The 24 lines in the device's order: WWAN1 and Wi-Fi from the file, the rest as it was.
    std::vector<std::string> expected;
    FieldValues after;
    for (const FieldValue& v : kDevice) {
        const bool fromFile = v.address == '1' || v.address == 'w';
        FieldValue now = v;
        for (const FieldValue& f : fileValues) {
            if (fromFile && f.address == v.address && f.key == v.key) {
                now = f;
            }
        }
        after.push_back(now);
    }
    for (const FieldValue& v : after) {
        expected.push_back(setLine(v.address, v.key, v.value));
    }
    EXPECT_EQ(sim.setLines(), expected);
    const std::vector<std::string> wire = sim.transcript();
    ASSERT_GE(wire.size(), 3u);
    EXPECT_EQ(std::count(wire.begin(), wire.end(), "fw"), 1);
    for (const FieldValue& v : after) {
        EXPECT_EQ(sim.committedValue(v.address, v.key), v.value) << v.address << " " << v.key;
    }
}

TEST(CtlPartialFile, ABadEntryTheDeviceHoldsInAGroupTheFileLeavesOutStopsBeforeAnySetLine) {
    Bench bench("partial-bad");
    Sim sim;
    ASSERT_TRUE(sim.start(bench, "ttyKVU1", "KVP002", {"--init", "3 user two words"}));
    const std::string file = bench.write("wwan1.all", presetText({{'1', "apn", "new.one"}}));
    const CtlResult r = runCtl(bench, {"--port", sim.port(), "--report", "r.jsonl", "write", file});
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_NE(r.out.find("KVP002 on " + sim.port() +
                         ": NOT WRITTEN, invalid entry: WWAN 3 - User "
                         "Name: Please enter only ASCII characters other than spaces.\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(sim.setLines(), std::vector<std::string>{});
    EXPECT_NE(bench.read("r.jsonl").find("\"outcome\":\"invalid\""), std::string::npos);
}

}  // namespace
}  // namespace kvu::ctl::test
