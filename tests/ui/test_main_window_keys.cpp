// Keyboard and menu behaviour of the main window: tab order, Enter, Esc, Exit, About.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <vector>

#include "tests/support/log_capture.h"
#include "tests/ui/main_window_fixture.h"
#include "ui/about_dialog.h"

namespace kvu::test {
namespace {

const std::vector<int> kTabOrder = {
    1010, 1011, 1005, 1006, 1007, 1008, 1009,  // WWAN1
    1017, 1018, 1019, 1020, 1021, 1022, 1023,  // WWAN2
    1029, 1030, 1031, 1032, 1033, 1034, 1035,  // WWAN3
    1041, 1042, 1043, 1044, 1045, 1046, 1047,  // WWAN4
    1053, 1054, 1057, 1058, 1064, 1059,        // Wi-Fi
    1062, 1050, 1051,                          // main buttons
};

class ShownMainWindowTest : public MainWindowTest {
  protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        // Keyboard tests need the controls usable, as in the connected display.
        for (int nNo = 0; nNo < 5; ++nNo) {
            dlg_->EnableGroupUI(nNo, true);
        }
        dlg_->MainButtonsEnable(true);
        dlg_->show();
        dlg_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(dlg_.get()));
    }
};

}  // namespace

TEST_F(MainWindowTest, FocusChainFollowsTheResourceOrder) {
    std::vector<int> chain;
    QWidget* start = control(kTabOrder.front());
    QWidget* w = start;
    do {
        const QVariant id = w->property("controlId");
        if (id.isValid() && (w->focusPolicy() & Qt::TabFocus) != 0 && !w->isHidden()) {
            chain.push_back(id.toInt());
        }
        w = w->nextInFocusChain();
    } while (w != start && chain.size() <= kTabOrder.size());
    EXPECT_EQ(chain, kTabOrder);
}

TEST_F(ShownMainWindowTest, TabKeyWalksTheControlsInOrder) {
    control(kTabOrder.front())->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == control(1010); }));
    for (std::size_t i = 1; i < kTabOrder.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget(), control(kTabOrder[i]))
            << "after " << kTabOrder[i - 1];
    }
    // From the last button the focus wraps round to the first.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), control(kTabOrder.front()));
}

TEST_F(ShownMainWindowTest, EnterInAnEditOrListDoesNotClose) {
    QSignalSpy finished(dlg_.get(), &QDialog::finished);
    for (const int id : {1005, 1007, 1057, 1059, 1008, 1064}) {
        SCOPED_TRACE(id);
        control(id)->setFocus();
        ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == control(id); }));
        QTest::keyClick(control(id), Qt::Key_Return);
        QTest::keyClick(control(id), Qt::Key_Enter, Qt::KeypadModifier);
        EXPECT_TRUE(dlg_->isVisible());
    }
    EXPECT_EQ(finished.count(), 0);
}

TEST_F(ShownMainWindowTest, AcceptDoesNotClose) {
    dlg_->accept();
    EXPECT_TRUE(dlg_->isVisible());
}

TEST_F(ShownMainWindowTest, EnterOnAFocusedButtonPressesOnlyThatButton) {
    auto* write = qobject_cast<QPushButton*>(control(1051));
    auto* reload = qobject_cast<QPushButton*>(control(1050));
    QSignalSpy writeClicks(write, &QPushButton::clicked);
    QSignalSpy reloadClicks(reload, &QPushButton::clicked);
    write->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == write; }));
    QTest::keyClick(write, Qt::Key_Return);
    EXPECT_EQ(writeClicks.count(), 1);
    EXPECT_EQ(reloadClicks.count(), 0);
    EXPECT_TRUE(dlg_->isVisible());
}

TEST_F(ShownMainWindowTest, EscapeClosesAtOnceWithUnwrittenEdits) {
    auto* apn = qobject_cast<QLineEdit*>(control(1005));
    apn->setFocus();
    QTest::keyClicks(apn, QStringLiteral("internet"));
    ASSERT_EQ(apn->text(), QStringLiteral("internet"));
    QTest::keyClick(apn, Qt::Key_Escape);
    EXPECT_FALSE(dlg_->isVisible());
    EXPECT_EQ(dlg_->result(), QDialog::Rejected);
    EXPECT_TRUE(dialogs_.messages.empty());
}

TEST_F(ShownMainWindowTest, CloseBoxEndsTheWindow) {
    EXPECT_TRUE(dlg_->close());
    EXPECT_FALSE(dlg_->isVisible());
    EXPECT_EQ(dlg_->result(), QDialog::Rejected);
}

TEST_F(ShownMainWindowTest, FileExitLogsAndEndsTheWindow) {
    LogCapture log;
    dlg_->menuAction(32771)->trigger();
    EXPECT_FALSE(dlg_->isVisible());
    EXPECT_EQ(dlg_->result(), QDialog::Rejected);
    EXPECT_TRUE(log.contains(spdlog::level::debug, "CKVUUtilityDlg::OnFileExit"));
}

TEST_F(MainWindowTest, AboutMenuLogsAndShowsTheAboutBox) {
    LogCapture log;
    QSignalSpy finished(dlg_.get(), &QDialog::finished);
    QString versionText;
    dialogs_.onDialog = [&](QDialog& dialog) {
        if (auto* about = qobject_cast<CAboutDlg*>(&dialog)) {
            if (auto* label = qobject_cast<QLabel*>(about->control(1065))) {
                versionText = label->text();
            }
        }
    };
    dlg_->menuAction(32772)->trigger();
    ASSERT_EQ(dialogs_.dialogs.size(), 1u);
    EXPECT_EQ(dialogs_.dialogs[0].className, "CAboutDlg");
    EXPECT_EQ(dialogs_.dialogs[0].caption, QStringLiteral("About Nalto KVU Utility"));
    EXPECT_EQ(versionText, QStringLiteral("Nalto KVU Utility, Version 2.0"));
    EXPECT_TRUE(log.contains(spdlog::level::debug, "CKVUUtilityDlg::OnAboutAbout"));
    EXPECT_EQ(finished.count(), 0);
}

}  // namespace kvu::test
