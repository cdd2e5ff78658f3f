// The rendered main window: a picture for people to look at, and the checks that keep texts
// readable (nothing overlaps, no caption clipped).
#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QTest>

#include "tests/ui/main_window_fixture.h"
#include "ui/main_dialog_layout.h"

namespace kvu::test {
namespace {

QString captionOf(QWidget* w) {
    if (auto* label = qobject_cast<QLabel*>(w)) {
        return label->text();
    }
    if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        return button->text();
    }
    return QString();
}

}  // namespace

TEST_F(MainWindowTest, RendersToAPicture) {
    dlg_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg_.get()));
    qobject_cast<QLineEdit*>(control(1049))->setText(QStringLiteral("1.2.3"));
    const QPixmap picture = dlg_->grab();
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size(), dlg_->size() * picture.devicePixelRatio());
    const QString dir = QStringLiteral(KVU_ARTIFACT_DIR);
    ASSERT_TRUE(QDir().mkpath(dir));
    EXPECT_TRUE(picture.save(dir + QStringLiteral("/main-window.png"), "PNG"));
}

TEST_F(MainWindowTest, VisibleControlsDoNotOverlap) {
    dlg_->show();
    std::vector<QWidget*> controls;
    for (QWidget* w : dlg_->findChildren<QWidget*>()) {
        if (w->property("controlId").isValid() && w->isVisible() &&
            qobject_cast<QGroupBox*>(w) == nullptr) {
            controls.push_back(w);
        }
    }
    std::size_t shown = 0;
    for (const ui::ControlSpec& row : ui::mainDialogControls()) {
        shown += row.kind != ui::ControlKind::GroupBox && (row.flags & ui::kHidden) == 0;
    }
    ASSERT_EQ(controls.size(), shown);
    for (std::size_t i = 0; i < controls.size(); ++i) {
        for (std::size_t j = i + 1; j < controls.size(); ++j) {
            EXPECT_FALSE(controls[i]->geometry().intersects(controls[j]->geometry()))
                << controls[i]->objectName().toStdString() << " and "
                << controls[j]->objectName().toStdString();
        }
    }
}

TEST_F(MainWindowTest, CaptionsFitTheirControls) {
    dlg_->show();
    for (QWidget* w : dlg_->findChildren<QWidget*>()) {
        const QString caption = captionOf(w);
        if (caption.isEmpty() || !w->isVisible()) {
            continue;
        }
        SCOPED_TRACE(caption.toStdString());
        const QFontMetrics metrics(w->font());
        EXPECT_LE(metrics.horizontalAdvance(caption), w->width());
        if (qobject_cast<QLabel*>(w) != nullptr) {
            EXPECT_LE(metrics.height(), w->height());
        }
    }
    // The status text in its large font fits the status field.
    auto* status = qobject_cast<QLineEdit*>(control(1052));
    const QFontMetrics large(status->font());
    EXPECT_LE(large.horizontalAdvance(status->text()), status->width());
    EXPECT_LE(large.height(), status->height());
}

}  // namespace kvu::test
