#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "sim/device_state.h"
#include "sim/state_file.h"
#include "tests/sim/pty_client.h"
#include "tests/sim/sim_process.h"

namespace {

using namespace std::chrono_literals;
using kvu::sim::test::PtyClient;
using kvu::sim::test::SimProcess;

std::filesystem::path freshDir(const std::string& name) {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("kvu-sim-" + name + "-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

TEST(SimProgram, ServesALinkAndKeepsCommittedValuesAcrossRestarts) {
    const auto dir = freshDir("program");
    const std::string link = (dir / "ttyKVU").string();
    const std::string state = (dir / "kvu.state").string();
    const std::vector<std::string> args = {"--link",   link,   "--state", state,
                                           "--serial", "KV77", "--init",  "1 apn boot apn"};
    {
        SimProcess sim;
        ASSERT_TRUE(sim.start(args));
        const std::string first = sim.readLine();
        ASSERT_TRUE(first.starts_with("kvu-sim: serving /dev/")) << first;
        EXPECT_EQ(std::filesystem::read_symlink(link).string(), first.substr(17));

        PtyClient client;
        std::string error;
        ASSERT_TRUE(client.open(link, error)) << error;
        EXPECT_EQ(client.exchange("serial\r"), "SERIAL KV77\r\n");
        const std::string all = client.exchange("get\r", "GET w pw \r\n");
        EXPECT_TRUE(all.starts_with("GET 1 apn boot apn\r\n")) << all;
        EXPECT_EQ(client.exchange("set 2 apn saved\r"), "set 2 apn saved\r\n");
        EXPECT_EQ(client.exchange("fw\r"), "FW OK\r\n");
        const int status = sim.terminate();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        EXPECT_FALSE(std::filesystem::is_symlink(link));
    }
    {
        SimProcess sim;
        ASSERT_TRUE(sim.start(args));
        ASSERT_TRUE(sim.readLine().starts_with("kvu-sim: serving "));
        PtyClient client;
        std::string error;
        ASSERT_TRUE(client.open(link, error)) << error;
        const std::string all = client.exchange("get\r", "GET w pw \r\n");
        EXPECT_NE(all.find("GET 2 apn saved\r\n"), std::string::npos) << all;
    }
    std::filesystem::remove_all(dir);
}

// The whole reply to "get": its 24 lines.
std::string readAll(PtyClient& client) {
    if (!client.send("get\r")) {
        return {};
    }
    return client.readUntil(
        [](const std::string& text) {
            std::size_t lines = 0;
            for (std::size_t at = text.find("\r\n"); at != std::string::npos;
                 at = text.find("\r\n", at + 2)) {
                ++lines;
            }
            return lines == 24;
        },
        3s);
}

bool holds(const std::string& reply, const std::string& line) {
    return reply.find(line + "\r\n") != std::string::npos;
}

TEST(SimProgram, ForgetsTheNamedFieldsAtTheCommitAndSavesWhatWasCommitted) {
    const auto dir = freshDir("forget");
    const std::string link = (dir / "ttyKVU").string();
    const std::string state = (dir / "kvu.state").string();
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--link", link, "--state", state, "--init", "2 apn boot",
                           "--forget-on-commit", "2 apn", "--forget-on-commit=w pw"}));
    ASSERT_TRUE(sim.readLine().starts_with("kvu-sim: serving ")) << "no start line";
    PtyClient client;
    std::string error;
    ASSERT_TRUE(client.open(link, error)) << error;

    for (const char* line :
         {"set 2 apn new\r", "set 2 user kept\r", "set w pw secret\r", "set w ssid net\r"}) {
        EXPECT_EQ(client.exchange(line), std::string(line) + "\n");
    }
    std::string all = readAll(client);
    EXPECT_TRUE(holds(all, "GET 2 apn new")) << all;
    EXPECT_TRUE(holds(all, "GET w pw secret")) << all;

    EXPECT_EQ(client.exchange("fw\r"), "FW OK\r\n");
    all = readAll(client);
    EXPECT_TRUE(holds(all, "GET 2 apn boot")) << all;
    EXPECT_TRUE(holds(all, "GET w pw ")) << all;
    EXPECT_TRUE(holds(all, "GET 2 user kept")) << all;
    EXPECT_TRUE(holds(all, "GET w ssid net")) << all;

    // A second commit keeps what the first one stored, forgotten fields included.
    EXPECT_EQ(client.exchange("set 2 apn again\r"), "set 2 apn again\r\n");
    EXPECT_EQ(client.exchange("fw\r"), "FW OK\r\n");
    all = readAll(client);
    EXPECT_TRUE(holds(all, "GET 2 apn boot")) << all;
    EXPECT_TRUE(holds(all, "GET 2 user kept")) << all;

    kvu::sim::DeviceState saved;
    bool found = false;
    ASSERT_TRUE(kvu::sim::loadStateFile(state, saved, found, error)) << error;
    EXPECT_TRUE(found);
    EXPECT_EQ(saved.wwan[1].apn, "boot");
    EXPECT_EQ(saved.wwan[1].user, "kept");
    EXPECT_EQ(saved.wifi.pw, "");
    EXPECT_EQ(saved.wifi.ssid, "net");
    std::filesystem::remove_all(dir);
}

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(SimProgram, TranscriptAppendsEveryLineAsItArrivesRefusedOnesToo) {
    const auto dir = freshDir("transcript");
    const std::string link = (dir / "ttyKVU").string();
    const std::string transcript = (dir / "wire.txt").string();
    { std::ofstream(transcript) << "earlier run\n"; }
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--link", link, "--transcript", transcript, "--error-match", "set 3"}));
    ASSERT_TRUE(sim.readLine().starts_with("kvu-sim: serving "));
    EXPECT_EQ(fileText(transcript), "earlier run\n");
    PtyClient client;
    std::string error;
    ASSERT_TRUE(client.open(link, error)) << error;
    EXPECT_EQ(client.exchange("ver\r", "0001\r\n"), "VER 1.0.0\r\nMCUID 0001\r\n");
    EXPECT_EQ(client.exchange("set 3 apn no\r"), "ERROR\r\n");
    // Read before the process ends: each line is on disk once its reply is.
    EXPECT_EQ(client.exchange("set 1 apn a b\r"), "set 1 apn a b\r\n");
    EXPECT_EQ(fileText(transcript), "earlier run\nver\nset 3 apn no\nset 1 apn a b\n");
    // An unknown command goes in too.
    EXPECT_EQ(client.exchange("nonsense\r"), "ERROR\r\n");
    EXPECT_TRUE(fileText(transcript).ends_with("\nnonsense\n"));
    std::filesystem::remove_all(dir);
}

TEST(SimProgram, ReportsBadOptionsWithStatusTwo) {
    const auto dir = freshDir("bad");
    const std::string link = (dir / "ttyKVU").string();
    const std::string sys = (dir / "sys").string();
    struct Case {
        const char* name;
        std::vector<std::string> args;
    };
    const std::vector<Case> cases = {
        {"bad regex, missing value", {"--error-regex", "(", "--delay"}},
        {"no such address", {"--forget-on-commit", "9 apn"}},
        {"no such keyword", {"--forget-on-commit", "w passphrase"}},
        {"address alone", {"--forget-on-commit", "2"}},
        {"value given", {"--forget-on-commit", "2 apn x"}},
        {"sysfs without link", {"--usb-sysfs", sys}},
        {"path without sysfs", {"--link", link, "--usb-path", "1-1.2"}},
        {"path without hub", {"--link", link, "--usb-sysfs", sys, "--usb-path", "1-1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimProcess sim;
        ASSERT_TRUE(sim.start(c.args));
        EXPECT_EQ(sim.readLine(), "");
        const int status = sim.terminate();
        EXPECT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 2);
    }
    EXPECT_FALSE(std::filesystem::exists(sys));
    std::filesystem::remove_all(dir);
}

}  // namespace
