// Progress of the work on several devices, on standard error: a line per device and step when
// it is no terminal (logs, pipes), one live line per device when it is.
#pragma once

#include <QString>

#include <cstdio>
#include <mutex>
#include <vector>

namespace kvu::ctl {

class ProgressLines {
  public:
    // `live`: redraw a line per device in place (a terminal); otherwise append lines.
    ProgressLines(std::FILE* stream, bool live);

    // A new device; returns its row.
    int add(const QString& label);
    void relabel(int row, const QString& label);
    void step(int row, const QString& text);

    // True when the stream is a terminal.
    static bool isTerminal(std::FILE* stream);

  private:
    void redraw();

    std::FILE* stream_;
    bool live_;
    std::mutex mutex_;
    struct Row {
        QString label;
        QString text;
    };
    std::vector<Row> rows_;
    std::size_t drawn_ = 0;  // rows on screen below which the cursor stands
};

}  // namespace kvu::ctl
