#include "sim/line_assembler.h"

namespace kvu::sim {

std::vector<ReceivedLine> LineAssembler::feed(std::string_view bytes) {
    std::vector<ReceivedLine> lines;
    for (const char c : bytes) {
        if (c == '\n' && afterCr_) {
            afterCr_ = false;
            continue;
        }
        afterCr_ = false;
        if (c == '\r') {
            partial_ += c;
            lines.push_back({std::move(partial_), overlong_});
            partial_.clear();
            overlong_ = false;
            afterCr_ = true;
            continue;
        }
        if (partial_.size() + 1 >= kMaxLineBytes) {
            overlong_ = true;
            continue;
        }
        partial_ += c;
    }
    return lines;
}

void LineAssembler::reset() {
    partial_.clear();
    overlong_ = false;
    afterCr_ = false;
}

}  // namespace kvu::sim
