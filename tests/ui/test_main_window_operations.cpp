// Write, Reload and Erase through the real window against the simulated device: what reaches
// the device, what the window shows afterwards, and the result dialog of every outcome.
#include <QDir>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QTimer>

#include <algorithm>

#include <chrono>

#include "protocol/commands.h"
#include "settings/entry_validation.h"
#include "settings/profile_fields.h"
#include "sim/demonstration_state.h"
#include "tests/support/device_state_profiles.h"
#include "tests/support/log_capture.h"
#include "tests/ui/device_window_fixture.h"
#include "ui/control_ids.h"
#include "ui/dialog_font.h"
#include "ui/dialog_units.h"
#include "ui/write_result_dialog.h"

namespace kvu::test {
namespace {

using namespace kvu::ui;
using namespace std::chrono_literals;

struct Shown {
    QString title;
    QString line1;
    QString line2;
    QString line3;
};

class Operations : public DeviceWindowTest {
  protected:
    void SetUp() override {
        DeviceWindowTest::SetUp();
        dialogs_.onDialog = [this](QDialog& dialog) {
            if (auto* result = qobject_cast<CWriteResultDlg*>(&dialog)) {
                results_.push_back(
                    {result->windowTitle(), result->line(1), result->line(2), result->line(3)});
            }
        };
    }

    void connectTo(sim::DeviceState state = sampleDeviceState(), sim::Faults faults = {}) {
        startDevice(std::move(state));
        openWindow();
        ASSERT_TRUE(waitConnected());
        device_->clearReceived();
        if (faults.silentAll || !faults.errorOn.empty() || !faults.errorAt.empty() ||
            !faults.silentOn.empty() || faults.hangUpAfter != 0) {
            std::string error;
            ASSERT_TRUE(device_->setFaults(faults, error)) << error;
        }
    }

    void click(int id) { QTest::mouseClick(dlg_->control(id), Qt::LeftButton); }

    std::vector<bool> marks() const {
        std::vector<bool> out;
        for (int nNo = 0; nNo < 5; ++nNo) {
            out.push_back(dlg_->isChanged(nNo));
        }
        return out;
    }

    // The exact bytes a Write of these profiles sends: the set lines, then the commit.
    static std::vector<std::string> writeBytes(const DeviceProfiles& profiles) {
        std::vector<std::string> bytes;
        for (const protocol::SetLine& line : protocol::writeAllLines(profiles)) {
            bytes.push_back(line.command.toStdString());
        }
        bytes.push_back("fw\r");
        return bytes;
    }

    DeviceProfiles screenProfiles() const {
        DeviceProfiles p;
        for (int i = 0; i < 4; ++i) {
            p.wwan[static_cast<std::size_t>(i)] = dlg_->wwanProfile(i);
        }
        p.wifi = dlg_->wifiProfile();
        return p;
    }

    std::vector<Shown> results_;
};

void expectShown(const Shown& got, const char* title, const QString& line1, const QString& line2,
                 const QString& line3) {
    EXPECT_EQ(got.title, title);
    EXPECT_EQ(got.line1, line1);
    EXPECT_EQ(got.line2, line2);
    EXPECT_EQ(got.line3, line3);
}

TEST_F(Operations, WriteSendsAllFiveProfilesAndCommitsAndKeepsTheTypedValues) {
    connectTo();
    QTest::keyClicks(edit(IDC_APN2), "-new");
    combo(IDC_KEYFORMAT)->setFocus();
    QTest::keyClick(combo(IDC_KEYFORMAT), Qt::Key_Down);  // HEX: the passphrase must be 64 hex
    edit(IDC_PASSPHRASE)->setText(QString(64, QLatin1Char('a')));
    LogCapture log;
    click(IDC_WRITE);

    ASSERT_EQ(results_.size(), 1u);
    expectShown(results_[0], "Write Result", "", "Write Successfully", "");
    EXPECT_TRUE(dialogs_.messages.empty());
    EXPECT_EQ(device_->received(), writeBytes(screenProfiles()));
    EXPECT_EQ(device_->received().size(), 25u);
    EXPECT_EQ(device_->committedState().wwan[1].apn, "apn2.example-new");
    EXPECT_EQ(device_->committedState().wifi.pwType, "1");
    EXPECT_EQ(edit(IDC_APN2)->text(), "apn2.example-new");
    EXPECT_EQ(marks(), std::vector<bool>(5, false));
    EXPECT_EQ(box(IDC_GROUP_WWAN2)->title(), "WWAN2");
    EXPECT_TRUE(log.contains(spdlog::level::info, "CKVUUtilityDlg::OnBnClickedWrite"));
    EXPECT_TRUE(log.contains(spdlog::level::info, "Write Successfully"));
    EXPECT_FALSE(log.anyContains("-secret"));
}

TEST_F(Operations, WriteWithARejectedEntrySendsNothing) {
    connectTo();
    QTest::keyClicks(edit(IDC_APN1), "x");
    edit(IDC_PASSWORD3)->setText(QString::fromUtf8("caf\xC3\xA9"));
    LogCapture log;
    click(IDC_WRITE);
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_EQ(dialogs_.messages[0].text,
              "WWAN 3 - Password\nPlease enter only ASCII characters other than spaces.");
    EXPECT_EQ(dialogs_.messages[0].icon, DialogService::Icon::Error);
    EXPECT_TRUE(results_.empty());
    EXPECT_TRUE(device_->received().empty());
    EXPECT_EQ(QApplication::focusWidget(), dlg_->control(IDC_PASSWORD3));
    EXPECT_EQ(marks(), (std::vector<bool>{true, false, true, false, false}));
    EXPECT_TRUE(log.contains(spdlog::level::info,
                             "CKVUUtilityDlg::OnBnClickedWrite CheckEnterText return false"));
}

TEST_F(Operations, WriteStopsAtARefusedLineAndShowsIt) {
    sim::Faults refuse;
    refuse.errorOn = {{"set 3 pw ", false}};
    connectTo(sampleDeviceState(), refuse);
    QTest::keyClicks(edit(IDC_APN4), "z");
    LogCapture log;
    click(IDC_WRITE);
    ASSERT_EQ(results_.size(), 1u);
    const QString failed = "set 3 pw Pw-3-secret\r";
    const QString error = linkPath_ + " Write Error.";
    expectShown(results_[0], "Write Result", "Write Failed", failed, error);
    const std::vector<std::string> sent = device_->received();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.back(), failed.toStdString());
    const std::vector<std::string> all = writeBytes(screenProfiles());
    EXPECT_EQ(sent,
              std::vector<std::string>(all.begin(), all.begin() + static_cast<long>(sent.size())));
    EXPECT_EQ(marks(), (std::vector<bool>{false, false, false, true, false}));
    EXPECT_TRUE(log.contains(spdlog::level::err,
                             "CKVUUtilityDlg::OnBnClickedWrite " + error.toStdString()));
}

TEST_F(Operations, RefusedCommitIsAFailedWrite) {
    sim::Faults refuse;
    refuse.errorOn = {{"fw", false}};
    connectTo(sampleDeviceState(), refuse);
    QTest::keyClicks(edit(IDC_SSID), "2");
    LogCapture log;
    click(IDC_WRITE);
    ASSERT_EQ(results_.size(), 1u);
    expectShown(results_[0], "Write Result", "Write Failed", "fw\r", linkPath_ + " Write Error.");
    EXPECT_EQ(device_->received().back(), "fw\r");
    EXPECT_EQ(marks(), (std::vector<bool>{false, false, false, false, true}));
    EXPECT_TRUE(log.contains(spdlog::level::err, "CKVUUtilityDlg::OnBnClickedWrite " +
                                                     linkPath_.toStdString() + " Write Error."));
    EXPECT_FALSE(log.contains(spdlog::level::info, "Write Successfully"));
}

TEST_F(Operations, ReloadDiscardsEditsAndClearsTheMarks) {
    connectTo();
    QTest::keyClicks(edit(IDC_USERNAME2), "-typed");
    QTest::keyClicks(edit(IDC_SSID), "-typed");
    LogCapture log;
    click(IDC_RELOAD);
    ASSERT_EQ(results_.size(), 1u);
    expectShown(results_[0], "Reload Result", "", "Reload Successfully", "");
    EXPECT_EQ(device_->received(), std::vector<std::string>{"get\r"});
    EXPECT_EQ(edit(IDC_USERNAME2)->text(), "user2");
    EXPECT_EQ(edit(IDC_SSID)->text(), "Plant-WLAN");
    EXPECT_EQ(marks(), std::vector<bool>(5, false));
    EXPECT_EQ(box(IDC_GROUP_WIFI)->title(), "Wi-Fi");
}

TEST_F(Operations, EraseClearsTheDeviceAndShowsItsValues) {
    connectTo();
    QTest::keyClicks(edit(IDC_APN1), "q");
    LogCapture log;
    click(IDC_ERASE);
    ASSERT_EQ(results_.size(), 1u);
    expectShown(results_[0], "Erase Result", "", "Erase Successfully", "");
    EXPECT_EQ(device_->received(), (std::vector<std::string>{"fe\r", "get\r"}));
    EXPECT_EQ(edit(IDC_APN1)->text(), "");
    EXPECT_EQ(edit(IDC_SSID)->text(), "");
    EXPECT_EQ(combo(IDC_AUTHTYPE1)->currentIndex(), 0);
    EXPECT_EQ(marks(), std::vector<bool>(5, false));
    const std::vector<std::string> texts = log.texts();
    const auto erased = std::find(texts.begin(), texts.end(), "Erase Successfully");
    ASSERT_NE(erased, texts.end());
    EXPECT_NE(std::find(erased, texts.end(), "Reload Successfully"), texts.end());
}

TEST_F(Operations, EraseFailuresShowTheirStepAndKeepTheScreen) {
    struct Case {
        const char* name;
        const char* refused;
        const char* title;
        const char* line1;
        const char* line2;
        const char* suffix;
    };
    const Case cases[] = {
        {"erase refused", "fe", "Erase Result", "Erase Failed", "fe\r", " Erase Error."},
        {"read-back refused", "get", "Reload Result", "Reload Failed", "get\r", " Reload Error."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        results_.clear();
        sim::Faults refuse;
        refuse.errorOn = {{c.refused, false}};
        connectTo(sampleDeviceState(), refuse);
        QTest::keyClicks(edit(IDC_APN3), "k");
        LogCapture log;
        click(IDC_ERASE);
        ASSERT_EQ(results_.size(), 1u);
        expectShown(results_[0], c.title, c.line1, c.line2, linkPath_ + c.suffix);
        EXPECT_EQ(edit(IDC_APN1)->text(), "apn1.example");
        EXPECT_EQ(edit(IDC_APN3)->text(), "apn3.examplek");
        EXPECT_EQ(marks(), (std::vector<bool>{false, false, true, false, false}));
        EXPECT_TRUE(log.contains(spdlog::level::err, "Erase Failed"));
        dlg_.reset();
        device_.reset();
    }
}

// A commit or erase answered after its wait ran out fails, and its late answer is no part of the
// next reply: the Reload pressed next shows what the device holds, every field in its place.
TEST_F(Operations, AReplyAfterItsWaitNeverBecomesPartOfTheNextOne) {
    struct Case {
        const char* name;
        const char* slow;
        int button;
        const char* title;
        const char* failed;
    };
    const Case cases[] = {
        {"late erase", "fe", IDC_ERASE, "Erase Result", "Erase Failed"},
        {"late commit", "fw", IDC_WRITE, "Write Result", "Write Failed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        results_.clear();
        connectTo();
        sim::Faults slow;
        slow.delayOn = {{c.slow, false}};
        slow.delayOnBy = 8600ms;
        std::string error;
        ASSERT_TRUE(device_->setFaults(slow, error)) << error;
        QTest::keyClicks(edit(IDC_APN2), "-new");
        click(c.button);
        ASSERT_EQ(results_.size(), 1u);
        EXPECT_EQ(results_[0].title, c.title);
        EXPECT_EQ(results_[0].line1, c.failed);

        ASSERT_TRUE(device_->setFaults({}, error)) << error;
        results_.clear();
        click(IDC_RELOAD);
        ASSERT_EQ(results_.size(), 1u);
        expectShown(results_[0], "Reload Result", "", "Reload Successfully", "");
        QStringList differing;
        for (const FieldDifference& d :
             profileDifferences(profilesOf(device_->state()), screenProfiles())) {
            differing << d.field.name + ": device \"" + d.expected + "\", shown \"" + d.actual +
                             "\"";
        }
        EXPECT_TRUE(differing.isEmpty()) << differing.join("; ").toStdString();
        EXPECT_EQ(marks(), std::vector<bool>(5, false));
        dlg_.reset();
        device_.reset();
    }
}

// A device that stops answering: each operation ends within its bound with its failure dialog,
// never with success, and the window stays connected and usable.
TEST_F(Operations, SilentDeviceEndsEachOperationWithinItsBound) {
    sim::Faults silent;
    silent.silentAll = true;
    connectTo(sampleDeviceState(), silent);
    struct Case {
        int button;
        const char* title;
        const char* line1;
        const char* line2;
        std::chrono::milliseconds bound;
    };
    const Case cases[] = {
        {IDC_RELOAD, "Reload Result", "Reload Failed", "get\r", 3000ms},
        {IDC_WRITE, "Write Result", "Write Failed", "set 1 apn apn1.example\r", 3000ms},
        {IDC_ERASE, "Erase Result", "Erase Failed", "fe\r", 8000ms},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        results_.clear();
        QElapsedTimer took;
        took.start();
        click(c.button);
        const qint64 elapsed = took.elapsed();
        ASSERT_EQ(results_.size(), 1u);
        EXPECT_EQ(results_[0].title, c.title);
        EXPECT_EQ(results_[0].line1, c.line1);
        EXPECT_EQ(results_[0].line2, c.line2);
        EXPECT_GE(elapsed, c.bound.count() - 100);
        EXPECT_LT(elapsed, c.bound.count() + 1500);
        EXPECT_TRUE(dlg_->isConnected());
    }
}

// The device goes away in the middle of a Write: the window shows the loss as soon as the
// conversation has ended, behind the failure dialog that reports it.
TEST_F(Operations, LossDuringWriteShowsDisconnectedBehindTheFailure) {
    sim::Faults drop;
    drop.hangUpAfter = 5;
    connectTo(sampleDeviceState(), drop);
    bool disconnectedWhileOpen = false;
    dialogs_.onDialog = [&](QDialog& dialog) {
        if (auto* result = qobject_cast<CWriteResultDlg*>(&dialog)) {
            results_.push_back(
                {result->windowTitle(), result->line(1), result->line(2), result->line(3)});
            disconnectedWhileOpen =
                QTest::qWaitFor([&] { return edit(IDC_STATUS)->text() == "Disconnected"; }, 2000);
        }
    };
    click(IDC_WRITE);
    ASSERT_EQ(results_.size(), 1u);
    EXPECT_EQ(results_[0].title, "Write Result");
    EXPECT_EQ(results_[0].line1, "Write Failed");
    EXPECT_TRUE(disconnectedWhileOpen);
    EXPECT_FALSE(dlg_->isConnected());
}

// The device is unplugged while a dialog that ends an operation is open: the window shows
// "Disconnected" behind it before it closes, and no attempt reconnects under it.
TEST_F(Operations, LossUnderAnOpenDialogIsShownBeforeItCloses) {
    struct Case {
        const char* name;
        int button;
        bool rejectedEntry;  // the validation box rather than the result dialog
    };
    const Case cases[] = {
        {"Write result", IDC_WRITE, false},
        {"Reload result", IDC_RELOAD, false},
        {"Erase result", IDC_ERASE, false},
        {"validation box", IDC_WRITE, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dlg_.reset();
        device_.reset();
        connectTo();
        if (c.rejectedEntry) {
            edit(IDC_APN3)->setText("with space");
        }
        int shown = 0;
        bool disconnectedWhileOpen = false;
        bool connectedAfterReplug = true;
        auto underTheDialog = [&] {
            ++shown;
            EXPECT_TRUE(dlg_->isModalOpen());
            EXPECT_EQ(edit(IDC_STATUS)->text(), "Connected");
            device_->hangUp();
            disconnectedWhileOpen =
                QTest::qWaitFor([&] { return edit(IDC_STATUS)->text() == "Disconnected"; }, 2000);
            EXPECT_TRUE(device_->replug());
            connectedAfterReplug = QTest::qWaitFor([&] { return dlg_->isConnected(); }, 1500);
        };
        dialogs_.onDialog = [&](QDialog&) { underTheDialog(); };
        dialogs_.onMessage = [&](const QString&) { underTheDialog(); };
        click(c.button);
        EXPECT_EQ(shown, 1);
        EXPECT_TRUE(disconnectedWhileOpen);
        EXPECT_FALSE(connectedAfterReplug);
        EXPECT_FALSE(dlg_->control(IDC_WRITE)->isEnabled());
        EXPECT_TRUE(waitConnected(true, 2500));
        dialogs_.onDialog = nullptr;
        dialogs_.onMessage = nullptr;
    }
}

// While a Write waits for the device the window keeps handling events, but another operation
// cannot start inside it: clicks that get through are refused until the Write has ended.
TEST_F(Operations, NoSecondOperationStartsWhileOneWaits) {
    sim::Faults slow;
    slow.replyDelay = 30ms;
    connectTo();
    std::string error;
    ASSERT_TRUE(device_->setFaults(slow, error)) << error;
    int ticksDuringWrite = 0;
    QTimer meddler;
    meddler.setInterval(50);
    QObject::connect(&meddler, &QTimer::timeout, [&] {
        if (dlg_->isBusy()) {
            ++ticksDuringWrite;
            click(IDC_RELOAD);
            click(IDC_ERASE);
            click(IDC_WRITE);
        }
    });
    meddler.start();
    click(IDC_WRITE);
    meddler.stop();
    EXPECT_GT(ticksDuringWrite, 3);
    ASSERT_EQ(results_.size(), 1u);
    EXPECT_EQ(results_[0].line2, "Write Successfully");
    const std::vector<std::string> sent = device_->received();
    EXPECT_EQ(sent.size(), 25u);
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "get\r"), 0);
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "fe\r"), 0);
}

// The values --simulate starts with pass every entry check, so a new user's first Write, Reload
// and Erase all succeed.
TEST(DemonstrationValues, PassTheEntryChecks) {
    const sim::DeviceState demo = sim::demonstrationState();
    EnteredTexts texts;
    for (std::size_t i = 0; i < texts.wwan.size(); ++i) {
        texts.wwan[i] = {QString::fromStdString(demo.wwan[i].apn),
                         QString::fromStdString(demo.wwan[i].user),
                         QString::fromStdString(demo.wwan[i].pw)};
    }
    texts.ssid = QString::fromStdString(demo.wifi.ssid);
    texts.passphrase = QString::fromStdString(demo.wifi.pw);
    texts.keyFormat = std::stoi(demo.wifi.pwType);
    const std::optional<EntryRejection> rejected = firstRejectedEntry(texts);
    EXPECT_FALSE(rejected.has_value()) << rejected->message.toStdString();
}

TEST_F(Operations, DemonstrationDeviceTakesWriteReloadAndEraseAsItStarts) {
    connectTo(sim::demonstrationState());
    click(IDC_WRITE);
    EXPECT_EQ(device_->committedState().wifi.ssid, sim::demonstrationState().wifi.ssid);
    click(IDC_RELOAD);
    click(IDC_ERASE);
    EXPECT_TRUE(dialogs_.messages.empty());
    ASSERT_EQ(results_.size(), 3u);
    EXPECT_EQ(results_[0].line2, "Write Successfully");
    EXPECT_EQ(results_[1].line2, "Reload Successfully");
    EXPECT_EQ(results_[2].line2, "Erase Successfully");
}

TEST(WriteResultDialog, ShowsItsTextsAndClosesWithEscapeOrOk) {
    CWriteResultDlg dlg;
    dlg.SetResultText("Reload Result", "", "Reload Successfully", "");
    dlg.show();
    EXPECT_EQ(dlg.windowTitle(), "Reload Result");
    EXPECT_EQ(dlg.line(2), "Reload Successfully");
    for (const int id : {IDC_RESULT_LINE1, IDC_RESULT_LINE2, IDC_RESULT_LINE3}) {
        auto* label = qobject_cast<QLabel*>(dlg.control(id));
        ASSERT_NE(label, nullptr);
        EXPECT_TRUE(label->alignment() & Qt::AlignHCenter);
    }
    EXPECT_FALSE(dlg.windowFlags() & Qt::WindowCloseButtonHint);
    QDir().mkpath(QStringLiteral(KVU_ARTIFACT_DIR));
    EXPECT_TRUE(dlg.grab().save(QStringLiteral(KVU_ARTIFACT_DIR "/result-dialog.png"), "PNG"));
    QTest::keyClick(&dlg, Qt::Key_Escape);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), QDialog::Rejected);

    // A failure shows the command as sent, closing CR included.
    dlg.SetResultText("Write Result", "Write Failed", "fw\r", "/dev/ttyACM0 Write Error.");
    dlg.show();
    EXPECT_EQ(dlg.line(2), "fw\r");
    EXPECT_TRUE(
        dlg.grab().save(QStringLiteral(KVU_ARTIFACT_DIR "/result-dialog-failed.png"), "PNG"));
    QTest::mouseClick(dlg.control(IDOK), Qt::LeftButton);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
}

// Laid out in its template font, "MS Shell Dlg" 8 pt, in the units of the font that is actually
// drawn: on a system without that family, the substitute the font system picked.
TEST(WriteResultDialog, IsLaidOutInTheUnitsOfItsTemplateFont) {
    CWriteResultDlg dlg;
    dlg.SetResultText("Write Result", "", "Write Successfully", "");
    dlg.show();
    EXPECT_EQ(dlg.font().family(), "MS Shell Dlg");
    EXPECT_EQ(dlg.font().pointSize(), 8);
    auto* line = qobject_cast<QLabel*>(dlg.control(IDC_RESULT_LINE2));
    ASSERT_NE(line, nullptr);
    // What the label draws with, measured as the dialog manager measures a font.
    const QFontMetrics drawn = line->fontMetrics();
    const DialogBaseUnits units = baseUnitsFromMetrics(
        drawn.horizontalAdvance(QString::fromLatin1(kBaseUnitAlphabet)), drawn.height());
    const QFontInfo used(line->font());
    SCOPED_TRACE(testing::Message()
                 << "drawn with " << used.family().toStdString() << " " << used.pointSizeF()
                 << " pt, base units " << units.x << "x" << units.y);
    ASSERT_GT(units.x, 0);
    EXPECT_EQ(dlg.size(), QSize(dluToPixelsX(237, units), dluToPixelsY(80, units)));
    const std::pair<int, DluRect> rects[] = {{IDC_RESULT_LINE1, {21, 12, 192, 8}},
                                             {IDC_RESULT_LINE2, {21, 24, 192, 8}},
                                             {IDC_RESULT_LINE3, {21, 36, 192, 8}},
                                             {IDOK, {96, 54, 50, 14}}};
    for (const auto& [id, rect] : rects) {
        SCOPED_TRACE(id);
        EXPECT_EQ(dlg.control(id)->geometry(), dluToPixels(rect, units));
    }
    // The main window's font is another one: at 9 pt its units would be wider or taller.
    const DialogBaseUnits windowUnits = baseUnitsForFont(dialogFont());
    EXPECT_TRUE(windowUnits.x != units.x || windowUnits.y != units.y)
        << windowUnits.x << "x" << windowUnits.y;
}

}  // namespace
}  // namespace kvu::test
