// The About box: caption, version text, OK button and size.
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include "ui/about_dialog.h"
#include "ui/dialog_font.h"
#include "ui/dialog_units.h"

TEST(AboutDialog, ShowsProgramNameAndVersion) {
    CAboutDlg about;
    EXPECT_EQ(about.windowTitle(), QStringLiteral("About Nalto KVU Utility"));
    auto* label = qobject_cast<QLabel*>(about.control(1065));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QStringLiteral("Nalto KVU Utility, Version 2.0"));
    EXPECT_EQ(label->objectName(), QStringLiteral("1065"));
}

TEST(AboutDialog, OkIsTheDefaultButtonAndCloses) {
    CAboutDlg about;
    auto* ok = qobject_cast<QPushButton*>(about.control(1));
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), QStringLiteral("OK"));
    EXPECT_TRUE(ok->isDefault());
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    QSignalSpy finished(&about, &QDialog::finished);
    QTest::keyClick(&about, Qt::Key_Return);
    ASSERT_EQ(finished.count(), 1);
    EXPECT_EQ(finished.at(0).at(0).toInt(), QDialog::Accepted);
    EXPECT_FALSE(about.isVisible());
}

TEST(AboutDialog, HasItsResourceSizeInDialogUnits) {
    CAboutDlg about;
    about.show();
    const kvu::ui::DialogBaseUnits units = kvu::ui::baseUnitsForFont(kvu::ui::dialogFont());
    EXPECT_EQ(about.size(),
              QSize(kvu::ui::dluToPixelsX(193, units), kvu::ui::dluToPixelsY(62, units)));
    EXPECT_EQ(about.minimumSize(), about.maximumSize());
    const QRect ok = about.control(1)->geometry();
    EXPECT_EQ(ok, kvu::ui::dluToPixels({133, 41, 52, 14}, units));
    const QLabel* label = qobject_cast<QLabel*>(about.control(1065));
    EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width());
}
