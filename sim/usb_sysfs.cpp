#include "sim/usb_sysfs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "sim/pty_port.h"

namespace kvu::sim {
namespace {

constexpr std::string_view kPciPath = "/devices/pci0000:00/0000:00:14.0/usb";

struct Attribute {
    const char* name;
    const char* value;
};
constexpr Attribute kHubAttributes[] = {
    {"idVendor", "1a40\n"}, {"idProduct", "0201\n"}, {"bcdDevice", "0111\n"}};
constexpr Attribute kDeviceAttributes[] = {
    {"idVendor", "0483\n"}, {"idProduct", "5740\n"}, {"bcdDevice", "0200\n"}};

std::string systemError(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

bool isDigits(std::string_view text) {
    if (text.empty()) {
        return false;
    }
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

std::string interfaceName(const std::string& usbPath) {
    return usbPath + ":1.0";
}

// A name for a scratch entry in the root, outside every folder a reader lists; unique across
// the processes and threads sharing the tree.
std::string scratchName(const std::string& root) {
    static std::atomic<unsigned> counter{0};
    return root + "/.kvu-sim-" + std::to_string(::getpid()) + "-" + std::to_string(++counter);
}

// mkdir -p that accepts folders made meanwhile by someone else.
bool makeDirs(const std::string& path, std::string& error) {
    for (std::size_t at = path.find('/', 1);; at = path.find('/', at + 1)) {
        const std::string prefix = path.substr(0, at);
        if (::mkdir(prefix.c_str(), 0755) != 0 && errno != EEXIST) {
            error = systemError("mkdir " + prefix);
            return false;
        }
        if (at == std::string::npos) {
            break;
        }
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        error = path + " is not a folder";
        return false;
    }
    return true;
}

// Writes the file only when it is absent, and whole: the text goes to a scratch file that is
// then hard-linked into place, which fails harmlessly when another process was first.
bool writeIfAbsent(const std::string& root, const std::string& path, std::string_view text,
                   std::string& error) {
    if (::access(path.c_str(), F_OK) == 0) {
        return true;
    }
    const std::string scratch = scratchName(root);
    const int fd = ::open(scratch.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0444);
    if (fd < 0) {
        error = systemError("create " + scratch);
        return false;
    }
    const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    bool ok = written;
    if (!written) {
        error = systemError("write " + scratch);
    } else if (::link(scratch.c_str(), path.c_str()) != 0 && errno != EEXIST) {
        error = systemError("link " + path);
        ok = false;
    }
    ::unlink(scratch.c_str());
    return ok;
}

// Points the symlink `link` at `target` in one rename; the scratch link is made outside the
// folder `link` lives in, so that nobody listing that folder sees it.
bool placeLink(const std::string& root, const std::string& target, const std::string& link,
               std::string& error) {
    struct stat st {};
    if (::lstat(link.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        error = "refusing to replace " + link + ": it exists and is not a symlink";
        return false;
    }
    const std::string scratch = scratchName(root);
    if (::symlink(target.c_str(), scratch.c_str()) != 0) {
        error = systemError("symlink " + scratch);
        return false;
    }
    if (::rename(scratch.c_str(), link.c_str()) != 0) {
        error = systemError("rename to " + link);
        ::unlink(scratch.c_str());
        return false;
    }
    return true;
}

bool writeAttributes(const std::string& root, const std::string& dir,
                     const Attribute (&attributes)[3], std::string& error) {
    for (const Attribute& a : attributes) {
        if (!writeIfAbsent(root, dir + "/" + a.name, a.value, error)) {
            return false;
        }
    }
    return true;
}

// Another tty already below the same device folder means two simulators were given one path.
bool pathIsFree(const UsbSysfsLayout& layout, std::string& error) {
    const std::filesystem::path ttys = std::filesystem::path(layout.ttyDir).parent_path();
    const std::string mine = std::filesystem::path(layout.ttyDir).filename().string();
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(ttys, ec)) {
        if (entry.path().filename() != mine) {
            error =
                "USB path " + layout.deviceDir + " is taken by " + entry.path().filename().string();
            return false;
        }
    }
    return true;
}

}  // namespace

bool validUsbPath(std::string_view path) {
    const std::size_t dash = path.find('-');
    if (dash == std::string_view::npos || !isDigits(path.substr(0, dash))) {
        return false;
    }
    std::size_t levels = 0;
    std::string_view ports = path.substr(dash + 1);
    while (true) {
        const std::size_t dot = ports.find('.');
        if (!isDigits(ports.substr(0, dot))) {
            return false;
        }
        ++levels;
        if (dot == std::string_view::npos) {
            break;
        }
        ports.remove_prefix(dot + 1);
    }
    return levels >= 2;
}

UsbSysfsLayout usbSysfsLayout(const std::string& root, const std::string& usbPath,
                              const std::string& tty) {
    // Real sysfs nests every device in the folder of the hub it hangs off: usb1/1-1/1-1.2/1-1.2.3.
    const std::size_t dash = usbPath.find('-');
    std::string devices = std::string(kPciPath) + usbPath.substr(0, dash);
    for (std::size_t dot = usbPath.find('.', dash);; dot = usbPath.find('.', dot + 1)) {
        devices += "/" + usbPath.substr(0, dot);
        if (dot == std::string::npos) {
            break;
        }
    }
    const std::string iface = interfaceName(usbPath);
    const std::string ttyBelowDevices = devices + "/" + iface + "/tty/" + tty;

    UsbSysfsLayout layout;
    layout.root = root;
    while (layout.root.size() > 1 && layout.root.back() == '/') {
        layout.root.pop_back();
    }
    layout.deviceDir = layout.root + devices;
    layout.hubDir = layout.deviceDir.substr(0, layout.deviceDir.rfind('/'));
    layout.ttyDir = layout.root + ttyBelowDevices;
    layout.deviceLink = layout.ttyDir + "/device";
    layout.classLink = layout.root + "/class/tty/" + tty;
    layout.classTarget = "../.." + ttyBelowDevices;
    return layout;
}

bool addUsbDevice(const UsbSysfsLayout& layout, std::string& error) {
    if (!makeDirs(layout.root + "/class/tty", error) || !makeDirs(layout.hubDir, error) ||
        !writeAttributes(layout.root, layout.hubDir, kHubAttributes, error) ||
        !pathIsFree(layout, error) || !makeDirs(layout.ttyDir, error) ||
        !writeAttributes(layout.root, layout.deviceDir, kDeviceAttributes, error)) {
        return false;
    }
    const std::string iface =
        interfaceName(std::filesystem::path(layout.deviceDir).filename().string());
    return placeLink(layout.root, "../../../" + iface, layout.deviceLink, error) &&
           placeLink(layout.root, layout.classTarget, layout.classLink, error);
}

void removeUsbDevice(const UsbSysfsLayout& layout) {
    removeLinkTo(layout.classLink, layout.classTarget);
    std::string taken;
    if (!pathIsFree(layout, taken)) {
        return;  // another simulator's device now
    }
    std::error_code ignored;
    std::filesystem::remove_all(layout.deviceDir, ignored);
}

}  // namespace kvu::sim
