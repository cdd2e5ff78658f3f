// One command, one reply: the receive thread, the parse hook, and how a wait ends.
#include "serial/serial_channel.h"
#include "tests/serial/pty_device.h"
#include "tests/serial/wait_until.h"
#include "tests/support/log_capture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <vector>

namespace kvu {
namespace {

using namespace std::chrono_literals;
using test::LogCapture;
using test::PtyDevice;
using test::waitUntil;

bool endsWithCrLf(const QString&, const QString& buffer) {
    return buffer.endsWith(QStringLiteral("\r\n"));
}

class SerialExchange : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(device.ok()); }

    // Starts the device with its handler and the channel with a parse hook that also records
    // every call.
    void connect(PtyDevice::LineHandler handler, SerialChannel::ParseHook parse) {
        device.start(std::move(handler));
        channel.setParseHook([this, parse](const QString& cmd, const QString& buffer) {
            const bool complete = parse(cmd, buffer);
            std::lock_guard lock(seenMutex);
            seen.push_back(buffer);
            if (complete)
                ++completions;
            return complete;
        });
        channel.setLinkLostHook([this] { ++linkLostCalls; });
        ASSERT_TRUE(channel.initSerial(QString::fromStdString(device.slavePath())));
        ASSERT_TRUE(channel.startRecvThread());
    }
    std::size_t parseCalls() {
        std::lock_guard lock(seenMutex);
        return seen.size();
    }
    std::vector<QString> seenBuffers() {
        std::lock_guard lock(seenMutex);
        return seen;
    }
    int completionCount() {
        std::lock_guard lock(seenMutex);
        return completions;
    }

    std::mutex seenMutex;
    std::vector<QString> seen;
    int completions = 0;
    std::atomic<int> linkLostCalls{0};
    PtyDevice device;
    SerialChannel channel;  // declared last: stops its thread before the rest goes
};

struct ChunkCase {
    const char* name;
    std::vector<std::string> chunks;  // written one after another, each read on its own
    QString reply;
};

class SerialExchangeChunks : public SerialExchange,
                             public ::testing::WithParamInterface<ChunkCase> {};

TEST_P(SerialExchangeChunks, ReplyIsAssembledAndParsedAfterEveryPiece) {
    const ChunkCase& c = GetParam();
    connect(
        [this, &c](PtyDevice& line, const std::string& cmd) {
            if (cmd != "ver\r")
                return;
            for (const std::string& chunk : c.chunks) {
                const bool onlyNul =
                    std::all_of(chunk.begin(), chunk.end(), [](char ch) { return ch == '\0'; });
                const std::size_t before = parseCalls();
                line.send(chunk);
                // Wait until the channel has taken this piece so the next one is a new read.
                if (!onlyNul)
                    waitUntil([&] { return parseCalls() > before; }, 2000ms);
            }
        },
        [](const QString& cmd, const QString& buffer) {
            return cmd == QStringLiteral("ver\r") && buffer.endsWith(QStringLiteral("\r\n"));
        });

    const ExchangeResult result = channel.exchange(QStringLiteral("ver\r"), 3000ms);
    EXPECT_EQ(result.status, ExchangeStatus::Completed);
    EXPECT_EQ(result.reply, c.reply);
    EXPECT_EQ(channel.currentCommand(), QStringLiteral("ver\r"));

    // One parse per piece that carried text, each on the whole text so far.
    std::vector<QString> expected;
    QString soFar;
    for (const std::string& chunk : c.chunks) {
        bool any = false;
        for (char ch : chunk) {
            if (ch != '\0') {
                soFar.append(QChar(static_cast<unsigned char>(ch)));
                any = true;
            }
        }
        if (any)
            expected.push_back(soFar);
    }
    EXPECT_EQ(seenBuffers(), expected);
}

std::vector<std::string> bytesOf(const std::string& text) {
    std::vector<std::string> out;
    for (char ch : text)
        out.emplace_back(1, ch);
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    Replies, SerialExchangeChunks,
    ::testing::Values(
        ChunkCase{"Whole", {"VER 1.0\r\n"}, QStringLiteral("VER 1.0\r\n")},
        ChunkCase{"OneByteEach", bytesOf("VER 1.0\r\n"), QStringLiteral("VER 1.0\r\n")},
        ChunkCase{"NulBytesDropped",
                  {"VE", std::string(1, '\0'), std::string("R 1\0.0", 6), "\r\n"},
                  QStringLiteral("VER 1.0\r\n")},
        ChunkCase{
            "HighBytesAreLatin1", {"caf\xE9 \xFF\r\n"}, QStringLiteral("caf\u00e9 \u00ff\r\n")}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SerialExchange, CompletionBeforeTheWaitStillEndsIt) {
    // The send's log line is written after the bytes went out and before the wait begins;
    // holding it until the reply is complete puts the completion in exactly that gap.
    const auto testThread = std::this_thread::get_id();
    std::atomic<bool> completeBeforeWait{false};
    channel.setMaskForLog([&](const QString& text) {
        if (std::this_thread::get_id() == testThread && text == QStringLiteral("ver\r")) {
            completeBeforeWait = waitUntil([&] { return completionCount() > 0; }, 2000ms);
        }
        return text;
    });
    connect([](PtyDevice& line, const std::string&) { line.send("VER 9\r\n"); }, endsWithCrLf);

    const auto start = std::chrono::steady_clock::now();
    const ExchangeResult result = channel.exchange(QStringLiteral("ver\r"), 3000ms);
    ASSERT_TRUE(completeBeforeWait) << "the reply should have completed before the wait";
    EXPECT_EQ(result.status, ExchangeStatus::Completed);
    EXPECT_EQ(result.reply, QStringLiteral("VER 9\r\n"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2500ms);
}

TEST_F(SerialExchange, CompletionNobodyAwaitsDoesNotReleaseALaterExchange) {
    connect({}, [](const QString&, const QString& buffer) {
        return buffer.endsWith(QStringLiteral("OK\r\n"));
    });
    EXPECT_EQ(channel.exchange(QStringLiteral("fw\r"), 100ms).status, ExchangeStatus::TimedOut);

    // The answer comes late and completes for nobody.
    ASSERT_TRUE(device.send("FW OK\r\n"));
    ASSERT_TRUE(waitUntil([&] { return completionCount() == 1; }));

    const ExchangeResult next = channel.exchange(QStringLiteral("fe\r"), 150ms);
    EXPECT_EQ(next.status, ExchangeStatus::TimedOut);
    EXPECT_EQ(next.reply, QString());
}

TEST_F(SerialExchange, TextAfterACompleteReplyIsKeptButNotParsed) {
    connect(
        [](PtyDevice& line, const std::string& cmd) {
            if (cmd == "get\r")
                line.send("GET OK\r\n");
            else
                line.send("VER 2\r\n");
        },
        endsWithCrLf);
    const ExchangeResult first = channel.exchange(QStringLiteral("get\r"), 3000ms);
    ASSERT_EQ(first.status, ExchangeStatus::Completed);
    const std::size_t callsAtCompletion = parseCalls();

    ASSERT_TRUE(device.send("LATE\r\n"));
    ASSERT_TRUE(
        waitUntil([&] { return channel.receiveBuffer() == QStringLiteral("GET OK\r\nLATE\r\n"); }));
    EXPECT_EQ(parseCalls(), callsAtCompletion);
    EXPECT_EQ(first.reply, QStringLiteral("GET OK\r\n"));

    // The next exchange parses again.
    const ExchangeResult second = channel.exchange(QStringLiteral("ver\r"), 3000ms);
    EXPECT_EQ(second.status, ExchangeStatus::Completed);
    EXPECT_EQ(second.reply, QStringLiteral("VER 2\r\n"));
    EXPECT_GT(parseCalls(), callsAtCompletion);
}

TEST_F(SerialExchange, SilentDeviceTimesOutOnTimeWhilePumping) {
    channel.setMaskForLog([](const QString& text) {
        return QString(text).replace(QStringLiteral("s3cret"), QStringLiteral("********"));
    });
    std::atomic<int> pumps{0};
    channel.setWaitPump([&] {
        // Taking the channel's lock here would hang if the wait still held it.
        (void)channel.receiveBuffer();
        ++pumps;
    });
    connect({}, endsWithCrLf);
    LogCapture log;

    const auto start = std::chrono::steady_clock::now();
    const ExchangeResult result = channel.exchange(QStringLiteral("set 1 pw s3cret\r"), 150ms);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(result.status, ExchangeStatus::TimedOut);
    EXPECT_GE(took, 150ms);
    EXPECT_LT(took, 900ms);
    EXPECT_GE(pumps.load(), 3);
    EXPECT_TRUE(log.contains(spdlog::level::err,
                             "CKVUUtilityDlg::Exchange wait time-out [set 1 pw ********\r]"));
    EXPECT_FALSE(log.anyContains("s3cret"));
    EXPECT_TRUE(channel.isRunning());
}

TEST_F(SerialExchange, HangUpDuringAReplyEndsTheWaitAtOnce) {
    connect(
        [this](PtyDevice& line, const std::string&) {
            line.send("GET 1 apn x\r\n");
            waitUntil([&] { return parseCalls() > 0; }, 2000ms);
            line.hangUp();
        },
        [](const QString&, const QString&) { return false; });
    LogCapture log;

    const auto start = std::chrono::steady_clock::now();
    const ExchangeResult result = channel.exchange(QStringLiteral("get\r"), 5000ms);
    EXPECT_EQ(result.status, ExchangeStatus::LinkLost);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2000ms);
    EXPECT_EQ(result.reply, QStringLiteral("GET 1 apn x\r\n"));
    EXPECT_TRUE(log.contains(spdlog::level::err, "CKVUUtilityDlg::Exchange link lost [get\r]"));

    ASSERT_TRUE(waitUntil([&] { return !channel.isRunning(); }));
    EXPECT_FALSE(channel.isOpen());
    EXPECT_EQ(linkLostCalls.load(), 1);
    EXPECT_TRUE(log.contains(spdlog::level::debug, "CKVUUtilityDlg::RecvThreadTerminate"));
    channel.stopRecvThread();
    EXPECT_EQ(linkLostCalls.load(), 1);
    EXPECT_EQ(channel.exchange(QStringLiteral("ver\r"), 100ms).status, ExchangeStatus::SendFailed);
}

TEST_F(SerialExchange, StopJoinsPromptlyAndIsNotALinkLoss) {
    connect({}, endsWithCrLf);
    LogCapture log;
    const auto start = std::chrono::steady_clock::now();
    channel.stopRecvThread();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1000ms);
    EXPECT_FALSE(channel.isRunning());
    EXPECT_FALSE(channel.isOpen());
    EXPECT_TRUE(log.contains(spdlog::level::debug, "CKVUUtilityDlg::RecvThreadTerminate"));
    channel.stopRecvThread();  // nothing left to stop
    EXPECT_EQ(linkLostCalls.load(), 0);

    // The same port can be taken up again afterwards.
    ASSERT_TRUE(channel.initSerial(QString::fromStdString(device.slavePath())));
    EXPECT_TRUE(channel.startRecvThread());
    EXPECT_TRUE(channel.isRunning());
}

TEST_F(SerialExchange, StopWhileWaitingEndsTheWait) {
    // The window may close from the pump while a transaction waits.
    channel.setWaitPump([&] { channel.stopRecvThread(); });
    connect({}, endsWithCrLf);
    const auto start = std::chrono::steady_clock::now();
    const ExchangeResult result = channel.exchange(QStringLiteral("ver\r"), 5000ms);
    EXPECT_EQ(result.status, ExchangeStatus::LinkLost);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2000ms);
    EXPECT_EQ(linkLostCalls.load(), 0);
}

TEST_F(SerialExchange, BabblingDeviceIsCappedAndTheChannelRecovers) {
    LogCapture log(spdlog::level::info);
    connect(
        [](PtyDevice& line, const std::string& cmd) {
            if (cmd == "ver\r")
                line.send("VER 3\r\n");
        },
        [](const QString&, const QString& buffer) {
            return buffer.endsWith(QStringLiteral("VER 3\r\n"));
        });

    std::atomic<bool> babbleDone{false};
    std::thread babbler([&] {
        const std::string noise(4096, 'x');
        for (int i = 0; i < 64; ++i)  // 256 KiB, four times the cap
            device.send(noise);
        babbleDone = true;
    });
    ASSERT_TRUE(waitUntil([&] { return babbleDone.load(); }, 20000ms));
    babbler.join();
    ASSERT_TRUE(waitUntil(
        [&] { return channel.receiveBuffer().size() == SerialChannel::kReceiveCap; }, 5000ms));

    // Parsed only while the buffer grew; never on a buffer beyond the cap.
    const std::vector<QString> buffers = seenBuffers();
    ASSERT_FALSE(buffers.empty());
    for (std::size_t i = 1; i < buffers.size(); ++i)
        ASSERT_GT(buffers[i].size(), buffers[i - 1].size()) << "parse " << i;
    EXPECT_EQ(buffers.back().size(), SerialChannel::kReceiveCap);
    const auto full = log.texts();
    EXPECT_EQ(
        std::count(full.begin(), full.end(),
                   std::string("CKVUUtilityDlg::RecvThread receive buffer full, text dropped")),
        1);

    const ExchangeResult result = channel.exchange(QStringLiteral("ver\r"), 3000ms);
    EXPECT_EQ(result.status, ExchangeStatus::Completed);
    EXPECT_TRUE(result.reply.endsWith(QStringLiteral("VER 3\r\n")));
}

}  // namespace
}  // namespace kvu
