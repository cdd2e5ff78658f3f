// An INI file held as its list of lines, read and changed with the rules of the Windows
// private-profile functions; lines that are not changed keep their exact bytes.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>
#include <vector>

#include "presets/ini_encoding.h"

namespace kvu::presets {

// Longest value a lookup returns, in UTF-16 units, as a 1024-character buffer holds.
inline constexpr qsizetype kMaxIniValueLength = 1023;

class IniDocument {
  public:
    // An empty document is a file that does not exist yet.
    IniDocument() = default;
    static IniDocument fromBytes(const QByteArray& bytes);

    // The file as it is to be written. Unchanged, it is the bytes it was read from.
    QByteArray toBytes() const;
    IniEncoding encoding() const { return encoding_; }

    // Non-empty section names in file order, repeats included.
    QStringList sectionNames() const;

    // The value of a key in the first section of that name, both looked up regardless of case;
    // the default when that section has no such key.
    QString value(QStringView section, QStringView key, const QString& defaultValue) const;

    // Sets the key in the first section of that name, adding the key or the section where
    // missing. False, with nothing changed, for names or values that would not read back the
    // same (line breaks, "=" in a key, blanks around a name).
    bool setValue(const QString& section, const QString& key, const QString& value);

  private:
    enum class Kind { Other, Section, Key };
    struct Line {
        QString text;  // without its line end
        QString eol;   // "\r\n", "\n", "\r" or empty for a last line without one
        QByteArray rawText;
        QByteArray rawEol;
        bool textChanged = false;
        bool eolChanged = false;
        Kind kind = Kind::Other;
        QString name;   // section name or key
        QString value;  // value of a key line
    };

    static void classify(Line& line);
    std::optional<size_t> findSection(QStringView section) const;
    size_t sectionEnd(size_t header) const;
    void endLine(size_t index);
    QByteArray bytesIn(IniEncoding encoding, bool onlyChanged) const;

    IniEncoding encoding_ = IniEncoding::Ansi;
    std::vector<Line> lines_;
    QByteArray tail_;  // an odd last byte of a UTF-16 file, kept where it was
};

}  // namespace kvu::presets
