// The result of a Write, Reload or Erase: a title and three centred lines, closed with OK or
// Escape.
#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;

class CWriteResultDlg : public QDialog {
    Q_OBJECT
  public:
    explicit CWriteResultDlg(QWidget* parent = nullptr);

    // Set once, before the dialog is shown.
    void SetResultText(QString strTitle, QString strLine1, QString strLine2, QString strLine3);

    // 1078-1080 for the three lines, 1 for OK.
    QWidget* control(int id) const;
    QString line(int n) const;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void OnInitDialog();

    QString m_strTitle;
    QString m_strLine1;
    QString m_strLine2;
    QString m_strLine3;
    QLabel* m_pLine1 = nullptr;
    QLabel* m_pLine2 = nullptr;
    QLabel* m_pLine3 = nullptr;
    QPushButton* m_pOk = nullptr;
};
