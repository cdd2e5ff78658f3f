#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <string>
#include <vector>

#include "presets/ini_file.h"
#include "tests/presets/file_bytes.h"
#include "tests/presets/ini_bytes.h"

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#endif

namespace kvu::presets {
namespace {

using test::raw;

using test::contents;
using test::put;

bool runningAsRoot() {
#ifdef Q_OS_UNIX
    return geteuid() == 0;
#else
    return false;
#endif
}

// "<path>: <the system's reason>"; on POSIX the reason is the text of the expected errno.
void expectFailure(const QString& error, const QString& path, int errnoValue) {
    const QString prefix = QDir::toNativeSeparators(path) + QStringLiteral(": ");
    EXPECT_TRUE(error.startsWith(prefix)) << error.toStdString();
    EXPECT_GT(error.size(), prefix.size()) << error.toStdString();
#ifdef Q_OS_UNIX
    EXPECT_TRUE(error.contains(qt_error_string(errnoValue))) << error.toStdString();
#else
    (void)errnoValue;
#endif
}

IniDocument documentWith(const char* section, const char* key, const char* value) {
    IniDocument doc;
    doc.setValue(section, key, value);
    return doc;
}

TEST(IniFile, ReadsNothingFromMissingOversizedOrNonRegularFiles) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString big = dir.filePath("big.all");
    put(big, raw("[WWAN]\r\nAPN=x\r\n") + QByteArray(kMaxIniFileSize, ';'));
    const QString limit = dir.filePath("limit.all");
    put(limit, raw("[WWAN]\r\nAPN=x\r\n;").leftJustified(kMaxIniFileSize, ';'));

    EXPECT_TRUE(readIniFile(dir.filePath("missing.wwan")).sectionNames().isEmpty());
    EXPECT_TRUE(readIniFile(dir.path()).sectionNames().isEmpty());
    EXPECT_TRUE(readIniFile(big).sectionNames().isEmpty());
    EXPECT_EQ(readIniFile(limit).sectionNames(), QStringList{"WWAN"});

    // Saving into a file that could not be read whole would drop what was not read.
    IniDocument doc;
    QString error;
    EXPECT_FALSE(readIniFileForUpdate(big, doc, error));
    EXPECT_TRUE(error.startsWith(QDir::toNativeSeparators(big) + ": ")) << error.toStdString();
    EXPECT_TRUE(readIniFileForUpdate(dir.filePath("missing.wwan"), doc, error));
    EXPECT_TRUE(doc.sectionNames().isEmpty());
}

TEST(IniFile, SaveReplacesTheFileAndLeavesNoTemporaryFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("p.wifi");
    put(path, raw("[X]\nA=1\n"));
    IniDocument doc;
    QString error;
    ASSERT_TRUE(readIniFileForUpdate(path, doc, error));
    ASSERT_TRUE(doc.setValue("Wi-Fi", "SSID", "ap"));
    ASSERT_TRUE(writeIniFile(path, doc, error)) << error.toStdString();
    EXPECT_EQ(contents(path), raw("[X]\nA=1\n[Wi-Fi]\r\nSSID=ap\r\n"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"p.wifi"});
}

TEST(IniFile, SaveIntoMissingFolderReportsPathAndReason) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QString error;
    const QString path = dir.filePath("no-such-folder/p.wwan");
    EXPECT_FALSE(writeIniFile(path, documentWith("WWAN", "APN", "new"), error));
    expectFailure(error, path, ENOENT);
    EXPECT_FALSE(QFile::exists(path));
}

TEST(IniFile, SaveIntoReadOnlyFileOrFolderReportsAndKeepsTheOldFile) {
    if (runningAsRoot()) {
        GTEST_SKIP() << "root ignores file permissions";
    }
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray old = raw("[WWAN]\r\nAPN=old\r\n");
    const IniDocument doc = documentWith("WWAN", "APN", "new");
    QString error;
    const QString readOnlyFile = dir.filePath("ro.wwan");
    put(readOnlyFile, old);
    ASSERT_TRUE(QFile::setPermissions(readOnlyFile, QFile::ReadOwner));
    error.clear();
    EXPECT_FALSE(writeIniFile(readOnlyFile, doc, error));
    expectFailure(error, readOnlyFile, EACCES);
    EXPECT_EQ(contents(readOnlyFile), old);
#ifdef Q_OS_WIN
    // A folder's read-only attribute does not stop writes in it on Windows.
    return;
#endif

    const QString folder = dir.filePath("ro-folder");
    ASSERT_TRUE(QDir().mkdir(folder));
    const QString inReadOnlyFolder = folder + "/p.wwan";
    put(inReadOnlyFolder, old);
    ASSERT_TRUE(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    error.clear();
    EXPECT_FALSE(writeIniFile(inReadOnlyFolder, doc, error));
    expectFailure(error, inReadOnlyFolder, EACCES);
    EXPECT_EQ(contents(inReadOnlyFolder), old);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

#ifdef Q_OS_UNIX
// A write that the system stops half-way (here a file size limit, as a full disk would) must
// leave the old preset whole and no temporary file behind.
TEST(IniFile, SaveStoppedHalfWayKeepsTheOldFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("p.all");
    const QByteArray old = raw("[WWAN1]\r\nAPN=old\r\n");
    put(path, old);
    const IniDocument doc = documentWith("WWAN1", "APN", std::string(4096, 'x').c_str());

    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 64;
    auto* previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    QString error;
    const bool saved_ok = writeIniFile(path, doc, error);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(saved_ok);
    expectFailure(error, path, EFBIG);
    EXPECT_EQ(contents(path), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"p.all"});
}
#endif

}  // namespace
}  // namespace kvu::presets
