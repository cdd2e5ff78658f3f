// The preset operations: one WWAN profile (.wwan, section "WWAN"), the Wi-Fi profile (.wifi,
// section "Wi-Fi") or all five (.all, "WWAN1".."WWAN4" and "Wi-Fi") to and from preset files.
#pragma once

#include <QString>
#include <QStringList>

#include "settings/profiles.h"

namespace kvu::presets {

// True when the file lists a section of exactly this name, case included. The names are seen
// as the platform lists them, into 1024 characters: later names are missing, the last may be cut.
bool sectionExists(const QString& section, const QString& file);
bool isSectionListed(const QStringList& sectionNames, const QString& section);

// "WWAN" for a .wwan file, "WWAN1".."WWAN4" (nNo + 1) for an .all file.
QString wwanSectionName(int nNo, bool isAll);

// Replace every field of the record from the file's section; false (record untouched) for a
// group outside 0..3 or a file without that section.
bool readWwanPreset(int nNo, const QString& file, bool isAll, WwanProfile& record);
bool readWifiPreset(const QString& file, WifiProfile& record);

// Merge the record into the file, adding the file or section where missing. False with an
// error text naming the path and the system's reason when the file cannot be saved.
bool writeWwanPreset(int nNo, const QString& file, bool isAll, const WwanProfile& record,
                     QString& error);
bool writeWifiPreset(const QString& file, const WifiProfile& record, QString& error);

}  // namespace kvu::presets
