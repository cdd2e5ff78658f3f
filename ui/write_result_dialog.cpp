#include "ui/write_result_dialog.h"

#include <QLabel>
#include <QPushButton>

#include <utility>

#include "ui/control_ids.h"
#include "ui/control_tag.h"
#include "ui/dialog_font.h"
#include "ui/dialog_units.h"

namespace {

using kvu::ui::DluRect;

constexpr int kWidthDlu = 237;
constexpr int kHeightDlu = 80;
constexpr DluRect kLineRects[] = {{21, 12, 192, 8}, {21, 24, 192, 8}, {21, 36, 192, 8}};
constexpr DluRect kOkRect{96, 54, 50, 14};

}  // namespace

CWriteResultDlg::CWriteResultDlg(QWidget* parent) : QDialog(parent) {
    using namespace kvu::ui;
    // A caption without system menu: no close box, so OK or Escape ends it.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setWindowTitle(QStringLiteral("APN Write Result"));
    // Its own template font, not the main window's: the layout below is in its dialog units.
    setFont(resultDialogFont());
    const DialogBaseUnits units = baseUnitsForFont(font());

    QLabel** labels[] = {&m_pLine1, &m_pLine2, &m_pLine3};
    const char* const placeholders[] = {"Static", "APN Write Successfully.", "Static"};
    for (int i = 0; i < 3; ++i) {
        auto* label = new QLabel(QString::fromLatin1(placeholders[i]), this);
        tagControl(label, IDC_RESULT_LINE1 + i);
        label->setGeometry(dluToPixels(kLineRects[i], units));
        label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        label->setTextFormat(Qt::PlainText);
        *labels[i] = label;
    }
    m_pOk = new QPushButton(QStringLiteral("OK"), this);
    tagControl(m_pOk, IDOK);
    m_pOk->setGeometry(dluToPixels(kOkRect, units));
    m_pOk->setDefault(true);
    connect(m_pOk, &QPushButton::clicked, this, &QDialog::accept);
    setFixedSize(dluToPixelsX(kWidthDlu, units), dluToPixelsY(kHeightDlu, units));
}

void CWriteResultDlg::SetResultText(QString strTitle, QString strLine1, QString strLine2,
                                    QString strLine3) {
    m_strTitle = std::move(strTitle);
    m_strLine1 = std::move(strLine1);
    m_strLine2 = std::move(strLine2);
    m_strLine3 = std::move(strLine3);
    // Filled now as well, so the dialog is complete before it is shown (and when a test looks).
    OnInitDialog();
}

void CWriteResultDlg::showEvent(QShowEvent* event) {
    OnInitDialog();
    QDialog::showEvent(event);
}

void CWriteResultDlg::OnInitDialog() {
    m_pLine1->setText(m_strLine1);
    m_pLine2->setText(m_strLine2);
    m_pLine3->setText(m_strLine3);
    setWindowTitle(m_strTitle);
    m_pOk->setFocus();
}

QWidget* CWriteResultDlg::control(int id) const {
    using namespace kvu::ui;
    switch (id) {
        case IDC_RESULT_LINE1:
            return m_pLine1;
        case IDC_RESULT_LINE2:
            return m_pLine2;
        case IDC_RESULT_LINE3:
            return m_pLine3;
        case IDOK:
            return m_pOk;
        default:
            return nullptr;
    }
}

QString CWriteResultDlg::line(int n) const {
    const QLabel* labels[] = {m_pLine1, m_pLine2, m_pLine3};
    return n >= 1 && n <= 3 ? labels[n - 1]->text() : QString();
}
