#include "kvuctl/progress_lines.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace kvu::ctl {

ProgressLines::ProgressLines(std::FILE* stream, bool live) : stream_(stream), live_(live) {}

bool ProgressLines::isTerminal(std::FILE* stream) {
#ifdef _WIN32
    return _isatty(_fileno(stream)) != 0;
#else
    return ::isatty(::fileno(stream)) != 0;
#endif
}

int ProgressLines::add(const QString& label) {
    std::lock_guard lock(mutex_);
    rows_.push_back({label, {}});
    return static_cast<int>(rows_.size()) - 1;
}

void ProgressLines::relabel(int row, const QString& label) {
    std::lock_guard lock(mutex_);
    rows_[static_cast<std::size_t>(row)].label = label;
}

void ProgressLines::step(int row, const QString& text) {
    std::lock_guard lock(mutex_);
    Row& r = rows_[static_cast<std::size_t>(row)];
    r.text = text;
    if (!live_) {
        std::fprintf(stream_, "kvuctl: %s: %s\n", r.label.toUtf8().constData(),
                     text.toUtf8().constData());
        std::fflush(stream_);
        return;
    }
    redraw();
}

void ProgressLines::redraw() {
    // Back to the first row drawn, then every row again; rows added since come below.
    if (drawn_ > 0) {
        std::fprintf(stream_, "\x1b[%zuA", drawn_);
    }
    for (const Row& r : rows_) {
        std::fprintf(stream_, "\r\x1b[2K%s: %s\n", r.label.toUtf8().constData(),
                     r.text.toUtf8().constData());
    }
    drawn_ = rows_.size();
    std::fflush(stream_);
}

}  // namespace kvu::ctl
