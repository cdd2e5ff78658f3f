// The program's single main window: the five profile groups, the device box and the three
// device operations. It owns all state of a session with the device.
#pragma once

#include <QDialog>
#include <QFont>

#include <array>
#include <cstdint>
#include <map>
#include <memory>

#include "device/connection_supervisor.h"
#include "device/device_operations.h"
#include "discovery/port_finders.h"
#include "settings/profiles.h"
#include "ui/app_options.h"
#include "ui/dialog_service.h"
#include "ui/dialog_units.h"
#include "ui/tracked_dialogs.h"

class QAction;
class QMenuBar;

namespace kvu {
class PortArrivals;
}

class CKVUUtilityDlg : public QDialog {
    Q_OBJECT
  public:
    // Builds the window and runs OnInitDialog once; the window starts in the disconnected display
    // and looks for the device every second, and at once on an arrival (followArrivals): at
    // options.port when given, else by USB identity, unless `finder` says where to look.
    CKVUUtilityDlg(const kvu::AppOptions& options, kvu::DialogService& dialogs,
                   QWidget* parent = nullptr, kvu::PortFinder finder = {});
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

    // Ends the session with the device before the window's data goes: stops the supervision
    // timer and the receive thread and closes the port. Safe to call more than once.
    void shutdown();

    bool isConnected() const { return m_bConnected; }
    bool isChanged(int nNo) const;
    // True while a device conversation runs and operator input waits.
    bool isBusy() const { return m_nBusy > 0; }
    // True while one of the window's own modal dialogs (message box, file dialog, result
    // dialog, About box) is open.
    bool isModalOpen() const { return m_nModal > 0; }
    int timerId() const { return m_nTimerID; }
    kvu::ConnectionSupervisor& link() { return *m_link; }
    const kvu::WwanProfile& wwanProfile(int nNo) const;
    const kvu::WifiProfile& wifiProfile() const { return m_WifiProfile; }

    // Supervision: the timer's tick, one connection attempt, the device box, and the loss
    // notice of the receive thread (delivered queued, on this thread).
    void OnTimer(int nIDEvent);
    void ComPortOpenProcess();
    void DisplayKvuInfo();
    void OnCloseKvuSerial(std::uint64_t linkNo);
    // A port may have arrived (a device notice, the --port path made anew): one connection
    // attempt now, the one a tick would make. Connected, busy or under a dialog, nothing
    // happens and the next tick after it looks as always.
    void OnPortArrival(const QString& path);
    // Every notice of `arrivals` reaches OnPortArrival, on this thread.
    void followArrivals(kvu::PortArrivals& arrivals);

    // Group display: records to controls and back, and the "(Changed)" caption.
    void SetDataToGroup(int nNo);
    void GetDataFromGroup(int nNo);
    void DisplayModifiedState(int nNo);

    // Enables or disables the labels, edits, lists and preset buttons of group nNo (0-3 WWAN1-4,
    // 4 Wi-Fi); the group box itself stays as it is. Other nNo only log.
    void EnableGroupUI(int nNo, bool bEnable);
    // Erase, Reload and Write.
    void MainButtonsEnable(bool bEnable);
    // Items 0 and 1 (Load, Save) of the first menu.
    void LoadSaveMenuEnable(bool bEnable);

    // Validates the typed entries; on a rejection shows why, focuses the edit, returns false.
    bool CheckEnterText();

    // The preset commands: one profile to or from a .wwan or .wifi file, all five an .all file.
    void LoadWwanPreset(int nNo);
    void SaveWwanPreset(int nNo);

  public Q_SLOTS:
    // The three device operations.
    void OnBnClickedWrite();
    void OnBnClickedReload();
    void OnBnClickedErase();

    void OnBnClickedLoadpreset1();
    void OnBnClickedLoadpreset2();
    void OnBnClickedLoadpreset3();
    void OnBnClickedLoadpreset4();
    void OnBnClickedLoadpreset5();
    void OnBnClickedSavepreset1();
    void OnBnClickedSavepreset2();
    void OnBnClickedSavepreset3();
    void OnBnClickedSavepreset4();
    void OnBnClickedSavepreset5();
    void OnFileLoad();
    void OnFileSave();

    void OnEnChangeWwan1();
    void OnEnChangeWwan2();
    void OnEnChangeWwan3();
    void OnEnChangeWwan4();
    void OnEnChangeWifi();

    void OnFileExit();
    void OnAboutAbout();
    // A stop asked from outside (a termination signal, the end of the session): as File > Exit,
    // and an open modal dialog of the window is closed as if cancelled first.
    void requestExit();

    // Enter never ends the window; Esc, the close box and File > Exit do (through reject).
    void accept() override;
    void reject() override;

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
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
    // Whether a connection attempt may be made now (the rule of the timer and of arrivals).
    bool MayLookForDevice() const;
    void ShowDisconnectedDisplay();
    void ShowConnectedDisplay();
    void ConnectChangeHandlers();
    void ConnectOperationButtons();
    void ConnectPresetCommands();
    void ShowResult(const QString& title, const QString& line1, const QString& line2,
                    const QString& line3);
    // The result dialog of a device operation: its outcome, or what failed and why.
    void ShowOperationResult(const kvu::device::OperationResult& result);
    // Reload and Erase: the operation, then the groups redrawn from what it read.
    void RunReadingOperation(kvu::device::OperationResult (*operation)(kvu::ConnectionSupervisor&));
    // The five records as one set, as the transactions take and give them.
    kvu::DeviceProfiles profileRecords() const;
    void setProfileRecords(const kvu::DeviceProfiles& profiles);
    // Records from the device's last read, drawn into all groups with their marks cleared.
    void RedrawAllGroups(const kvu::DeviceProfiles& profiles);
    void OnEnChangeWwan(int nNo);
    void ShowPortProblem(const kvu::ConnectResult& result);
    // Runs while a transaction waits: repaints, but leaves operator input queued.
    void PumpWhileWaiting();
    // Device conversations are not re-entered: the timer, the loss notice and closing the
    // window wait until the conversation in progress has ended. The scope covers the
    // conversation only, never a dialog shown before or after it.
    class BusyScope {
      public:
        explicit BusyScope(CKVUUtilityDlg& dlg) : dlg_(dlg) { ++dlg_.m_nBusy; }
        ~BusyScope() {
            if (--dlg_.m_nBusy == 0) {
                dlg_.EndBusy();
            }
        }
        BusyScope(const BusyScope&) = delete;
        BusyScope& operator=(const BusyScope&) = delete;

      private:
        CKVUUtilityDlg& dlg_;
    };
    void EndBusy();
    // A modal dialog of the window closed: the timer's attempts resume, a close waits no more.
    void EndModal();
    void CloseIfPending();
#ifdef Q_OS_WIN
    void AppendSystemMenuItem();
#endif

    kvu::AppOptions m_options;
    // Every dialog of the window goes through here, so that the window knows one is open.
    kvu::ui::TrackedDialogs m_dialogs;
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

    // Profile records and their changed flags, index nNo.
    std::array<kvu::WwanProfile, kvu::kWwanCount> m_WwanProfile{};
    kvu::WifiProfile m_WifiProfile{};
    std::array<bool, kvu::kGroupCount> bChanged{};
    bool m_bChangeByCode = false;

    // The device connection and what the device box shows of it.
    std::unique_ptr<kvu::ConnectionSupervisor> m_link;
    int m_nTimerID = 0;
    QString m_strComPort;
    QString m_strMcuId;
    QString m_strVersion;
    QString m_strSerial;
    bool m_bPortHintShown = false;

    int m_nBusy = 0;
    int m_nModal = 0;
    int m_nPumpDepth = 0;
    bool m_bLossPending = false;
    std::uint64_t m_nPendingLossLink = 0;
    bool m_bClosePending = false;

    bool m_bConnected = false;
    bool m_bInitDone = false;
    bool m_bShutDown = false;
};
