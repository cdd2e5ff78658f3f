#include "sim/simulated_device.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "sim/command_handler.h"
#include "sim/state_file.h"

namespace kvu::sim {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kBabbleInterval = std::chrono::milliseconds(10);

}  // namespace

SimulatedDevice::SimulatedDevice() : SimulatedDevice(DeviceConfig{}) {}

SimulatedDevice::SimulatedDevice(DeviceConfig config) : config_(std::move(config)) {}

SimulatedDevice::~SimulatedDevice() {
    stop();
}

bool SimulatedDevice::start(std::string& error) {
    std::unique_lock lock(mutex_);
    if (running_) {
        error = "the device is already running";
        return false;
    }
    FaultPlan plan;
    if (!FaultPlan::compile(config_.faults, plan, error)) {
        return false;
    }
    usbLayout_.reset();
    if (!config_.usb.root.empty()) {
        const std::string tty = std::filesystem::path(config_.linkPath).filename().string();
        if (tty.empty()) {
            error = "a USB listing needs a symlink to name its tty";
            return false;
        }
        if (!validUsbPath(config_.usb.path)) {
            error = "bad USB path " + config_.usb.path;
            return false;
        }
        usbLayout_ = usbSysfsLayout(config_.usb.root, config_.usb.path, tty);
    }
    DeviceState initial = config_.initial;
    if (!config_.stateFile.empty()) {
        bool found = false;
        if (!loadStateFile(config_.stateFile, initial, found, error)) {
            return false;
        }
    }
    if (::pipe2(wakePipe_, O_NONBLOCK | O_CLOEXEC) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    plan_ = std::make_shared<const FaultPlan>(std::move(plan));
    working_ = initial;
    committed_ = initial;
    received_.clear();
    commandCount_ = 0;
    replugPending_ = false;
    request_ = Request::None;
    if (!doPlug(lock, error)) {
        ::close(wakePipe_[0]);
        ::close(wakePipe_[1]);
        wakePipe_[0] = wakePipe_[1] = -1;
        return false;
    }
    running_ = true;
    thread_ = std::thread([this] { run(); });
    return true;
}

void SimulatedDevice::stop() {
    std::unique_lock lock(mutex_);
    if (!requestAndWait(Request::Stop, lock)) {
        return;
    }
    lock.unlock();
    if (thread_.joinable()) {
        thread_.join();
    }
    lock.lock();
    ::close(wakePipe_[0]);
    ::close(wakePipe_[1]);
    wakePipe_[0] = wakePipe_[1] = -1;
}

std::string SimulatedDevice::slavePath() const {
    std::lock_guard lock(mutex_);
    return pty_.path;
}

bool SimulatedDevice::plugged() const {
    std::lock_guard lock(mutex_);
    return pty_.master >= 0;
}

void SimulatedDevice::hangUp() {
    std::unique_lock lock(mutex_);
    requestAndWait(Request::HangUp, lock);
}

bool SimulatedDevice::replug(std::string& error) {
    std::unique_lock lock(mutex_);
    if (!running_) {
        error = "the device is not running";
        return false;
    }
    if (!requestAndWait(Request::Replug, lock)) {
        error = requestError_;
        return false;
    }
    return true;
}

bool SimulatedDevice::replug() {
    std::string ignored;
    return replug(ignored);
}

bool SimulatedDevice::setFaults(const Faults& faults, std::string& error) {
    FaultPlan plan;
    if (!FaultPlan::compile(faults, plan, error)) {
        return false;
    }
    std::lock_guard lock(mutex_);
    config_.faults = faults;
    plan_ = std::make_shared<const FaultPlan>(std::move(plan));
    wake();  // babbling changes how long the service thread may sleep
    return true;
}

Faults SimulatedDevice::faults() const {
    std::lock_guard lock(mutex_);
    return config_.faults;
}

DeviceState SimulatedDevice::state() const {
    std::lock_guard lock(mutex_);
    return working_;
}

DeviceState SimulatedDevice::committedState() const {
    std::lock_guard lock(mutex_);
    return committed_;
}

std::vector<std::string> SimulatedDevice::received() const {
    std::lock_guard lock(mutex_);
    return received_;
}

void SimulatedDevice::clearReceived() {
    std::lock_guard lock(mutex_);
    received_.clear();
}

bool SimulatedDevice::waitForCommands(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return received_.size() >= count; });
}

std::size_t SimulatedDevice::commandCount() const {
    std::lock_guard lock(mutex_);
    return commandCount_;
}

bool SimulatedDevice::requestAndWait(Request request, std::unique_lock<std::mutex>& lock) {
    changed_.wait(lock, [&] { return request_ == Request::None || !running_; });
    if (!running_) {
        return false;
    }
    request_ = request;
    const std::size_t ticket = requestsServed_;
    wake();
    changed_.notify_all();
    changed_.wait(lock, [&] { return requestsServed_ != ticket; });
    return requestOk_;
}

void SimulatedDevice::wake() {
    if (wakePipe_[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = ::write(wakePipe_[1], &byte, 1);
    }
}

void SimulatedDevice::serveRequest(Request request, std::unique_lock<std::mutex>& lock) {
    requestOk_ = true;
    requestError_.clear();
    switch (request) {
        case Request::HangUp:
            if (pty_.master >= 0) {
                doHangUp(lock);
            }
            break;
        case Request::Replug:
            if (pty_.master >= 0) {
                doHangUp(lock);
            }
            replugPending_ = false;
            requestOk_ = doPlug(lock, requestError_);
            if (requestOk_ && config_.onLineChange) {
                const std::string path = pty_.path;
                lock.unlock();
                config_.onLineChange(path);
                lock.lock();
            }
            break;
        case Request::Stop:
            if (usbLayout_) {
                removeUsbDevice(*usbLayout_);
            }
            if (!config_.linkPath.empty() && !linkTarget_.empty()) {
                removeLinkTo(config_.linkPath, linkTarget_);
            }
            closePty(pty_);
            running_ = false;
            break;
        case Request::None:
            break;
    }
    request_ = Request::None;
    ++requestsServed_;
    changed_.notify_all();
}

void SimulatedDevice::doHangUp(std::unique_lock<std::mutex>& lock) {
    // Out of the listing before the link goes, so that a listed port always opens.
    if (usbLayout_) {
        removeUsbDevice(*usbLayout_);
    }
    closePty(pty_);
    if (!config_.linkPath.empty() && !linkTarget_.empty()) {
        removeLinkTo(config_.linkPath, linkTarget_);
    }
    assembler_.reset();
    const auto replugAfter = plan_->faults().replugAfter;
    replugPending_ = replugAfter.count() > 0;
    replugAt_ = Clock::now() + replugAfter;
    if (config_.onLineChange) {
        lock.unlock();
        config_.onLineChange(std::string());
        lock.lock();
    }
}

bool SimulatedDevice::doPlug(std::unique_lock<std::mutex>&, std::string& error) {
    PtyPair pty;
    if (!openRawPty(pty, error)) {
        return false;
    }
    if (!config_.linkPath.empty() && !pointLinkAt(config_.linkPath, pty.path, error)) {
        closePty(pty);
        return false;
    }
    if (usbLayout_ && !addUsbDevice(*usbLayout_, error)) {
        removeLinkTo(config_.linkPath, pty.path);
        closePty(pty);
        return false;
    }
    pty_ = pty;
    linkTarget_ = pty.path;
    assembler_.reset();
    return true;
}

void SimulatedDevice::run() {
    std::unique_lock lock(mutex_);
    auto lastBabble = Clock::now();
    while (true) {
        if (request_ != Request::None) {
            const Request request = request_;
            serveRequest(request, lock);
            if (request == Request::Stop) {
                return;
            }
            continue;
        }
        if (pty_.master < 0) {
            const auto pending = [&] { return request_ != Request::None; };
            if (!replugPending_) {
                changed_.wait(lock, pending);
            } else if (Clock::now() >= replugAt_) {
                replugPending_ = false;
                std::string error;
                if (doPlug(lock, error) && config_.onLineChange) {
                    const std::string path = pty_.path;
                    lock.unlock();
                    config_.onLineChange(path);
                    lock.lock();
                }
            } else {
                changed_.wait_until(lock, replugAt_, pending);
            }
            continue;
        }

        const bool babbling = plan_->faults().babble;
        pollfd fds[2] = {{pty_.master, POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
        const int timeout = babbling ? static_cast<int>(kBabbleInterval.count()) : -1;
        lock.unlock();
        const int ready = ::poll(fds, 2, timeout);
        lock.lock();
        if (fds[1].revents & POLLIN) {
            char drain[64];
            while (::read(wakePipe_[0], drain, sizeof drain) > 0) {
            }
        }
        if (request_ != Request::None || pty_.master < 0) {
            continue;
        }
        if (ready > 0 && (fds[0].revents & POLLIN)) {
            char buf[512];
            const ssize_t n = ::read(pty_.master, buf, sizeof buf);
            if (n > 0) {
                for (const ReceivedLine& line :
                     assembler_.feed(std::string_view(buf, static_cast<std::size_t>(n)))) {
                    handleLine(line, lock);
                    if (request_ != Request::None || pty_.master < 0) {
                        break;
                    }
                }
            } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                pause(Clock::now() + kBabbleInterval, lock);
            }
        } else if (ready > 0 && (fds[0].revents & (POLLHUP | POLLERR))) {
            pause(Clock::now() + kBabbleInterval, lock);
        }
        if (babbling && Clock::now() - lastBabble >= kBabbleInterval && pty_.master >= 0) {
            babbleOnce(lock);
            lastBabble = Clock::now();
        }
    }
}

void SimulatedDevice::handleLine(const ReceivedLine& line, std::unique_lock<std::mutex>& lock) {
    received_.push_back(line.bytes);
    if (config_.onCommand) {
        config_.onCommand(line.bytes);
    }
    const std::size_t index = ++commandCount_;
    changed_.notify_all();
    const std::shared_ptr<const FaultPlan> plan = plan_;

    std::string reply;
    CommandKind kind = CommandKind::Invalid;
    switch (plan->fate(index, line.bytes)) {
        case CommandFate::Silent:
            break;
        case CommandFate::Error:
            reply = kErrorReply;
            break;
        case CommandFate::Answer: {
            if (line.overlong) {
                reply = kErrorReply;
                break;
            }
            // Work on copies so that a commit that cannot be saved changes nothing.
            DeviceState next = working_;
            CommandOutcome outcome = handleCommand(line.bytes, next);
            kind = outcome.kind;
            reply = std::move(outcome.reply);
            if (kind == CommandKind::Commit) {
                plan->forgetAtCommit(committed_, next);
            }
            if (kind == CommandKind::Commit || kind == CommandKind::Erase) {
                // An erase clears the stored profiles too, not only the working copy.
                DeviceState committed = committed_;
                copyProfiles(next, committed);
                std::string error;
                if (!config_.stateFile.empty() &&
                    !saveStateFile(config_.stateFile, committed, error)) {
                    reply = kErrorReply;
                    break;
                }
                committed_ = committed;
            }
            working_ = next;
            break;
        }
    }

    if (!reply.empty()) {
        const auto delay = plan->delayFor(line.bytes);
        if (delay.count() > 0 && !pause(Clock::now() + delay, lock)) {
            return;
        }
        if (!sendReply(plan->shape(std::move(reply), kind), lock)) {
            return;
        }
    }
    if (plan->faults().hangUpAfter == index && pty_.master >= 0) {
        // Closing the master discards what the host has not read yet; let it take the reply.
        // Written bytes reach the slave's count only after the kernel has moved them on, so a
        // zero is trusted only after a short settle time.
        const auto begin = Clock::now();
        const auto settle = begin + std::chrono::milliseconds(20);
        const auto deadline = begin + std::chrono::seconds(1);
        int unread = 0;
        while (::ioctl(pty_.slave, FIONREAD, &unread) == 0 && Clock::now() < deadline &&
               (unread > 0 || Clock::now() < settle)) {
            if (!pause(Clock::now() + std::chrono::milliseconds(2), lock)) {
                return;
            }
        }
        doHangUp(lock);
    }
}

bool SimulatedDevice::sendReply(const std::string& bytes, std::unique_lock<std::mutex>& lock) {
    const std::shared_ptr<const FaultPlan> plan = plan_;
    const std::chrono::nanoseconds byteTime = plan->byteTime();
    const std::vector<std::string> pieces = plan->chunks(bytes);
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (i > 0 && !pause(Clock::now() + plan->faults().chunkGap, lock)) {
            return false;
        }
        if (byteTime.count() == 0) {
            if (!writeAll(pty_.master, pieces[i].data(), pieces[i].size(), lock)) {
                return false;
            }
            continue;
        }
        auto next = Clock::now();
        for (const char& c : pieces[i]) {
            if (!writeAll(pty_.master, &c, 1, lock)) {
                return false;
            }
            next += byteTime;
            if (!pause(next, lock)) {
                return false;
            }
        }
    }
    return true;
}

bool SimulatedDevice::writeAll(int fd, const char* data, std::size_t size,
                               std::unique_lock<std::mutex>& lock) {
    while (size > 0) {
        if (request_ != Request::None || pty_.master < 0) {
            return false;
        }
        const ssize_t n = ::write(fd, data, size);
        if (n > 0) {
            data += n;
            size -= static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        }
        // The host is not reading; wait for room without holding the lock.
        pollfd fds[2] = {{fd, POLLOUT, 0}, {wakePipe_[0], POLLIN, 0}};
        lock.unlock();
        ::poll(fds, 2, 50);
        lock.lock();
        if (fds[1].revents & POLLIN) {
            char drain[64];
            while (::read(wakePipe_[0], drain, sizeof drain) > 0) {
            }
        }
    }
    return true;
}

void SimulatedDevice::babbleOnce(std::unique_lock<std::mutex>&) {
    const Faults& f = plan_->faults();
    if (f.babbleText.empty()) {
        return;
    }
    std::size_t count = 32;
    if (f.baud > 0) {
        count = std::max<std::size_t>(1, static_cast<std::size_t>(f.baud) / 10 / 100);
    }
    std::string junk;
    for (std::size_t i = 0; i < count; ++i) {
        junk += f.babbleText[babbleOffset_++ % f.babbleText.size()];
    }
    // Best effort: junk that does not fit is dropped rather than stalling the device.
    [[maybe_unused]] const ssize_t n = ::write(pty_.master, junk.data(), junk.size());
}

bool SimulatedDevice::pause(Clock::time_point deadline, std::unique_lock<std::mutex>& lock) {
    return !changed_.wait_until(lock, deadline, [&] { return request_ != Request::None; });
}

}  // namespace kvu::sim
