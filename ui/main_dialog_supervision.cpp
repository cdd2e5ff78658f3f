// Connection supervision: the one-second timer that looks for the device, the arrival of a port
// that makes the same attempt at once, the device box, and the loss of the device.
#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QLineEdit>
#include <QTimerEvent>

#include <spdlog/spdlog.h>

#include "device/open_failure_hints.h"
#include "discovery/port_arrivals.h"
#include "logging/log_format.h"
#include "ui/control_access.h"
#include "ui/control_ids.h"
#include "ui/main_dialog.h"

using namespace kvu::ui;

namespace {

constexpr int kSupervisionPeriodMs = 1000;

// The device box's fields show the start of a text that does not fit (a long port path).
void showText(const CKVUUtilityDlg& dlg, int id, const QString& text) {
    if (QLineEdit* edit = editOf(dlg, id)) {
        edit->setText(text);
        edit->setCursorPosition(0);
    }
}

}  // namespace

void CKVUUtilityDlg::StartSupervision() {
    DisplayKvuInfo();
    m_nTimerID = startTimer(kSupervisionPeriodMs);
    spdlog::info("{} SetTimer:{}", "CKVUUtilityDlg::OnInitDialog", m_nTimerID);
}

void CKVUUtilityDlg::timerEvent(QTimerEvent* event) {
    OnTimer(event->timerId());
    QDialog::timerEvent(event);
}

void CKVUUtilityDlg::OnTimer(int nIDEvent) {
    if (nIDEvent == m_nTimerID && MayLookForDevice()) {
        ComPortOpenProcess();
    }
}

bool CKVUUtilityDlg::MayLookForDevice() const {
    // A tick or an arrival during a conversation is simply skipped; the next tick comes. While a
    // dialog of the window is open no attempt is made either: a connection would redraw the
    // groups under it, and a command that then reads them would take the device's values.
    return !m_bConnected && !isBusy() && !isModalOpen() && !m_bShutDown;
}

void CKVUUtilityDlg::OnPortArrival(const QString& path) {
    spdlog::debug("{} {}", "CKVUUtilityDlg::OnPortArrival", path);
    // A port that is there but cannot be opened yet is not tried again here: the timer does.
    if (MayLookForDevice()) {
        ComPortOpenProcess();
    }
}

void CKVUUtilityDlg::followArrivals(kvu::PortArrivals& arrivals) {
    // Queued: the attempt runs from the event loop, not inside the notifier that saw the port.
    connect(&arrivals, &kvu::PortArrivals::portMayHaveArrived, this, &CKVUUtilityDlg::OnPortArrival,
            Qt::QueuedConnection);
}

void CKVUUtilityDlg::ComPortOpenProcess() {
    BusyScope busy(*this);
    const kvu::ConnectResult result = m_link->connect();
    ShowPortProblem(result);
    if (result.outcome != kvu::ConnectOutcome::Connected) {
        return;
    }
    m_bConnected = true;
    m_strComPort = result.port;
    const kvu::protocol::DeviceIdentity identity = m_link->session().identity();
    m_strVersion = identity.version;
    m_strMcuId = identity.mcuId;
    m_strSerial = identity.serial;
    DisplayKvuInfo();
    // What the device holds now, with every mark cleared: unwritten edits are replaced.
    RedrawAllGroups(m_link->session().profiles());
}

void CKVUUtilityDlg::ShowPortProblem(const kvu::ConnectResult& result) {
    if (m_bConnected || result.outcome == kvu::ConnectOutcome::Connected) {
        return;
    }
    QLineEdit* field = editOf(*this, IDC_COMPORT);
    if (field == nullptr) {
        return;
    }
    if (result.outcome == kvu::ConnectOutcome::OpenFailed && result.permissionDenied) {
        const QString name = QFileInfo(result.port).fileName();
        showText(*this, IDC_COMPORT, QStringLiteral("(%1: permission denied)").arg(name));
        field->setToolTip(kvu::permissionDeniedHint(result.port));
        m_bPortHintShown = true;
        return;
    }
    if (m_bPortHintShown) {
        showText(*this, IDC_COMPORT, QString());
        field->setToolTip(QString());
        m_bPortHintShown = false;
    }
}

void CKVUUtilityDlg::DisplayKvuInfo() {
    if (m_bConnected) {
        ShowConnectedDisplay();
    } else {
        ShowDisconnectedDisplay();
    }
}

void CKVUUtilityDlg::ShowConnectedDisplay() {
    spdlog::info("{}: connect", "CKVUUtilityDlg::DisplayKvuInfo");
    // Only the keyword goes: an identifier may itself end or begin in keyword letters.
    m_strMcuId = kvu::stripLeadingKeyword(m_strMcuId, {"MCUID ", "SN "});
    m_strVersion = kvu::stripLeadingKeyword(m_strVersion, {"VER "});
    showText(*this, IDC_STATUS, QStringLiteral("Connected"));
    showText(*this, IDC_COMPORT, QStringLiteral("(") + m_strComPort + QStringLiteral(")"));
    if (QWidget* field = control(IDC_COMPORT)) {
        field->setToolTip(m_strComPort);
    }
    m_bPortHintShown = false;
    showText(*this, IDC_MCUID, m_strMcuId);
    showText(*this, IDC_FW_VERSION, m_strVersion);
    showText(*this, IDC_SERIAL, m_strSerial);
    for (const int id : {IDC_MCUID, IDC_FW_VERSION, IDC_SERIAL}) {
        enableControl(*this, id, true);
    }
    for (int nNo = 0; nNo < kvu::kGroupCount; ++nNo) {
        EnableGroupUI(nNo, true);
    }
    if (QWidget* first = control(m_nIdLoadPreset[0])) {
        first->setFocus();
    }
    MainButtonsEnable(true);
    LoadSaveMenuEnable(true);
}

void CKVUUtilityDlg::ShowDisconnectedDisplay() {
    spdlog::info("{}: disconnect", "CKVUUtilityDlg::DisplayKvuInfo");
    showText(*this, IDC_STATUS, QStringLiteral("Disconnected"));
    showText(*this, IDC_COMPORT, QString());
    if (QWidget* field = control(IDC_COMPORT)) {
        field->setToolTip(QString());
    }
    m_bPortHintShown = false;
    // The identity texts stay readable, greyed.
    for (const int id : {IDC_MCUID, IDC_FW_VERSION, IDC_SERIAL}) {
        enableControl(*this, id, false);
    }
    for (int nNo = 0; nNo < kvu::kGroupCount; ++nNo) {
        EnableGroupUI(nNo, false);
    }
    MainButtonsEnable(false);
    LoadSaveMenuEnable(false);
}

void CKVUUtilityDlg::OnCloseKvuSerial(std::uint64_t linkNo) {
    if (isBusy()) {
        // The conversation in progress ends on the lost link by itself; the display follows as
        // soon as it has, before any dialog that reports it. A dialog that is already open
        // does not hold the display back.
        m_bLossPending = true;
        m_nPendingLossLink = linkNo;
        return;
    }
    if (!m_link->onLinkLost(linkNo)) {
        return;  // that link was already released
    }
    spdlog::info("{}", "CKVUUtilityDlg::OnCloseKvuSerial");
    m_bConnected = false;
    DisplayKvuInfo();
}

void CKVUUtilityDlg::PumpWhileWaiting() {
    if (m_nPumpDepth > 0) {
        return;
    }
    ++m_nPumpDepth;
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    --m_nPumpDepth;
}

void CKVUUtilityDlg::EndBusy() {
    if (m_bLossPending) {
        m_bLossPending = false;
        OnCloseKvuSerial(m_nPendingLossLink);
    }
    CloseIfPending();
}

void CKVUUtilityDlg::EndModal() {
    --m_nModal;
    CloseIfPending();
}

void CKVUUtilityDlg::CloseIfPending() {
    if (m_bClosePending && !isBusy() && !isModalOpen()) {
        m_bClosePending = false;
        OnCancel();
    }
}
