// Whole preset files over a device's profiles, as a front end without the window loads them, and
// a device's profiles saved so that the window's Load reads them back.
#include "presets/preset_layers.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "presets/preset_files.h"
#include "tests/presets/file_bytes.h"

namespace kvu::presets {
namespace {

using test::put;

DeviceProfiles deviceProfiles() {
    DeviceProfiles p;
    for (std::size_t i = 0; i < p.wwan.size(); ++i) {
        p.wwan[i] = {QStringLiteral("dev.apn%1").arg(i + 1), "devuser", "devpw", "1", "2"};
    }
    p.wifi = {"DeviceAP", "1", "0", "devpassphrase"};
    return p;
}

class PresetLayers : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    QString path(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }
    QTemporaryDir dir_;
};

TEST_F(PresetLayers, KindIsTheExtensionInAnyCase) {
    EXPECT_EQ(presetKindOf("a/b.all"), PresetKind::All);
    EXPECT_EQ(presetKindOf("B.WWAN"), PresetKind::Wwan);
    EXPECT_EQ(presetKindOf("c.WiFi"), PresetKind::Wifi);
    EXPECT_EQ(presetKindOf("c.ini"), PresetKind::Unknown);
    EXPECT_EQ(presetKindOf("all"), PresetKind::Unknown);
}

TEST_F(PresetLayers, APartialAllFileReplacesOnlyItsSections) {
    const QString file = path("partial.all");
    put(file,
        "[WWAN2]\r\nAPN=file.apn\r\nPASSWORD=filepw\r\nAUTHTYPE=0\r\n"
        "[Wi-Fi]\r\nSSID=FileAP\r\n");
    const DeviceProfiles base = deviceProfiles();
    const PresetLayer layer = layPresetOver(file, -1, base);
    ASSERT_TRUE(layer.ok) << layer.error.toStdString();
    EXPECT_EQ(layer.groups, (std::array<bool, kGroupCount>{false, true, false, false, true}));
    EXPECT_EQ(layer.profiles.wwan[0], base.wwan[0]);
    EXPECT_EQ(layer.profiles.wwan[2], base.wwan[2]);
    EXPECT_EQ(layer.profiles.wwan[3], base.wwan[3]);
    // A section replaces every field, as the window's Load does: missing keys take defaults.
    EXPECT_EQ(layer.profiles.wwan[1], (WwanProfile{"file.apn", "", "filepw", "0", "0"}));
    EXPECT_EQ(layer.profiles.wifi, (WifiProfile{"FileAP", "1", "0", ""}));
}

TEST_F(PresetLayers, AWwanFileIsTheGroupNamedAndAWifiFileTheWifiGroup) {
    const QString wwan = path("one.wwan");
    put(wwan, "[WWAN]\r\nAPN=only.this\r\n");
    PresetLayer layer = layPresetOver(wwan, 3, deviceProfiles());
    ASSERT_TRUE(layer.ok);
    EXPECT_EQ(layer.groups, (std::array<bool, kGroupCount>{false, false, false, true, false}));
    EXPECT_EQ(layer.profiles.wwan[3].apn, "only.this");
    EXPECT_EQ(layer.profiles.wwan[0], deviceProfiles().wwan[0]);

    const QString wifi = path("site.wifi");
    put(wifi, "[Wi-Fi]\r\nSSID=Site\r\n");
    layer = layPresetOver(wifi, -1, deviceProfiles());
    ASSERT_TRUE(layer.ok);
    EXPECT_EQ(layer.groups, (std::array<bool, kGroupCount>{false, false, false, false, true}));
    EXPECT_EQ(layer.profiles.wifi.ssid, "Site");
}

TEST_F(PresetLayers, FilesThatGiveNothingToLoadAreErrorsNamingTheFile) {
    put(path("none.all"), "[Other]\r\nAPN=x\r\n[wwan1]\r\nAPN=lower case is another section\r\n");
    put(path("wrong.wwan"), "[WWAN1]\r\nAPN=x\r\n");
    put(path("wrong.wifi"), "[WiFi]\r\nSSID=x\r\n");
    put(path("notes.txt"), "[WWAN1]\r\nAPN=x\r\n");
    put(path("fine.wwan"), "[WWAN]\r\nAPN=x\r\n");
    QDir(dir_.path()).mkdir("folder.all");
    struct Case {
        const char* file;
        int group;
        const char* error;  // after the path and ": "
    };
    const Case cases[] = {
        {"missing.all", -1, "no such file"},
        {"folder.all", -1, "is a folder, not a preset file"},
        {"none.all", -1, "none of the sections WWAN1, WWAN2, WWAN3, WWAN4, Wi-Fi"},
        {"wrong.wwan", 0, "no section WWAN"},
        {"wrong.wifi", -1, "no section Wi-Fi"},
        {"notes.txt", -1, "not a preset file (.all, .wwan or .wifi)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const PresetLayer layer = layPresetOver(path(c.file), c.group, deviceProfiles());
        EXPECT_FALSE(layer.ok);
        EXPECT_EQ(layer.error, QDir::toNativeSeparators(path(c.file)) + ": " + c.error);
        EXPECT_EQ(layer.profiles, deviceProfiles());
    }
    const PresetLayer noGroup = layPresetOver(path("fine.wwan"), -1, deviceProfiles());
    EXPECT_FALSE(noGroup.ok);
    EXPECT_EQ(noGroup.error, "a .wwan file holds one WWAN group; name it (1-4)");
}

TEST_F(PresetLayers, AnUnreadableFileIsAnErrorNotAnEmptyLoad) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows: QFile permissions only set the read-only attribute, reads still work";
#else
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root reads a file without read rights";
    }
#endif
    const QString file = path("locked.all");
    put(file, "[WWAN1]\r\nAPN=x\r\n");
    ASSERT_TRUE(QFile::setPermissions(file, QFileDevice::Permissions()));
    const PresetLayer layer = layPresetOver(file, -1, deviceProfiles());
    EXPECT_FALSE(layer.ok);
    EXPECT_TRUE(layer.error.startsWith(file + ": cannot be read")) << layer.error.toStdString();
}

TEST_F(PresetLayers, WhatIsSavedLoadsBackAsItWas) {
    const DeviceProfiles device = deviceProfiles();
    QString error;
    const QString all = path("backup.all");
    ASSERT_TRUE(savePreset(all, -1, device, error)) << error.toStdString();
    PresetLayer layer = layPresetOver(all, -1, {});
    ASSERT_TRUE(layer.ok);
    EXPECT_EQ(layer.profiles, device);
    EXPECT_EQ(layer.groups, (std::array<bool, kGroupCount>{true, true, true, true, true}));

    const QString wwan = path("three.wwan");
    ASSERT_TRUE(savePreset(wwan, 2, device, error)) << error.toStdString();
    WwanProfile read;
    ASSERT_TRUE(readWwanPreset(0, wwan, false, read));
    EXPECT_EQ(read, device.wwan[2]);

    EXPECT_FALSE(savePreset(path("three.wwan"), 4, device, error));
    EXPECT_FALSE(savePreset(path("x.ini"), -1, device, error));
    EXPECT_EQ(error, QDir::toNativeSeparators(path("x.ini")) + ": not a preset file (.all, .wwan or .wifi)");
    EXPECT_FALSE(QFile::exists(path("x.ini")));
}

}  // namespace
}  // namespace kvu::presets
