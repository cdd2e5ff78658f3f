// The About box: the program's name and version with an OK button.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

class CAboutDlg : public QDialog {
    Q_OBJECT
  public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    // Width and height of the box in dialog units.
    static constexpr int kWidthDlu = 193;
    static constexpr int kHeightDlu = 62;

    // The control with this numeric id (1065 the version text, 1 the OK button), or nullptr.
    QWidget* control(int id) const;

  private:
    void OnInitDialog();

    QLabel* m_pVersion = nullptr;
    QPushButton* m_pOk = nullptr;
};
