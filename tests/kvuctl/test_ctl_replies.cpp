// Replies that belong to their command, through the real kvuctl: a device that pauses between
// the lines of a reply, and many paced devices at once on a loaded machine, are read as they
// answer, with identities that hold no line breaks.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "tests/kvuctl/ctl_harness.h"

namespace kvu::ctl::test {
namespace {

TEST(CtlReplies, ADeviceThatPausesBetweenTheLinesOfAReplyIsReadWhole) {
    Bench bench("pauses");
    Sim sim;
    ASSERT_TRUE(sim.start(bench, "ttyKVU1", "KVW012",
                          {"--line-at-a-time", "--chunk-gap", "110", "--mcuid", "3F00CDUM"},
                          "1-1.1"));

    const CtlResult shown = runCtl(bench, {"show"});
    EXPECT_EQ(shown.status, 0) << shown.out << shown.err;
    EXPECT_NE(shown.out.find("KVW012"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("3F00CDUM"), std::string::npos) << shown.out;
    EXPECT_EQ(shown.out.find("F00CDUM\r"), std::string::npos) << shown.out;
    EXPECT_EQ(shown.out.find('\r'), std::string::npos) << shown.out;

    const CtlResult listed = runCtl(bench, {"--json", "list"});
    EXPECT_EQ(listed.status, 0) << listed.out << listed.err;
    EXPECT_NE(listed.out.find("\"KVW012\""), std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find("\"3F00CDUM\""), std::string::npos) << listed.out;

    const CtlResult read = runCtl(bench, {"--serial", "KVW012", "read", "-o", "bk-{serial}.all"});
    EXPECT_EQ(read.status, 0) << read.out << read.err;
    EXPECT_TRUE(std::filesystem::exists(bench.dir / "bk-KVW012.all")) << read.out << read.err;
    for (const auto& entry : std::filesystem::directory_iterator(bench.dir)) {
        const std::string name = entry.path().filename().string();
        EXPECT_EQ(name.find_first_of("\r\n"), std::string::npos) << name;
    }
}

// Each device answers correctly on its own; 64 at once on two cores must be read as rightly.
TEST(CtlReplies, SixtyFourPacedDevicesAtOnceAreEachReadAsTheyAnswer) {
    Bench bench("load");
    constexpr int kDevices = 64;
    std::vector<std::unique_ptr<Sim>> sims;
    for (int i = 1; i <= kDevices; ++i) {
        auto sim = std::make_unique<Sim>();
        const std::string n = std::to_string(i);
        ASSERT_TRUE(sim->start(bench, "ttyKVU" + n, "KV" + std::string(4 - n.size(), '0') + n,
                               {"--baud", "9600", "--mcuid", "F" + n}, "1-1." + n));
        sims.push_back(std::move(sim));
    }
    const std::string file = bench.write("fleet.all", presetText({{'1', "apn", "fleet.apn"},
                                                                  {'1', "user", "fleet"},
                                                                  {'1', "pw", "s3cret-pw"},
                                                                  {'2', "apn", "backup.apn"}}));
    for (int run = 0; run < 3; ++run) {
        SCOPED_TRACE(run);
        const CtlResult r = runCtl(bench, {"--all", "write", file}, 90s);
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        for (const auto& sim : sims) {
            EXPECT_EQ(
                countOf(r.out, sim->serial() + " on " + sim->port() + ": written and verified"), 1u)
                << sim->serial() << "\n"
                << r.out;
            EXPECT_EQ(sim->committedValue('1', "apn"), "fleet.apn") << sim->serial();
        }
    }
    const CtlResult listed = runCtl(bench, {"--json", "list"}, 90s);
    EXPECT_EQ(listed.status, 0) << listed.err;
    for (int i = 1; i <= kDevices; ++i) {
        EXPECT_NE(listed.out.find("\"F" + std::to_string(i) + "\""), std::string::npos) << i;
    }
}

}  // namespace
}  // namespace kvu::ctl::test
