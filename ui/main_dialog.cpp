#include "ui/main_dialog.h"

#include "app/app_info.h"

CKVUUtilityDlg::CKVUUtilityDlg(const kvu::AppOptions& options, kvu::DialogService& dialogs,
                               QWidget* parent)
    : QDialog(parent), m_options(options), m_dialogs(dialogs) {
    setWindowTitle(QString::fromUtf8(kvu::kAppTitle));
}

CKVUUtilityDlg::~CKVUUtilityDlg() = default;
