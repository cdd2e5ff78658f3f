#include "ui/dialog_font.h"

#include <QFontDatabase>
#include <QFontMetrics>

namespace kvu::ui {

QFont dialogFont() {
    const QString family = QString::fromLatin1(kDialogFontFamily);
    if (QFontDatabase::hasFamily(family)) {
        QFont font(family, kDialogFontPointSize);
        font.setWeight(QFont::Normal);
        return font;
    }
    return QFontDatabase::systemFont(QFontDatabase::GeneralFont);
}

QFont resultDialogFont() {
    QFont font(QString::fromLatin1(kResultDialogFontFamily), kResultDialogFontPointSize);
    font.setWeight(QFont::Normal);
    return font;
}

DialogBaseUnits baseUnitsForFont(const QFont& font) {
    const QFontMetrics metrics(font);
    return baseUnitsFromMetrics(metrics.horizontalAdvance(QString::fromLatin1(kBaseUnitAlphabet)),
                                metrics.height());
}

}  // namespace kvu::ui
