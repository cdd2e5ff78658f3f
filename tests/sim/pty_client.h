#pragma once
// The host's side of a simulated line in tests: plain POSIX open/read/write with deadlines.

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kvu::sim::test {

class PtyClient {
  public:
    PtyClient() = default;
    ~PtyClient();
    PtyClient(const PtyClient&) = delete;
    PtyClient& operator=(const PtyClient&) = delete;

    // Opens the path read-write in raw mode, as the utility would.
    bool open(const std::string& path, std::string& error);
    void close();

    bool send(std::string_view bytes);

    // Reads until `done(all bytes so far)` holds or the time is up; returns what arrived.
    std::string readUntil(const std::function<bool(const std::string&)>& done,
                          std::chrono::milliseconds timeout);
    // Reads until the text ends with `suffix`.
    std::string readUntilEnd(std::string_view suffix,
                             std::chrono::milliseconds timeout = std::chrono::seconds(3));
    // One command and its reply, which must end with `suffix`.
    std::string exchange(std::string_view command, std::string_view suffix = "\r\n");

    // True once the line reports a hang-up (POLLHUP, end of file or EIO) within the time.
    bool waitForHangUp(std::chrono::milliseconds timeout);

    // Sizes of the reads that made up the last readUntil, and when its first and last bytes came.
    const std::vector<std::size_t>& readSizes() const { return readSizes_; }
    std::chrono::steady_clock::duration firstToLast() const { return last_ - first_; }

  private:
    int fd_ = -1;
    std::vector<std::size_t> readSizes_;
    std::chrono::steady_clock::time_point first_{};
    std::chrono::steady_clock::time_point last_{};
};

}  // namespace kvu::sim::test
