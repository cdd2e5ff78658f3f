#include "kvuctl/output_stream.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace kvu::ctl {

namespace {

std::mutex g_outMutex;
bool g_stdoutClosed = false;

}  // namespace

void guardStandardStreams() {
#ifndef _WIN32
    for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
            if (fd == STDOUT_FILENO) {
                g_stdoutClosed = true;
            }
            const int null = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
            if (null >= 0 && null != fd) {
                ::dup2(null, fd);
                ::close(null);
            }
        }
    }
#endif
}

bool writeOut(const QByteArray& text, QString& error) {
    std::lock_guard lock(g_outMutex);
    if (g_stdoutClosed) {
        error = QStringLiteral("standard output is closed");
        return false;
    }
    errno = 0;
    const std::size_t size = static_cast<std::size_t>(text.size());
    const bool written = std::fwrite(text.constData(), 1, size, stdout) == size;
    if (std::fflush(stdout) != 0 || !written) {
        error = QStringLiteral("standard output: %1")
                    .arg(QString::fromLocal8Bit(std::strerror(errno != 0 ? errno : EIO)));
        std::clearerr(stdout);
        return false;
    }
    return true;
}

void writeErr(const QByteArray& text) {
    std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stderr);
    std::fflush(stderr);
    std::clearerr(stderr);
}

}  // namespace kvu::ctl
