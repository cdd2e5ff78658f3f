#include "kvuctl/result_output.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <algorithm>

#include "presets/preset_layers.h"

namespace kvu::ctl {

namespace {

const QString kMask = QStringLiteral("********");

QString masked(const QString& secret, bool show) {
    return show || secret.isEmpty() ? secret : kMask;
}

DeviceProfiles maskedProfiles(const DeviceProfiles& profiles, bool show) {
    DeviceProfiles out = profiles;
    for (WwanProfile& wwan : out.wwan) {
        wwan.password = masked(wwan.password, show);
    }
    out.wifi.passphrase = masked(out.wifi.passphrase, show);
    return out;
}

// What a person reads for a field's value: item names for the lists, quotes around texts.
QString shownValue(const ProfileField& field, const QString& value, bool showSecrets) {
    if (field.secret) {
        return masked(value, showSecrets);
    }
    return itemText(field, value);
}

QString quoted(const QString& text) {
    return u'"' + text + u'"';
}

QString padded(const QString& text, qsizetype width) {
    return text.leftJustified(width, u' ');
}

// Rows of cells as aligned columns, two spaces apart.
QString table(const std::vector<QStringList>& rows) {
    std::vector<qsizetype> widths;
    for (const QStringList& row : rows) {
        widths.resize(std::max(widths.size(), static_cast<std::size_t>(row.size())), 0);
        for (qsizetype i = 0; i < row.size(); ++i) {
            widths[static_cast<std::size_t>(i)] =
                std::max(widths[static_cast<std::size_t>(i)], row[i].size());
        }
    }
    QString text;
    for (const QStringList& row : rows) {
        QString line;
        for (qsizetype i = 0; i < row.size(); ++i) {
            line += i + 1 < row.size() ? padded(row[i], widths[static_cast<std::size_t>(i)] + 2)
                                       : row[i];
        }
        text += line + u'\n';
    }
    return text;
}

QString profileTable(const DeviceProfiles& profiles, bool showSecrets) {
    const char* const wwanLabels[] = {"APN", "User name", "Password", "PDP type", "Auth type"};
    std::vector<QStringList> rows;
    QStringList head{QString()};
    for (int nNo = 0; nNo < kWwanCount; ++nNo) {
        head.append(groupName(nNo));
    }
    rows.push_back(head);
    const std::vector<ProfileField>& fields = profileFields();
    for (std::size_t f = 0; f < std::size(wwanLabels); ++f) {
        QStringList row{QString::fromLatin1(wwanLabels[f])};
        for (int nNo = 0; nNo < kWwanCount; ++nNo) {
            const ProfileField& field = fields[static_cast<std::size_t>(nNo) * 5 + f];
            row.append(shownValue(field, fieldValue(profiles, field), showSecrets));
        }
        rows.push_back(row);
    }
    QString text = table(rows);
    std::vector<QStringList> wifiRows;
    for (const ProfileField& field : fields) {
        if (field.nNo == kWifiGroup) {
            wifiRows.push_back(
                {field.name, shownValue(field, fieldValue(profiles, field), showSecrets)});
        }
    }
    return text + table(wifiRows);
}

QString differenceLine(const FieldDifference& d, bool diffCommand) {
    if (d.field.secret) {
        return QStringLiteral("    %1: (differs)\n").arg(d.field.name);
    }
    const QString expected = quoted(shownValue(d.field, d.expected, false));
    const QString actual = quoted(shownValue(d.field, d.actual, false));
    return diffCommand
               ? QStringLiteral("    %1: device %2, file %3\n").arg(d.field.name, actual, expected)
               : QStringLiteral("    %1: wrote %2, device kept %3\n")
                     .arg(d.field.name, expected, actual);
}

QString successText(const CtlOptions& options, const DeviceRecord& record) {
    switch (options.command) {
        case Command::Write:
        case Command::Watch:
            return options.verify ? QStringLiteral("written and verified")
                                  : QStringLiteral("written (not verified)");
        case Command::Diff:
            return QStringLiteral("equal to the file");
        case Command::Erase:
            return QStringLiteral("erased");
        case Command::Read:
            return QStringLiteral("saved to %1").arg(record.file);
        default:
            return QStringLiteral("ok");
    }
}

QString identityLine(const DeviceRecord& r) {
    QString line = r.target.port;
    if (!r.target.location.isEmpty()) {
        line += QStringLiteral(" (%1)").arg(r.target.location);
    }
    return line + QStringLiteral("  serial %1  MCU id %2  firmware %3\n")
                      .arg(r.identity.serial, r.identity.mcuId, r.identity.version);
}

QString listText(const CtlOptions& options, const std::vector<DeviceRecord>& records) {
    std::vector<QStringList> rows;
    if (options.noQuery) {
        rows.push_back({"PORT", "LOCATION"});
    } else {
        rows.push_back({"PORT", "LOCATION", "FIRMWARE", "MCU ID", "SERIAL"});
    }
    for (const DeviceRecord& r : records) {
        QStringList row{r.target.port, r.target.location.isEmpty() ? "-" : r.target.location};
        if (!options.noQuery) {
            if (r.verdict == Verdict::Ok) {
                row << r.identity.version << r.identity.mcuId << r.identity.serial;
            } else {
                row << QStringLiteral("(%1)").arg(r.error);
            }
        }
        rows.push_back(row);
    }
    return table(rows);
}

QJsonObject identityJson(const DeviceRecord& r) {
    return QJsonObject{{"port", r.target.port},
                       {"location", r.target.location},
                       {"serial", r.identity.serial},
                       {"mcuId", r.identity.mcuId},
                       {"version", r.identity.version}};
}

QJsonObject profilesJson(const DeviceProfiles& profiles, bool showSecrets) {
    QJsonObject groups;
    for (const ProfileField& field : profileFields()) {
        const QString group = groupName(field.nNo);
        QJsonObject values = groups.value(group).toObject();
        const QString value = fieldValue(profiles, field);
        // A hidden secret is no value: null, never the mask, which a script could write back.
        const bool hidden = field.secret && !showSecrets && !value.isEmpty();
        values.insert(QLatin1StringView(field.key), hidden ? QJsonValue() : QJsonValue(value));
        groups.insert(group, values);
    }
    return groups;
}

bool listsProfiles(Command command) {
    return command == Command::Show || command == Command::Read || command == Command::Erase;
}

}  // namespace

QString deviceName(const DeviceRecord& record) {
    const QString serial = record.identity.serial.isEmpty() ? QStringLiteral("(serial unknown)")
                                                            : record.identity.serial;
    return QStringLiteral("%1 on %2").arg(serial, record.target.port);
}

QByteArray humanRecord(const CtlOptions& options, const DeviceRecord& r) {
    QString text = deviceName(r) + QStringLiteral(": ");
    switch (r.verdict) {
        case Verdict::Ok:
            text += successText(options, r) + u'\n';
            break;
        case Verdict::Differs:
            text += QStringLiteral("differs from the file\n");
            break;
        case Verdict::Invalid:
            text += QStringLiteral("NOT WRITTEN, invalid entry: %1\n").arg(r.error);
            break;
        case Verdict::Failed:
            // The window's error texts read alike ("<port> Write Error."): the cause tells them
            // apart.
            text += r.cause.isEmpty() || r.error.contains(r.cause)
                        ? QStringLiteral("FAILED at %1: %2\n").arg(r.step, r.error)
                        : QStringLiteral("FAILED at %1 (%2): %3\n").arg(r.step, r.cause, r.error);
            if (!r.failedCommand.isEmpty()) {
                text += QStringLiteral("    command: %1\n").arg(r.failedCommand);
            }
            break;
        case Verdict::Skipped:
            // --serial leaves other devices out silently; the station says why it left one.
            if (r.error.isEmpty()) {
                return {};
            }
            text += QStringLiteral("skipped: %1\n").arg(r.error);
            break;
        case Verdict::NotStarted:
            text += QStringLiteral("not started\n");
            break;
        case Verdict::Interrupted:
            text += r.error + u'\n';
            break;
    }
    for (const FieldDifference& d : r.differences) {
        text += differenceLine(d, options.command == Command::Diff);
    }
    if (!r.hint.isEmpty()) {
        text += QStringLiteral("    ") + QString(r.hint).replace(u'\n', QStringLiteral("\n    ")) +
                u'\n';
    }
    return text.toUtf8();
}

QByteArray humanResults(const CtlOptions& options, const std::vector<DeviceRecord>& records) {
    if (options.command == Command::List) {
        return listText(options, records).toUtf8();
    }
    QByteArray out;
    bool tableShown = false;
    for (const DeviceRecord& r : records) {
        if (r.verdict == Verdict::Skipped) {
            continue;
        }
        if (options.command == Command::Show && r.verdict == Verdict::Ok) {
            if (tableShown) {
                out += '\n';
            }
            out += (identityLine(r) + profileTable(r.profiles, options.showSecrets)).toUtf8();
            tableShown = true;
            continue;
        }
        if (options.command == Command::Read && options.file.isEmpty() &&
            r.verdict == Verdict::Ok) {
            QString error;
            if (records.size() > 1) {
                out += QStringLiteral("; %1\n").arg(deviceName(r)).toUtf8();
            }
            out += presetText(r.profiles, options.showSecrets, error);
            continue;
        }
        out += humanRecord(options, r);
    }
    return out;
}

QJsonObject recordJson(const CtlOptions& options, const DeviceRecord& r) {
    QJsonObject object = identityJson(r);
    object.insert("outcome", verdictName(r.verdict));
    object.insert("step", r.step);
    object.insert("error", r.error);
    object.insert("cause", r.cause);
    object.insert("commitSent", r.commitSent);
    object.insert("hint", r.hint);
    object.insert("failedCommand", r.failedCommand);
    if (!r.file.isEmpty()) {
        object.insert("file", r.file);
    }
    QJsonArray differences;
    for (const FieldDifference& d : r.differences) {
        QJsonObject entry{{"field", d.field.name}};
        if (d.field.secret) {
            entry.insert("differs", true);
        } else {
            entry.insert(options.command == Command::Diff ? "file" : "written", d.expected);
            entry.insert("device", d.actual);
        }
        differences.append(entry);
    }
    object.insert("differences", differences);
    if (listsProfiles(options.command) && r.verdict == Verdict::Ok) {
        object.insert("profiles", profilesJson(r.profiles, options.showSecrets));
        object.insert("secretsHidden", !options.showSecrets);
    }
    return object;
}

QByteArray jsonResults(const CtlOptions& options, const std::vector<DeviceRecord>& records,
                       int exitStatus) {
    QJsonArray devices;
    for (const DeviceRecord& r : records) {
        if (r.verdict != Verdict::Skipped) {
            devices.append(recordJson(options, r));
        }
    }
    const QJsonObject document{{"exitStatus", exitStatus}, {"devices", devices}};
    QByteArray text = QJsonDocument(document).toJson(QJsonDocument::Indented);
    if (!text.endsWith('\n')) {
        text += '\n';
    }
    return text;
}

QByteArray presetText(const DeviceProfiles& profiles, bool showSecrets, QString& error) {
    // The window's Save writes the file; the text comes from a file written the same way.
    QTemporaryDir dir;
    if (!dir.isValid()) {
        error = QStringLiteral("no temporary folder for the preset text");
        return {};
    }
    const QString path = dir.filePath(QStringLiteral("device.all"));
    if (!presets::savePreset(path, -1, maskedProfiles(profiles, showSecrets), error)) {
        return {};
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return {};
    }
    return file.readAll();
}

}  // namespace kvu::ctl
