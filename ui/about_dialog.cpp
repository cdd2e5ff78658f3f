#include "ui/about_dialog.h"

#include <QApplication>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

#include "logging/app_info.h"
#include "ui/control_ids.h"
#include "ui/control_tag.h"
#include "ui/dialog_font.h"
#include "ui/dialog_units.h"

namespace {

constexpr kvu::ui::DluRect kIconRect{14, 14, 21, 20};
constexpr kvu::ui::DluRect kVersionRect{42, 14, 114, 8};
constexpr kvu::ui::DluRect kOkRect{133, 41, 52, 14};

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    using namespace kvu::ui;
    setWindowTitle(QStringLiteral("About %1").arg(QString::fromUtf8(kvu::kAppTitle)));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFont(dialogFont());
    const DialogBaseUnits units = baseUnitsForFont(font());

    const QIcon appIcon = QApplication::windowIcon();
    if (!appIcon.isNull()) {
        auto* icon = new QLabel(this);
        const QRect rect = dluToPixels(kIconRect, units);
        icon->setGeometry(rect);
        icon->setPixmap(appIcon.pixmap(rect.size()));
    }

    // The placeholder of the resource; OnInitDialog puts in the real version.
    m_pVersion = new QLabel(QStringLiteral("Nalto KVU Utility, Version x.x"), this);
    tagControl(m_pVersion, IDC_ABOUT_VERSION);
    m_pVersion->setGeometry(dluToPixels(kVersionRect, units));
    m_pVersion->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    m_pOk = new QPushButton(QStringLiteral("OK"), this);
    tagControl(m_pOk, IDOK);
    m_pOk->setGeometry(dluToPixels(kOkRect, units));
    m_pOk->setDefault(true);
    connect(m_pOk, &QPushButton::clicked, this, &QDialog::accept);

    setFixedSize(dluToPixelsX(kWidthDlu, units), dluToPixelsY(kHeightDlu, units));
    OnInitDialog();
}

void CAboutDlg::OnInitDialog() {
    m_pVersion->setText(
        QStringLiteral("%1, Version %2")
            .arg(QString::fromUtf8(kvu::kAppTitle), QString::fromUtf8(kvu::kVersionText)));
    m_pOk->setFocus();
}

QWidget* CAboutDlg::control(int id) const {
    using namespace kvu::ui;  // IDOK is a macro where windows.h is in
    if (id == IDC_ABOUT_VERSION) {
        return m_pVersion;
    }
    if (id == IDOK) {
        return m_pOk;
    }
    return nullptr;
}
