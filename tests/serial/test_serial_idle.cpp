// An idle line: the receive thread sleeps in a wait without a time-out, and only the stop, the
// device's data or the loss of the line wakes it, each at once.
#include "serial/serial_channel.h"
#include "tests/serial/pty_device.h"
#include "tests/serial/wait_until.h"
#include "tests/support/context_switches.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <map>
#include <thread>

namespace kvu {
namespace {

using namespace std::chrono_literals;
using test::PtyDevice;
using test::waitUntil;

class IdleReceiveThread : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(device.ok());
        device.start();
        channel.setParseHook([](const QString&, const QString& buffer) {
            return buffer.endsWith(QStringLiteral("\r\n"));
        });
        channel.setLinkLostHook([this] { ++linkLostCalls; });
        ASSERT_TRUE(channel.initSerial(QString::fromStdString(device.slavePath())));
        const auto before = test::switchesByThread(QStringLiteral("self"));
        ASSERT_TRUE(channel.startRecvThread());
        // The receive thread is the one thread that was not there before the start.
        ASSERT_TRUE(waitUntil([&] {
            for (const auto& [tid, n] : test::switchesByThread(QStringLiteral("self")))
                if (before.count(tid) == 0)
                    receiveTask = QStringLiteral("/proc/self/task/%1").arg(tid);
            return !receiveTask.isEmpty();
        }));
    }

    QString receiveTask;
    std::atomic<int> linkLostCalls{0};
    PtyDevice device;
    SerialChannel channel;  // declared last: stops its thread before the rest goes
};

TEST_F(IdleReceiveThread, SleepsWhileNothingArrives) {
    std::this_thread::sleep_for(100ms);  // past its first wait
    const long long before = test::threadSwitches(receiveTask);
    std::this_thread::sleep_for(1000ms);
    const long long after = test::threadSwitches(receiveTask);
    ASSERT_GE(before, 0);
    ASSERT_GE(after, 0);
    // A wait that ended every 100 ms to look at the stop flag would show about ten.
    EXPECT_LE(after - before, 1) << "the idle receive thread woke up";
    EXPECT_TRUE(channel.isRunning());
}

TEST_F(IdleReceiveThread, StopEndsALongWaitAtOnce) {
    std::this_thread::sleep_for(300ms);
    const auto start = std::chrono::steady_clock::now();
    auto stopped = std::async(std::launch::async, [this] { channel.stopRecvThread(); });
    const bool done = stopped.wait_for(2s) == std::future_status::ready;
    if (!done) {
        device.hangUp();  // frees the waiting thread, so that the failure does not hang
        stopped.wait();
    }
    ASSERT_TRUE(done) << "the stop did not wake the waiting receive thread";
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
    EXPECT_FALSE(channel.isRunning());
    EXPECT_FALSE(channel.isOpen());
    EXPECT_EQ(linkLostCalls.load(), 0);
}

TEST_F(IdleReceiveThread, DataAndHangUpAfterALongSilenceAreSeenAtOnce) {
    std::this_thread::sleep_for(300ms);
    ASSERT_TRUE(device.send("VER 1.0\r\n"));  // unasked: it only has to reach the buffer
    EXPECT_TRUE(
        waitUntil([&] { return channel.receiveBuffer() == QStringLiteral("VER 1.0\r\n"); }, 500ms))
        << channel.receiveBuffer().toStdString();

    EXPECT_FALSE(channel.waitForLineEnd(50ms)) << "the line is still up";
    std::this_thread::sleep_for(300ms);
    const auto start = std::chrono::steady_clock::now();
    device.hangUp();
    EXPECT_TRUE(channel.waitForLineEnd(2000ms));
    ASSERT_TRUE(waitUntil([&] { return linkLostCalls.load() == 1; }, 2000ms));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
    EXPECT_FALSE(channel.isRunning());
}

}  // namespace
}  // namespace kvu
