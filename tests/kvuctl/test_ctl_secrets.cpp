// Passwords and the passphrase never leave kvuctl except where asked for: `show --show-secrets`.

#include <gtest/gtest.h>

#include "tests/kvuctl/ctl_harness.h"

namespace kvu::ctl::test {
namespace {

// Canaries: the device's own secrets and the file's.
const std::vector<std::string> kCanaries = {"CanaryPw_7731",  "CanaryPass_7731",
                                            "OldCanary_4410", "OldCanaryPass_4410",
                                            "CanaryPw_9999",  "CanaryPass_9999"};

const FieldValues kFile = {
    {'1', "apn", "internet"},       {'1', "user", "user1"}, {'1', "pw", "CanaryPw_7731"},
    {'w', "ssid", "CanaryNet"},     {'w', "sec", "1"},      {'w', "pw_type", "0"},
    {'w', "pw", "CanaryPass_7731"},
};
const FieldValues kDevice = {{'2', "pw", "OldCanary_4410"}, {'w', "pw", "OldCanaryPass_4410"}};

std::string found(const std::string& text) {
    std::string hits;
    for (const std::string& canary : kCanaries) {
        if (text.find(canary) != std::string::npos) {
            hits += canary + " ";
        }
    }
    return hits;
}

TEST(CtlSecrets, NeverInOutputReportOrLogUnlessShowIsAskedForThem) {
    Bench bench("secrets");
    const std::string file = bench.write("secret.all", presetText(kFile));
    const std::string otherPw = bench.write(
        "other.all", presetText({{'1', "pw", "CanaryPw_9999"}, {'w', "pw", "CanaryPass_9999"}}));
    Sim device;
    ASSERT_TRUE(device.start(bench, "ttyKVU1", "KVS001", initArgs(kDevice)));
    Sim refuses;  // at the password line, which is the failed command shown
    std::vector<std::string> refusing = initArgs(kDevice);
    refusing.insert(refusing.end(), {"--error-match", "set 1 pw"});
    ASSERT_TRUE(refuses.start(bench, "ttyKVU2", "KVS002", refusing));
    Sim forgets;  // the passphrase, which is the differing field shown
    std::vector<std::string> forgetting = initArgs(kDevice);
    forgetting.insert(forgetting.end(), {"--forget-on-commit", "w pw"});
    ASSERT_TRUE(forgets.start(bench, "ttyKVU3", "KVS003", forgetting));

    const std::vector<std::string> one = {"--log=DEBUG", "--report", "audit.jsonl", "--port",
                                          device.port()};
    struct Run {
        const char* name;
        std::vector<std::string> args;
        int status;
        const char* shows;  // a text of the result, so that an empty output cannot pass
    };
    const auto with = [&one](std::vector<std::string> tail) {
        std::vector<std::string> args = one;
        args.insert(args.end(), tail.begin(), tail.end());
        return args;
    };
    const std::vector<Run> runs = {
        {"show before", with({"show"}), 0, "Password   "},
        // A hidden secret is no value a script could write back.
        {"json show", with({"--json", "show"}), 0, "\"password\": null"},
        {"json show says so", with({"--json", "show"}), 0, "\"secretsHidden\": true"},
        {"read to stdout", with({"read"}), 0, "PASSWORD=********"},
        {"write", with({"write", file}), 0, "written and verified"},
        {"diff equal", with({"diff", file}), 0, "equal to the file"},
        {"diff unequal", with({"diff", otherPw}), 1, "WWAN1 password: (differs)"},
        {"json diff unequal", with({"--json", "diff", otherPw}), 1, "\"differs\": true"},
        {"show after", with({"show"}), 0, "********"},
        {"failing writes",
         {"--log=DEBUG", "--report", "audit.jsonl", "--port", refuses.port(), "--port",
          forgets.port(), "write", file},
         1,
         "Wi-Fi passphrase: (differs)"},
        {"failing write json",
         {"--log=DEBUG", "--json", "--port", refuses.port(), "write", file},
         1,
         "set 1 pw ********"},
    };
    for (const Run& run : runs) {
        SCOPED_TRACE(run.name);
        const CtlResult r = runCtl(bench, run.args);
        ASSERT_FALSE(r.timedOut);
        EXPECT_EQ(r.status, run.status) << r.out << r.err;
        EXPECT_NE(r.out.find(run.shows), std::string::npos) << r.out;
        EXPECT_EQ(found(r.out), "") << r.out;
        EXPECT_EQ(found(r.err), "") << r.err;
    }
    // The failing device got the password line, so the failure was about a secret.
    EXPECT_EQ(refuses.transcript().back(), "set 1 pw CanaryPw_7731");
    const std::string report = bench.read("audit.jsonl");
    EXPECT_EQ(splitLines(report).size(), 11u) << report;
    EXPECT_EQ(found(report), "") << report;
    const std::string log = bench.log();
    EXPECT_NE(log.find("Write Successfully"), std::string::npos);
    EXPECT_EQ(found(log), "");

    // Asked for: the device's secrets, now the file's.
    const CtlResult shown = runCtl(bench, with({"show", "--show-secrets"}));
    EXPECT_EQ(shown.status, 0) << shown.err;
    EXPECT_NE(shown.out.find("CanaryPw_7731"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("CanaryPass_7731"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("OldCanary_4410"), std::string::npos) << shown.out;
    EXPECT_EQ(found(shown.err), "") << shown.err;
    EXPECT_EQ(found(bench.log()), "");
    EXPECT_EQ(found(bench.read("audit.jsonl")), "");
}

}  // namespace
}  // namespace kvu::ctl::test
