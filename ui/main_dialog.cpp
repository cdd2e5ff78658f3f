#include "ui/main_dialog.h"

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMetaObject>
#include <QPushButton>

#include <spdlog/spdlog.h>

#include <utility>

#include "logging/app_info.h"
#include "logging/log_setup.h"
#include "ui/about_dialog.h"
#include "ui/app_icon.h"
#include "ui/control_ids.h"
#include "ui/dialog_font.h"

#ifdef Q_OS_WIN
#include "ui/win32_window_messages.h"
#endif

using namespace kvu::ui;

namespace {
// Space a line edit keeps on each side of its text.
constexpr int kLineEditInnerMargin = 2;
}  // namespace

CKVUUtilityDlg::CKVUUtilityDlg(const kvu::AppOptions& options, kvu::DialogService& dialogs,
                               QWidget* parent, kvu::PortFinder finder)
    : QDialog(parent),
      m_options(options),
      m_dialogs(
          dialogs, [this] { ++m_nModal; }, [this] { EndModal(); }) {
    if (!finder) {
        finder =
            m_options.port.isEmpty() ? kvu::usbPortFinder() : kvu::fixedPortFinder(m_options.port);
    }
    m_link = std::make_unique<kvu::ConnectionSupervisor>(std::move(finder));
    setWindowTitle(QString::fromUtf8(kvu::kAppTitle));
    // Caption, system menu and close box; no minimise or maximise box, not resizable.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFont(dialogFont());
    m_baseUnits = baseUnitsForFont(font());
    createControls();
    createMenu();
    OnInitDialog();
}

CKVUUtilityDlg::~CKVUUtilityDlg() {
    shutdown();
}

void CKVUUtilityDlg::OnInitDialog() {
    if (m_bInitDone) {
        return;
    }
    m_bInitDone = true;

#ifdef Q_OS_WIN
    AppendSystemMenuItem();
#endif
    // The About box takes the application's icon, so both show the same.
    const QIcon icon = kvu::ui::applicationIcon();
    QApplication::setWindowIcon(icon);
    setWindowIcon(icon);

    kvu::setupLogging(m_options.commandLine);

    // Status text at twice the dialog font's size.
    QWidget* status = control(IDC_STATUS);
    QFont statusFont = status->font();
    if (statusFont.pointSizeF() > 0) {
        statusFont.setPointSizeF(statusFont.pointSizeF() * 2);
    } else {
        statusFont.setPixelSize(statusFont.pixelSize() * 2);
    }
    // A fallback font wider than the dialog font would clip "Disconnected" on the left: step the
    // size down until the longer status text fits, never below the dialog font.
    auto* statusEdit = qobject_cast<QLineEdit*>(status);
    const int room = statusEdit->contentsRect().width() - 2 * kLineEditInnerMargin;
    while (statusFont.pointSizeF() > font().pointSizeF() + 0.5 &&
           QFontMetrics(statusFont).horizontalAdvance(QStringLiteral("Disconnected")) > room) {
        statusFont.setPointSizeF(statusFont.pointSizeF() - 0.5);
    }
    m_pStatusFont = std::make_unique<QFont>(statusFont);
    status->setFont(*m_pStatusFont);

    // Caption fonts of unchanged and changed groups, applied by the group display.
    m_pGroupFont = std::make_unique<QFont>(control(IDC_GROUP_WWAN1)->font());
    m_pBoldFont = std::make_unique<QFont>(*m_pGroupFont);
    m_pBoldFont->setWeight(QFont::Black);

    // The receive thread hands its loss notice to this thread; the waits of a transaction keep
    // the window painted.
    m_link->setLossNotice([this](std::uint64_t linkNo) {
        QMetaObject::invokeMethod(
            this, [this, linkNo] { OnCloseKvuSerial(linkNo); }, Qt::QueuedConnection);
    });
    m_link->setWaitPump([this] { PumpWhileWaiting(); });

    FillControlIdTables();
    ConnectChangeHandlers();
    ConnectOperationButtons();
    ConnectPresetCommands();
    StartSupervision();
}

void CKVUUtilityDlg::FillControlIdTables() {
    m_nIdApn = {IDC_APN1, IDC_APN2, IDC_APN3, IDC_APN4};
    m_nIdUserName = {IDC_USERNAME1, IDC_USERNAME2, IDC_USERNAME3, IDC_USERNAME4};
    m_nIdPassword = {IDC_PASSWORD1, IDC_PASSWORD2, IDC_PASSWORD3, IDC_PASSWORD4};
    m_nIdPdpType = {IDC_PDPTYPE1, IDC_PDPTYPE2, IDC_PDPTYPE3, IDC_PDPTYPE4};
    m_nIdAuthType = {IDC_AUTHTYPE1, IDC_AUTHTYPE2, IDC_AUTHTYPE3, IDC_AUTHTYPE4};
    m_nIdApnLabel = {IDC_APN_LABEL1, IDC_APN_LABEL2, IDC_APN_LABEL3, IDC_APN_LABEL4};
    m_nIdUserNameLabel = {IDC_USERNAME_LABEL1, IDC_USERNAME_LABEL2, IDC_USERNAME_LABEL3,
                          IDC_USERNAME_LABEL4};
    m_nIdPasswordLabel = {IDC_PASSWORD_LABEL1, IDC_PASSWORD_LABEL2, IDC_PASSWORD_LABEL3,
                          IDC_PASSWORD_LABEL4};
    m_nIdPdpTypeLabel = {IDC_PDPTYPE_LABEL1, IDC_PDPTYPE_LABEL2, IDC_PDPTYPE_LABEL3,
                         IDC_PDPTYPE_LABEL4};
    m_nIdAuthTypeLabel = {IDC_AUTHTYPE_LABEL1, IDC_AUTHTYPE_LABEL2, IDC_AUTHTYPE_LABEL3,
                          IDC_AUTHTYPE_LABEL4};
    m_nIdLoadPreset = {IDC_LOADPRESET1, IDC_LOADPRESET2, IDC_LOADPRESET3, IDC_LOADPRESET4,
                       IDC_LOADPRESET5};
    m_nIdSavePreset = {IDC_SAVEPRESET1, IDC_SAVEPRESET2, IDC_SAVEPRESET3, IDC_SAVEPRESET4,
                       IDC_SAVEPRESET5};
    m_nIdGroupBox = {IDC_GROUP_WWAN1, IDC_GROUP_WWAN2, IDC_GROUP_WWAN3, IDC_GROUP_WWAN4,
                     IDC_GROUP_WIFI};
    m_nIdCheck = {IDC_CHECK1, IDC_CHECK2, IDC_CHECK3, IDC_CHECK4, IDC_CHECK5};
}

void CKVUUtilityDlg::shutdown() {
    if (m_bShutDown) {
        return;
    }
    m_bShutDown = true;
    if (m_nTimerID != 0) {
        killTimer(m_nTimerID);
    }
    // The receive thread goes before the records and controls it could still report into.
    m_link->setLossNotice({});
    m_link->disconnect();
    m_bConnected = false;
}

void CKVUUtilityDlg::OnOK() {
    // Enter must not end the program.
}

void CKVUUtilityDlg::OnCancel() {
    if (isBusy() || isModalOpen()) {
        // Ends when the conversation in progress has, which is bounded, or the dialog is closed.
        m_bClosePending = true;
        return;
    }
    shutdown();
    QDialog::reject();
}

void CKVUUtilityDlg::requestExit() {
    spdlog::debug("{}", "CKVUUtilityDlg::requestExit");
    if (isModalOpen()) {
        // Nobody is there to answer it; the command under it ends as if cancelled.
        m_bClosePending = true;
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* dialog = qobject_cast<QDialog*>(modal); dialog != nullptr && dialog != this) {
            dialog->reject();
        } else if (modal != nullptr && modal != this) {
            modal->close();
        }
        return;
    }
    OnCancel();
}

void CKVUUtilityDlg::accept() {
    OnOK();
}

void CKVUUtilityDlg::reject() {
    OnCancel();
}

void CKVUUtilityDlg::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if (enter && mods == Qt::NoModifier) {
        // As in a dialog box: Enter on a focused push button presses it, anywhere else it is OK.
        auto* button = qobject_cast<QPushButton*>(focusWidget());
        if (button != nullptr && button->isEnabled()) {
            button->click();
        } else {
            OnOK();
        }
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CKVUUtilityDlg::OnFileExit() {
    spdlog::debug("{}", "CKVUUtilityDlg::OnFileExit");
    OnCancel();
}

void CKVUUtilityDlg::OnAboutAbout() {
    spdlog::debug("{}", "CKVUUtilityDlg::OnAboutAbout");
    CAboutDlg about(this);
    m_dialogs.execDialog(about);
}

#ifdef Q_OS_WIN
void CKVUUtilityDlg::AppendSystemMenuItem() {
    kvu::win::appendAboutItem(reinterpret_cast<void*>(winId()), IDM_ABOUTBOX,
                              L"About Nalto KVU Utility (&A)");
}

bool CKVUUtilityDlg::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
    if (eventType == "windows_generic_MSG") {
        const kvu::win::WindowMessage decoded =
            kvu::win::decodeWindowMessage(message, IDM_ABOUTBOX);
        if (decoded.kind == kvu::win::WindowMessageKind::AboutCommand) {
            CAboutDlg about(this);
            m_dialogs.execDialog(about);
            *result = 0;
            return true;
        }
        if (decoded.kind == kvu::win::WindowMessageKind::DeviceChange) {
            // A loss is seen by the receive thread; this only logs it. A port's arrival makes the
            // timer's attempt at once, from the event loop: the broadcast's sender waits for us.
            if (decoded.removeComplete) {
                spdlog::debug("{} DBT_DEVICEREMOVECOMPLETE", "CKVUUtilityDlg::OnDeviceChange");
            }
            if (!decoded.arrivedPort.empty()) {
                const QString port = QString::fromStdWString(decoded.arrivedPort);
                QMetaObject::invokeMethod(
                    this, [this, port] { OnPortArrival(port); }, Qt::QueuedConnection);
            }
            *result = kvu::win::deviceChangeResult();
            return true;
        }
        if (decoded.kind == kvu::win::WindowMessageKind::QueryEndSession) {
            requestExit();
            *result = kvu::win::queryEndSessionResult();
            return true;
        }
        if (decoded.kind == kvu::win::WindowMessageKind::EndSession && decoded.sessionEnding) {
            // The process ends when this returns: close the port and write the log out now.
            shutdown();
            spdlog::default_logger()->flush();
            *result = 0;
            return true;
        }
    }
    return QDialog::nativeEvent(eventType, message, result);
}
#endif
