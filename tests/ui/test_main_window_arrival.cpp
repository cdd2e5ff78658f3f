// The window hears of a port's arrival and connects at once, without waiting for its one-second
// timer: here through the watch on the --port path's folder, which makes the same call as the
// udev monitor. With the timer stopped, only an arrival can make the window connect.
#include <QElapsedTimer>

#include <memory>
#include <string>
#include <vector>

#include "discovery/port_arrivals.h"
#include "tests/support/log_capture.h"
#include "tests/ui/device_window_fixture.h"
#include "ui/control_ids.h"

namespace kvu::test {
namespace {

using namespace kvu::ui;

class ArrivalWindow : public DeviceWindowTest {
  protected:
    // The window as the program wires it for --port, then connected by its timer.
    void connectFollowingThePath(bool follow = true) {
        startDevice();
        openWindow();
        if (follow) {
            ASSERT_TRUE(arrivals_.watchPath(linkPath_));
            dlg_->followArrivals(arrivals_);
        }
        ASSERT_TRUE(waitConnected());
    }
    void stopTheTimer() { dlg_->killTimer(dlg_->timerId()); }
    // Pulls the device and waits until the window has seen it go.
    void unplug() {
        device_->hangUp();
        ASSERT_TRUE(waitConnected(false, 2000));
        device_->clearReceived();
    }

    PortArrivals arrivals_;
};

struct ReplugCase {
    const char* name;
    bool follow;  // the window follows the path's arrivals
};

class ArrivalReplug : public ArrivalWindow, public ::testing::WithParamInterface<ReplugCase> {};

TEST_P(ArrivalReplug, ReplugBehindThePortPathConnectsAtOnceOnlyThroughTheArrival) {
    connectFollowingThePath(GetParam().follow);
    stopTheTimer();
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        unplug();
        QElapsedTimer back;
        back.start();
        ASSERT_TRUE(device_->replug());
        const bool connected = waitConnected(true, 1500);
        if (!GetParam().follow) {
            // Nothing else looks for the device while the timer is stopped.
            EXPECT_FALSE(connected);
            return;
        }
        ASSERT_TRUE(connected);
        // Well under the timer's second: the window starts talking as the link appears.
        EXPECT_LT(back.elapsed(), 400);
        EXPECT_EQ(device_->received(), (std::vector<std::string>{"ver\r", "serial\r", "get\r"}));
        EXPECT_EQ(edit(IDC_STATUS)->text(), "Connected");
    }
}

INSTANTIATE_TEST_SUITE_P(Window, ArrivalReplug,
                         ::testing::Values(ReplugCase{"FollowingArrivals", true},
                                           ReplugCase{"TimerStoppedAndNoArrivals", false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ArrivalWindow, ArrivalUnderADialogIsLeftToTheTimerAfterIt) {
    connectFollowingThePath();
    unplug();
    bool connectedUnderTheDialog = true;
    dialogs_.onDialog = [&](QDialog&) {
        ASSERT_TRUE(dlg_->isModalOpen());
        ASSERT_TRUE(device_->replug());
        // Longer than the timer's period: neither the arrival nor a tick connects now.
        connectedUnderTheDialog = QTest::qWaitFor([&] { return dlg_->isConnected(); }, 1300);
    };
    dlg_->OnAboutAbout();
    dialogs_.onDialog = nullptr;
    EXPECT_FALSE(connectedUnderTheDialog);
    EXPECT_TRUE(device_->received().empty());
    // After the dialog, the next tick connects.
    EXPECT_TRUE(waitConnected(true, 1500));
}

TEST_F(ArrivalWindow, PortThatCannotBeOpenedYetIsTriedOnceThenLeftToTheTimer) {
    connectFollowingThePath();
    stopTheTimer();
    unplug();
    LogCapture log;
    ASSERT_TRUE(device_->replug());
    // Another holder takes the line before the window hears of it.
    SerialChannel holder;
    ASSERT_TRUE(holder.initSerial(linkPath_));
    QTest::qWait(1000);
    int failures = 0;
    for (const LogLine& line : log.lines()) {
        failures += line.level == spdlog::level::err && line.text == "InitSerial Failure.";
    }
    EXPECT_EQ(failures, 1);  // one arrival, one attempt: no retry loop
    EXPECT_TRUE(log.anyContains("CKVUUtilityDlg::OnPortArrival"));
    EXPECT_FALSE(dlg_->isConnected());
    holder.uninitSerial();
}

}  // namespace
}  // namespace kvu::test
