// The program's single main window: the five profile groups, the device box and the three
// device operations. It owns all state of a session with the device.
#pragma once

#include <QDialog>

#include "app/app_options.h"
#include "ui/dialog_service.h"

class CKVUUtilityDlg : public QDialog {
    Q_OBJECT
  public:
    CKVUUtilityDlg(const kvu::AppOptions& options, kvu::DialogService& dialogs,
                   QWidget* parent = nullptr);
    ~CKVUUtilityDlg() override;

  private:
    kvu::AppOptions m_options;
    kvu::DialogService& m_dialogs;
};
