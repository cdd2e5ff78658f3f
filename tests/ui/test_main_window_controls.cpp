// Every control of the main window: kind, text, list items, position and styles.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "tests/ui/main_window_fixture.h"
#include "ui/dialog_units.h"
#include "ui/main_dialog_layout.h"

using kvu::ui::DluRect;

namespace {

enum class Kind { Group, Button, Label, Edit, List, Check };

struct Expected {
    int id;
    Kind kind;
    std::string text;  // caption; for lists the items joined with "|"
    DluRect rect;
};

const std::string kAuth = "none|CHAP|PAP";
const std::string kPdp = "IPV4|IPV6|IPV4V6";

// Written out from the dialog's description, independently of the layout table.
const std::vector<Expected> kExpected = {
    {1073, Kind::Group, "WWAN1", {6, 6, 168, 132}},
    {1074, Kind::Group, "WWAN2", {180, 6, 168, 132}},
    {1075, Kind::Group, "WWAN3", {6, 140, 168, 132}},
    {1076, Kind::Group, "WWAN4", {180, 140, 168, 132}},
    {1010, Kind::Button, "Load Preset", {18, 18, 50, 14}},
    {1017, Kind::Button, "Load Preset", {192, 19, 50, 14}},
    {1029, Kind::Button, "Load Preset", {18, 152, 50, 14}},
    {1041, Kind::Button, "Load Preset", {192, 153, 50, 14}},
    {1011, Kind::Button, "Save Preset", {112, 18, 50, 14}},
    {1018, Kind::Button, "Save Preset", {286, 19, 50, 14}},
    {1030, Kind::Button, "Save Preset", {112, 152, 50, 14}},
    {1042, Kind::Button, "Save Preset", {286, 153, 50, 14}},
    {1000, Kind::Label, "APN：", {18, 45, 22, 8}},
    {1012, Kind::Label, "APN：", {192, 45, 22, 8}},
    {1024, Kind::Label, "APN：", {18, 179, 22, 8}},
    {1036, Kind::Label, "APN：", {192, 179, 22, 8}},
    {1005, Kind::Edit, "", {66, 42, 96, 14}},
    {1019, Kind::Edit, "", {240, 43, 96, 14}},
    {1031, Kind::Edit, "", {66, 176, 96, 14}},
    {1043, Kind::Edit, "", {240, 177, 96, 14}},
    {1001, Kind::Label, "User Name：", {18, 63, 46, 8}},
    {1013, Kind::Label, "User Name：", {192, 63, 46, 8}},
    {1025, Kind::Label, "User Name：", {18, 197, 46, 8}},
    {1037, Kind::Label, "User Name：", {192, 197, 46, 8}},
    {1006, Kind::Edit, "", {66, 60, 96, 14}},
    {1020, Kind::Edit, "", {240, 60, 96, 14}},
    {1032, Kind::Edit, "", {66, 194, 96, 14}},
    {1044, Kind::Edit, "", {240, 194, 96, 14}},
    {1002, Kind::Label, "Password：", {18, 80, 39, 8}},
    {1014, Kind::Label, "Password：", {192, 80, 39, 8}},
    {1026, Kind::Label, "Password：", {18, 214, 39, 8}},
    {1038, Kind::Label, "Password：", {192, 214, 39, 8}},
    {1007, Kind::Edit, "", {66, 78, 96, 14}},
    {1021, Kind::Edit, "", {240, 78, 96, 14}},
    {1033, Kind::Edit, "", {66, 212, 96, 14}},
    {1045, Kind::Edit, "", {240, 212, 96, 14}},
    {1003, Kind::Label, "AUTH TYPE：", {18, 98, 47, 8}},
    {1015, Kind::Label, "AUTH TYPE：", {192, 99, 47, 8}},
    {1027, Kind::Label, "AUTH TYPE：", {18, 232, 47, 8}},
    {1039, Kind::Label, "AUTH TYPE：", {192, 233, 47, 8}},
    {1008, Kind::List, kAuth, {66, 97, 96, 30}},
    {1022, Kind::List, kAuth, {240, 98, 96, 30}},
    {1034, Kind::List, kAuth, {66, 231, 96, 30}},
    {1046, Kind::List, kAuth, {240, 231, 96, 30}},
    {1004, Kind::Label, "PDP TYPE：", {18, 116, 40, 8}},
    {1016, Kind::Label, "PDP TYPE：", {192, 116, 40, 8}},
    {1028, Kind::Label, "PDP TYPE：", {18, 250, 40, 8}},
    {1040, Kind::Label, "PDP TYPE：", {192, 250, 40, 8}},
    {1009, Kind::List, kPdp, {66, 114, 96, 30}},
    {1023, Kind::List, kPdp, {240, 115, 96, 30}},
    {1035, Kind::List, kPdp, {66, 248, 96, 30}},
    {1047, Kind::List, kPdp, {240, 249, 96, 30}},
    {1077, Kind::Group, "Wi-Fi", {354, 6, 168, 132}},
    {1053, Kind::Button, "Load Preset", {366, 18, 50, 14}},
    {1054, Kind::Button, "Save Preset", {461, 18, 50, 14}},
    {1055, Kind::Label, "SSID", {366, 45, 18, 8}},
    {1057, Kind::Edit, "", {414, 43, 96, 14}},
    {1056, Kind::Label, "Security：", {366, 63, 35, 8}},
    {1058, Kind::List, "none|WPA2-PSK (AES)", {414, 61, 96, 30}},
    {1063, Kind::Label, "Key Format：", {366, 80, 47, 8}},
    {1064, Kind::List, "ASCII|HEX", {414, 78, 96, 30}},
    {1060, Kind::Label, "Passphrase：", {366, 97, 45, 8}},
    {1059, Kind::Edit, "", {414, 95, 96, 14}},
    {1049, Kind::Edit, "", {389, 155, 128, 12}},
    {1048, Kind::Edit, "", {389, 170, 128, 12}},
    {1065, Kind::Edit, "", {389, 185, 128, 12}},
    {1052, Kind::Edit, "Disconnected", {358, 210, 90, 20}},
    {1061, Kind::Edit, "", {450, 216, 64, 12}},
    {1062, Kind::Button, "Erase", {354, 252, 40, 20}},
    {1050, Kind::Button, "Reload", {401, 252, 40, 20}},
    {1051, Kind::Button, "Write", {448, 252, 70, 20}},
    {1068, Kind::Check, "Check1", {0, 268, 40, 11}},
    {1069, Kind::Check, "Check2", {41, 269, 40, 10}},
    {1070, Kind::Check, "Check3", {84, 269, 40, 10}},
    {1071, Kind::Check, "Check4", {125, 269, 40, 10}},
    {1072, Kind::Check, "Check5", {168, 269, 40, 10}},
};

QString listItems(const QComboBox* combo) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) {
        items << combo->itemText(i);
    }
    return items.join(u'|');
}

// The caption or items of a control, or a note of the kind mismatch.
QString describe(QWidget* widget, Kind kind) {
    switch (kind) {
        case Kind::Group:
            if (auto* w = qobject_cast<QGroupBox*>(widget)) {
                return w->title();
            }
            break;
        case Kind::Button:
            if (auto* w = qobject_cast<QPushButton*>(widget)) {
                return w->text();
            }
            break;
        case Kind::Label:
            if (auto* w = qobject_cast<QLabel*>(widget)) {
                return w->text();
            }
            break;
        case Kind::Edit:
            if (auto* w = qobject_cast<QLineEdit*>(widget)) {
                return w->text();
            }
            break;
        case Kind::List:
            if (auto* w = qobject_cast<QComboBox*>(widget)) {
                return listItems(w);
            }
            break;
        case Kind::Check:
            if (auto* w = qobject_cast<QCheckBox*>(widget)) {
                return w->text();
            }
            break;
    }
    return QStringLiteral("<wrong kind: %1>")
        .arg(QString::fromLatin1(widget->metaObject()->className()));
}

}  // namespace

namespace kvu::test {

TEST_F(MainWindowTest, EveryControlHasItsKindTextAndPosition) {
    const ui::DialogBaseUnits units = dlg_->baseUnits();
    for (const Expected& e : kExpected) {
        SCOPED_TRACE(e.id);
        QWidget* widget = control(e.id);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->objectName(), QString::number(e.id));
        EXPECT_EQ(widget->property("controlId").toInt(), e.id);
        EXPECT_EQ(describe(widget, e.kind).toStdString(), e.text);

        const QRect want = ui::dluToPixels(e.rect, units);
        EXPECT_EQ(widget->pos(), want.topLeft());
        if (qobject_cast<QLabel*>(widget) != nullptr) {
            // A label may take a few pixels of the gap after it for a wider font, never more.
            EXPECT_GE(widget->width(), want.width());
            EXPECT_LE(widget->width(),
                      std::max(want.width(), widget->fontMetrics().horizontalAdvance(
                                                 qobject_cast<QLabel*>(widget)->text())));
        } else {
            EXPECT_EQ(widget->width(), want.width());
        }
        if (qobject_cast<QLabel*>(widget) != nullptr) {
            EXPECT_GE(widget->height(), want.height());
            EXPECT_LE(widget->height(), std::max(want.height(), widget->sizeHint().height()));
        } else if (e.kind != Kind::List) {
            EXPECT_EQ(widget->height(), want.height());
        } else {
            // The resource height includes the opened list; the closed box must fit inside it.
            EXPECT_LE(widget->height(), want.height());
        }
    }
}

TEST_F(MainWindowTest, LayoutTableHoldsExactlyTheExpectedIds) {
    std::set<int> expected;
    for (const Expected& e : kExpected) {
        expected.insert(e.id);
    }
    std::set<int> table;
    int unnamed = 0;
    for (const ui::ControlSpec& row : ui::mainDialogControls()) {
        if (row.id == -1) {
            ++unnamed;
        } else {
            EXPECT_TRUE(table.insert(row.id).second) << "duplicate id " << row.id;
        }
    }
    EXPECT_EQ(table, expected);
    EXPECT_EQ(unnamed, 4);  // the "KVU" frame and its labels FW, MCUID, Serial
}

TEST_F(MainWindowTest, DeviceBoxFrameAndLabelsHaveTheirTexts) {
    QStringList labels;
    for (QLabel* label : dlg_->findChildren<QLabel*>(QStringLiteral("static"))) {
        labels << label->text();
    }
    labels.sort();
    EXPECT_EQ(labels, (QStringList{"FW", "MCUID", "Serial"}));
    const auto frames = dlg_->findChildren<QGroupBox*>(QStringLiteral("static"));
    ASSERT_EQ(frames.size(), 1);
    EXPECT_EQ(frames.first()->title(), QStringLiteral("KVU"));
}

TEST_F(MainWindowTest, EditsAreSingleLineClearTextAndListsAreUnsortedDropDowns) {
    for (const Expected& e : kExpected) {
        SCOPED_TRACE(e.id);
        if (e.kind == Kind::Edit) {
            auto* edit = qobject_cast<QLineEdit*>(control(e.id));
            ASSERT_NE(edit, nullptr);
            EXPECT_EQ(edit->echoMode(), QLineEdit::Normal);
        } else if (e.kind == Kind::List) {
            auto* combo = qobject_cast<QComboBox*>(control(e.id));
            ASSERT_NE(combo, nullptr);
            EXPECT_FALSE(combo->isEditable());
            EXPECT_EQ(combo->insertPolicy(), QComboBox::InsertAtBottom);
        }
    }
}

TEST_F(MainWindowTest, DeviceBoxEditsAreReadOnlyWithoutBorder) {
    struct Case {
        int id;
        bool rightAligned;
    };
    for (const Case c : {Case{1049, false}, Case{1048, false}, Case{1065, false}, Case{1052, true},
                         Case{1061, false}}) {
        SCOPED_TRACE(c.id);
        auto* edit = qobject_cast<QLineEdit*>(control(c.id));
        ASSERT_NE(edit, nullptr);
        EXPECT_TRUE(edit->isReadOnly());
        EXPECT_FALSE(edit->hasFrame());
        EXPECT_EQ((edit->alignment() & Qt::AlignHorizontal_Mask) == Qt::AlignRight, c.rightAligned);
    }
    for (const int id : {1005, 1006, 1007, 1019, 1057, 1059}) {
        auto* edit = qobject_cast<QLineEdit*>(control(id));
        ASSERT_NE(edit, nullptr);
        EXPECT_FALSE(edit->isReadOnly()) << id;
        EXPECT_TRUE(edit->hasFrame()) << id;
    }
}

TEST_F(MainWindowTest, CheckBoxesExistButAreNeverShown) {
    dlg_->show();
    for (int id = 1068; id <= 1072; ++id) {
        QWidget* box = control(id);
        ASSERT_NE(box, nullptr) << id;
        EXPECT_FALSE(box->isVisible()) << id;
    }
    EXPECT_TRUE(control(1005)->isVisible());
}

}  // namespace kvu::test
