#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <string>
#include <vector>

#include "presets/ini_document.h"
#include "tests/presets/ini_bytes.h"

namespace kvu::presets {
namespace {

using test::raw;
using test::utf16File;
using namespace Qt::StringLiterals;

const QString kDefault = QStringLiteral("<default>");

enum class Op { Get, Names, Set };

// Get: value(section, key, kDefault) == value. Set: setValue(section, key, value) turns the
// input into exactly `output`. Names: sectionNames() == names.
struct IniCase {
    std::string name;
    QByteArray input;
    Op op;
    QString section;
    QString key;
    QString value;
    QByteArray output;
    QStringList names;
};

IniCase get(std::string name, QByteArray input, QString section, QString key, QString value) {
    return {std::move(name), std::move(input), Op::Get, std::move(section),
            std::move(key),  std::move(value), {},      {}};
}
IniCase set(std::string name, QByteArray input, QString section, QString key, QString value,
            QByteArray output) {
    return {std::move(name), std::move(input), Op::Set,           std::move(section),
            std::move(key),  std::move(value), std::move(output), {}};
}
IniCase names(std::string name, QByteArray input, QStringList list) {
    return {std::move(name), std::move(input), Op::Names, {}, {}, {}, {}, std::move(list)};
}

std::string hex(const QByteArray& bytes) {
    return bytes.toHex(' ').toStdString();
}

const std::vector<IniCase>& cases() {
    static const std::vector<IniCase> table = {
        // Reading, as the Windows functions write and read files.
        get("CR LF file", raw("[WWAN]\r\nAPN=internet\r\nUSERNAME=operator\r\n"), "WWAN",
            "USERNAME", "operator"),
        get("Windows-1252 accented letter", raw("[WWAN]\r\nAPN=caf\xE9\r\n"), "WWAN", "APN",
            u"caf\u00E9"_s),
        get("Windows-1252 0x80..0x9F, undefined bytes kept",
            raw("[W]\r\nK=\x80\x81\x8D\x8F\x90\x9D\x9F\r\n"), "W", "K",
            u"\u20AC\u0081\u008D\u008F\u0090\u009D\u0178"_s),
        get("UTF-16LE with BOM", utf16File(u"[Wi-Fi]\r\nSSID=caf\u00E9 \u4E2D\r\n"_s), "Wi-Fi",
            "SSID", u"caf\u00E9 \u4E2D"_s),
        get("UTF-8 without BOM", raw("[W]\r\nK=caf\xC3\xA9\r\n"), "W", "K", u"caf\u00E9"_s),
        get("UTF-8 BOM before the first section", raw("\xEF\xBB\xBF[W]\r\nK=v\r\n"), "W", "K", "v"),
        get("double quotes keep inner blanks", raw("[W]\r\nK=\"  a b  \"\r\n"), "W", "K",
            "  a b  "),
        get("single quotes", raw("[W]\r\nK='x'\r\n"), "W", "K", "x"),
        get("unmatched quotes stay", raw("[W]\r\nK=\"x'\r\n"), "W", "K", "\"x'"),
        get("a lone quote stays", raw("[W]\r\nK=\"\r\n"), "W", "K", "\""),
        get("empty quotes read as empty", raw("[W]\r\nK=\"\"\r\n"), "W", "K", ""),
        get("blanks around = and at both line ends", raw("[W]\r\n \t K \t=  v w \x1A\x0B\x0C\r\n"),
            "W", "K", "v w"),
        get("section and key regardless of case", raw("[wwan]\r\napn=x\r\n"), "WWAN", "APN", "x"),
        get("first of duplicate keys", raw("[W]\r\nK=1\r\nk=2\r\n"), "W", "K", "1"),
        get("only the first of duplicate sections", raw("[W]\r\nA=1\r\n[w]\r\nK=2\r\n"), "W", "K",
            kDefault),
        get("key-only line reads as missing", raw("[W]\r\nK\r\n"), "W", "K", kDefault),
        get("key-only line hides no later key", raw("[W]\r\nK\r\nK=2\r\n"), "W", "K", "2"),
        get("empty value is not the default", raw("[W]\r\nK=\r\n"), "W", "K", ""),
        get("comment line", raw("[W]\r\n;K=1\r\n  ; K=2\r\nK=3\r\n"), "W", "K", "3"),
        get("LF line ends, no final one", raw("[W]\nA=1\nK=2"), "W", "K", "2"),
        get("CR line ends", raw("[W]\rA=1\rK=2\r"), "W", "K", "2"),
        get("key before any section", raw("K=1\r\n[W]\r\n"), "W", "K", kDefault),
        get("missing section", raw("[X]\r\nK=1\r\n"), "W", "K", kDefault),
        get("empty file", QByteArray(), "W", "K", kDefault),
        get("value cut to 1023 characters", raw("[W]\r\nK=") + QByteArray(1500, 'x'), "W", "K",
            QString(1023, u'x')),
        names("section names trimmed, up to the last ], in file order",
              raw("[  WWAN1  ]\r\n[a]b] ; note\r\n[unclosed\r\n[]\r\nK=v\r\n[wi-fi]\r\n[WWAN1]"),
              {"WWAN1", "a]b", "wi-fi", "WWAN1"}),
        names("UTF-16LE section names", utf16File(u"[WWAN]\r\n[Wi-Fi]\r\n"_s), {"WWAN", "Wi-Fi"}),

        // Writing one key.
        set("new file in Windows-1252 when it fits", QByteArray(), "WWAN", "APN", u"caf\u00E9"_s,
            raw("[WWAN]\r\nAPN=caf\xE9\r\n")),
        set("new file in UTF-16LE when a character does not fit", QByteArray(), "W", "K",
            u"\u4E2D"_s, utf16File(u"[W]\r\nK=\u4E2D\r\n"_s)),
        set("new file whose Windows-1252 bytes would read as UTF-8", QByteArray(), "W", "K",
            u"\u00C3\u00A9"_s, utf16File(u"[W]\r\nK=\u00C3\u00A9\r\n"_s)),
        set("replace a key in place, keeping its line end",
            raw("[A]\nx = 1\n[WWAN]\n  apn = old  \nK=2\n"), "WWAN", "APN", "new",
            raw("[A]\nx = 1\n[WWAN]\nAPN=new\nK=2\n")),
        set("add a key after the section's last key line",
            raw("[W]\r\nA=1\r\n\r\n; note\r\n[X]\r\nB=2\r\n"), "W", "K", "v",
            raw("[W]\r\nA=1\r\nK=v\r\n\r\n; note\r\n[X]\r\nB=2\r\n")),
        set("add a key under a header without a line end", raw("[W]"), "W", "K", "v",
            raw("[W]\r\nK=v\r\n")),
        set("append the section to a file without a final line end", raw("[X]\r\nB=2"), "W", "K",
            "v", raw("[X]\r\nB=2\r\n[W]\r\nK=v\r\n")),
        set("merge leaves other sections byte-identical",
            raw("[WWAN1]  \r\n APN = 'a' \r\n;c\r\n\r\n[Wi-Fi]\nSSID = x\n"), "Wi-Fi", "SECURITY",
            "1", raw("[WWAN1]  \r\n APN = 'a' \r\n;c\r\n\r\n[Wi-Fi]\nSSID = x\nSECURITY=1\r\n")),
        set("write into the first of sections differing in case",
            raw("[wwan]\r\nApn=old\r\n[WWAN]\r\nAPN=b\r\n"), "WWAN", "APN", "new",
            raw("[wwan]\r\nAPN=new\r\n[WWAN]\r\nAPN=b\r\n")),
        set("keep Windows-1252", raw("[W]\r\nA=caf\xE9\r\n"), "W", "K", u"n\u00E9"_s,
            raw("[W]\r\nA=caf\xE9\r\nK=n\xE9\r\n")),
        set("plain ASCII file takes a Windows-1252 character", raw("[W]\r\n"), "W", "K",
            u"\u20AC"_s, raw("[W]\r\nK=\x80\r\n")),
        set("Windows-1252 file that needs another character becomes UTF-16LE",
            raw("[W]\nA=caf\xE9\n"), "W", "K", u"\u4E2D"_s,
            utf16File(u"[W]\nA=caf\u00E9\nK=\u4E2D\r\n"_s)),
        set("keep UTF-16LE", utf16File("[W]\r\nA=1\r\n"), "W", "K", u"\u00E9"_s,
            utf16File(u"[W]\r\nA=1\r\nK=\u00E9\r\n"_s)),
        set("keep UTF-8 with BOM", raw("\xEF\xBB\xBF[W]\r\n"), "W", "K", u"\u00E9"_s,
            raw("\xEF\xBB\xBF[W]\r\nK=\xC3\xA9\r\n")),
        set("keep UTF-8 without BOM", raw("[W]\r\nA=\xC3\xA9\r\n"), "W", "K", u"\u00FC"_s,
            raw("[W]\r\nA=\xC3\xA9\r\nK=\xC3\xBC\r\n")),
        set("quote a value with blanks at its ends", QByteArray(), "W", "K", " a ",
            raw("[W]\r\nK=\" a \"\r\n")),
        set("quote a value in matching quotes", QByteArray(), "W", "K", "'x'",
            raw("[W]\r\nK=\"'x'\"\r\n")),
        set("empty value", QByteArray(), "W", "K", "", raw("[W]\r\nK=\r\n")),
    };
    return table;
}

TEST(IniDocument, FixtureTable) {
    for (const IniCase& c : cases()) {
        SCOPED_TRACE(c.name);
        IniDocument doc = IniDocument::fromBytes(c.input);
        switch (c.op) {
            case Op::Get:
                EXPECT_EQ(doc.value(c.section, c.key, kDefault).toStdString(),
                          c.value.toStdString());
                break;
            case Op::Names:
                EXPECT_EQ(doc.sectionNames(), c.names);
                break;
            case Op::Set:
                ASSERT_TRUE(doc.setValue(c.section, c.key, c.value));
                EXPECT_EQ(hex(doc.toBytes()), hex(c.output));
                break;
        }
    }
}

TEST(IniDocument, UnchangedFilesKeepEveryByteAndWrittenValuesReadBack) {
    for (const IniCase& c : cases()) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(hex(IniDocument::fromBytes(c.input).toBytes()), hex(c.input));
        if (c.op == Op::Set) {
            const IniDocument reread = IniDocument::fromBytes(c.output);
            EXPECT_EQ(reread.value(c.section, c.key, kDefault).toStdString(),
                      c.value.toStdString());
        }
    }
    // A cut-off UTF-16LE file keeps its odd last byte behind what is added.
    IniDocument odd = IniDocument::fromBytes(utf16File("[W]\r\n") + raw("\x41"));
    ASSERT_TRUE(odd.setValue("W", "K", "v"));
    EXPECT_EQ(hex(odd.toBytes()), hex(utf16File("[W]\r\nK=v\r\n") + raw("\x41")));
}

// The largest file read, almost all line breaks, with a section at its end: found, changed in
// place, and extended, every other byte as it was.
TEST(IniDocument, LargeFileOfLineBreaksIsReadAndChangedLikeASmallOne) {
    const QByteArray tail = raw("[W]\nK=v");
    const QByteArray breaks(1024 * 1024 - tail.size(), '\n');
    IniDocument doc = IniDocument::fromBytes(breaks + tail);
    EXPECT_EQ(doc.value(u"W", u"K", kDefault).toStdString(), "v");
    EXPECT_EQ(doc.sectionNames(), QStringList{"W"});
    ASSERT_TRUE(doc.setValue("W", "K", "w"));
    ASSERT_TRUE(doc.setValue("X", "A", "1"));
    EXPECT_TRUE(doc.toBytes() == breaks + raw("[W]\nK=w\r\n[X]\r\nA=1\r\n"));
}

TEST(IniDocument, OnlyTheTextThatStaysDecidesTheEncoding) {
    // A value that Windows-1252 cannot hold, replaced by one it can: the file stays Windows-1252.
    IniDocument doc = IniDocument::fromBytes(raw("[W]\r\nK=a\r\n"));
    ASSERT_TRUE(doc.setValue("W", "K", u"\u4E2D"_s));
    EXPECT_EQ(hex(doc.toBytes()), hex(utf16File(u"[W]\r\nK=\u4E2D\r\n"_s)));
    ASSERT_TRUE(doc.setValue("W", "K", "b"));
    EXPECT_EQ(hex(doc.toBytes()), hex(raw("[W]\r\nK=b\r\n")));
}

TEST(IniDocument, RefusesWhatWouldNotReadBackAndChangesNothing) {
    struct Refused {
        QString section;
        QString key;
        QString value;
    };
    const std::vector<Refused> refused = {
        {"W", "K", "a\r\n[X]"}, {"W", "K", "a\nb"}, {"W", "K=1", "v"},   {"W", " K", "v"},
        {"W", ";K", "v"},       {"W", "[K]", "v"},  {"W\r\n", "K", "v"}, {" W", "K", "v"},
        {"", "K", "v"},         {"W", "", "v"},
    };
    const QByteArray input = raw("[W]\r\nK=old\r\n");
    for (const Refused& r : refused) {
        SCOPED_TRACE(r.section.toStdString() + "/" + r.key.toStdString());
        IniDocument doc = IniDocument::fromBytes(input);
        EXPECT_FALSE(doc.setValue(r.section, r.key, r.value));
        EXPECT_EQ(hex(doc.toBytes()), hex(input));
    }
}

}  // namespace
}  // namespace kvu::presets
