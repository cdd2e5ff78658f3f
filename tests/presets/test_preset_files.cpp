#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include "presets/preset_files.h"
#include "tests/presets/file_bytes.h"
#include "tests/presets/ini_bytes.h"
#include "tests/support/log_capture.h"

namespace kvu::presets {
namespace {

using test::raw;
using namespace Qt::StringLiterals;

using test::contents;
using test::put;

// Fields in record order: APN, user name, password, PDP type, authentication type.
std::string str(const WwanProfile& p) {
    return (QStringList{p.apn, p.userName, p.password, p.pdpType, p.authType})
        .join(u'|')
        .toStdString();
}
// SSID, security, key format, passphrase.
std::string str(const WifiProfile& p) {
    return (QStringList{p.ssid, p.security, p.keyFormat, p.passphrase}).join(u'|').toStdString();
}

const WwanProfile kOldWwan{"old-apn", "old-user", "old-pw", "2", "2"};
const WifiProfile kOldWifi{"old-ssid", "0", "1", "old-pass"};

class PresetFiles : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    QString file(const QByteArray& bytes, const char* name = "p.ini") {
        const QString path = dir_.filePath(QString::fromLatin1(name));
        put(path, bytes);
        return path;
    }
    QString path(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }

    QTemporaryDir dir_;
};

TEST_F(PresetFiles, SectionExistsOnlyWithExactCaseWithinTheNameList) {
    QByteArray crowded;
    for (int i = 0; i < 100; ++i) {
        crowded += QStringLiteral("[S%1]\r\n").arg(i, 10, 10, QChar(u'0')).toLatin1();
    }
    // 1018 characters of names and NULs leave room for 4 more before the list's two NULs.
    QByteArray almostFull = crowded.left(83 * 15) + raw("[S0000000000000000000X]\r\n");
    struct Case {
        const char* name;
        QByteArray bytes;  // empty: no file
        QString section;
        bool exists;
    };
    const std::vector<Case> cases = {
        {"exact", raw("[X]\r\n[WWAN]\r\n"), "WWAN", true},
        {"other case", raw("[wwan]\r\n[WI-FI]\r\n"), "WWAN", false},
        {"other case Wi-Fi", raw("[wwan]\r\n[WI-FI]\r\n"), "Wi-Fi", false},
        {"prefix only", raw("[WWAN1]\r\n"), "WWAN", false},
        {"no file", QByteArray(), "WWAN", false},
        {"first of 1200 characters of names", raw("[WWAN]\r\n") + crowded, "WWAN", true},
        {"beyond 1024 characters of names", crowded + raw("[WWAN]\r\n"), "WWAN", false},
        {"a name cut at the end of the list", almostFull + raw("[WWAN-and-more]\r\n"), "WWAN",
         true},
        {"a name cut at the end, whole", almostFull + raw("[WWAN-and-more]\r\n"), "WWAN-and-more",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString p = c.bytes.isEmpty() ? path("none.all") : file(c.bytes);
        EXPECT_EQ(sectionExists(c.section, p), c.exists);
    }
}

TEST_F(PresetFiles, ReadWwanPresetChecksValuesAndReplacesEveryField) {
    struct Case {
        const char* name;
        QByteArray bytes;
        int nNo;
        bool bAll;
        bool loaded;
        WwanProfile expected;
    };
    const std::vector<Case> cases = {
        {"a .wwan file loads into any group",
         raw("[WWAN]\r\nAPN=internet\r\nUSERNAME=op\r\nPASSWORD=pw\r\nAUTHTYPE=2\r\nPDPTYPE=1\r\n"),
         2,
         false,
         true,
         {"internet", "op", "pw", "1", "2"}},
        {"AUTHTYPE 5",
         raw("[WWAN]\r\nAUTHTYPE=5\r\nPDPTYPE=0\r\n"),
         0,
         false,
         true,
         {"", "", "", "0", "1"}},
        {"AUTHTYPE -1",
         raw("[WWAN]\r\nAUTHTYPE=-1\r\nPDPTYPE=0\r\n"),
         0,
         false,
         true,
         {"", "", "", "0", "1"}},
        {"AUTHTYPE abc stays",
         raw("[WWAN]\r\nAUTHTYPE=abc\r\nPDPTYPE=0\r\n"),
         0,
         false,
         true,
         {"", "", "", "0", "abc"}},
        {"empty AUTHTYPE stays empty",
         raw("[WWAN]\r\nAUTHTYPE=\r\nPDPTYPE=0\r\n"),
         0,
         false,
         true,
         {"", "", "", "0", ""}},
        {"AUTHTYPE beyond 32 bits",
         raw("[WWAN]\r\nAUTHTYPE=4294967297\r\nPDPTYPE=0\r\n"),
         0,
         false,
         true,
         {"", "", "", "0", "1"}},
        {"PDPTYPE 02 stays 02",
         raw("[WWAN]\r\nAUTHTYPE=0\r\nPDPTYPE=02\r\n"),
         0,
         false,
         true,
         {"", "", "", "02", "0"}},
        {"PDPTYPE 3",
         raw("[WWAN]\r\nAUTHTYPE=0\r\nPDPTYPE=3\r\n"),
         0,
         false,
         true,
         {"", "", "", "0", "0"}},
        {"missing keys clear the fields or take the defaults",
         raw("[WWAN]\r\nAPN=a\r\n"),
         1,
         false,
         true,
         {"a", "", "", "0", "1"}},
        {".all file, group 4",
         raw("[WWAN3]\r\nAPN=three\r\n[WWAN4]\r\nAPN=four\r\n"),
         3,
         true,
         true,
         {"four", "", "", "0", "1"}},
        {"section in other case", raw("[wwan]\r\nAPN=a\r\n"), 0, false, false, kOldWwan},
        {".all file read as .wwan", raw("[WWAN1]\r\nAPN=a\r\n"), 0, false, false, kOldWwan},
        {"group 5 does not exist", raw("[WWAN5]\r\nAPN=a\r\n"), 4, true, false, kOldWwan},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WwanProfile record = kOldWwan;
        EXPECT_EQ(readWwanPreset(c.nNo, file(c.bytes), c.bAll, record), c.loaded);
        EXPECT_EQ(str(record), str(c.expected));
    }
    WwanProfile record = kOldWwan;
    EXPECT_FALSE(readWwanPreset(0, path("missing.wwan"), false, record));
    EXPECT_EQ(str(record), str(kOldWwan));
}

TEST_F(PresetFiles, ReadWifiPresetChecksValues) {
    struct Case {
        const char* name;
        QByteArray bytes;
        bool loaded;
        WifiProfile expected;
    };
    const std::vector<Case> cases = {
        {"all keys",
         raw("[Wi-Fi]\r\nSSID=ap\r\nPASSPHRASE=secret\r\nSECURITY=0\r\nPWTYPE=1\r\n"),
         true,
         {"ap", "0", "1", "secret"}},
        {"SECURITY 2, PWTYPE 2",
         raw("[Wi-Fi]\r\nSECURITY=2\r\nPWTYPE=2\r\n"),
         true,
         {"", "1", "0", ""}},
        {"no SECURITY, no PWTYPE", raw("[Wi-Fi]\r\nSSID=ap\r\n"), true, {"ap", "1", "0", ""}},
        {"section in other case", raw("[WI-FI]\r\nSSID=ap\r\n"), false, kOldWifi},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WifiProfile record = kOldWifi;
        EXPECT_EQ(readWifiPreset(file(c.bytes), record), c.loaded);
        EXPECT_EQ(str(record), str(c.expected));
    }
}

TEST_F(PresetFiles, LoadWritesOnlyItsFirstLogLine) {
    const QString p = file(raw("[wwan]\r\n[WI-FI]\r\n"));
    const std::string shown = p.toStdString();
    kvu::test::LogCapture log;
    WwanProfile wwan;
    WifiProfile wifi;
    EXPECT_FALSE(readWwanPreset(2, p, false, wwan));
    EXPECT_FALSE(readWifiPreset(p, wifi));
    EXPECT_EQ(log.texts(), (std::vector<std::string>{"Load WWAN Preset 3 [" + shown + "]",
                                                     "Load WiFi Preset [" + shown + "]"}));
    for (const auto& line : log.lines()) {
        EXPECT_EQ(line.level, spdlog::level::info);
    }
}

TEST_F(PresetFiles, SaveLogsEveryValueWithSecretsMasked) {
    const QString p = path("p.all");
    const std::string shown = p.toStdString();
    kvu::test::LogCapture log;
    QString error;
    ASSERT_TRUE(writeWwanPreset(1, p, true, {"apn", "user", "pw", "2", "1"}, error));
    ASSERT_TRUE(writeWwanPreset(2, p, true, {"apn", "user", "", "0", "0"}, error));
    ASSERT_TRUE(writeWifiPreset(p, {"ap", "1", "0", "phrase"}, error));
    ASSERT_TRUE(writeWifiPreset(p, {"ap", "1", "0", ""}, error));
    EXPECT_EQ(log.texts(), (std::vector<std::string>{
                               "Save WWAN Preset 2 [" + shown + "]",
                               "Save WWAN 2 APN apn",
                               "Save WWAN 2 username user",
                               "Save WWAN 2 password ********",
                               "Save WWAN 2 PDP 2",
                               "Save WWAN 2 Auth 1",
                               "Save WWAN Preset 3 [" + shown + "]",
                               "Save WWAN 3 APN apn",
                               "Save WWAN 3 username user",
                               "Save WWAN 3 password ",
                               "Save WWAN 3 PDP 0",
                               "Save WWAN 3 Auth 0",
                               "Save WiFi Preset [" + shown + "]",
                               "Save WiFi SSID ap",
                               "Save WiFi security 1",
                               "Save WiFi key_fmt 0",
                               "Save WiFi passphrase ********",
                               "Save WiFi Preset [" + shown + "]",
                               "Save WiFi SSID ap",
                               "Save WiFi security 1",
                               "Save WiFi key_fmt 0",
                               "Save WiFi passphrase ",
                           }));
    EXPECT_FALSE(log.anyContains("phrase ph"));
    for (const auto& line : log.lines()) {
        EXPECT_EQ(line.level, spdlog::level::info);
    }
}

TEST_F(PresetFiles, NewFilesHoldTheKeysInOrderWithCrLf) {
    const WwanProfile first{"internet", "operator", "", "0", "1"};
    const WwanProfile empty{"", "", "", "0", "0"};
    const WifiProfile wifi{"office-ap", "1", "0", ""};
    const QByteArray wwanSection =
        raw("APN=internet\r\nUSERNAME=operator\r\nPASSWORD=\r\nAUTHTYPE=1\r\nPDPTYPE=0\r\n");
    const QByteArray emptySection =
        raw("APN=\r\nUSERNAME=\r\nPASSWORD=\r\nAUTHTYPE=0\r\nPDPTYPE=0\r\n");
    const QByteArray wifiSection =
        raw("SSID=office-ap\r\nPASSPHRASE=\r\nSECURITY=1\r\nPWTYPE=0\r\n");
    QString error;

    ASSERT_TRUE(writeWwanPreset(2, path("p.wwan"), false, first, error));
    EXPECT_EQ(contents(path("p.wwan")), "[WWAN]\r\n" + wwanSection);

    ASSERT_TRUE(writeWifiPreset(path("p.wifi"), wifi, error));
    EXPECT_EQ(contents(path("p.wifi")), "[Wi-Fi]\r\n" + wifiSection);

    const QString all = path("p.all");
    ASSERT_TRUE(writeWwanPreset(0, all, true, first, error));
    for (int nNo = 1; nNo < kWwanCount; ++nNo) {
        ASSERT_TRUE(writeWwanPreset(nNo, all, true, empty, error));
    }
    ASSERT_TRUE(writeWifiPreset(all, wifi, error));
    EXPECT_EQ(contents(all), "[WWAN1]\r\n" + wwanSection + "[WWAN2]\r\n" + emptySection +
                                 "[WWAN3]\r\n" + emptySection + "[WWAN4]\r\n" + emptySection +
                                 "[Wi-Fi]\r\n" + wifiSection);
}

TEST_F(PresetFiles, WwanPresetSavedIntoAnAllFileAddsItsSectionAndLoads) {
    const QByteArray all =
        raw("[WWAN1]\r\nAPN=one\r\n[wwan2] ; kept\nAPN = 'two'\n[Wi-Fi]\r\n"
            "SSID=ap\r\nSECURITY=0");
    const QString p = file(all, "p.all");
    const WwanProfile saved{"internet", "op", "pw", "1", "2"};
    QString error;
    ASSERT_TRUE(writeWwanPreset(0, p, false, saved, error)) << error.toStdString();
    EXPECT_EQ(contents(p), all + raw("\r\n[WWAN]\r\nAPN=internet\r\nUSERNAME=op\r\nPASSWORD=pw\r\n"
                                     "AUTHTYPE=2\r\nPDPTYPE=1\r\n"));

    WwanProfile loaded;
    ASSERT_TRUE(readWwanPreset(2, p, false, loaded));
    EXPECT_EQ(str(loaded), str(saved));
    ASSERT_TRUE(readWwanPreset(0, p, true, loaded));
    EXPECT_EQ(loaded.apn, "one");
}

TEST_F(PresetFiles, AllFiveProfilesReadBackAsWritten) {
    const std::array<WwanProfile, kWwanCount> wwan = {
        WwanProfile{" spaced ", "'quoted'", u"p\u00E4ss \u4E2D"_s, "2", "1"},
        WwanProfile{"", "", "", "", ""},
        WwanProfile{"a=b;c", "\"", "x\ty", "abc", "02"},
        WwanProfile{QString(1023, u'a'), "user", "\"\"", "0", "0"},
    };
    const WifiProfile wifi{u"caf\u00E9"_s, "0", "1", " \"phrase\" "};
    const QString p = path("p.all");
    QString error;
    for (int nNo = 0; nNo < kWwanCount; ++nNo) {
        ASSERT_TRUE(writeWwanPreset(nNo, p, true, wwan[nNo], error)) << error.toStdString();
    }
    ASSERT_TRUE(writeWifiPreset(p, wifi, error)) << error.toStdString();
    EXPECT_TRUE(contents(p).startsWith("\xFF\xFE"));  // the CJK letter needs UTF-16LE

    for (int nNo = 0; nNo < kWwanCount; ++nNo) {
        SCOPED_TRACE(nNo);
        WwanProfile loaded = kOldWwan;
        ASSERT_TRUE(readWwanPreset(nNo, p, true, loaded));
        EXPECT_EQ(str(loaded), str(wwan[nNo]));
    }
    WifiProfile loaded = kOldWifi;
    ASSERT_TRUE(readWifiPreset(p, loaded));
    EXPECT_EQ(str(loaded), str(wifi));
}

TEST_F(PresetFiles, FailedSavesReturnFalseWithTheReason) {
    QString error;
    const QString inMissingFolder = path("missing/p.wifi");
    EXPECT_FALSE(writeWifiPreset(inMissingFolder, {"ap", "1", "0", ""}, error));
    EXPECT_TRUE(error.startsWith(QDir::toNativeSeparators(inMissingFolder) + ": "))
        << error.toStdString();

    const QByteArray old = raw("[WWAN]\r\nAPN=old\r\n");
    const QString p = file(old, "p.wwan");
    error.clear();
    EXPECT_FALSE(writeWwanPreset(0, p, false, {"new", "a\r\nPASSWORD=x", "", "0", "0"}, error));
    EXPECT_TRUE(error.contains("USERNAME")) << error.toStdString();
    EXPECT_EQ(contents(p), old);

    error.clear();
    EXPECT_FALSE(writeWwanPreset(4, p, true, kOldWwan, error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(contents(p), old);
}

}  // namespace
}  // namespace kvu::presets
