// Which devices a command works on when none, one or several are attached (found through the
// sysfs look-alike, as discovery finds real ones).

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "tests/kvuctl/ctl_harness.h"

namespace kvu::ctl::test {
namespace {

bool touchedProfiles(const Sim& sim) {
    return !sim.setLines().empty() || !sim.linesFrom(0, "fw").empty();
}

TEST(CtlSelection, NoneAttachedIsStatusThree) {
    Bench bench("none");
    bench.write("good.all", presetText({{'1', "apn", "internet"}}));
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"show"}, {"--all", "write", "good.all"}, {"list"}}) {
        SCOPED_TRACE(args.front());
        const CtlResult r = runCtl(bench, args);
        EXPECT_EQ(r.status, 3) << r.out << r.err;
        EXPECT_NE(r.err.find("kvuctl: no KVU found."), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
    // Named ports where nothing is plugged in: no device either, each one said.
    const std::string gone = (bench.dev / "ttyGONE").string();
    const CtlResult named = runCtl(bench, {"--port", gone, "--port", gone + "2", "show"});
    EXPECT_EQ(named.status, 3) << named.out << named.err;
    EXPECT_NE(named.out.find(gone + " does not exist"), std::string::npos) << named.out;
    EXPECT_NE(named.out.find(gone + "2 does not exist"), std::string::npos) << named.out;
}

TEST(CtlSelection, TwoAttachedNeedAChoiceAndASerialPicksOne) {
    Bench bench("two");
    const std::string file = bench.write("good.all", presetText({{'1', "apn", "picked"}}));
    Sim a;
    Sim b;
    ASSERT_TRUE(a.start(bench, "ttyKVU1", "KVA001", {}, "1-1.1"));
    ASSERT_TRUE(b.start(bench, "ttyKVU2", "KVB002", {}, "1-1.2"));

    // None chosen: both listed, nothing touched.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"show"}, {"write", file}, {"diff", file}}) {
        SCOPED_TRACE(args.front());
        const CtlResult r = runCtl(bench, args);
        EXPECT_EQ(r.status, 2) << r.out << r.err;
        EXPECT_NE(r.err.find("2 KVUs are attached: " + a.port() + " (1-1.1), " + b.port() +
                             " (1-1.2). Choose with --port, --serial or --all."),
                  std::string::npos)
            << r.err;
        EXPECT_EQ(r.out, "");
    }
    EXPECT_TRUE(a.transcript().empty());
    EXPECT_TRUE(b.transcript().empty());

    // list needs no choice: every attached one, with its hub socket and identity.
    const CtlResult listed = runCtl(bench, {"list"});
    EXPECT_EQ(listed.status, 0) << listed.err;
    const std::vector<std::string> rows = splitLines(listed.out);
    ASSERT_EQ(rows.size(), 3u) << listed.out;
    EXPECT_TRUE(rows[0].starts_with("PORT")) << rows[0];
    for (std::size_t i = 0; i < 2; ++i) {
        const Sim& sim = i == 0 ? a : b;
        EXPECT_TRUE(rows[i + 1].starts_with(sim.port() + "  ")) << rows[i + 1];
        for (const std::string& cell : {"1-1." + std::to_string(i + 1), std::string("1.0.0"),
                                        std::string("0001"), sim.serial()}) {
            EXPECT_NE(rows[i + 1].find("  " + cell), std::string::npos)
                << cell << ": " << rows[i + 1];
        }
    }

    const CtlResult absent = runCtl(bench, {"--serial", "KVZ999", "show"});
    EXPECT_EQ(absent.status, 3) << absent.out << absent.err;
    EXPECT_NE(absent.err.find("no attached KVU has the serial KVZ999 (found: "), std::string::npos)
        << absent.err;
    EXPECT_NE(absent.err.find("KVA001 on " + a.port()), std::string::npos) << absent.err;
    EXPECT_NE(absent.err.find("KVB002 on " + b.port()), std::string::npos) << absent.err;
    EXPECT_FALSE(touchedProfiles(a));
    EXPECT_FALSE(touchedProfiles(b));

    // The second one by its serial: only it is written, and only it is reported.
    const CtlResult picked = runCtl(bench, {"--serial", "KVB002", "write", file});
    EXPECT_EQ(picked.status, 0) << picked.out << picked.err;
    EXPECT_EQ(picked.out, "KVB002 on " + b.port() + ": written and verified\n");
    EXPECT_FALSE(touchedProfiles(a));
    EXPECT_EQ(b.committedValue('1', "apn"), "picked");
    EXPECT_EQ(a.committedValue('1', "apn"), "(nothing committed)");

    const CtlResult shown = runCtl(bench, {"--serial", "KVA001", "show"});
    EXPECT_EQ(shown.status, 0) << shown.err;
    EXPECT_TRUE(shown.out.starts_with(a.port() + " (1-1.1)  serial KVA001  MCU id 0001"))
        << shown.out;
    EXPECT_EQ(shown.out.find("KVB002"), std::string::npos) << shown.out;
}

TEST(CtlSelection, SerialAsksTheOthersOnlyWhoTheyAreAndSkipsABusyPortWithANote) {
    Bench bench("select-serial");
    Sim other;
    Sim wanted;
    Sim held;
    ASSERT_TRUE(other.start(bench, "ttyKVU1", "KVS001", {}, "1-1.1"));
    ASSERT_TRUE(wanted.start(bench, "ttyKVU2", "KVS002", {}, "1-1.2"));
    ASSERT_TRUE(held.start(bench, "ttyKVU3", "KVS003", {}, "1-1.3"));
    const int fd = ::open(held.port().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    const CtlResult r = runCtl(bench, {"--serial", "KVS002", "read", "-o", "x.all"});
    ::close(fd);
    ASSERT_FALSE(r.timedOut) << r.err;
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "KVS002 on " + wanted.port() + ": saved to x.all\n");
    EXPECT_NE(bench.read("x.all").find("[WWAN1]"), std::string::npos);
    EXPECT_NE(r.err.find("kvuctl: " + held.port() + " skipped, its serial is unknown: port busy"),
              std::string::npos)
        << r.err;
    // The other device was asked its identity and nothing more.
    EXPECT_EQ(other.transcript(), (std::vector<std::string>{"ver", "serial"}));
    EXPECT_EQ(wanted.linesFrom(0, "get").size(), 1u);
    EXPECT_TRUE(held.transcript().empty());
}

}  // namespace
}  // namespace kvu::ctl::test
