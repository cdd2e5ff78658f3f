// POSIX serial port: a non-blocking descriptor driven by poll() without a time-out, plus a pipe
// that lets another thread end a pending wait without closing the descriptor under the reader.
#include "serial/serial_port.h"

#include <fcntl.h>
#include <locale.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kvu {

namespace {

// The English text of an errno value, whatever locale the application has set.
std::string englishMessage(int error) {
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(0));
    if (cLocale != locale_t(0))
        return strerror_l(error, cLocale);
    return std::strerror(error);
}

OpenResult failure(OpenStep step, int error) {
    OpenResult result;
    result.step = step;
    result.systemMessage = englishMessage(error);
    result.permissionDenied = error == EACCES || error == EPERM;
    result.busy = error == EBUSY;
    return result;
}

// Opens the device for exclusive use; -1 with errno set on failure.
int openExclusive(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    // TIOCEXCL keeps other programs out but does not bind a privileged one; the advisory lock
    // also keeps a second instance of ourselves out. Not every device knows TIOCEXCL.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno == EWOULDBLOCK ? EBUSY : errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    (void)::ioctl(fd, TIOCEXCL);
    return fd;
}

// VTIME in tenths of a second, for a reader that would block on the descriptor; ours never does.
constexpr cc_t kBlockingReadTenths = 1;

void closeQuietly(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

}  // namespace

struct SerialPort::Handle {
    int fd = -1;
    int wakeRead = -1;
    int wakeWrite = -1;
};

SerialPort::SerialPort() : handle_(std::make_unique<Handle>()) {}

SerialPort::~SerialPort() {
    close();
}

OpenResult SerialPort::open(const std::string& name) {
    close();
    int fd = openExclusive(name);
    if (fd < 0 && errno == ENOENT && !name.empty() && name.front() != '/') {
        // Only a name that is not here may be meant under /dev/; a port that is here but busy
        // or closed to us keeps its own error.
        fd = openExclusive("/dev/" + name);
        if (fd < 0 && errno != ENOENT)
            return failure(OpenStep::Open, errno);
        if (fd < 0)
            return failure(OpenStep::Open, ENOENT);
    }
    if (fd < 0)
        return failure(OpenStep::Open, errno);

    auto giveUp = [&fd](OpenStep step) {
        const int error = errno;
        ::close(fd);
        return failure(step, error);
    };

    termios line{};
    if (::tcgetattr(fd, &line) != 0)
        return giveUp(OpenStep::GetState);
    (void)::tcflush(fd, TCIOFLUSH);

    const tcflag_t parity = line.c_cflag & (PARENB | PARODD | CMSPAR);
    ::cfmakeraw(&line);
    line.c_cflag &= ~(PARENB | PARODD | CMSPAR | CSTOPB | CSIZE);
    line.c_cflag |= parity | CS8 | CRTSCTS | CREAD | CLOCAL;
    line.c_iflag &= ~(INPCK | IXON | IXOFF | IXANY);
    ::cfsetispeed(&line, B9600);
    ::cfsetospeed(&line, B9600);
    if (::tcsetattr(fd, TCSANOW, &line) != 0)
        return giveUp(OpenStep::SetState);

    // The read time-outs live in the same settings: VMIN/VTIME. With the descriptor kept
    // non-blocking poll() does the waiting; a blocking reader would still return after 100 ms.
    termios timing{};
    if (::tcgetattr(fd, &timing) != 0)
        return giveUp(OpenStep::GetTimeouts);
    timing.c_cc[VMIN] = 0;
    timing.c_cc[VTIME] = kBlockingReadTenths;
    if (::tcsetattr(fd, TCSANOW, &timing) != 0)
        return giveUp(OpenStep::SetTimeouts);

    // Pseudo-terminals refuse modem lines (ENOTTY/EINVAL); nothing depends on it.
    int lines = TIOCM_DTR | TIOCM_RTS;
    (void)::ioctl(fd, TIOCMBIS, &lines);

    int wake[2];
    if (::pipe2(wake, O_NONBLOCK | O_CLOEXEC) != 0)
        return giveUp(OpenStep::Open);

    handle_->fd = fd;
    handle_->wakeRead = wake[0];
    handle_->wakeWrite = wake[1];
    OpenResult done;
    done.step = OpenStep::Done;
    return done;
}

bool SerialPort::isOpen() const {
    return handle_->fd >= 0;
}

long SerialPort::write(const char* data, std::size_t size) {
    if (handle_->fd < 0)
        return -1;
    for (;;) {
        const ssize_t n = ::write(handle_->fd, data, size);
        if (n >= 0)
            return static_cast<long>(n);
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return 0;
        return -1;
    }
}

bool SerialPort::waitWritable(int timeoutMs) {
    if (handle_->fd < 0)
        return false;
    pollfd p{handle_->fd, POLLOUT, 0};
    const int n = ::poll(&p, 1, timeoutMs);
    return n > 0 && (p.revents & POLLOUT) != 0;
}

ReadResult SerialPort::read(char* buffer, std::size_t capacity) {
    ReadResult result;
    if (handle_->fd < 0) {
        result.status = ReadStatus::Broken;
        return result;
    }
    // No time-out: data, a hang-up (POLLHUP/POLLERR come unasked) or the wake pipe end it.
    pollfd p[2] = {{handle_->fd, POLLIN, 0}, {handle_->wakeRead, POLLIN, 0}};
    const int ready = ::poll(p, 2, -1);
    if (ready < 0) {
        result.status = errno == EINTR ? ReadStatus::Timeout : ReadStatus::Broken;
        return result;
    }
    if (p[1].revents & POLLIN) {
        char sink[64];
        while (::read(handle_->wakeRead, sink, sizeof sink) > 0) {
        }
        return result;
    }
    if (ready == 0)
        return result;
    if (p[0].revents & POLLNVAL) {
        result.status = ReadStatus::Broken;
        return result;
    }
    // Read even on POLLHUP/POLLERR: the last bytes before a hang-up still belong to the reply,
    // and the read then reports the break itself.
    const ssize_t n = ::read(handle_->fd, buffer, capacity);
    if (n > 0) {
        result.status = ReadStatus::Data;
        result.count = static_cast<std::size_t>(n);
    } else if (n == 0) {
        result.status = ReadStatus::Broken;
    } else if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
        if (p[0].revents & (POLLHUP | POLLERR))
            result.status = ReadStatus::Broken;
    } else {
        result.status = ReadStatus::Broken;  // EIO, ENXIO, ENODEV and the like
    }
    return result;
}

void SerialPort::cancelRead() {
    if (handle_->wakeWrite >= 0) {
        const char byte = 1;
        (void)!::write(handle_->wakeWrite, &byte, 1);
    }
}

void SerialPort::flushInput() {
    if (handle_->fd >= 0)
        (void)::tcflush(handle_->fd, TCIFLUSH);
}

void SerialPort::close() {
    // The exclusive mode belongs to the tty, not to our descriptor: left set, it outlives the
    // close while the other end stays open, and refuses the next unprivileged open.
    if (handle_->fd >= 0)
        (void)::ioctl(handle_->fd, TIOCNXCL);
    closeQuietly(handle_->fd);
    closeQuietly(handle_->wakeRead);
    closeQuietly(handle_->wakeWrite);
}

}  // namespace kvu
