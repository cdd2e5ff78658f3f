// Plays the device on the master side of a real pseudo-terminal: collects what the utility
// writes, answers command lines through a handler, and can hang the line up.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace kvu::test {

class PtyDevice {
  public:
    // Called on the device thread for every line the utility sends, "\r" included.
    using LineHandler = std::function<void(PtyDevice& device, const std::string& line)>;

    PtyDevice();
    ~PtyDevice();
    PtyDevice(const PtyDevice&) = delete;
    PtyDevice& operator=(const PtyDevice&) = delete;

    bool ok() const { return master_ >= 0 && slave_ >= 0; }
    const std::string& slavePath() const { return slavePath_; }
    // The test's own descriptor of the slave side, for checking the line settings.
    int slaveFd() const { return slave_; }

    // Starts reading what the utility writes; without it nothing is read and writes back up.
    void start(LineHandler handler = {});
    // Writes all bytes to the line; false if the line did not take them within a few seconds.
    bool send(const std::string& bytes);
    // Closes the master side; callable from the handler too.
    void hangUp();

    std::string received() const;
    bool waitReceived(std::size_t count,
                      std::chrono::milliseconds within = std::chrono::milliseconds(3000)) const;

  private:
    void readLoop();
    void closeMaster();

    std::atomic<int> master_{-1};
    int slave_ = -1;
    std::string slavePath_;
    LineHandler handler_;
    std::thread reader_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> hangUpRequested_{false};
    mutable std::mutex mutex_;
    mutable std::condition_variable arrived_;
    std::string received_;
};

}  // namespace kvu::test
