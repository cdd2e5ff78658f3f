// The program's single main window: the five profile groups, the device box and the three
// device operations. It owns all state of a session with the device.
#pragma once

#include <QDialog>
#include <QFont>

#include <array>
#include <map>
#include <memory>

#include "app/app_options.h"
#include "ui/dialog_service.h"
#include "ui/dialog_units.h"

class QAction;
class QMenuBar;

class CKVUUtilityDlg : public QDialog {
    Q_OBJECT
  public:
    // Builds the window and runs OnInitDialog once; the window starts in the disconnected display.
    CKVUUtilityDlg(const kvu::AppOptions& options, kvu::DialogService& dialogs,
                   QWidget* parent = nullptr);
    ~CKVUUtilityDlg() override;

    // The control with this numeric id (objectName and property "controlId" carry it too).
    QWidget* control(int id) const;
    // The menu action with this command id (property "commandId"), or nullptr.
    QAction* menuAction(int id) const;
    QMenuBar* menuBar() const { return m_pMenuBar; }
    // Base units of the dialog font: pixels per 4 horizontal / 8 vertical dialog units.
    kvu::ui::DialogBaseUnits baseUnits() const { return m_baseUnits; }

    const QFont* statusFont() const { return m_pStatusFont.get(); }
    const QFont* groupFont() const { return m_pGroupFont.get(); }
    const QFont* boldFont() const { return m_pBoldFont.get(); }

    // Ends the session with the device before the window's data goes: later stops the receive
    // thread and closes the port. Safe to call more than once.
    void shutdown();

    // Enables or disables the labels, edits, lists and preset buttons of group nNo (0-3 WWAN1-4,
    // 4 Wi-Fi); the group box itself stays as it is. Other nNo only log.
    void EnableGroupUI(int nNo, bool bEnable);
    // Erase, Reload and Write.
    void MainButtonsEnable(bool bEnable);
    // Items 0 and 1 (Load, Save) of the first menu.
    void LoadSaveMenuEnable(bool bEnable);

  public Q_SLOTS:
    void OnFileExit();
    void OnAboutAbout();

    // Enter never ends the window; Esc, the close box and File > Exit do (through reject).
    void accept() override;
    void reject() override;

  protected:
    void keyPressEvent(QKeyEvent* event) override;
#ifdef Q_OS_WIN
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;
#endif

  private:
    void createControls();
    void createMenu();
    void OnInitDialog();
    void OnOK();
    void OnCancel();
    void FillControlIdTables();
    void StartSupervision();
    void ShowDisconnectedDisplay();
#ifdef Q_OS_WIN
    void AppendSystemMenuItem();
#endif

    kvu::AppOptions m_options;
    kvu::DialogService& m_dialogs;
    kvu::ui::DialogBaseUnits m_baseUnits;

    QMenuBar* m_pMenuBar = nullptr;
    std::map<int, QWidget*> m_controls;
    std::map<int, QAction*> m_actions;

    std::unique_ptr<QFont> m_pStatusFont;
    std::unique_ptr<QFont> m_pGroupFont;
    std::unique_ptr<QFont> m_pBoldFont;

    // Control-id tables, index nNo.
    std::array<int, 4> m_nIdApn{};
    std::array<int, 4> m_nIdUserName{};
    std::array<int, 4> m_nIdPassword{};
    std::array<int, 4> m_nIdPdpType{};
    std::array<int, 4> m_nIdAuthType{};
    std::array<int, 4> m_nIdApnLabel{};
    std::array<int, 4> m_nIdUserNameLabel{};
    std::array<int, 4> m_nIdPasswordLabel{};
    std::array<int, 4> m_nIdPdpTypeLabel{};
    std::array<int, 4> m_nIdAuthTypeLabel{};
    std::array<int, 5> m_nIdLoadPreset{};
    std::array<int, 5> m_nIdSavePreset{};
    std::array<int, 5> m_nIdGroupBox{};
    std::array<int, 5> m_nIdCheck{};

    bool m_bConnected = false;
    bool m_bInitDone = false;
    bool m_bShutDown = false;
};
