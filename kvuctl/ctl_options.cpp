#include "kvuctl/ctl_options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <iterator>
#include <sstream>
#include <vector>

#include "kvuctl/exit_status.h"
#include "logging/app_info.h"
#include "presets/preset_layers.h"

namespace kvu::ctl {

namespace {

constexpr const char* kFooter =
    "Devices: with no --port, --serial or --all, the one attached KVU; with several attached,\n"
    "choose. Exit status: 0 all succeeded, 1 a device failed or differed (or the output or\n"
    "report could not be written), 2 bad usage or input (nothing sent), 3 no device found,\n"
    "128+N ended by signal N (130: Ctrl+C). See kvuctl(1).";

// The raw values CLI11 fills; turned into CtlOptions once parsing succeeded.
struct Raw {
    std::vector<std::string> ports;
    std::vector<std::string> serials;
    std::string file;
    std::string output;
    std::string report;
    std::string log;
    int group = 0;
};

QString fromUtf8(const std::string& text) {
    return QString::fromStdString(text);
}

// Checks that CLI11 cannot express: which file kinds need --group, what --yes and
// --show-secrets apply to. Empty when the options make sense.
std::string checkCombinations(const CtlOptions& o) {
    const bool fileCommand = o.command == Command::Write || o.command == Command::Diff ||
                             o.command == Command::Watch ||
                             (o.command == Command::Read && !o.file.isEmpty());
    if (fileCommand) {
        const presets::PresetKind kind = presets::presetKindOf(o.file);
        if (kind == presets::PresetKind::Unknown) {
            return o.file.toStdString() + ": not a preset file (.all, .wwan or .wifi)";
        }
        if (kind == presets::PresetKind::Wwan && o.wwanGroup < 0) {
            return o.file.toStdString() +
                   ": a .wwan file holds one WWAN group; name it with "
                   "--group 1-4";
        }
        if (kind != presets::PresetKind::Wwan && o.wwanGroup >= 0) {
            return "--group applies to .wwan files only";
        }
    } else if (o.wwanGroup >= 0) {
        return "--group applies to .wwan files only";
    }
    if (o.command == Command::Erase && !o.yes) {
        return "erase wipes all five profiles of every chosen device; add --yes to do it";
    }
    if (o.showSecrets && o.command != Command::Show &&
        !(o.command == Command::Read && o.file.isEmpty())) {
        return "--show-secrets applies to show, and to read without -o";
    }
    return {};
}

// The first argument that is neither an option nor the value of one.
std::string firstWord(int argc, const char* const* argv) {
    const std::string withValue[] = {"--port", "--serial", "--report", "--log"};
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (std::find(std::begin(withValue), std::end(withValue), arg) != std::end(withValue)) {
            ++i;
        } else if (!arg.empty() && arg.front() != '-') {
            return arg;
        }
    }
    return {};
}

}  // namespace

ParseOutcome parseCommandLine(int argc, const char* const* argv) {
    ParseOutcome outcome;
    CtlOptions& o = outcome.options;
    Raw raw;
    bool noVerify = false;

    CLI::App app{"Lists, reads, writes, compares and erases the profiles of KVU devices.",
                 "kvuctl"};
    app.footer(kFooter);
    app.set_version_flag("--version", std::string("kvuctl ") + kVersionText);
    app.require_subcommand(1);
    app.fallthrough();

    // Device selection and output, accepted before or after the command.
    auto* port = app.add_option("--port", raw.ports,
                                "Serial port of one device; repeat it for several (no search)");
    auto* serial = app.add_option("--serial", raw.serials,
                                  "The attached device with this serial; repeat it for several");
    auto* all = app.add_flag("--all", o.all, "Every attached device");
    all->excludes(port)->excludes(serial);
    app.add_flag("--json", o.json, "One JSON document on standard output");
    app.add_option("--report", raw.report,
                   "Append one JSON line per device and operation to FILE (an audit trail)");
    app.add_option("--log", raw.log, "Log level of the log file: DEBUG for details")
        ->check(CLI::IsMember({"DEBUG", "INFO"}));

    auto* list = app.add_subcommand("list", "Every attached KVU: port, location and identity");
    list->add_flag("--no-query", o.noQuery, "The ports only, without asking the devices");

    auto* show = app.add_subcommand("show", "Identity and the five profiles as a table");
    show->add_flag("--show-secrets", o.showSecrets, "Show passwords and the passphrase");

    auto* read = app.add_subcommand("read", "The device's profiles into a preset file");
    read->add_option("-o,--output", raw.output,
                     "The preset file (.all, .wwan with --group, .wifi); {serial}, {port} and "
                     "{location} in the name become each device's. Without it: the .all text on "
                     "standard output");
    read->add_option("--group", raw.group, "The WWAN group of a .wwan file")
        ->check(CLI::Range(1, 4));
    read->add_flag("--show-secrets", o.showSecrets, "On standard output: show the secrets");

    auto* write = app.add_subcommand(
        "write", "Lay a preset over the device's profiles, write them and read them back");
    write->add_option("FILE", raw.file, "The preset file (.all, .wwan, .wifi)")->required();
    write->add_option("--group", raw.group, "The WWAN group a .wwan file is for")
        ->check(CLI::Range(1, 4));
    write->add_flag("--no-verify", noVerify, "Skip the read-back after the write");

    auto* diff = app.add_subcommand("diff", "Compare the device with a preset; write nothing");
    diff->add_option("FILE", raw.file, "The preset file (.all, .wwan, .wifi)")->required();
    diff->add_option("--group", raw.group, "The WWAN group a .wwan file is for")
        ->check(CLI::Range(1, 4));

    auto* erase = app.add_subcommand("erase", "Erase the five profiles, then read them back");
    erase->add_flag("--yes", o.yes, "Really erase");

    auto* watch = app.add_subcommand("watch", "Station mode: provision each device plugged in");
    watch->require_subcommand(1);
    auto* watchWrite = watch->add_subcommand(
        "write", "Write and verify a preset on each newly plugged device, once per serial");
    watchWrite->add_option("FILE", raw.file, "The preset file (.all, .wwan, .wifi)")->required();
    watchWrite->add_option("--group", raw.group, "The WWAN group a .wwan file is for")
        ->check(CLI::Range(1, 4));
    watchWrite->add_flag("--no-verify", noVerify, "Skip the read-back after the write");

    std::ostringstream out;
    std::ostringstream err;
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // A mistyped command stands where a command should: name it rather than say that one
        // is missing.
        if (const std::string word = firstWord(argc, argv);
            dynamic_cast<const CLI::RequiredError*>(&e) != nullptr && !word.empty() &&
            app.get_subcommands().empty()) {
            outcome.err = "kvuctl: unknown command: " + word +
                          " (list, show, read, write, diff, erase, watch)\n";
            outcome.exitStatus = kExitBadInput;
            return outcome;
        }
        const int code = app.exit(e, out, err);
        outcome.out = out.str();
        outcome.err = err.str();
        outcome.exitStatus = code == 0 ? kExitOk : kExitBadInput;
        return outcome;
    }

    const std::pair<CLI::App*, Command> commands[] = {
        {list, Command::List},   {show, Command::Show}, {read, Command::Read},
        {write, Command::Write}, {diff, Command::Diff}, {erase, Command::Erase},
        {watch, Command::Watch},
    };
    for (const auto& [sub, command] : commands) {
        if (sub->parsed()) {
            o.command = command;
        }
    }
    for (const std::string& p : raw.ports) {
        o.ports.append(fromUtf8(p));
    }
    for (const std::string& s : raw.serials) {
        if (!o.serials.contains(fromUtf8(s))) {
            o.serials.append(fromUtf8(s));
        }
    }
    o.file = fromUtf8(o.command == Command::Read ? raw.output : raw.file);
    o.wwanGroup = raw.group > 0 ? raw.group - 1 : -1;
    o.verify = !noVerify;
    o.report = fromUtf8(raw.report);
    o.debugLog = raw.log == "DEBUG";

    if (const std::string problem = checkCombinations(o); !problem.empty()) {
        outcome.err = "kvuctl: " + problem + "\n";
        outcome.exitStatus = kExitBadInput;
        return outcome;
    }
    outcome.run = true;
    return outcome;
}

}  // namespace kvu::ctl
