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

bool writeSection(const QString& file, const QString& section, KeyValues values, QString& error) {
    IniDocument document;
    if (!readIniFileForUpdate(file, document, error)) {
        return false;
    }
    for (const auto& [key, value] : values) {
        if (!document.setValue(section, QString::fromLatin1(key), *value)) {
            error = QStringLiteral("%1: the %2 value holds a line break and cannot be saved")
                        .arg(QDir::toNativeSeparators(file), QString::fromLatin1(key));
            return false;
        }
    }
    return writeIniFile(file, document, error);
}

}  // namespace

bool isSectionListed(const QStringList& sectionNames, const QString& section) {
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
        if (QStringView(name).left(room) == section) {
            return true;
        }
        used += name.size() + 1;
    }
    return false;
}

bool sectionExists(const QString& section, const QString& file) {
    return isSectionListed(readIniFile(file).sectionNames(), section);
}

QString wwanSectionName(int nNo, bool isAll) {
    return isAll ? QStringLiteral("WWAN%1").arg(nNo + 1) : QStringLiteral("WWAN");
}

bool readWwanPreset(int nNo, const QString& file, bool isAll, WwanProfile& record) {
    spdlog::info("Load WWAN Preset {} [{}]", nNo + 1, file);
    if (!isWwanGroup(nNo)) {
        return false;
    }
    const QString section = wwanSectionName(nNo, isAll);
    const IniDocument document = readIniFile(file);
    if (!isSectionListed(document.sectionNames(), section)) {
        return false;
    }
    record.apn = document.value(section, u"APN", QString());
    record.userName = document.value(section, u"USERNAME", QString());
    record.password = document.value(section, u"PASSWORD", QString());
    record.authType =
        checkedDigit(document.value(section, u"AUTHTYPE", QStringLiteral("1")), 0, 2, "1");
    record.pdpType =
        checkedDigit(document.value(section, u"PDPTYPE", QStringLiteral("0")), 0, 2, "0");
    return true;
}

bool readWifiPreset(const QString& file, WifiProfile& record) {
    spdlog::info("Load WiFi Preset [{}]", file);
    const IniDocument document = readIniFile(file);
    if (!isSectionListed(document.sectionNames(), kWifiSection)) {
        return false;
    }
    record.ssid = document.value(kWifiSection, u"SSID", QString());
    record.passphrase = document.value(kWifiSection, u"PASSPHRASE", QString());
    record.security =
        checkedDigit(document.value(kWifiSection, u"SECURITY", QStringLiteral("1")), 0, 1, "1");
    record.keyFormat =
        checkedDigit(document.value(kWifiSection, u"PWTYPE", QStringLiteral("0")), 0, 1, "0");
    return true;
}

bool writeWwanPreset(int nNo, const QString& file, bool isAll, const WwanProfile& record,
                     QString& error) {
    spdlog::info("Save WWAN Preset {} [{}]", nNo + 1, file);
    if (!isWwanGroup(nNo)) {
        error = QStringLiteral("There is no WWAN group %1").arg(nNo + 1);
        return false;
    }
    const int n = nNo + 1;
    spdlog::info("Save WWAN {} APN {}", n, record.apn);
    spdlog::info("Save WWAN {} username {}", n, record.userName);
    spdlog::info("Save WWAN {} password {}", n, secretForLog(record.password));
    spdlog::info("Save WWAN {} PDP {}", n, record.pdpType);
    spdlog::info("Save WWAN {} Auth {}", n, record.authType);
    return writeSection(file, wwanSectionName(nNo, isAll),
                        {{"APN", &record.apn},
                         {"USERNAME", &record.userName},
                         {"PASSWORD", &record.password},
                         {"AUTHTYPE", &record.authType},
                         {"PDPTYPE", &record.pdpType}},
                        error);
}

bool writeWifiPreset(const QString& file, const WifiProfile& record, QString& error) {
    spdlog::info("Save WiFi Preset [{}]", file);
    spdlog::info("Save WiFi SSID {}", record.ssid);
    spdlog::info("Save WiFi security {}", record.security);
    spdlog::info("Save WiFi key_fmt {}", record.keyFormat);
    spdlog::info("Save WiFi passphrase {}", secretForLog(record.passphrase));
    return writeSection(file, kWifiSection,
                        {{"SSID", &record.ssid},
                         {"PASSPHRASE", &record.passphrase},
                         {"SECURITY", &record.security},
                         {"PWTYPE", &record.keyFormat}},
                        error);
}

}  // namespace kvu::presets
