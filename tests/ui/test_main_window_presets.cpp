// The preset commands of a connected window: their file dialogs, cancelling, loads that redraw
// and mark groups or stop without a trace, saves that copy the screen and merge into files.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QPushButton>

#include <array>
#include <string>
#include <vector>

#include "presets/ini_file.h"
#include "presets/preset_files.h"
#include "tests/support/log_capture.h"
#include "tests/ui/device_window_fixture.h"
#include "tests/ui/group_control_ids.h"
#include "ui/control_ids.h"

namespace kvu::test {
namespace {

using namespace kvu::ui;
using Kind = kvu::FileDialogRequest::Kind;

constexpr std::array<int, 5> kChecks = {IDC_CHECK1, IDC_CHECK2, IDC_CHECK3, IDC_CHECK4, IDC_CHECK5};

constexpr const char* kWwanFilter = "WWAN Preset File(*.wwan)|*.wwan|";
constexpr const char* kWifiFilter = "Wi-Fi Preset File(*.wifi)|*.wifi|";
constexpr const char* kAllFilter = "All Preset File(*.all)|*.all|";

// A button of the window or an item of its File menu.
struct Command {
    const char* name;
    int id;
    bool menu;
};

constexpr Command kLoad1{"WWAN1 Load Preset", IDC_LOADPRESET1, false};
constexpr Command kLoad2{"WWAN2 Load Preset", IDC_LOADPRESET2, false};
constexpr Command kLoad4{"WWAN4 Load Preset", IDC_LOADPRESET4, false};
constexpr Command kLoadWifi{"Wi-Fi Load Preset", IDC_LOADPRESET5, false};
constexpr Command kSave1{"WWAN1 Save Preset", IDC_SAVEPRESET1, false};
constexpr Command kSave2{"WWAN2 Save Preset", IDC_SAVEPRESET2, false};
constexpr Command kSaveWifi{"Wi-Fi Save Preset", IDC_SAVEPRESET5, false};
constexpr Command kFileLoad{"File > Load", ID_FILE_LOAD, true};
constexpr Command kFileSave{"File > Save", ID_FILE_SAVE, true};

// A WWAN section and the Wi-Fi section as a preset file holds them, CR LF lines.
QByteArray wwanSection(const char* name, int n) {
    return QStringLiteral(
               "[%1]\r\nAPN=file-apn-%2\r\nUSERNAME=file-user-%2\r\nPASSWORD=file-pw-%2"
               "\r\nAUTHTYPE=2\r\nPDPTYPE=1\r\n")
        .arg(QString::fromLatin1(name))
        .arg(n)
        .toLatin1();
}

const QByteArray kWifiSection(
    "[Wi-Fi]\r\nSSID=File SSID\r\nPASSPHRASE=file-phrase\r\nSECURITY=0\r\nPWTYPE=1\r\n");

QByteArray allFile() {
    return wwanSection("WWAN1", 1) + wwanSection("WWAN2", 2) + wwanSection("WWAN3", 3) +
           wwanSection("WWAN4", 4) + kWifiSection;
}

class PresetWindow : public DeviceWindowTest {
  protected:
    void SetUp() override {
        DeviceWindowTest::SetUp();
        startDevice();
        openWindow();
        ASSERT_TRUE(waitConnected());
    }

    void run(const Command& command) {
        if (command.menu) {
            QAction* action = dlg_->menuAction(command.id);
            ASSERT_NE(action, nullptr);
            ASSERT_TRUE(action->isEnabled());
            action->trigger();
        } else {
            auto* button = qobject_cast<QPushButton*>(dlg_->control(command.id));
            ASSERT_NE(button, nullptr);
            ASSERT_TRUE(button->isEnabled());
            button->click();
        }
    }

    void answer(const QString& path, std::map<int, bool> checks = {}) {
        dialogs_.fileAnswers.push_back({true, path, std::move(checks)});
    }

    QString pathOf(const char* name) const { return scratch_.filePath(QString::fromUtf8(name)); }

    QString writeFile(const char* name, const QByteArray& bytes) const {
        const QString path = pathOf(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    // What the window shows of the five groups, marks included, one line per field.
    std::vector<std::string> screen() const {
        std::vector<std::string> lines;
        auto add = [&](const QString& line) { lines.push_back(line.toStdString()); };
        for (std::size_t i = 0; i < 4; ++i) {
            add(QStringLiteral("WWAN%1 %2|%3|%4|auth %5|pdp %6")
                    .arg(i + 1)
                    .arg(edit(kApn[i])->text(), edit(kUser[i])->text(), edit(kPassword[i])->text())
                    .arg(combo(kAuth[i])->currentIndex())
                    .arg(combo(kPdp[i])->currentIndex()));
        }
        add(QStringLiteral("Wi-Fi %1|%2|sec %3|fmt %4")
                .arg(edit(IDC_SSID)->text(), edit(IDC_PASSPHRASE)->text())
                .arg(combo(IDC_SECURITY)->currentIndex())
                .arg(combo(IDC_KEYFORMAT)->currentIndex()));
        for (std::size_t i = 0; i < kGroupBoxes.size(); ++i) {
            add(box(kGroupBoxes[i])->title() +
                (dlg_->isChanged(static_cast<int>(i)) ? " flag" : " no flag"));
        }
        return lines;
    }

    kvu::DeviceProfiles records() const {
        kvu::DeviceProfiles profiles;
        for (int nNo = 0; nNo < 4; ++nNo) {
            profiles.wwan[static_cast<std::size_t>(nNo)] = dlg_->wwanProfile(nNo);
        }
        profiles.wifi = dlg_->wifiProfile();
        return profiles;
    }

    // What a WWAN group's controls hold, as the record a save writes.
    kvu::WwanProfile shownWwan(std::size_t i) const {
        return {edit(kApn[i])->text(), edit(kUser[i])->text(), edit(kPassword[i])->text(),
                QString::number(combo(kPdp[i])->currentIndex()),
                QString::number(combo(kAuth[i])->currentIndex())};
    }
    kvu::WifiProfile shownWifi() const {
        return {edit(IDC_SSID)->text(), QString::number(combo(IDC_SECURITY)->currentIndex()),
                QString::number(combo(IDC_KEYFORMAT)->currentIndex()),
                edit(IDC_PASSPHRASE)->text()};
    }

    void expectFileWwan(int nNo) const {
        const std::size_t i = static_cast<std::size_t>(nNo);
        const QString n = QString::number(nNo + 1);
        EXPECT_EQ(edit(kApn[i])->text(), "file-apn-" + n);
        EXPECT_EQ(edit(kUser[i])->text(), "file-user-" + n);
        EXPECT_EQ(edit(kPassword[i])->text(), "file-pw-" + n);
        EXPECT_EQ(combo(kAuth[i])->currentIndex(), 2);
        EXPECT_EQ(combo(kPdp[i])->currentIndex(), 1);
    }
};

TEST_F(PresetWindow, EachCommandAsksItsDialogAndCancellingChangesNothing) {
    struct Case {
        Command command;
        Kind kind;
        const char* extension;
        const char* filter;
        unsigned flags;
        const char* entryLine;
        const char* cancelLine;
    };
    const Case cases[] = {
        {kLoad1, Kind::Open, "*.wwan", kWwanFilter, 1, "CKVUUtilityDlg::LoadWwanPreset nNo:1",
         "Load Preset 1 Cancel."},
        {kLoad2, Kind::Open, "*.wwan", kWwanFilter, 1, "CKVUUtilityDlg::LoadWwanPreset nNo:2",
         "Load Preset 2 Cancel."},
        {{"WWAN3 Load Preset", IDC_LOADPRESET3, false},
         Kind::Open,
         "*.wwan",
         kWwanFilter,
         1,
         "CKVUUtilityDlg::LoadWwanPreset nNo:3",
         "Load Preset 3 Cancel."},
        {kLoad4, Kind::Open, "*.wwan", kWwanFilter, 1, "CKVUUtilityDlg::LoadWwanPreset nNo:4",
         "Load Preset 4 Cancel."},
        {kSave1, Kind::Save, "*.wwan", kWwanFilter, 0, "CKVUUtilityDlg::SaveWwanPreset 1",
         "Save Preset 1 Cancel."},
        {kSave2, Kind::Save, "*.wwan", kWwanFilter, 0, "CKVUUtilityDlg::SaveWwanPreset 2",
         "Save Preset 2 Cancel."},
        {{"WWAN3 Save Preset", IDC_SAVEPRESET3, false},
         Kind::Save,
         "*.wwan",
         kWwanFilter,
         0,
         "CKVUUtilityDlg::SaveWwanPreset 3",
         "Save Preset 3 Cancel."},
        {{"WWAN4 Save Preset", IDC_SAVEPRESET4, false},
         Kind::Save,
         "*.wwan",
         kWwanFilter,
         0,
         "CKVUUtilityDlg::SaveWwanPreset 4",
         "Save Preset 4 Cancel."},
        {kLoadWifi, Kind::Open, "*.wifi", kWifiFilter, 1, "CKVUUtilityDlg::OnBnClickedLoadpreset5",
         "Load Preset Cancel."},
        {kSaveWifi, Kind::Save, "*.wifi", kWifiFilter, 0, "CKVUUtilityDlg::OnBnClickedSavepreset5",
         "Save Preset Cancel."},
        {kFileLoad, Kind::Open, "*.all", kAllFilter, 1, "CKVUUtilityDlg::OnFileLoad",
         "Load All Preset Cancel."},
        {kFileSave, Kind::Save, "*.all", kAllFilter, 0, "CKVUUtilityDlg::OnFileSave",
         "Save All Preset Cancel."},
    };
    // A file that would load, and an unwritten edit, so that a change would show.
    const QString path = writeFile("every.all", allFile() + wwanSection("WWAN", 9));
    QTest::keyClicks(edit(IDC_APN2), "-edited");
    const std::vector<std::string> before = screen();
    const kvu::DeviceProfiles recordsBefore = records();
    const QByteArray bytesBefore = allFile() + wwanSection("WWAN", 9);

    for (const Case& c : cases) {
        SCOPED_TRACE(c.command.name);
        LogCapture log;
        dialogs_.fileRequests.clear();
        dialogs_.fileAnswers.push_back({false, path, {}});
        run(c.command);

        ASSERT_EQ(dialogs_.fileRequests.size(), 1u);
        const kvu::FileDialogRequest& request = dialogs_.fileRequests.front();
        EXPECT_EQ(request.kind, c.kind);
        EXPECT_EQ(request.defaultExtension, c.extension);
        EXPECT_EQ(request.filter, c.filter);
        EXPECT_EQ(request.flags, c.flags);
        EXPECT_EQ(request.checkButtons.size(), c.command.id == ID_FILE_LOAD ? 5u : 0u);

        EXPECT_TRUE(log.contains(spdlog::level::info, c.entryLine));
        EXPECT_TRUE(log.contains(spdlog::level::info, c.cancelLine));
        EXPECT_FALSE(log.anyContains("Preset [") || log.anyContains("Preset 1 [") ||
                     log.anyContains("Preset 2 [") || log.anyContains("Preset 3 [") ||
                     log.anyContains("Preset 4 ["));
        EXPECT_EQ(screen(), before);
        EXPECT_EQ(records(), recordsBefore);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), bytesBefore);
    }
    EXPECT_TRUE(dialogs_.messages.empty());
}

TEST_F(PresetWindow, WwanPresetSavedFromOneGroupLoadsIntoAnother) {
    const QString path = pathOf("moved.wwan");
    const kvu::WwanProfile wwan2 = shownWwan(1);
    answer(path);
    run(kSave2);
    // The file has the one section "WWAN", whatever the group.
    EXPECT_EQ(kvu::presets::readIniFile(path).sectionNames(), QStringList{"WWAN"});
    kvu::WwanProfile saved;
    ASSERT_TRUE(kvu::presets::readWwanPreset(0, path, false, saved));
    EXPECT_EQ(saved, wwan2);

    LogCapture log;
    answer(path);
    run(kLoad4);
    EXPECT_TRUE(log.contains(spdlog::level::info, "CKVUUtilityDlg::LoadWwanPreset nNo:4"));
    EXPECT_TRUE(
        log.contains(spdlog::level::info, "Load WWAN Preset 4 [" + path.toStdString() + "]"));
    EXPECT_EQ(shownWwan(3), wwan2);
    EXPECT_EQ(dlg_->wwanProfile(3), wwan2);
    for (int nNo = 0; nNo < 5; ++nNo) {
        SCOPED_TRACE(nNo + 1);
        EXPECT_EQ(dlg_->isChanged(nNo), nNo == 3);
    }
    EXPECT_EQ(box(IDC_GROUP_WWAN4)->title(), "WWAN4 (Changed)");
    EXPECT_EQ(box(IDC_GROUP_WWAN2)->title(), "WWAN2");
    EXPECT_TRUE(dialogs_.messages.empty());
}

// The device goes and comes back while a save dialog is open: nothing redraws the typed entry
// under the dialog, so the file holds what the operator typed and the group stays marked. The
// loss itself shows at once.
TEST_F(PresetWindow, ReplugUnderAnOpenSaveDialogKeepsTheTypedEntries) {
    QTest::keyClicks(edit(IDC_APN1), "-typed");
    const QString typed = edit(IDC_APN1)->text();
    ASSERT_TRUE(dlg_->isChanged(0));
    bool disconnectedShown = false;
    bool reconnectedUnder = true;
    dialogs_.onFileDialog = [&](const kvu::FileDialogRequest&) {
        ASSERT_TRUE(dlg_->isModalOpen());
        device_->hangUp();
        disconnectedShown =
            QTest::qWaitFor([&] { return edit(IDC_STATUS)->text() == "Disconnected"; }, 2000);
        ASSERT_TRUE(device_->replug());
        // Two ticks and more pass with the device back, as an operator takes time to choose.
        reconnectedUnder = QTest::qWaitFor([&] { return dlg_->isConnected(); }, 2500);
    };
    const QString path = pathOf("typed.wwan");
    answer(path);
    run(kSave1);
    EXPECT_TRUE(disconnectedShown);
    EXPECT_FALSE(reconnectedUnder);
    EXPECT_EQ(edit(IDC_APN1)->text(), typed);
    EXPECT_TRUE(dlg_->isChanged(0));
    EXPECT_EQ(box(IDC_GROUP_WWAN1)->title(), "WWAN1 (Changed)");
    kvu::WwanProfile saved;
    ASSERT_TRUE(kvu::presets::readWwanPreset(0, path, false, saved));
    EXPECT_EQ(saved.apn, typed);
    // The attempts waited, they did not stop: with the dialog closed the device is found again.
    EXPECT_TRUE(waitConnected(true, 2500));
}

TEST_F(PresetWindow, SavesWriteWhatTheScreenShowsUncheckedAndChangeNothing) {
    // Entries a Write would refuse: a space in the APN, a passphrase too short for HEX.
    edit(IDC_APN1)->setText("my apn");
    edit(IDC_PASSWORD1)->setText("");
    combo(IDC_AUTHTYPE1)->setCurrentIndex(0);
    edit(IDC_PASSPHRASE)->setText("abc");
    combo(IDC_KEYFORMAT)->setCurrentIndex(1);
    const std::vector<std::string> before = screen();
    device_->clearReceived();

    const QString wwanPath = pathOf("one.wwan");
    const QString wifiPath = pathOf("one.wifi");
    const QString allPath = pathOf("five.all");
    answer(wwanPath);
    run(kSave1);
    answer(wifiPath);
    run(kSaveWifi);
    answer(allPath);
    run(kFileSave);

    kvu::WwanProfile wwan;
    ASSERT_TRUE(kvu::presets::readWwanPreset(0, wwanPath, false, wwan));
    EXPECT_EQ(wwan, shownWwan(0));
    EXPECT_EQ(wwan.apn, "my apn");
    EXPECT_EQ(wwan.authType, "0");
    kvu::WifiProfile wifi;
    ASSERT_TRUE(kvu::presets::readWifiPreset(wifiPath, wifi));
    EXPECT_EQ(wifi, shownWifi());
    EXPECT_EQ(wifi.passphrase, "abc");

    EXPECT_EQ(kvu::presets::readIniFile(allPath).sectionNames(),
              (QStringList{"WWAN1", "WWAN2", "WWAN3", "WWAN4", "Wi-Fi"}));
    for (int nNo = 0; nNo < 4; ++nNo) {
        SCOPED_TRACE(nNo + 1);
        ASSERT_TRUE(kvu::presets::readWwanPreset(nNo, allPath, true, wwan));
        EXPECT_EQ(wwan, shownWwan(static_cast<std::size_t>(nNo)));
    }
    ASSERT_TRUE(kvu::presets::readWifiPreset(allPath, wifi));
    EXPECT_EQ(wifi, shownWifi());

    EXPECT_EQ(screen(), before);
    EXPECT_TRUE(dialogs_.messages.empty());
    EXPECT_TRUE(device_->received().empty());
}

TEST_F(PresetWindow, WifiSavedIntoAWwanFileIsAddedAndTheWwanBytesStay) {
    const QByteArray wwanBytes = wwanSection("WWAN", 7);
    const QString path = writeFile("shared.wwan", wwanBytes);
    answer(path);
    run(kSaveWifi);

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().startsWith(wwanBytes));
    EXPECT_EQ(kvu::presets::readIniFile(path).sectionNames(), (QStringList{"WWAN", "Wi-Fi"}));
    kvu::WifiProfile wifi;
    ASSERT_TRUE(kvu::presets::readWifiPreset(path, wifi));
    EXPECT_EQ(wifi, shownWifi());
    // The same file now serves both kinds of load.
    answer(path);
    run(kLoad1);
    EXPECT_EQ(edit(IDC_APN1)->text(), "file-apn-7");
}

TEST_F(PresetWindow, FilesWithoutTheWantedSectionsLoadNothing) {
    struct Case {
        const char* name;
        Command command;
        QByteArray bytes;
        const char* lastRead;  // the read that stops the command
        const char* neverRead;
    };
    const Case cases[] = {
        {"all without WWAN2", kFileLoad,
         wwanSection("WWAN1", 1) + wwanSection("WWAN3", 3) + wwanSection("WWAN4", 4) + kWifiSection,
         "Load WWAN Preset 2", "Load WWAN Preset 3"},
        {"wwan through File > Load", kFileLoad, wwanSection("WWAN", 1), "Load WWAN Preset 1",
         "Load WWAN Preset 2"},
        {"all through a group's Load Preset", kLoad1, allFile(), "Load WWAN Preset 1", nullptr},
        {"section names differing in case", kLoad2, wwanSection("wwan", 2), "Load WWAN Preset 2",
         nullptr},
        {"wwan through the Wi-Fi Load Preset", kLoadWifi, wwanSection("WWAN", 1),
         "Load WiFi Preset", nullptr},
        {"a file that does not exist", kLoad4, {}, "Load WWAN Preset 4", nullptr},
    };
    QTest::keyClicks(edit(IDC_USERNAME3), "-edited");
    const std::vector<std::string> before = screen();

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path =
            c.bytes.isEmpty() ? pathOf("missing.all") : writeFile("stops.preset", c.bytes);
        LogCapture log;
        answer(path);
        run(c.command);
        EXPECT_TRUE(log.contains(spdlog::level::info,
                                 std::string(c.lastRead) + " [" + path.toStdString() + "]"));
        if (c.neverRead != nullptr) {
            EXPECT_FALSE(log.anyContains(c.neverRead));
        }
        EXPECT_FALSE(log.anyContains("Load WiFi Preset") && c.command.id != IDC_LOADPRESET5);
        EXPECT_EQ(screen(), before);
    }
    EXPECT_TRUE(dialogs_.messages.empty());
}

TEST_F(PresetWindow, FailedSaveIsShownOnceWithThePathAndLoggedAsError) {
    const Command commands[] = {kSave2, kSaveWifi, kFileSave};
    const QString path = QDir::toNativeSeparators(pathOf("no-such-folder/out.preset"));
    const std::vector<std::string> before = screen();
    for (const Command& command : commands) {
        SCOPED_TRACE(command.name);
        dialogs_.messages.clear();
        LogCapture log;
        answer(path);
        run(command);

        ASSERT_EQ(dialogs_.messages.size(), 1u);
        EXPECT_EQ(dialogs_.messages[0].icon, DialogService::Icon::Error);
        EXPECT_EQ(dialogs_.messages[0].parent, dlg_.get());
        EXPECT_TRUE(dialogs_.messages[0].text.contains(path + ": "))
            << dialogs_.messages[0].text.toStdString();
        bool logged = false;
        for (const LogLine& line : log.lines()) {
            logged |= line.level == spdlog::level::err &&
                      line.text.find(path.toStdString() + ": ") != std::string::npos;
        }
        EXPECT_TRUE(logged);
        // The .all save stops at its first section.
        EXPECT_FALSE(log.anyContains("Save WWAN Preset 2 [") && command.id == ID_FILE_SAVE);
        EXPECT_FALSE(QFile::exists(path));
        EXPECT_EQ(screen(), before);
    }
}

struct AllLoadCase {
    const char* name;
    std::vector<int> cleared;    // check buttons the operator clears
    std::array<bool, 5> loaded;  // groups that show the file afterwards
};

void PrintTo(const AllLoadCase& c, std::ostream* os) {
    *os << c.name;
}

class AllPresetLoad : public PresetWindow, public ::testing::WithParamInterface<AllLoadCase> {};

TEST_P(AllPresetLoad, LoadsTheTickedGroupsAndMarksOnlyThem) {
    const AllLoadCase& c = GetParam();
    const std::vector<std::string> before = screen();
    const QString path = writeFile("five.all", allFile());
    std::map<int, bool> states;
    for (const int id : c.cleared) {
        states[id] = false;
    }
    LogCapture log;
    answer(path, states);
    run(kFileLoad);

    ASSERT_EQ(dialogs_.fileRequests.size(), 1u);
    const std::vector<kvu::FileDialogRequest::CheckButton>& buttons =
        dialogs_.fileRequests[0].checkButtons;
    ASSERT_EQ(buttons.size(), 5u);
    const char* const labels[] = {"WWAN1", "WWAN2", "WWAN3", "WWAN4", "Wi-Fi"};
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(buttons[i].id, kChecks[i]);
        EXPECT_EQ(buttons[i].label, labels[i]);
        EXPECT_TRUE(buttons[i].checked);
    }

    const std::vector<std::string> after = screen();
    for (int nNo = 0; nNo < 5; ++nNo) {
        SCOPED_TRACE(labels[nNo]);
        const std::size_t i = static_cast<std::size_t>(nNo);
        EXPECT_EQ(dlg_->isChanged(nNo), c.loaded[i]);
        if (!c.loaded[i]) {
            EXPECT_EQ(after[i], before[i]);
            EXPECT_EQ(after[5 + i], before[5 + i]);
        } else if (nNo < 4) {
            expectFileWwan(nNo);
        } else {
            EXPECT_EQ(shownWifi(), (kvu::WifiProfile{"File SSID", "0", "1", "file-phrase"}));
            // The redraw is the program's: the change handler sees it as such.
            EXPECT_TRUE(log.contains("CKVUUtilityDlg::OnEnChangeWifi m_bChangeByCode"));
            EXPECT_FALSE(log.contains("CKVUUtilityDlg::OnEnChangeWifi bChanged"));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    CheckButtons, AllPresetLoad,
    ::testing::Values(AllLoadCase{"AllTicked", {}, {true, true, true, true, true}},
                      AllLoadCase{"Wwan3Cleared", {IDC_CHECK3}, {true, true, false, true, true}},
                      AllLoadCase{"WifiCleared", {IDC_CHECK5}, {true, true, true, true, false}},
                      AllLoadCase{"AllCleared",
                                  {IDC_CHECK1, IDC_CHECK2, IDC_CHECK3, IDC_CHECK4, IDC_CHECK5},
                                  {false, false, false, false, false}}),
    [](const ::testing::TestParamInfo<AllLoadCase>& info) { return info.param.name; });

}  // namespace
}  // namespace kvu::test
