#include "tests/kvuctl/ctl_harness.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <thread>

#include "sim/state_file.h"

extern char** environ;

namespace kvu::ctl::test {

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

// The preset file's section and key for a set line's address and keyword.
std::pair<std::string, std::string> iniNameOf(char address, const std::string& key) {
    static const std::map<std::string, std::string> wwanKeys = {
        {"apn", "APN"},       {"user", "USERNAME"}, {"pw", "PASSWORD"},
        {"auth", "AUTHTYPE"}, {"pdp", "PDPTYPE"},
    };
    static const std::map<std::string, std::string> wifiKeys = {
        {"ssid", "SSID"}, {"sec", "SECURITY"}, {"pw_type", "PWTYPE"}, {"pw", "PASSPHRASE"}};
    if (address == 'w') {
        return {"Wi-Fi", wifiKeys.at(key)};
    }
    return {std::string("WWAN") + address, wwanKeys.at(key)};
}

std::chrono::milliseconds leftUntil(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? left : 0ms;
}

}  // namespace

std::string presetText(const FieldValues& values) {
    std::vector<std::string> order;
    std::map<std::string, std::string> sections;
    for (const FieldValue& v : values) {
        const auto [section, key] = iniNameOf(v.address, v.key);
        if (!sections.contains(section)) {
            order.push_back(section);
        }
        sections[section] += key + "=" + v.value + "\r\n";
    }
    std::string text;
    for (const std::string& section : order) {
        text += "[" + section + "]\r\n" + sections[section];
    }
    return text;
}

std::vector<std::string> initArgs(const FieldValues& values) {
    std::vector<std::string> args;
    for (const FieldValue& v : values) {
        args.push_back("--init");
        args.push_back(std::string(1, v.address) + " " + v.key + " " + v.value);
    }
    return args;
}

std::string setLine(char address, const std::string& key, const std::string& value) {
    return "set " + std::string(1, address) + " " + key + " " + value;
}

std::size_t countOf(const std::string& text, const std::string& needle) {
    std::size_t count = 0;
    for (std::size_t at = text.find(needle); at != std::string::npos;
         at = text.find(needle, at + needle.size())) {
        ++count;
    }
    return count;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t begin = 0;
    while (begin < text.size()) {
        std::size_t end = text.find('\n', begin);
        if (end == std::string::npos) {
            end = text.size();
        }
        lines.push_back(text.substr(begin, end - begin));
        begin = end + 1;
    }
    return lines;
}

// ---- Bench

Bench::Bench(const std::string& name) {
    dir = fs::temp_directory_path() / ("kvuctl-" + name + "-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    dev = dir / "dev";
    sys = dir / "sys";
    fs::create_directories(dev);
    fs::create_directories(sys);
}

Bench::~Bench() {
    std::error_code ignored;
    fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(dir, ignored);
}

std::string Bench::write(const std::string& name, const std::string& text) const {
    std::ofstream(dir / name, std::ios::binary) << text;
    return path(name);
}

std::string Bench::read(const std::string& name) const {
    std::ifstream in(dir / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// ---- Sim

bool Sim::start(const Bench& bench, const std::string& tty, const std::string& serial,
                const std::vector<std::string>& extra, const std::string& usbPath) {
    link_ = (bench.dev / tty).string();
    transcript_ = bench.path(tty + ".wire");
    state_ = bench.path(tty + ".state");
    serial_ = serial;
    std::vector<std::string> args = {"--link",  link_,  "--transcript", transcript_,
                                     "--state", state_, "--serial",     serial};
    if (!usbPath.empty()) {
        args.insert(args.end(), {"--usb-sysfs", bench.sys.string(), "--usb-path", usbPath});
    }
    args.insert(args.end(), extra.begin(), extra.end());
    return process_.start(args) && said().starts_with("kvu-sim: serving ");
}

std::string Sim::line() const {
    std::error_code error;
    return fs::read_symlink(link_, error).string();
}

std::vector<std::string> Sim::transcript() const {
    std::ifstream in(transcript_, std::ios::binary);
    return splitLines(std::string(std::istreambuf_iterator<char>(in), {}));
}

std::vector<std::string> Sim::setLines() const {
    return linesFrom(0, "set ");
}

std::vector<std::string> Sim::linesFrom(std::size_t from, const std::string& prefix) const {
    const std::vector<std::string> all = transcript();
    std::vector<std::string> found;
    for (std::size_t i = from; i < all.size(); ++i) {
        if (all[i].starts_with(prefix)) {
            found.push_back(all[i]);
        }
    }
    return found;
}

bool Sim::waitForLine(std::size_t from, const std::string& prefix,
                      std::chrono::milliseconds timeout) const {
    const auto deadline = Clock::now() + timeout;
    while (linesFrom(from, prefix).empty()) {
        if (Clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

bool Sim::committed(sim::DeviceState& state) const {
    bool found = false;
    std::string error;
    return sim::loadStateFile(state_, state, found, error) && found;
}

std::string Sim::committedValue(char address, const std::string& key) const {
    sim::DeviceState state;
    if (!committed(state)) {
        return "(nothing committed)";
    }
    const std::string* value = sim::profileField(state, address, key);
    return value != nullptr ? *value : "(no such field)";
}

bool Sim::unplug() {
    return process_.signal(SIGUSR1) && said() == "kvu-sim: unplugged";
}

bool Sim::replug() {
    return process_.signal(SIGUSR2) && said().starts_with("kvu-sim: serving ");
}

// ---- CtlProcess

CtlProcess::~CtlProcess() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    for (int fd : {outFd_, errFd_}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

bool CtlProcess::start(const Bench& bench, const std::vector<std::string>& args,
                       const CtlStart& how) {
    // KVUCTL_TEST_PROGRAM runs the tests against another build of kvuctl (an older one, to see
    // a test fail before its change).
    const char* program = std::getenv("KVUCTL_TEST_PROGRAM");
    std::vector<std::string> argStrings = {program != nullptr ? program : KVUCTL_PROGRAM};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    // Discovery looks at the bench only; the rest of the environment as it is.
    std::vector<std::string> envStrings = {"KVU_SYSFS_ROOT=" + bench.sys.string(),
                                           "KVU_DEV_ROOT=" + bench.dev.string()};
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        if (!entry.starts_with("KVU_SYSFS_ROOT=") && !entry.starts_with("KVU_DEV_ROOT=")) {
            envStrings.push_back(entry);
        }
    }
    std::vector<char*> argv;
    for (std::string& a : argStrings) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& e : envStrings) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);
    const std::string cwd = bench.dir.string();

    int out[2];
    int err[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
        return false;
    }
    if (::pipe2(err, O_CLOEXEC) != 0) {
        ::close(out[0]);
        ::close(out[1]);
        return false;
    }
    pid_ = ::fork();
    if (pid_ == 0) {
        // Only async-signal-safe calls from here on.
        const int null = ::open("/dev/null", O_RDONLY);
        ::dup2(null, STDIN_FILENO);
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(err[1], STDERR_FILENO);
        if (how.out == CtlStart::Out::DevFull) {
            const int full = ::open("/dev/full", O_WRONLY);
            ::dup2(full, STDOUT_FILENO);
        } else if (how.out == CtlStart::Out::Closed) {
            ::close(STDOUT_FILENO);
        }
        // A test runner started in the background ignores SIGINT; the program must not.
        ::signal(SIGINT, SIG_DFL);
        ::signal(SIGTERM, SIG_DFL);
        ::signal(SIGHUP, SIG_DFL);
        ::signal(SIGPIPE, SIG_DFL);
        for (const int signo : how.ignored) {
            ::signal(signo, SIG_IGN);
        }
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        if (::chdir(cwd.c_str()) != 0) {
            ::_exit(126);
        }
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    outFd_ = out[0];
    errFd_ = err[0];
    if (pid_ < 0) {
        return false;
    }
    return true;
}

bool CtlProcess::pump(std::chrono::milliseconds timeout) {
    pollfd fds[2] = {{outFd_, POLLIN, 0}, {errFd_, POLLIN, 0}};
    if (outFd_ < 0 && errFd_ < 0) {
        return false;
    }
    if (::poll(fds, 2, static_cast<int>(timeout.count())) <= 0) {
        return true;
    }
    int* fdOf[2] = {&outFd_, &errFd_};
    std::string* textOf[2] = {&out_, &err_};
    for (int i = 0; i < 2; ++i) {
        if (*fdOf[i] < 0 || fds[i].revents == 0) {
            continue;
        }
        char buf[4096];
        const ssize_t n = ::read(*fdOf[i], buf, sizeof buf);
        if (n > 0) {
            textOf[i]->append(buf, static_cast<std::size_t>(n));
        } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
            ::close(*fdOf[i]);
            *fdOf[i] = -1;
        }
    }
    return outFd_ >= 0 || errFd_ >= 0;
}

bool CtlProcess::waitFor(const std::string& stream, const std::string& text,
                         std::chrono::milliseconds timeout, std::size_t count) {
    const auto deadline = Clock::now() + timeout;
    while (countOf(stream, text) < count) {
        const auto left = leftUntil(deadline);
        if (left.count() == 0 || !pump(std::min(left, 100ms))) {
            return countOf(stream, text) >= count;
        }
    }
    return true;
}

bool CtlProcess::waitForOut(const std::string& text, std::chrono::milliseconds timeout,
                            std::size_t count) {
    return waitFor(out_, text, timeout, count);
}

bool CtlProcess::waitForErr(const std::string& text, std::chrono::milliseconds timeout) {
    return waitFor(err_, text, timeout, 1);
}

bool CtlProcess::signal(int signal) const {
    return pid_ > 0 && ::kill(pid_, signal) == 0;
}

CtlResult CtlProcess::finish(std::chrono::milliseconds timeout) {
    CtlResult result;
    const auto deadline = Clock::now() + timeout;
    while (leftUntil(deadline).count() > 0 && pump(std::min(leftUntil(deadline), 100ms))) {
    }
    if (pid_ > 0) {
        int status = 0;
        pid_t done = 0;
        // The pipes close at exit; a child that closed them and lingers gets the rest of the time.
        while ((done = ::waitpid(pid_, &status, WNOHANG)) == 0 && leftUntil(deadline).count() > 0) {
            std::this_thread::sleep_for(10ms);
        }
        if (done == 0) {
            result.timedOut = true;
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
        }
        pid_ = -1;
        if (WIFEXITED(status)) {
            result.status = WEXITSTATUS(status);
        } else if (WIFSIGNALED(status)) {
            result.signal = WTERMSIG(status);
        }
    }
    result.out = out_;
    result.err = err_;
    // Under the sanitizer presets the program is checked too; its reports must not pass unseen,
    // least of all with an exit status a test expects anyway.
    for (const char* report : {"Sanitizer", "runtime error:"}) {
        if (err_.find(report) != std::string::npos) {
            ADD_FAILURE() << "kvuctl's stderr holds a sanitizer report:\n" << err_;
            break;
        }
    }
    return result;
}

void CtlProcess::closeOut() {
    if (outFd_ >= 0) {
        ::close(outFd_);
        outFd_ = -1;
    }
}

CtlResult runCtl(const Bench& bench, const std::vector<std::string>& args,
                 std::chrono::milliseconds timeout, const CtlStart& how) {
    CtlProcess process;
    if (!process.start(bench, args, how)) {
        return {};
    }
    return process.finish(timeout);
}

// ---- OpenWatch

OpenWatch::OpenWatch(const std::string& path) {
    fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ >= 0) {
        watch_ = ::inotify_add_watch(fd_, path.c_str(), IN_OPEN);
    }
}

OpenWatch::~OpenWatch() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

int OpenWatch::opens() {
    alignas(inotify_event) char buf[4096];
    while (true) {
        const ssize_t n = ::read(fd_, buf, sizeof buf);
        if (n <= 0) {
            return opens_;
        }
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buf + at);
            if (event->mask & IN_OPEN) {
                ++opens_;
            }
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
}

}  // namespace kvu::ctl::test
