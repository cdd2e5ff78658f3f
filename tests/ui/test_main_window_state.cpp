// The main window right after start: enabled states, group enabling, menu, fonts, frame.
#include <QAction>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>

#include <set>
#include <vector>

#include "tests/support/log_capture.h"
#include "tests/ui/main_window_fixture.h"
#include "ui/dialog_font.h"
#include "ui/dialog_units.h"

namespace kvu::test {
namespace {

// Labels, edits, lists and preset buttons of each group, index nNo.
const std::vector<std::vector<int>> kGroupControls = {
    {1000, 1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1010, 1011},
    {1012, 1013, 1014, 1015, 1016, 1019, 1020, 1021, 1022, 1023, 1017, 1018},
    {1024, 1025, 1026, 1027, 1028, 1031, 1032, 1033, 1034, 1035, 1029, 1030},
    {1036, 1037, 1038, 1039, 1040, 1043, 1044, 1045, 1046, 1047, 1041, 1042},
    {1055, 1056, 1063, 1060, 1057, 1058, 1064, 1059, 1053, 1054},
};
const std::vector<int> kMainButtons = {1062, 1050, 1051};

std::set<int> enabledAmong(const CKVUUtilityDlg& dlg, const std::vector<std::vector<int>>& sets) {
    std::set<int> enabled;
    for (const auto& ids : sets) {
        for (const int id : ids) {
            if (dlg.control(id)->isEnabled()) {
                enabled.insert(id);
            }
        }
    }
    return enabled;
}

}  // namespace

TEST_F(MainWindowTest, StartsInTheDisconnectedDisplay) {
    EXPECT_EQ(qobject_cast<QLineEdit*>(control(1052))->text(), QStringLiteral("Disconnected"));
    EXPECT_EQ(qobject_cast<QLineEdit*>(control(1061))->text(), QString());
    EXPECT_TRUE(enabledAmong(*dlg_, kGroupControls).empty());
    for (const int id : kMainButtons) {
        EXPECT_FALSE(control(id)->isEnabled()) << id;
    }
    for (const int id : {1048, 1049, 1065}) {
        EXPECT_FALSE(control(id)->isEnabled()) << id;
    }
    // The WWAN frames stay enabled; the Wi-Fi frame is disabled from the start.
    for (const int id : {1073, 1074, 1075, 1076}) {
        EXPECT_TRUE(control(id)->isEnabled()) << id;
    }
    EXPECT_FALSE(control(1077)->isEnabled());
    EXPECT_TRUE(control(1052)->isEnabled());

    struct MenuState {
        int id;
        bool enabled;
    };
    for (const MenuState m : {MenuState{32773, false}, MenuState{57603, false},
                              MenuState{32771, true}, MenuState{32772, true}}) {
        ASSERT_NE(dlg_->menuAction(m.id), nullptr) << m.id;
        EXPECT_EQ(dlg_->menuAction(m.id)->isEnabled(), m.enabled) << m.id;
    }
}

TEST_F(MainWindowTest, EnableGroupUiSwitchesExactlyThatGroup) {
    for (int nNo = 0; nNo < 5; ++nNo) {
        SCOPED_TRACE(nNo);
        dlg_->EnableGroupUI(nNo, true);
        const std::set<int> want(kGroupControls[nNo].begin(), kGroupControls[nNo].end());
        EXPECT_EQ(enabledAmong(*dlg_, kGroupControls), want);
        // Frames are never touched.
        for (const int id : {1073, 1074, 1075, 1076}) {
            EXPECT_TRUE(control(id)->isEnabled()) << id;
        }
        EXPECT_FALSE(control(1077)->isEnabled());
        dlg_->EnableGroupUI(nNo, false);
        EXPECT_TRUE(enabledAmong(*dlg_, kGroupControls).empty());
    }
}

TEST_F(MainWindowTest, EnableGroupUiOutsideTheGroupsOnlyLogs) {
    for (int nNo = 0; nNo < 5; ++nNo) {
        dlg_->EnableGroupUI(nNo, true);
    }
    for (const int nNo : {5, -1}) {
        SCOPED_TRACE(nNo);
        LogCapture log;
        dlg_->EnableGroupUI(nNo, false);
        EXPECT_EQ(log.texts(), (std::vector<std::string>{"CKVUUtilityDlg::EnableGroupUI nNo:" +
                                                         std::to_string(nNo + 1)}));
        EXPECT_EQ(enabledAmong(*dlg_, kGroupControls).size(), 4u * 12u + 10u);
    }
}

TEST_F(MainWindowTest, MainButtonsAndLoadSaveFollowTheirSwitches) {
    LogCapture log;
    dlg_->MainButtonsEnable(true);
    for (const int id : kMainButtons) {
        EXPECT_TRUE(control(id)->isEnabled()) << id;
    }
    dlg_->LoadSaveMenuEnable(true);
    EXPECT_TRUE(dlg_->menuAction(32773)->isEnabled());
    EXPECT_TRUE(dlg_->menuAction(57603)->isEnabled());
    dlg_->LoadSaveMenuEnable(false);
    EXPECT_FALSE(dlg_->menuAction(32773)->isEnabled());
    EXPECT_FALSE(dlg_->menuAction(57603)->isEnabled());
    // Exit and About are never switched.
    EXPECT_TRUE(dlg_->menuAction(32771)->isEnabled());
    EXPECT_TRUE(dlg_->menuAction(32772)->isEnabled());
    dlg_->MainButtonsEnable(false);
    for (const int id : kMainButtons) {
        EXPECT_FALSE(control(id)->isEnabled()) << id;
    }
    EXPECT_TRUE(log.contains(spdlog::level::debug, "CKVUUtilityDlg::MainButtonsEnable"));
    EXPECT_TRUE(log.contains(spdlog::level::debug, "CKVUUtilityDlg::LoadSaveMenuEnable"));
}

TEST_F(MainWindowTest, MenuBarHoldsTheItemsInOrder) {
    const QList<QAction*> menus = dlg_->menuBar()->actions();
    ASSERT_EQ(menus.size(), 2);
    EXPECT_EQ(menus[0]->text(), QStringLiteral("File (&F)"));
    EXPECT_EQ(menus[1]->text(), QStringLiteral("About (&A)"));

    struct Item {
        int id;
        const char* text;
    };
    const std::vector<Item> file = {
        {32773, "Load (&L)"}, {57603, "Save (&S)"}, {32771, "Exit (&X)"}};
    std::vector<QAction*> items;
    for (QAction* a : menus[0]->menu()->actions()) {
        if (!a->isSeparator()) {
            items.push_back(a);
        }
    }
    ASSERT_EQ(items.size(), file.size());
    for (std::size_t i = 0; i < file.size(); ++i) {
        SCOPED_TRACE(file[i].id);
        EXPECT_EQ(items[i], dlg_->menuAction(file[i].id));
        EXPECT_EQ(items[i]->property("commandId").toInt(), file[i].id);
        EXPECT_EQ(items[i]->text(), QString::fromUtf8(file[i].text));
    }
    // Load and Save are the first two positions, which is how they are switched.
    EXPECT_EQ(menus[0]->menu()->actions()[0], dlg_->menuAction(32773));
    EXPECT_EQ(menus[0]->menu()->actions()[1], dlg_->menuAction(57603));
    const QList<QAction*> about = menus[1]->menu()->actions();
    ASSERT_EQ(about.size(), 1);
    EXPECT_EQ(about[0]->text(), QStringLiteral("About Nalto KVU Utility (&A)"));
    EXPECT_EQ(about[0], dlg_->menuAction(32772));
}

TEST_F(MainWindowTest, StatusFontIsTwiceTheDialogFont) {
    const QFont dialog = dlg_->font();
    const QFont status = control(1052)->font();
    ASSERT_NE(dlg_->statusFont(), nullptr);
    EXPECT_EQ(status, *dlg_->statusFont());
    EXPECT_EQ(status.family(), dialog.family());
    ASSERT_GT(dialog.pointSizeF(), 0);
    QFont doubled = dialog;
    doubled.setPointSizeF(2 * dialog.pointSizeF());
    auto* edit = qobject_cast<QLineEdit*>(control(1052));
    const int room = edit->contentsRect().width() - 4;
    if (QFontMetrics(doubled).horizontalAdvance(QStringLiteral("Disconnected")) <= room) {
        EXPECT_DOUBLE_EQ(status.pointSizeF(), 2 * dialog.pointSizeF());
    } else {
        // A font wider than the dialog font: the largest half-point size that fits.
        EXPECT_LT(status.pointSizeF(), 2 * dialog.pointSizeF());
        EXPECT_GT(status.pointSizeF(), dialog.pointSizeF());
        EXPECT_LE(QFontMetrics(status).horizontalAdvance(QStringLiteral("Disconnected")), room);
        QFont bigger = status;
        bigger.setPointSizeF(status.pointSizeF() + 0.5);
        EXPECT_GT(QFontMetrics(bigger).horizontalAdvance(QStringLiteral("Disconnected")), room);
    }
    EXPECT_EQ(qobject_cast<QLineEdit*>(control(1052))->alignment() & Qt::AlignHorizontal_Mask,
              Qt::AlignRight);
    // Other controls keep the dialog font.
    EXPECT_EQ(control(1061)->font(), dialog);
}

TEST_F(MainWindowTest, GroupFontsAreKeptForCaptions) {
    ASSERT_NE(dlg_->groupFont(), nullptr);
    ASSERT_NE(dlg_->boldFont(), nullptr);
    EXPECT_EQ(*dlg_->groupFont(), control(1073)->font());
    EXPECT_EQ(dlg_->boldFont()->weight(), QFont::Black);
    EXPECT_EQ(dlg_->boldFont()->family(), dlg_->groupFont()->family());
    EXPECT_EQ(dlg_->boldFont()->pointSizeF(), dlg_->groupFont()->pointSizeF());
    // Not applied at start-up: the captions keep the dialog font.
    EXPECT_NE(control(1073)->font().weight(), QFont::Black);
}

TEST_F(MainWindowTest, WindowIsAFixedSizeDialogWithTheProgramCaption) {
    EXPECT_EQ(dlg_->windowTitle(), QStringLiteral("Nalto KVU Utility"));
    EXPECT_EQ(dlg_->font(), ui::dialogFont());
    const Qt::WindowFlags flags = dlg_->windowFlags();
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    dlg_->show();
    const QWidget* client = dlg_->findChild<QWidget*>(QStringLiteral("client"));
    ASSERT_NE(client, nullptr);
    const ui::DialogBaseUnits units = dlg_->baseUnits();
    EXPECT_EQ(client->size(), QSize(ui::dluToPixelsX(528, units), ui::dluToPixelsY(280, units)));
    EXPECT_EQ(dlg_->minimumSize(), dlg_->maximumSize());
    EXPECT_EQ(dlg_->height(), client->height() + dlg_->menuBar()->height());
}

TEST_F(MainWindowTest, BaseUnitsComeFromTheDialogFont) {
    const QFontMetrics metrics(dlg_->font());
    const int alphabet = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    EXPECT_EQ(dlg_->baseUnits().x, (alphabet / 26 + 1) / 2);
    EXPECT_EQ(dlg_->baseUnits().y, metrics.height());
}

}  // namespace kvu::test
