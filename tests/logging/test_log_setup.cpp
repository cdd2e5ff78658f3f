#include <gtest/gtest.h>
#include <spdlog/spdlog.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <regex>
#include <string>
#include <thread>

#include "logging/log_setup.h"

namespace {

// Runs each test in its own empty current directory and leaves no file logger behind.
class LogSetup : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        original_ = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(dir_.path()));
    }

    void TearDown() override {
        spdlog::set_default_logger(std::make_shared<spdlog::logger>("test-idle"));
        QDir::setCurrent(original_);
    }

    static std::string readLog(const QString& path = QString::fromLatin1(kvu::kLogFileName)) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            return {};
        }
        return file.readAll().toStdString();
    }

    static std::string flushedLog() {
        spdlog::default_logger()->flush();
        return readLog();
    }

    static int count(const std::string& haystack, const std::string& needle) {
        int n = 0;
        for (auto pos = haystack.find(needle); pos != std::string::npos;
             pos = haystack.find(needle, pos + needle.size())) {
            ++n;
        }
        return n;
    }

    QTemporaryDir dir_;
    QString original_;
};

const std::regex kStartLine(
    R"(\[\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3}\] \[logger\] \[info\] KVUUtility Ver\.2\.0 Start\.\.\r\n)");

TEST_F(LogSetup, WritesTheStartLineInTheDefaultLayoutWithCrLf) {
    const kvu::LogSetupResult result = kvu::setupLogging(QStringLiteral("kvu-utility"));
    EXPECT_TRUE(result.fileLog);
    EXPECT_TRUE(result.error.isEmpty());
    EXPECT_EQ(spdlog::default_logger()->name(), "logger");
    // Relative name: the file lands in the current directory.
    EXPECT_TRUE(QFile::exists(dir_.filePath(QString::fromLatin1(kvu::kLogFileName))));
    const std::string text = flushedLog();
    EXPECT_TRUE(std::regex_match(text, kStartLine)) << text;
}

TEST_F(LogSetup, EveryLineEndsInCrLf) {
    kvu::setupLogging(QStringLiteral("kvu-utility"));
    spdlog::info("first {}", 1);
    spdlog::error("second {}", "two");
    const std::string text = flushedLog();
    EXPECT_EQ(count(text, "\r\n"), 3) << text;
    EXPECT_EQ(count(text, "\n"), 3) << text;
    EXPECT_NE(text.find("] [logger] [error] second two\r\n"), std::string::npos) << text;
}

struct LevelCase {
    const char* name;
    const char* commandLine;
    bool debugWritten;
};

class LogSetupLevel : public LogSetup, public ::testing::WithParamInterface<LevelCase> {};

TEST_P(LogSetupLevel, DebugMessagesOnlyWithTheOption) {
    const LevelCase& c = GetParam();
    kvu::setupLogging(QString::fromUtf8(c.commandLine));
    spdlog::debug("probe debug {}", 7);
    spdlog::info("probe info {}", 8);
    const std::string text = flushedLog();
    EXPECT_NE(text.find("[info] probe info 8\r\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("probe debug 7") != std::string::npos, c.debugWritten) << text;
    EXPECT_EQ(text.find("[debug]") != std::string::npos, c.debugWritten) << text;
}

INSTANTIATE_TEST_SUITE_P(
    Table, LogSetupLevel,
    ::testing::Values(LevelCase{"Default", "kvu-utility --simulate", false},
                      LevelCase{"DebugOption", "kvu-utility --log=DEBUG", true},
                      LevelCase{"DebugInProgramPath", "\"/a b/--log=DEBUG/kvu-utility\"", true},
                      LevelCase{"LowerCaseOption", "kvu-utility --log=debug", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LogSetup, AppendsToAnExistingFileAndCanRunTwice) {
    {
        QFile old(QString::fromLatin1(kvu::kLogFileName));
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("earlier run\r\n");
    }
    EXPECT_TRUE(kvu::setupLogging(QStringLiteral("kvu-utility")).fileLog);
    EXPECT_TRUE(kvu::setupLogging(QStringLiteral("kvu-utility")).fileLog);
    const std::string text = flushedLog();
    EXPECT_EQ(text.rfind("earlier run\r\n", 0), 0u) << text;
    EXPECT_EQ(count(text, "KVUUtility Ver.2.0 Start..\r\n"), 2) << text;
}

TEST_F(LogSetup, ErrorsReachTheFileAtOnce) {
    kvu::setupLogging(QStringLiteral("kvu-utility"));
    spdlog::error("urgent {}", 42);
    // No explicit flush here: the error level flushes by itself.
    EXPECT_NE(readLog().find("[error] urgent 42\r\n"), std::string::npos);
}

TEST_F(LogSetup, InfoReachesTheFileWithinTheFlushPeriod) {
    kvu::setupLogging(QStringLiteral("kvu-utility"));
    spdlog::info("periodic {}", 3);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(8);
    bool seen = false;
    while (!seen && std::chrono::steady_clock::now() < deadline) {
        seen = readLog().find("[info] periodic 3\r\n") != std::string::npos;
        if (!seen) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    EXPECT_TRUE(seen);
}

TEST_F(LogSetup, RotatesAtFiveMebibytesKeepingThreeCopies) {
    kvu::setupLogging(QStringLiteral("kvu-utility"));
    const std::string payload(1000, 'x');
    // About 22 MB: enough for more rotations than copies are kept.
    for (int i = 0; i < 22000; ++i) {
        spdlog::info("{} {}", i, payload);
    }
    spdlog::default_logger()->flush();
    const QString base = QString::fromLatin1(kvu::kLogFileName);
    const QString stem = base.left(base.lastIndexOf(QLatin1Char('.')));
    const QStringList copies = {stem + QStringLiteral(".1.txt"), stem + QStringLiteral(".2.txt"),
                                stem + QStringLiteral(".3.txt")};
    for (const QString& name : QStringList{base} + copies) {
        ASSERT_TRUE(QFile::exists(name)) << name.toStdString();
        EXPECT_LE(QFileInfo(name).size(), 5242880) << name.toStdString();
    }
    // Each full copy is close to the limit: the limit is the 5 MiB value, not a smaller one.
    for (const QString& name : copies) {
        EXPECT_GT(QFileInfo(name).size(), 5242880 - 2000) << name.toStdString();
    }
    EXPECT_FALSE(QFile::exists(stem + QStringLiteral(".4.txt")));
    EXPECT_EQ(QDir::current().entryList(QDir::Files).size(), 4);
}

TEST_F(LogSetup, MissingCurrentDirectoryMeansNoFileLogAndNoCrash) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows does not remove a process's current directory";
#endif
    const QString gone = dir_.filePath(QStringLiteral("gone"));
    ASSERT_TRUE(QDir().mkdir(gone));
    ASSERT_TRUE(QDir::setCurrent(gone));
    ASSERT_TRUE(QDir().rmdir(gone));

    const kvu::LogSetupResult result = kvu::setupLogging(QStringLiteral("kvu-utility"));
    EXPECT_FALSE(result.fileLog);
    EXPECT_FALSE(result.error.isEmpty());
    ASSERT_NE(spdlog::default_logger(), nullptr);
    EXPECT_TRUE(spdlog::default_logger()->sinks().empty());
    // Later calls of every level are harmless.
    spdlog::debug("after {}", 1);
    spdlog::info("after {}", 2);
    spdlog::error("after {}", 3);
    spdlog::default_logger()->flush();
    EXPECT_FALSE(QFile::exists(dir_.filePath(QString::fromLatin1(kvu::kLogFileName))));

    // A later set-up in a usable directory works again.
    ASSERT_TRUE(QDir::setCurrent(dir_.path()));
    EXPECT_TRUE(kvu::setupLogging(QStringLiteral("kvu-utility")).fileLog);
    EXPECT_EQ(count(flushedLog(), "KVUUtility Ver.2.0 Start..\r\n"), 1);
}

TEST_F(LogSetup, ReadOnlyCurrentDirectoryMeansNoFileLog) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows: a folder's read-only attribute does not stop writes in it";
#else
    if (geteuid() == 0) {
        GTEST_SKIP() << "running as root: directory permissions do not stop writes";
    }
    const QString locked = dir_.filePath(QStringLiteral("locked"));
    ASSERT_TRUE(QDir().mkdir(locked));
    ASSERT_TRUE(QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner |
                                                  QFileDevice::ReadGroup | QFileDevice::ExeGroup |
                                                  QFileDevice::ReadOther | QFileDevice::ExeOther));
    ASSERT_TRUE(QDir::setCurrent(locked));
    const kvu::LogSetupResult result = kvu::setupLogging(QStringLiteral("kvu-utility"));
    EXPECT_FALSE(result.fileLog);
    spdlog::error("after {}", 1);
    EXPECT_FALSE(QFile::exists(QDir(locked).filePath(QString::fromLatin1(kvu::kLogFileName))));
    QDir::setCurrent(dir_.path());
    QFile::setPermissions(locked,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
#endif
}

}  // namespace
