// Runs the built program as real processes to check the one-instance rule end to end.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {

constexpr int kStartTimeoutMs = 15000;
constexpr int kExitTimeoutMs = 10000;
const QString kLogName = QStringLiteral("Nalto_KVU_Utility_log.txt");
const QByteArray kStartLine = "KVUUtility Ver.2.0 Start..\r\n";

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class ProgramInstances : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(runtime_.isValid());
        ASSERT_TRUE(work_.isValid());
    }

    void TearDown() override {
        for (auto& process : processes_) {
            if (process->state() != QProcess::NotRunning) {
                process->kill();
                process->waitForFinished(kExitTimeoutMs);
            }
        }
    }

    QString workDir(const QString& name) const {
        const QString path = work_.filePath(name);
        QDir().mkpath(path);
        return path;
    }
    QString lockPath() const { return runtime_.filePath(QStringLiteral("KVUUtility.exe.lock")); }

    // The program with its own runtime directory, headless, dialogs answered into `transcript`.
    QProcess& start(const QString& cwd, const QString& transcript, const QStringList& args = {}) {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime_.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("KVU_DIALOG_TRANSCRIPT"), transcript);
        process->setProcessEnvironment(env);
        process->setWorkingDirectory(cwd);
        process->setProgram(QStringLiteral(KVU_UTILITY_PATH));
        process->setArguments(args);
        process->start();
        processes_.push_back(std::move(process));
        return *processes_.back();
    }

    qint64 lockHolder() const { return readAll(lockPath()).split('\n').value(0).toLongLong(); }

    // True once `process` holds the lock and its start line has reached its log file.
    bool waitUntilRunning(QProcess& process, const QString& cwd) {
        const QString log = QDir(cwd).filePath(kLogName);
        return QTest::qWaitFor(
            [&] {
                return process.state() == QProcess::Running &&
                       lockHolder() == process.processId() && readAll(log).contains(kStartLine);
            },
            kStartTimeoutMs);
    }

    QTemporaryDir runtime_;
    QTemporaryDir work_;
    std::vector<std::unique_ptr<QProcess>> processes_;
};

TEST_F(ProgramInstances, SecondInstanceShowsTheMessageAndLeavesTheFirstAlone) {
    const QString firstDir = workDir(QStringLiteral("first"));
    QProcess& first = start(firstDir, work_.filePath(QStringLiteral("first.txt")));
    ASSERT_TRUE(waitUntilRunning(first, firstDir)) << first.readAllStandardError().toStdString();
    const QString firstLog = QDir(firstDir).filePath(kLogName);
    const QByteArray logBefore = readAll(firstLog);

    // Once from another directory, once from the first instance's own directory.
    const QString otherDir = workDir(QStringLiteral("other"));
    for (const QString& cwd : {otherDir, firstDir}) {
        const QString transcript = QDir(cwd).filePath(QStringLiteral("second.txt"));
        QProcess& second = start(cwd, transcript, {QStringLiteral("--log=DEBUG")});
        ASSERT_TRUE(second.waitForFinished(kExitTimeoutMs)) << cwd.toStdString();
        EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(second.exitCode(), 0);
        EXPECT_TRUE(readAll(transcript).contains("Application already running."))
            << readAll(transcript).toStdString();
        EXPECT_EQ(first.state(), QProcess::Running);
        EXPECT_EQ(lockHolder(), first.processId());
    }
    EXPECT_FALSE(QFile::exists(QDir(otherDir).filePath(kLogName)));
    // The second instance wrote nothing: its start line would be there since it has ended.
    const QByteArray logAfter = readAll(firstLog);
    EXPECT_EQ(logAfter.count(kStartLine), 1) << logAfter.toStdString();
    EXPECT_TRUE(logAfter.startsWith(logBefore));
    EXPECT_EQ(logAfter.count("[debug]"), 0);
}

struct PrintCase {
    const char* name;
    const char* option;
    const char* expectedFragment;
};

class ProgramPrints : public ProgramInstances, public ::testing::WithParamInterface<PrintCase> {};

TEST_P(ProgramPrints, PrintsAndExitsEvenWhileAnInstanceRuns) {
    const QString firstDir = workDir(QStringLiteral("first"));
    QProcess& first = start(firstDir, work_.filePath(QStringLiteral("first.txt")));
    ASSERT_TRUE(waitUntilRunning(first, firstDir));

    const QString cwd = workDir(QStringLiteral("print"));
    const QString transcript = work_.filePath(QStringLiteral("print.txt"));
    QProcess& printer = start(cwd, transcript, {QString::fromLatin1(GetParam().option)});
    ASSERT_TRUE(printer.waitForFinished(kExitTimeoutMs));
    EXPECT_EQ(printer.exitCode(), 0);
    EXPECT_TRUE(printer.readAllStandardOutput().contains(GetParam().expectedFragment));
    EXPECT_FALSE(QFile::exists(transcript));  // no dialog, so not the instance check
    EXPECT_FALSE(QFile::exists(QDir(cwd).filePath(kLogName)));
    EXPECT_EQ(first.state(), QProcess::Running);
}

INSTANTIATE_TEST_SUITE_P(Table, ProgramPrints,
                         ::testing::Values(PrintCase{"Version", "--version", "KVU Utility 2.0\n"},
                                           PrintCase{"Help", "--help", "--port=PATH"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProgramInstances, KilledInstanceDoesNotBlockTheNextStart) {
    const QString firstDir = workDir(QStringLiteral("first"));
    QProcess& first = start(firstDir, work_.filePath(QStringLiteral("first.txt")));
    ASSERT_TRUE(waitUntilRunning(first, firstDir));
    const qint64 deadPid = first.processId();
    first.kill();  // SIGKILL: no clean-up runs
    ASSERT_TRUE(first.waitForFinished(kExitTimeoutMs));
    ASSERT_TRUE(QFile::exists(lockPath()));  // left behind
    EXPECT_EQ(lockHolder(), deadPid);

    const QString nextDir = workDir(QStringLiteral("next"));
    const QString transcript = work_.filePath(QStringLiteral("next.txt"));
    QProcess& next = start(nextDir, transcript);
    EXPECT_TRUE(waitUntilRunning(next, nextDir)) << next.readAllStandardError().toStdString();
    EXPECT_FALSE(readAll(transcript).contains("Application already running."));
}

}  // namespace
