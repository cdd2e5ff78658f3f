#pragma once
// Cuts the byte stream from the host into command lines closed by "\r".

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kvu::sim {

struct ReceivedLine {
    std::string bytes;      // closing "\r" included
    bool overlong = false;  // longer than the device's line buffer; the tail was dropped
};

class LineAssembler {
  public:
    static constexpr std::size_t kMaxLineBytes = 4096;

    // Returns the lines completed by `bytes`. A "\n" right after a "\r" is dropped, even when the
    // two arrive in different chunks.
    std::vector<ReceivedLine> feed(std::string_view bytes);

    // Forgets a partial line (after a hang-up).
    void reset();

  private:
    std::string partial_;
    bool overlong_ = false;
    bool afterCr_ = false;
};

}  // namespace kvu::sim
