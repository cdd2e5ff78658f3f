// Reads one preset file the way a load does, for measuring the reader's peak memory from the
// outside: /usr/bin/time -v preset_read_peak FILE (compare with an empty file for the base).
#include <QString>
#include <cstdio>

#include "presets/ini_file.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: preset_read_peak FILE\n");
        return 2;
    }
    const kvu::presets::IniDocument document =
        kvu::presets::readIniFile(QString::fromLocal8Bit(argv[1]));
    // The lookups of an "all" preset: every section, one key each.
    int found = 0;
    for (const char* section : {"WWAN1", "WWAN2", "WWAN3", "WWAN4", "Wi-Fi"}) {
        found += document.value(QString::fromLatin1(section), u"APN", QString()).isEmpty() ? 0 : 1;
    }
    std::printf("sections %lld, values found %d\n",
                static_cast<long long>(document.sectionNames().size()), found);
    return 0;
}
