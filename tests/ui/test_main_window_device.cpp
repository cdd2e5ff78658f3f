// The window with a device: connecting by itself, the device box, the five groups filled from
// the device, the loss and return of the device, and the operator's edits marking groups.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

#include <array>

#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/log_capture.h"
#include "tests/ui/device_window_fixture.h"
#include "tests/ui/group_control_ids.h"
#include "ui/control_ids.h"

namespace kvu::test {
namespace {

using namespace kvu::ui;

const char* const kCaptions[] = {"WWAN1", "WWAN2", "WWAN3", "WWAN4", "Wi-Fi"};

class DeviceWindow : public DeviceWindowTest {
  protected:
    // Every group shows the device's values and none is marked.
    void expectGroupsShow(const sim::DeviceState& s) {
        for (std::size_t i = 0; i < 4; ++i) {
            SCOPED_TRACE(i + 1);
            EXPECT_EQ(edit(kApn[i])->text().toStdString(), s.wwan[i].apn);
            EXPECT_EQ(edit(kUser[i])->text().toStdString(), s.wwan[i].user);
            EXPECT_EQ(edit(kPassword[i])->text().toStdString(), s.wwan[i].pw);
            EXPECT_EQ(combo(kPdp[i])->currentIndex(), std::stoi(s.wwan[i].pdp));
            EXPECT_EQ(combo(kAuth[i])->currentIndex(), std::stoi(s.wwan[i].auth));
        }
        EXPECT_EQ(edit(IDC_SSID)->text().toStdString(), s.wifi.ssid);
        EXPECT_EQ(edit(IDC_PASSPHRASE)->text().toStdString(), s.wifi.pw);
        EXPECT_EQ(combo(IDC_SECURITY)->currentIndex(), std::stoi(s.wifi.sec));
        EXPECT_EQ(combo(IDC_KEYFORMAT)->currentIndex(), std::stoi(s.wifi.pwType));
        expectMarked({false, false, false, false, false});
    }

    void expectMarked(const std::array<bool, 5>& marked) {
        for (int nNo = 0; nNo < 5; ++nNo) {
            SCOPED_TRACE(kCaptions[nNo]);
            const bool on = marked[static_cast<std::size_t>(nNo)];
            EXPECT_EQ(dlg_->isChanged(nNo), on);
            QGroupBox* frame = box(kGroupBoxes[static_cast<std::size_t>(nNo)]);
            const QString caption = QString::fromUtf8(kCaptions[nNo]);
            EXPECT_EQ(frame->title(), on ? caption + " (Changed)" : caption);
            EXPECT_EQ(frame->font().weight(), on ? QFont::Black : dlg_->groupFont()->weight());
        }
    }

    void expectDeviceBoxEnabled(bool enabled) {
        for (const int id :
             {IDC_FW_VERSION, IDC_MCUID, IDC_SERIAL, IDC_ERASE, IDC_RELOAD, IDC_WRITE, IDC_APN1,
              IDC_PASSWORD4, IDC_SSID, IDC_KEYFORMAT, IDC_LOADPRESET1, IDC_SAVEPRESET5}) {
            EXPECT_EQ(dlg_->control(id)->isEnabled(), enabled) << id;
        }
        const QList<QAction*> file = dlg_->menuBar()->actions().first()->menu()->actions();
        EXPECT_EQ(file[0]->isEnabled(), enabled);
        EXPECT_EQ(file[1]->isEnabled(), enabled);
    }
};

TEST_F(DeviceWindow, ConnectsByItselfAboutASecondAfterOpening) {
    startDevice();
    openWindow();
    // The window sets up its own log file; what it wrote so far is there.
    spdlog::default_logger()->flush();
    QFile file(scratch_.filePath(QStringLiteral("Nalto_KVU_Utility_log.txt")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(
        file.readAll().contains(QStringLiteral("[info] CKVUUtilityDlg::OnInitDialog SetTimer:%1")
                                    .arg(dlg_->timerId())
                                    .toUtf8()));
    EXPECT_NE(dlg_->timerId(), 0);
    LogCapture log;
    ASSERT_TRUE(waitConnected());
    const qint64 elapsed = started_.elapsed();
    // The first look comes with the first tick, one second after the window opened.
    EXPECT_GE(elapsed, 900);
    EXPECT_LT(elapsed, 2500);

    EXPECT_EQ(edit(IDC_STATUS)->text(), "Connected");
    EXPECT_EQ(edit(IDC_COMPORT)->text(), "(" + linkPath_ + ")");
    EXPECT_EQ(edit(IDC_FW_VERSION)->text(), "3.2.1");
    EXPECT_EQ(edit(IDC_MCUID)->text(), "00AB12CD");
    EXPECT_EQ(edit(IDC_SERIAL)->text(), "KV000777");
    expectDeviceBoxEnabled(true);
    expectGroupsShow(sampleDeviceState());
    EXPECT_EQ(QApplication::focusWidget(), dlg_->control(IDC_LOADPRESET1));

    EXPECT_TRUE(log.contains(spdlog::level::info, "CKVUUtilityDlg::DisplayKvuInfo: connect"));
    EXPECT_TRUE(log.contains(spdlog::level::info, "Display WWAN 2 APN apn2.example"));
    EXPECT_TRUE(log.contains(spdlog::level::info, "Display WWAN 2 password ********"));
    EXPECT_TRUE(log.contains(spdlog::level::info, "Display WiFi passphrase ********"));
    EXPECT_TRUE(
        log.contains(spdlog::level::debug, "CKVUUtilityDlg::OnEnChangeWifi m_bChangeByCode"));
    EXPECT_FALSE(log.anyContains("-secret"));
    EXPECT_FALSE(log.anyContains("Phrase-Canary"));
}

TEST_F(DeviceWindow, LossShowsDisconnectedAndReturnReconnectsAndRereads) {
    startDevice();
    openWindow();
    ASSERT_TRUE(waitConnected());
    // An edit that was never written: the return of the device replaces it.
    QTest::keyClicks(edit(IDC_APN1), "-edited");
    expectMarked({true, false, false, false, false});

    LogCapture log;
    device_->hangUp();
    ASSERT_TRUE(waitConnected(false, 2000));
    EXPECT_TRUE(log.contains(spdlog::level::info, "CKVUUtilityDlg::OnCloseKvuSerial"));
    EXPECT_TRUE(log.contains(spdlog::level::info, "CKVUUtilityDlg::DisplayKvuInfo: disconnect"));
    EXPECT_EQ(edit(IDC_STATUS)->text(), "Disconnected");
    EXPECT_EQ(edit(IDC_COMPORT)->text(), "");
    // Greyed but still readable.
    EXPECT_EQ(edit(IDC_FW_VERSION)->text(), "3.2.1");
    EXPECT_EQ(edit(IDC_MCUID)->text(), "00AB12CD");
    EXPECT_EQ(edit(IDC_SERIAL)->text(), "KV000777");
    expectDeviceBoxEnabled(false);
    EXPECT_FALSE(dlg_->link().channel().isOpen());
    // Disabling leaves the mark alone.
    expectMarked({true, false, false, false, false});

    device_->clearReceived();
    ASSERT_TRUE(device_->replug());
    QElapsedTimer back;
    back.start();
    ASSERT_TRUE(waitConnected(true, 3000));
    EXPECT_LT(back.elapsed(), 2500);
    EXPECT_EQ(device_->received(), (std::vector<std::string>{"ver\r", "serial\r", "get\r"}));
    expectDeviceBoxEnabled(true);
    expectGroupsShow(sampleDeviceState());
}

TEST_F(DeviceWindow, OperatorEditsMarkOnlyTheirGroup) {
    startDevice();
    openWindow();
    ASSERT_TRUE(waitConnected());
    LogCapture log;

    QTest::keyClicks(edit(IDC_USERNAME3), "x");
    expectMarked({false, false, true, false, false});

    // A list choice by the operator marks; a selection made by code does not.
    combo(IDC_AUTHTYPE2)->setCurrentIndex(0);
    expectMarked({false, false, true, false, false});
    combo(IDC_AUTHTYPE2)->setFocus();
    QTest::keyClick(combo(IDC_AUTHTYPE2), Qt::Key_Down);
    expectMarked({false, true, true, false, false});

    combo(IDC_KEYFORMAT)->setFocus();
    QTest::keyClick(combo(IDC_KEYFORMAT), Qt::Key_Down);
    expectMarked({false, true, true, false, true});
    QTest::keyClicks(edit(IDC_PASSPHRASE), "ab");
    int firstMark = 0;
    int later = 0;
    for (const std::string& text : log.texts()) {
        firstMark += text == "CKVUUtilityDlg::OnEnChangeWifi bChanged = TRUE";
        later += text == "CKVUUtilityDlg::OnEnChangeWifi bChanged";
    }
    EXPECT_EQ(firstMark, 1);
    EXPECT_EQ(later, 2);

    // Typing and deleting again leaves the group marked: the flag records that a change happened.
    QTest::keyClick(edit(IDC_APN4), Qt::Key_End);
    QTest::keyClick(edit(IDC_APN4), Qt::Key_A);
    QTest::keyClick(edit(IDC_APN4), Qt::Key_Backspace);
    EXPECT_EQ(edit(IDC_APN4)->text(), "apn4.example");
    expectMarked({false, true, true, true, true});

    // A picture of the connected window with marked groups, for the eye.
    QDir().mkpath(QStringLiteral(KVU_ARTIFACT_DIR));
    EXPECT_TRUE(dlg_->grab().save(QStringLiteral(KVU_ARTIFACT_DIR "/connected-window.png"), "PNG"));
}

TEST_F(DeviceWindow, DigitFieldsOutsideTheirListShowNoSelectionAndReadBackAsMinusOne) {
    sim::DeviceState s = sampleDeviceState();
    s.wwan[0].auth = "5";
    s.wwan[1].pdp = "9";
    s.wifi.sec = "2";
    s.wwan[2].pdp = "x";  // no leading digit reads as 0
    startDevice(s);
    openWindow();
    ASSERT_TRUE(waitConnected());
    EXPECT_EQ(combo(IDC_AUTHTYPE1)->currentIndex(), -1);
    EXPECT_EQ(combo(IDC_PDPTYPE2)->currentIndex(), -1);
    EXPECT_EQ(combo(IDC_SECURITY)->currentIndex(), -1);
    EXPECT_EQ(combo(IDC_PDPTYPE3)->currentIndex(), 0);
    for (int nNo = 0; nNo < 5; ++nNo) {
        dlg_->GetDataFromGroup(nNo);
    }
    EXPECT_EQ(dlg_->wwanProfile(0).authType, "-1");
    EXPECT_EQ(dlg_->wwanProfile(1).pdpType, "-1");
    EXPECT_EQ(dlg_->wifiProfile().security, "-1");
    EXPECT_EQ(dlg_->wwanProfile(2).pdpType, "0");
    EXPECT_EQ(dlg_->wwanProfile(0).pdpType, "2");
    expectMarked({false, false, false, false, false});
}

TEST_F(DeviceWindow, GroupCallsOutsideTheFiveGroupsOnlyLog) {
    startDevice();
    openWindow();
    ASSERT_TRUE(waitConnected());
    LogCapture log;
    for (const int nNo : {-1, 5}) {
        dlg_->SetDataToGroup(nNo);
        dlg_->GetDataFromGroup(nNo);
        dlg_->EnableGroupUI(nNo, false);
    }
    EXPECT_EQ(log.texts(), (std::vector<std::string>{
                               "CKVUUtilityDlg::SetDataToGroup nNo:0",
                               "CKVUUtilityDlg::GetDataFromGroup nNo:0",
                               "CKVUUtilityDlg::EnableGroupUI nNo:0",
                               "CKVUUtilityDlg::SetDataToGroup nNo:6",
                               "CKVUUtilityDlg::GetDataFromGroup nNo:6",
                               "CKVUUtilityDlg::EnableGroupUI nNo:6",
                           }));
    expectGroupsShow(sampleDeviceState());
}

// A device that never answers: each attempt ends within the reply bound, the port is released
// every time, and the window stays disconnected and responsive.
TEST_F(DeviceWindow, SilentDeviceNeverLeavesThePortOpen) {
    sim::Faults silent;
    silent.silentAll = true;
    startDevice(sampleDeviceState(), silent);
    openWindow();
    LogCapture log;
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return log.anyContains("no answer to the version query"); }, 6000));
    EXPECT_FALSE(dlg_->isConnected());
    EXPECT_EQ(edit(IDC_STATUS)->text(), "Disconnected");
    EXPECT_FALSE(dlg_->link().channel().isOpen());
    EXPECT_TRUE(portIsFree());
    expectDeviceBoxEnabled(false);

    std::string error;
    ASSERT_TRUE(device_->setFaults({}, error)) << error;
    ASSERT_TRUE(waitConnected(true, 6000));
    expectGroupsShow(sampleDeviceState());
}

// While the connection sequence waits for the device, the window keeps handling its timers and
// paint events, but the window does not close under the conversation: it closes after it.
TEST_F(DeviceWindow, CloseDuringTheConnectionWaitsForItsEnd) {
    sim::Faults slow;
    slow.replyDelay = std::chrono::milliseconds(400);
    startDevice(sampleDeviceState(), slow);
    openWindow();
    bool busyAtClose = false;
    bool closedAtOnce = true;
    QTimer closer;
    closer.setInterval(20);
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (dlg_->isBusy()) {
            closer.stop();
            busyAtClose = true;
            dlg_->reject();
            closedAtOnce = !dlg_->isBusy();
        }
    });
    closer.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dlg_->isVisible(); }, 6000));
    EXPECT_TRUE(busyAtClose);
    EXPECT_FALSE(closedAtOnce);
    EXPECT_FALSE(dlg_->link().channel().isOpen());
    EXPECT_TRUE(portIsFree());
}

TEST_F(DeviceWindow, ClosingWhileConnectedReleasesThePort) {
    startDevice();
    openWindow();
    ASSERT_TRUE(waitConnected());
    EXPECT_FALSE(portIsFree());
    dlg_->reject();
    EXPECT_FALSE(dlg_->isVisible());
    EXPECT_FALSE(dlg_->link().channel().isRunning());
    EXPECT_FALSE(dlg_->link().channel().isOpen());
    EXPECT_TRUE(portIsFree());
}

// Root opens any port, so this runs only for an ordinary user (as on a technician's desk).
TEST_F(DeviceWindow, PortWithoutPermissionSaysSoInThePortField) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root may open any port";
    }
    startDevice();
    const std::string line = device_->slavePath();
    ASSERT_EQ(::chmod(line.c_str(), 0), 0);
    openWindow();
    const QString hint = QStringLiteral("(ttyKVU: permission denied)");
    ASSERT_TRUE(QTest::qWaitFor([&] { return edit(IDC_COMPORT)->text() == hint; }, 3000))
        << edit(IDC_COMPORT)->text().toStdString();
    EXPECT_TRUE(edit(IDC_COMPORT)->toolTip().contains(QStringLiteral("dialout")));
    EXPECT_TRUE(edit(IDC_COMPORT)->toolTip().contains(QStringLiteral("udev")));
    EXPECT_FALSE(dlg_->isConnected());
    EXPECT_EQ(edit(IDC_STATUS)->text(), "Disconnected");

    ASSERT_EQ(::chmod(line.c_str(), 0600), 0);
    ASSERT_TRUE(waitConnected(true, 3000));
    EXPECT_EQ(edit(IDC_COMPORT)->text(), "(" + linkPath_ + ")");
    EXPECT_EQ(edit(IDC_COMPORT)->toolTip(), linkPath_);
}

}  // namespace
}  // namespace kvu::test
