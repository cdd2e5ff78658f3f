#include "tests/sim/pty_client.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kvu::sim::test {

using Clock = std::chrono::steady_clock;

PtyClient::~PtyClient() {
    close();
}

bool PtyClient::open(const std::string& path, std::string& error) {
    close();
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        error = "open " + path + ": " + std::strerror(errno);
        return false;
    }
    termios tio{};
    if (::tcgetattr(fd_, &tio) == 0) {
        cfmakeraw(&tio);
        tio.c_cflag |= CRTSCTS;  // the utility asks for hardware flow control
        ::tcsetattr(fd_, TCSANOW, &tio);
    }
    return true;
}

void PtyClient::close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

bool PtyClient::send(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
        } else if (n < 0 && errno == EAGAIN) {
            pollfd p{fd_, POLLOUT, 0};
            ::poll(&p, 1, 100);
        } else {
            return false;
        }
    }
    return true;
}

std::string PtyClient::readUntil(const std::function<bool(const std::string&)>& done,
                                 std::chrono::milliseconds timeout) {
    std::string got;
    readSizes_.clear();
    const auto deadline = Clock::now() + timeout;
    while (!done(got)) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            break;
        }
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) {
            continue;
        }
        if (!(p.revents & POLLIN)) {
            break;  // hung up
        }
        char buf[4096];
        const ssize_t n = ::read(fd_, buf, sizeof buf);
        if (n <= 0) {
            if (n < 0 && errno == EAGAIN) {
                continue;
            }
            break;
        }
        if (readSizes_.empty()) {
            first_ = Clock::now();
        }
        last_ = Clock::now();
        readSizes_.push_back(static_cast<std::size_t>(n));
        got.append(buf, static_cast<std::size_t>(n));
    }
    return got;
}

std::string PtyClient::readUntilEnd(std::string_view suffix, std::chrono::milliseconds timeout) {
    return readUntil([suffix](const std::string& s) { return s.ends_with(suffix); }, timeout);
}

std::string PtyClient::exchange(std::string_view command, std::string_view suffix) {
    if (!send(command)) {
        return {};
    }
    return readUntilEnd(suffix);
}

bool PtyClient::waitForHangUp(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
        pollfd p{fd_, POLLIN, 0};
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (::poll(&p, 1, static_cast<int>(std::max<long>(1, left.count()))) <= 0) {
            continue;
        }
        if (p.revents & (POLLHUP | POLLERR)) {
            return true;
        }
        char buf[256];
        const ssize_t n = ::read(fd_, buf, sizeof buf);
        if (n == 0 || (n < 0 && errno == EIO)) {
            return true;
        }
    }
    return false;
}

}  // namespace kvu::sim::test
