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
    enum class Kind : quint8 { Other, Section, Key };
    enum class Eol : quint8 { None, CrLf, Lf, Cr };
    // What a line is, read from its text; the views point into that text.
    struct Parsed {
        Kind kind = Kind::Other;
        QStringView name;   // section name or key
        QStringView value;  // value of a key line
    };
    // Kept small: a file of nothing but line breaks holds one of these per byte. The text is
    // not copied out of the file's bytes; names and values are parsed again when looked up.
    struct Line {
        quint32 begin = 0;  // offset of the text in raw_, or its index in edited_ when edited
        quint32 size = 0;   // bytes of the text in raw_
        Eol eol = Eol::None;
        Kind kind = Kind::Other;
        bool edited = false;  // the text was set by setValue and lives in edited_
    };
    static_assert(sizeof(Line) <= 12);

    static Parsed parse(QStringView text);
    QString textOf(const Line& line) const;
    std::optional<size_t> findSection(QStringView section) const;
    size_t sectionEnd(size_t header) const;
    void endLine(size_t index);
    Line editedLine(const QString& text, Eol eol);
    QByteArray bytesIn(IniEncoding encoding, bool onlyChanged) const;

    IniEncoding encoding_ = IniEncoding::Ansi;
    QByteArray raw_;  // the file's bytes as read, shared with the read buffer
    std::vector<Line> lines_;
    std::vector<QString> edited_;
    QByteArray tail_;  // an odd last byte of a UTF-16 file, kept where it was
};

}  // namespace kvu::presets
