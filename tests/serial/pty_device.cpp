#include "tests/serial/pty_device.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <cerrno>

namespace kvu::test {

PtyDevice::PtyDevice() {
    int master = -1;
    char name[256] = {};
    if (::openpty(&master, &slave_, name, nullptr, nullptr) != 0)
        return;
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    master_ = master;
    slavePath_ = name;
}

PtyDevice::~PtyDevice() {
    hangUp();
    if (slave_ >= 0)
        ::close(slave_);
}

void PtyDevice::start(LineHandler handler) {
    handler_ = std::move(handler);
    reader_ = std::thread([this] { readLoop(); });
}

void PtyDevice::readLoop() {
    std::string pending;
    char chunk[4096];
    while (!stop_ && !hangUpRequested_) {
        pollfd p{master_, POLLIN, 0};
        if (::poll(&p, 1, 10) <= 0)
            continue;
        const ssize_t n = ::read(master_, chunk, sizeof chunk);
        if (n <= 0) {
            if (n < 0 && errno == EAGAIN)
                continue;
            break;
        }
        {
            std::lock_guard lock(mutex_);
            received_.append(chunk, static_cast<std::size_t>(n));
        }
        arrived_.notify_all();
        pending.append(chunk, static_cast<std::size_t>(n));
        for (std::size_t end; handler_ && (end = pending.find('\r')) != std::string::npos;) {
            const std::string line = pending.substr(0, end + 1);
            pending.erase(0, end + 1);
            handler_(*this, line);
            if (hangUpRequested_)
                break;
        }
    }
    if (hangUpRequested_)
        closeMaster();
}

bool PtyDevice::send(const std::string& bytes) {
    std::size_t sent = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (sent < bytes.size()) {
        const int fd = master_;
        if (fd < 0 || std::chrono::steady_clock::now() > deadline)
            return false;
        const ssize_t n = ::write(fd, bytes.data() + sent, bytes.size() - sent);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        } else {
            pollfd p{fd, POLLOUT, 0};
            ::poll(&p, 1, 10);
        }
    }
    return true;
}

void PtyDevice::hangUp() {
    if (reader_.joinable() && reader_.get_id() == std::this_thread::get_id()) {
        hangUpRequested_ = true;  // the read loop closes the line when the handler returns
        return;
    }
    stop_ = true;
    if (reader_.joinable())
        reader_.join();
    closeMaster();
}

void PtyDevice::closeMaster() {
    const int fd = master_.exchange(-1);
    if (fd >= 0)
        ::close(fd);
}

std::string PtyDevice::received() const {
    std::lock_guard lock(mutex_);
    return received_;
}

bool PtyDevice::waitReceived(std::size_t count, std::chrono::milliseconds within) const {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, within, [&] { return received_.size() >= count; });
}

}  // namespace kvu::test
