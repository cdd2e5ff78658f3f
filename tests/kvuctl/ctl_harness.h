#pragma once
// Runs the real kvuctl program against real kvu-sim children: a scratch folder per test that is
// kvuctl's working directory (its log lands there) and holds the simulators' links, their sysfs
// look-alike, transcripts and state files.

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "sim/device_state.h"
#include "tests/sim/sim_process.h"

namespace kvu::ctl::test {

using namespace std::chrono_literals;

// One profile field named as the set line names it ('1'..'4' or 'w', "apn", "pw_type", ...).
struct FieldValue {
    char address = '1';
    std::string key;
    std::string value;
};
using FieldValues = std::vector<FieldValue>;

// The .all text of these fields, as the window's Save lays it out: a section per group present.
std::string presetText(const FieldValues& values);
// "--init" arguments that make a simulator start with these values.
std::vector<std::string> initArgs(const FieldValues& values);
// The set line kvuctl sends for a field: "set 1 apn internet".
std::string setLine(char address, const std::string& key, const std::string& value);

class Bench {
  public:
    explicit Bench(const std::string& name);
    ~Bench();
    Bench(const Bench&) = delete;
    Bench& operator=(const Bench&) = delete;

    std::filesystem::path dir;  // kvuctl's working directory
    std::filesystem::path dev;  // the simulators' links (KVU_DEV_ROOT)
    std::filesystem::path sys;  // their sysfs look-alike (KVU_SYSFS_ROOT)

    std::string path(const std::string& name) const { return (dir / name).string(); }
    std::string write(const std::string& name, const std::string& text) const;
    std::string read(const std::string& name) const;
    // kvuctl_log.txt as it stands.
    std::string log() const { return read("kvuctl_log.txt"); }
};

// One kvu-sim child with a link in bench.dev, a transcript and a state file in bench.dir.
class Sim {
  public:
    // `usbPath` non-empty: listed in bench.sys at that USB path, so that discovery finds it.
    bool start(const Bench& bench, const std::string& tty, const std::string& serial,
               const std::vector<std::string>& extra = {}, const std::string& usbPath = {});

    std::string port() const { return link_; }
    // The pseudo-terminal the link points at now.
    std::string line() const;
    const std::string& serial() const { return serial_; }

    std::vector<std::string> transcript() const;
    std::vector<std::string> setLines() const;  // the transcript's "set " lines
    // Every line after the first `from` that starts with `prefix`.
    std::vector<std::string> linesFrom(std::size_t from, const std::string& prefix) const;
    // Waits until the transcript holds a line after the first `from` starting with `prefix`.
    bool waitForLine(std::size_t from, const std::string& prefix,
                     std::chrono::milliseconds timeout) const;

    // What the device committed ("fw"): false when nothing was committed yet.
    bool committed(sim::DeviceState& state) const;
    // The committed value of one field; "(nothing committed)" when there is no state file.
    std::string committedValue(char address, const std::string& key) const;

    bool unplug();  // SIGUSR1, and the simulator said so
    bool replug();  // SIGUSR2, and it serves again
    // The next line the simulator prints.
    std::string said(std::chrono::milliseconds timeout = 10s) { return process_.readLine(timeout); }

  private:
    sim::test::SimProcess process_;
    std::string link_;
    std::string transcript_;
    std::string state_;
    std::string serial_;
};

struct CtlResult {
    int status = -1;  // exit status; -1 when killed or not started
    int signal = 0;   // the signal that ended it
    bool timedOut = false;
    std::string out;
    std::string err;
};

// How a kvuctl child starts besides its arguments: what its standard output is, and the signals
// it inherits as ignored (as nohup leaves SIGHUP).
struct CtlStart {
    enum class Out { Pipe, DevFull, Closed } out = Out::Pipe;
    std::vector<int> ignored;
};

// kvuctl as a child with stdin on /dev/null and stdout, stderr on pipes, started in the bench's
// folder with discovery pointed at the bench's look-alike (so that no real device is touched).
class CtlProcess {
  public:
    CtlProcess() = default;
    ~CtlProcess();
    CtlProcess(const CtlProcess&) = delete;
    CtlProcess& operator=(const CtlProcess&) = delete;

    bool start(const Bench& bench, const std::vector<std::string>& args, const CtlStart& how = {});
    // The reading end of its standard output goes away, as `| head` does once it has enough.
    void closeOut();
    // Collects output until stdout holds `text` `count` times; false when the time ran out.
    bool waitForOut(const std::string& text, std::chrono::milliseconds timeout,
                    std::size_t count = 1);
    bool waitForErr(const std::string& text, std::chrono::milliseconds timeout);
    bool signal(int signal) const;
    // Collects the rest and waits for the end; kills it after `timeout`.
    CtlResult finish(std::chrono::milliseconds timeout = 30s);

    const std::string& out() const { return out_; }
    const std::string& err() const { return err_; }

  private:
    // Reads what is there within `timeout`; false when both pipes are closed.
    bool pump(std::chrono::milliseconds timeout);
    bool waitFor(const std::string& stream, const std::string& text,
                 std::chrono::milliseconds timeout, std::size_t count);

    pid_t pid_ = -1;
    int outFd_ = -1;
    int errFd_ = -1;
    std::string out_;
    std::string err_;
};

CtlResult runCtl(const Bench& bench, const std::vector<std::string>& args,
                 std::chrono::milliseconds timeout = 30s, const CtlStart& how = {});

// Counts the times a file is opened (inotify), to show that kvuctl never opened a port.
class OpenWatch {
  public:
    explicit OpenWatch(const std::string& path);
    ~OpenWatch();
    OpenWatch(const OpenWatch&) = delete;
    OpenWatch& operator=(const OpenWatch&) = delete;

    bool valid() const { return watch_ >= 0; }
    // Opens since the watch began.
    int opens();

  private:
    int fd_ = -1;
    int watch_ = -1;
    int opens_ = 0;
};

// Occurrences of `needle` in `text`.
std::size_t countOf(const std::string& text, const std::string& needle);
std::vector<std::string> splitLines(const std::string& text);

}  // namespace kvu::ctl::test
