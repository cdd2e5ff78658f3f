#include "presets/preset_files.h"

#include <spdlog/spdlog.h>

#include <QDir>
#include <utility>

#include "logging/log_format.h"
#include "presets/ini_file.h"

namespace kvu::presets {

namespace {

// The platform lists section names into this many characters, each name followed by a NUL
// and the list by a final NUL.
constexpr qsizetype kNameListSize = 1024;

const QString kWifiSection = QStringLiteral("Wi-Fi");

// An enumerated field keeps its text when its decimal value is in [low, high].
QString checkedDigit(const QString& text, int low, int high, const QString& fallback) {
    const int value = readDecimal(text);
    return value >= low && value <= high ? text : fallback;
}

bool isWwanGroup(int nNo) {
    return nNo >= 0 && nNo < kWwanCount;
}

using KeyValues = std::initializer_list<std::pair<const char*, const QString*>>;

bool writeSection(const QString& strFile, const QString& section, KeyValues values,
                  QString& error) {
    IniDocument document;
    if (!readIniFileForUpdate(strFile, document, error)) {
        return false;
    }
    for (const auto& [key, value] : values) {
        if (!document.setValue(section, QString::fromLatin1(key), *value)) {
            error = QStringLiteral("%1: the %2 value holds a line break and cannot be saved")
                        .arg(QDir::toNativeSeparators(strFile), QString::fromLatin1(key));
            return false;
        }
    }
    return writeIniFile(strFile, document, error);
}

}  // namespace

bool isSectionListed(const QStringList& sectionNames, const QString& strSection) {
    qsizetype total = 0;
    for (const QString& name : sectionNames) {
        total += name.size() + 1;
    }
    // A list too long for the buffer is cut to its first 1022 characters and two NULs, so the
    // last name may stand there only in part.
    const qsizetype limit = total + 1 <= kNameListSize ? total : kNameListSize - 2;
    qsizetype used = 0;
    for (const QString& name : sectionNames) {
        const qsizetype room = limit - used;
        if (room <= 0) {
            break;
        }
        if (QStringView(name).left(room) == strSection) {
            return true;
        }
        used += name.size() + 1;
    }
    return false;
}

bool IsSectionExist(const QString& strSection, const QString& strFile) {
    return isSectionListed(readIniFile(strFile).sectionNames(), strSection);
}

QString wwanSectionName(int nNo, bool bAll) {
    return bAll ? QStringLiteral("WWAN%1").arg(nNo + 1) : QStringLiteral("WWAN");
}

bool ReadWwanPreset(int nNo, const QString& strFile, bool bAll, WwanProfile& record) {
    spdlog::info("Load WWAN Preset {} [{}]", nNo + 1, strFile);
    if (!isWwanGroup(nNo)) {
        return false;
    }
    const QString section = wwanSectionName(nNo, bAll);
    const IniDocument document = readIniFile(strFile);
    if (!isSectionListed(document.sectionNames(), section)) {
        return false;
    }
    record.strApn = document.value(section, u"APN", QString());
    record.strUserName = document.value(section, u"USERNAME", QString());
    record.strPassword = document.value(section, u"PASSWORD", QString());
    record.strAuthType =
        checkedDigit(document.value(section, u"AUTHTYPE", QStringLiteral("1")), 0, 2, "1");
    record.strPdpType =
        checkedDigit(document.value(section, u"PDPTYPE", QStringLiteral("0")), 0, 2, "0");
    return true;
}

bool ReadWifiPreset(const QString& strFile, WifiProfile& record) {
    spdlog::info("Load WiFi Preset [{}]", strFile);
    const IniDocument document = readIniFile(strFile);
    if (!isSectionListed(document.sectionNames(), kWifiSection)) {
        return false;
    }
    record.strSsid = document.value(kWifiSection, u"SSID", QString());
    record.strPassphrase = document.value(kWifiSection, u"PASSPHRASE", QString());
    record.strSecurity =
        checkedDigit(document.value(kWifiSection, u"SECURITY", QStringLiteral("1")), 0, 1, "1");
    record.strKeyFormat =
        checkedDigit(document.value(kWifiSection, u"PWTYPE", QStringLiteral("0")), 0, 1, "0");
    return true;
}

bool WriteWwanPreset(int nNo, const QString& strFile, bool bAll, const WwanProfile& record,
                     QString& error) {
    spdlog::info("Save WWAN Preset {} [{}]", nNo + 1, strFile);
    if (!isWwanGroup(nNo)) {
        error = QStringLiteral("There is no WWAN group %1").arg(nNo + 1);
        return false;
    }
    const int n = nNo + 1;
    spdlog::info("Save WWAN {} APN {}", n, record.strApn);
    spdlog::info("Save WWAN {} username {}", n, record.strUserName);
    spdlog::info("Save WWAN {} password {}", n, secretForLog(record.strPassword));
    spdlog::info("Save WWAN {} PDP {}", n, record.strPdpType);
    spdlog::info("Save WWAN {} Auth {}", n, record.strAuthType);
    return writeSection(strFile, wwanSectionName(nNo, bAll),
                        {{"APN", &record.strApn},
                         {"USERNAME", &record.strUserName},
                         {"PASSWORD", &record.strPassword},
                         {"AUTHTYPE", &record.strAuthType},
                         {"PDPTYPE", &record.strPdpType}},
                        error);
}

bool WriteWifiPreset(const QString& strFile, const WifiProfile& record, QString& error) {
    spdlog::info("Save WiFi Preset [{}]", strFile);
    spdlog::info("Save WiFi SSID {}", record.strSsid);
    spdlog::info("Save WiFi security {}", record.strSecurity);
    spdlog::info("Save WiFi key_fmt {}", record.strKeyFormat);
    spdlog::info("Save WiFi passphrase {}", secretForLog(record.strPassphrase));
    return writeSection(strFile, kWifiSection,
                        {{"SSID", &record.strSsid},
                         {"PASSPHRASE", &record.strPassphrase},
                         {"SECURITY", &record.strSecurity},
                         {"PWTYPE", &record.strKeyFormat}},
                        error);
}

}  // namespace kvu::presets
