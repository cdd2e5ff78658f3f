// Bad usage and bad input: exit status 2, the reason on stderr, and the device left alone: not a
// byte sent, the port not even opened.

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "tests/kvuctl/ctl_harness.h"

namespace kvu::ctl::test {
namespace {

struct BadInput {
    const char* name;
    std::vector<std::string> args;         // "{port}" becomes the simulator's port
    std::vector<std::string> err;          // each appears on stderr
    bool readsDespitePermissions = false;  // root reads a file whatever its mode
};

std::ostream& operator<<(std::ostream& os, const BadInput& c) {
    return os << c.name;
}

const FieldValues kGood = {{'1', "apn", "internet"}, {'w', "ssid", "Net"}};

void writeInputs(const Bench& bench) {
    bench.write("good.all", presetText(kGood));
    bench.write("none.all", "[Other]\r\nAPN=internet\r\n");
    bench.write("wwan1.wifi", presetText({{'1', "apn", "internet"}}));
    bench.write("group.wwan", "[WWAN]\r\nAPN=internet\r\n");
    bench.write("plain.txt", presetText(kGood));
    bench.write("bad-apn.all", presetText({{'1', "apn", "my apn"}, {'w', "ssid", "Net"}}));
    bench.write("short.wifi", "[Wi-Fi]\r\nSSID=Net\r\nPWTYPE=0\r\nPASSPHRASE=short\r\n");
    // A backup read to standard output holds the mask where the secrets were.
    bench.write(
        "masked.all",
        presetText({{'1', "apn", "internet"}, {'1', "user", "u"}, {'1', "pw", "********"}}));
    bench.write("masked-wifi.all", presetText({{'w', "ssid", "Net"},
                                               {'w', "sec", "1"},
                                               {'w', "pw_type", "0"},
                                               {'w', "pw", "********"}}));
    using namespace std::string_literals;
    bench.write("nul.all", "[WWAN1]\r\nAPN=inter\0net\r\n"s);
    bench.write("big.all", presetText(kGood) + std::string(1500 * 1000, ';'));
    std::filesystem::create_directory(bench.dir / "folder.all");
    const std::string locked = bench.write("locked.all", presetText(kGood));
    std::filesystem::permissions(locked, std::filesystem::perms::none);
}

class CtlBadInput : public ::testing::TestWithParam<BadInput> {};

TEST_P(CtlBadInput, ExitsTwoAndNeverOpensThePort) {
    const BadInput& c = GetParam();
    if (c.readsDespitePermissions && ::geteuid() == 0) {
        GTEST_SKIP() << "running as root, which reads a file of mode 000 anyway";
    }
    Bench bench(std::string("bad-") + c.name);
    writeInputs(bench);
    Sim sim;
    ASSERT_TRUE(sim.start(bench, "ttyKVU1", "KVX001", {}, "1-1.1"));
    OpenWatch opens(sim.line());
    ASSERT_TRUE(opens.valid());

    std::vector<std::string> args;
    for (const std::string& a : c.args) {
        args.push_back(a == "{port}" ? sim.port() : a);
    }
    const CtlResult r = runCtl(bench, args, 20s);
    ASSERT_FALSE(r.timedOut) << r.err;
    EXPECT_EQ(r.status, 2) << r.out << r.err;
    EXPECT_EQ(r.out, "");
    for (const std::string& text : c.err) {
        EXPECT_NE(r.err.find(text), std::string::npos) << text << "\n---\n" << r.err;
    }
    EXPECT_EQ(sim.transcript(), std::vector<std::string>{});
    EXPECT_EQ(opens.opens(), 0);

    // The watch does see kvuctl open this port when the input is good.
    const CtlResult good = runCtl(bench, {"--port", sim.port(), "diff", "good.all"});
    EXPECT_EQ(good.status, 1) << good.out << good.err;
    EXPECT_GE(opens.opens(), 1);
}

const BadInput kCases[] = {
    {"unknown_option", {"--port", "{port}", "--bogus", "write", "good.all"}, {"--bogus"}},
    {"unknown_command", {"--port", "{port}", "flash", "good.all"}, {"unknown command: flash"}},
    {"no_file_named", {"--port", "{port}", "write"}, {"FILE"}},
    {"missing_file", {"--port", "{port}", "write", "missing.all"}, {"missing.all: no such file"}},
    {"unreadable_file",
     {"--port", "{port}", "write", "locked.all"},
     {"locked.all: cannot be read"},
     true},
    {"folder", {"--port", "{port}", "write", "folder.all"}, {"folder.all: is a folder"}},
    {"wrong_extension",
     {"--port", "{port}", "write", "plain.txt"},
     {"plain.txt: not a preset file (.all, .wwan or .wifi)"}},
    {"all_without_sections",
     {"--port", "{port}", "write", "none.all"},
     {"none.all: none of the sections WWAN1, WWAN2, WWAN3, WWAN4, Wi-Fi"}},
    {"all_without_sections_diff", {"--port", "{port}", "diff", "none.all"}, {"none.all: none"}},
    {"wifi_without_its_section", {"--port", "{port}", "write", "wwan1.wifi"}, {"wwan1.wifi"}},
    {"wwan_without_group",
     {"--port", "{port}", "write", "group.wwan"},
     {"group.wwan: a .wwan file holds one WWAN group; name it with --group 1-4"}},
    {"group_out_of_range",
     {"--port", "{port}", "write", "group.wwan", "--group", "5"},
     {"--group", "5"}},
    {"invalid_apn",
     {"--port", "{port}", "write", "bad-apn.all"},
     {"bad-apn.all: WWAN 1 - APN", "Please enter only ASCII characters other than spaces."}},
    {"invalid_passphrase",
     {"--port", "{port}", "write", "short.wifi"},
     {"Wi-Fi - Passphrase (ASCII)", "Please enter characters length of 8 to 63."}},
    // Station mode checks the file before it waits for anything.
    {"invalid_entry_in_watch",
     {"watch", "write", "bad-apn.all"},
     {"WWAN 1 - APN", "Please enter only ASCII characters other than spaces."}},
    {"masked_password",
     {"--port", "{port}", "write", "masked.all"},
     {"masked.all: WWAN1 password is \"********\", the mask of a hidden secret",
      "kvuctl read -o FILE", "--show-secrets"}},
    {"masked_passphrase",
     {"--port", "{port}", "write", "masked-wifi.all"},
     {"masked-wifi.all: Wi-Fi passphrase is \"********\""}},
    {"masked_in_watch", {"watch", "write", "masked.all"}, {"masked.all: WWAN1 password"}},
    {"nul_byte", {"--port", "{port}", "write", "nul.all"}, {"nul.all: line 2 holds a NUL byte"}},
    {"oversized", {"--port", "{port}", "write", "big.all"}, {"big.all: too large for a preset"}},
    {"erase_without_yes", {"--port", "{port}", "erase"}, {"add --yes"}},
    {"report_not_writable",
     {"--port", "{port}", "--report", "no-such-folder/r.jsonl", "write", "good.all"},
     {"no-such-folder/r.jsonl: cannot be opened for appending"}},
    {"show_secrets_elsewhere",
     {"--port", "{port}", "diff", "good.all", "--show-secrets"},
     {"--show-secrets"}},
};

INSTANTIATE_TEST_SUITE_P(Rows, CtlBadInput, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<BadInput>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
}  // namespace kvu::ctl::test
