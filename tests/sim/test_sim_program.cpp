#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/sim/pty_client.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;

// kvu-sim run as a child process, its stdout on a pipe.
class SimProcess {
  public:
    bool start(const std::vector<std::string>& args) {
        int out[2];
        if (::pipe(out) != 0) {
            return false;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        std::vector<std::string> all = {KVU_SIM_PROGRAM};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : all) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        const int rc = posix_spawn(&pid_, KVU_SIM_PROGRAM, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        out_ = out[0];
        return rc == 0;
    }

    // The next line the program printed, without its newline; empty at end of output.
    std::string readLine() {
        std::string line;
        char c = 0;
        while (::read(out_, &c, 1) == 1 && c != '\n') {
            line += c;
        }
        return line;
    }

    // Sends SIGTERM and returns the exit status.
    int terminate() {
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return status;
    }

    ~SimProcess() {
        if (pid_ > 0) {
            terminate();
        }
        if (out_ >= 0) {
            ::close(out_);
        }
    }

  private:
    pid_t pid_ = -1;
    int out_ = -1;
};

TEST(SimProgram, ServesALinkAndKeepsCommittedValuesAcrossRestarts) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("kvu-sim-program-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
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

        kvu::sim::test::PtyClient client;
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
        kvu::sim::test::PtyClient client;
        std::string error;
        ASSERT_TRUE(client.open(link, error)) << error;
        const std::string all = client.exchange("get\r", "GET w pw \r\n");
        EXPECT_NE(all.find("GET 2 apn saved\r\n"), std::string::npos) << all;
    }
    std::filesystem::remove_all(dir);
}

TEST(SimProgram, ReportsBadOptions) {
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--error-regex", "(", "--delay"}));
    EXPECT_EQ(sim.readLine(), "");
    const int status = sim.terminate();
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2);
}

}  // namespace
