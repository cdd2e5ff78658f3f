#include "sim/sim_options.h"

#include <charconv>
#include <functional>
#include <map>

#include "sim/command_handler.h"
#include "sim/hex_digit.h"
#include "sim/usb_sysfs.h"

namespace kvu::sim {
namespace {

bool toNumber(const std::string& text, std::size_t& value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return !text.empty() && ec == std::errc() && ptr == end;
}

// "<address> <key>", as a set line names the field: "2 apn", "w pw".
bool parseFieldName(const std::string& text, FieldName& field) {
    if (text.size() < 3 || text[1] != ' ' || text.find(' ', 2) != std::string::npos) {
        return false;
    }
    field = {text[0], text.substr(2)};
    return profileField(DeviceState{}, field.address, field.key) != nullptr;
}

}  // namespace

bool decodeEscapes(std::string_view text, std::string& bytes) {
    bytes.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            bytes += text[i];
            continue;
        }
        if (++i >= text.size()) {
            return false;
        }
        switch (text[i]) {
            case 'r':
                bytes += '\r';
                break;
            case 'n':
                bytes += '\n';
                break;
            case 't':
                bytes += '\t';
                break;
            case '0':
                bytes += '\0';
                break;
            case '\\':
                bytes += '\\';
                break;
            case 'x': {
                if (i + 2 >= text.size()) {
                    return false;
                }
                const int hi = hexDigit(text[i + 1]);
                const int lo = hexDigit(text[i + 2]);
                if (hi < 0 || lo < 0) {
                    return false;
                }
                bytes += static_cast<char>(hi * 16 + lo);
                i += 2;
                break;
            }
            default:
                return false;
        }
    }
    return true;
}

std::string simUsage() {
    return R"(Usage: kvu-sim [options]
Serves a simulated KVU device on a pseudo-terminal until SIGINT or SIGTERM.
The first line on stdout is "kvu-sim: serving <path>". SIGUSR1 unplugs, SIGUSR2 replugs.

Line and storage:
  --link PATH            keep a symlink PATH pointing at the current line
  --state FILE           keep committed ("fw") values in FILE across restarts
  --transcript FILE      append every command line received to FILE, one a line, its closing
                         \r left off, as it arrives (before the reply)
Identity and values:
  --fw-version TEXT      firmware version (after "VER ")
  --mcuid TEXT           MCU identifier (after "MCUID ")
  --serial TEXT          serial number
  --init "A KEY VALUE"   initial value, as a set line without "set ", e.g. "1 apn internet"
Faults:
  --error-at N           answer ERROR to the N-th command (repeatable)
  --error-match TEXT     answer ERROR to commands containing TEXT (repeatable)
  --error-regex RE       answer ERROR to commands matching RE (repeatable)
  --silent               answer nothing at all
  --silent-at N          answer nothing to the N-th command (repeatable)
  --silent-match TEXT    answer nothing to commands containing TEXT (repeatable)
  --silent-regex RE      answer nothing to commands matching RE (repeatable)
  --delay MS             wait MS milliseconds before every reply
  --delay-match TEXT     wait longer before replies to commands containing TEXT (repeatable)
  --delay-match-ms MS    how much longer (default 0)
  --chunk K              send replies in pieces of K bytes
  --chunk-gap MS         pause between pieces (default 2)
  --line-at-a-time       write every reply line on its own (pieces of a line with --chunk)
  --no-mcuid             answer "ver" with the version line alone
  --upper-echo           repeat set lines in upper case
  --nul-at N             put a zero byte at offset N of every reply
  --noise-before BYTES   junk before every reply (\r \n \t \0 \\ \xHH escapes)
  --noise-after BYTES    junk after every reply
  --babble               send a steady stream of junk
  --babble-text BYTES    the junk to babble
  --baud N               pace output as a line of N baud would
  --hang-up-after N      unplug after answering the N-th command
  --replug-after MS      come back on a new line MS milliseconds after any unplug
  --forget-on-commit F   answer "fw" with "FW OK" but keep field F, named as on the set line
                         ("2 apn", "w pw"), at its last committed value (repeatable)
USB listing (for port discovery):
  --usb-sysfs DIR        while plugged, list the device in a sysfs look-alike at DIR as USB
                         0483:5740 below hub 1a40:0201; needs --link, whose file name is the
                         tty's name. Several kvu-sim may share DIR.
  --usb-path P           the device's USB port path below the hub (default 1-1.1)
  --help                 show this text

Four devices that discovery finds with sysfs root /tmp/kvu/sys and device folder /tmp/kvu/dev:
  mkdir -p /tmp/kvu/dev; for i in 1 2 3 4; do
    kvu-sim --link /tmp/kvu/dev/ttyKVU$i --usb-sysfs /tmp/kvu/sys --usb-path 1-1.$i &
  done
)";
}

ParseResult parseSimOptions(const std::vector<std::string>& args, SimOptions& options) {
    DeviceConfig& c = options.config;
    Faults& f = c.faults;
    using Handler = std::function<bool(const std::string&)>;
    const auto number = [](auto& target) {
        return [&target](const std::string& v) {
            std::size_t n = 0;
            if (!toNumber(v, n)) {
                return false;
            }
            target = static_cast<std::remove_reference_t<decltype(target)>>(n);
            return true;
        };
    };
    const auto millis = [](std::chrono::milliseconds& target) {
        return [&target](const std::string& v) {
            std::size_t n = 0;
            if (!toNumber(v, n)) {
                return false;
            }
            target = std::chrono::milliseconds(n);
            return true;
        };
    };
    const auto count = [](std::vector<std::size_t>& target) {
        return [&target](const std::string& v) {
            std::size_t n = 0;
            if (!toNumber(v, n) || n == 0) {
                return false;
            }
            target.push_back(n);
            return true;
        };
    };
    const auto pattern = [](std::vector<CommandPattern>& target, bool regex) {
        return [&target, regex](const std::string& v) {
            target.push_back({v, regex});
            return true;
        };
    };
    const auto text = [](std::string& target) {
        return [&target](const std::string& v) {
            target = v;
            return true;
        };
    };
    const auto bytes = [](std::string& target) {
        return [&target](const std::string& v) { return decodeEscapes(v, target); };
    };

    bool usbPathGiven = false;
    const std::map<std::string, Handler> withValue = {
        {"--link", text(c.linkPath)},
        {"--state", text(c.stateFile)},
        {"--transcript", text(options.transcript)},
        {"--fw-version", text(c.initial.version)},
        {"--mcuid", text(c.initial.mcuId)},
        {"--serial", text(c.initial.serial)},
        {"--init", [&c](const std::string& v) { return applySetText(v, c.initial); }},
        {"--error-at", count(f.errorAt)},
        {"--error-match", pattern(f.errorOn, false)},
        {"--error-regex", pattern(f.errorOn, true)},
        {"--silent-at", count(f.silentAt)},
        {"--silent-match", pattern(f.silentOn, false)},
        {"--silent-regex", pattern(f.silentOn, true)},
        {"--delay", millis(f.replyDelay)},
        {"--delay-match", pattern(f.delayOn, false)},
        {"--delay-match-ms", millis(f.delayOnBy)},
        {"--chunk", number(f.chunkSize)},
        {"--chunk-gap", millis(f.chunkGap)},
        {"--nul-at",
         [&f](const std::string& v) {
             std::size_t n = 0;
             if (!toNumber(v, n)) {
                 return false;
             }
             f.nulAt = n;
             return true;
         }},
        {"--noise-before", bytes(f.noiseBefore)},
        {"--noise-after", bytes(f.noiseAfter)},
        {"--babble-text", bytes(f.babbleText)},
        {"--baud", number(f.baud)},
        {"--hang-up-after", number(f.hangUpAfter)},
        {"--replug-after", millis(f.replugAfter)},
        {"--forget-on-commit",
         [&f](const std::string& v) {
             FieldName field;
             if (!parseFieldName(v, field)) {
                 return false;
             }
             f.forgetOnCommit.push_back(field);
             return true;
         }},
        {"--usb-sysfs",
         [&c](const std::string& v) {
             c.usb.root = v;
             return !v.empty();
         }},
        {"--usb-path",
         [&c, &usbPathGiven](const std::string& v) {
             c.usb.path = v;
             usbPathGiven = true;
             return validUsbPath(v);
         }},
    };
    const std::map<std::string, bool*> flags = {
        {"--help", &options.help},
        {"--silent", &f.silentAll},
        {"--upper-echo", &f.upperCaseEcho},
        {"--babble", &f.babble},
        {"--line-at-a-time", &f.lineAtATime},
        {"--no-mcuid", &f.omitMcuId},
    };

    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        bool inlineValue = false;
        if (const std::size_t eq = name.find('='); name.rfind("--", 0) == 0 && eq != name.npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
            inlineValue = true;
        }
        if (const auto flag = flags.find(name); flag != flags.end() && !inlineValue) {
            *flag->second = true;
            continue;
        }
        const auto option = withValue.find(name);
        if (option == withValue.end()) {
            return {false, "unknown option " + args[i]};
        }
        if (!inlineValue) {
            if (i + 1 >= args.size()) {
                return {false, name + " needs a value"};
            }
            value = args[++i];
        }
        if (!option->second(value)) {
            return {false, "bad value for " + name + ": " + value};
        }
    }
    if (!c.usb.root.empty() && c.linkPath.empty()) {
        return {false, "--usb-sysfs needs --link, which names the tty"};
    }
    if (usbPathGiven && c.usb.root.empty()) {
        return {false, "--usb-path needs --usb-sysfs"};
    }
    return {true, {}};
}

}  // namespace kvu::sim
