#include "sim/pty_port.h"

#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace kvu::sim {
namespace {

std::string systemError(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

}  // namespace

bool openRawPty(PtyPair& pty, std::string& error) {
    int master = -1;
    int slave = -1;
    termios tio{};
    cfmakeraw(&tio);
    cfsetispeed(&tio, B9600);
    cfsetospeed(&tio, B9600);
    if (::openpty(&master, &slave, nullptr, &tio, nullptr) != 0) {
        error = systemError("openpty");
        return false;
    }
    const char* name = ::ttyname(slave);
    if (name == nullptr) {
        error = systemError("ttyname");
        ::close(master);
        ::close(slave);
        return false;
    }
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    pty.master = master;
    pty.slave = slave;
    pty.path = name;
    return true;
}

void closePty(PtyPair& pty) {
    if (pty.master >= 0) {
        ::close(pty.master);
    }
    if (pty.slave >= 0) {
        ::close(pty.slave);
    }
    pty = PtyPair{};
}

bool pointLinkAt(const std::string& link, const std::string& target, std::string& error) {
    struct stat st {};
    if (::lstat(link.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        error = "refusing to replace " + link + ": it exists and is not a symlink";
        return false;
    }
    const std::string temp = link + ".new" + std::to_string(::getpid());
    ::unlink(temp.c_str());
    if (::symlink(target.c_str(), temp.c_str()) != 0) {
        error = systemError("symlink " + temp);
        return false;
    }
    if (::rename(temp.c_str(), link.c_str()) != 0) {
        error = systemError("rename to " + link);
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

void removeLinkTo(const std::string& link, const std::string& target) {
    std::vector<char> buf(4096);
    const ssize_t n = ::readlink(link.c_str(), buf.data(), buf.size());
    if (n > 0 && std::string(buf.data(), static_cast<std::size_t>(n)) == target) {
        ::unlink(link.c_str());
    }
}

}  // namespace kvu::sim
