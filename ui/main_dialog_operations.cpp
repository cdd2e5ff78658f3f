// The three device operations behind the buttons: Write (after the entry checks), Reload and
// Erase, each ending in one result dialog.
#include <QPushButton>

#include <spdlog/spdlog.h>

#include "logging/log_format.h"
#include "settings/entry_validation.h"
#include "ui/control_access.h"
#include "ui/control_ids.h"
#include "ui/main_dialog.h"
#include "ui/write_result_dialog.h"

using namespace kvu::ui;

void CKVUUtilityDlg::ConnectOperationButtons() {
    const std::pair<int, void (CKVUUtilityDlg::*)()> buttons[] = {
        {IDC_WRITE, &CKVUUtilityDlg::OnBnClickedWrite},
        {IDC_RELOAD, &CKVUUtilityDlg::OnBnClickedReload},
        {IDC_ERASE, &CKVUUtilityDlg::OnBnClickedErase},
    };
    for (const auto& [id, handler] : buttons) {
        if (auto* button = qobject_cast<QPushButton*>(control(id))) {
            connect(button, &QPushButton::clicked, this, handler);
        }
    }
}

bool CKVUUtilityDlg::CheckEnterText() {
    kvu::EnteredTexts texts;
    for (std::size_t i = 0; i < texts.wwan.size(); ++i) {
        texts.wwan[i] = {editText(*this, m_nIdApn[i]), editText(*this, m_nIdUserName[i]),
                         editText(*this, m_nIdPassword[i])};
    }
    texts.ssid = editText(*this, IDC_SSID);
    texts.passphrase = editText(*this, IDC_PASSPHRASE);
    const QComboBox* keyFormat = comboOf(*this, IDC_KEYFORMAT);
    texts.keyFormat = keyFormat != nullptr ? keyFormat->currentIndex() : -1;

    const std::optional<kvu::EntryRejection> rejected = kvu::firstRejectedEntry(texts);
    if (!rejected) {
        return true;
    }
    m_dialogs.messageBox(this, rejected->message, kvu::DialogService::Icon::Error);
    int id = IDC_PASSPHRASE;
    if (rejected->nNo < kvu::kWifiGroup) {
        const std::size_t i = static_cast<std::size_t>(rejected->nNo);
        switch (rejected->entry) {
            case kvu::EntryKind::Apn:
                id = m_nIdApn[i];
                break;
            case kvu::EntryKind::UserName:
                id = m_nIdUserName[i];
                break;
            default:
                id = m_nIdPassword[i];
                break;
        }
    } else if (rejected->entry == kvu::EntryKind::Ssid) {
        id = IDC_SSID;
    }
    if (QWidget* edit = control(id)) {
        edit->setFocus();
    }
    return false;
}

void CKVUUtilityDlg::ShowResult(const QString& title, const QString& line1, const QString& line2,
                                const QString& line3) {
    if (m_bShutDown) {
        return;  // the window closed when the conversation ended; the log has the outcome
    }
    CWriteResultDlg result(this);
    result.SetResultText(title, line1, line2, line3);
    m_dialogs.execDialog(result);
}

void CKVUUtilityDlg::ShowOperationResult(const kvu::device::OperationResult& result) {
    if (result.ok) {
        ShowResult(result.title, QString(), result.outcome, QString());
    } else {
        ShowResult(result.title, result.outcome, result.failedCommand, result.error);
    }
}

kvu::DeviceProfiles CKVUUtilityDlg::profileRecords() const {
    kvu::DeviceProfiles profiles;
    for (std::size_t i = 0; i < m_WwanProfile.size(); ++i) {
        profiles.wwan[i] = m_WwanProfile[i];
    }
    profiles.wifi = m_WifiProfile;
    return profiles;
}

void CKVUUtilityDlg::setProfileRecords(const kvu::DeviceProfiles& profiles) {
    for (std::size_t i = 0; i < m_WwanProfile.size(); ++i) {
        m_WwanProfile[i] = profiles.wwan[i];
    }
    m_WifiProfile = profiles.wifi;
}

void CKVUUtilityDlg::RedrawAllGroups(const kvu::DeviceProfiles& profiles) {
    setProfileRecords(profiles);
    m_bChangeByCode = true;
    for (int nNo = 0; nNo < kvu::kGroupCount; ++nNo) {
        bChanged[static_cast<std::size_t>(nNo)] = false;
        SetDataToGroup(nNo);
    }
    m_bChangeByCode = false;
}

void CKVUUtilityDlg::OnBnClickedWrite() {
    if (!m_bConnected || isBusy() || isModalOpen()) {
        return;
    }
    spdlog::info("{}", "CKVUUtilityDlg::OnBnClickedWrite");
    if (!CheckEnterText()) {
        spdlog::info("{} CheckEnterText return false", "CKVUUtilityDlg::OnBnClickedWrite");
        return;
    }
    for (int nNo = 0; nNo < kvu::kGroupCount; ++nNo) {
        GetDataFromGroup(nNo);
    }
    kvu::device::OperationResult result;
    {
        BusyScope busy(*this);
        result = kvu::device::writeProfiles(*m_link, profileRecords());
    }
    if (result.ok) {
        for (int nNo = 0; nNo < kvu::kGroupCount; ++nNo) {
            bChanged[static_cast<std::size_t>(nNo)] = false;
            DisplayModifiedState(nNo);
        }
    }
    ShowOperationResult(result);
}

void CKVUUtilityDlg::OnBnClickedReload() {
    if (!m_bConnected || isBusy() || isModalOpen()) {
        return;
    }
    spdlog::info("{}", "CKVUUtilityDlg::OnBnClickedReload");
    RunReadingOperation(&kvu::device::readProfiles);
}

void CKVUUtilityDlg::OnBnClickedErase() {
    if (!m_bConnected || isBusy() || isModalOpen()) {
        return;
    }
    spdlog::info("{}", "CKVUUtilityDlg::OnBnClickedErase");
    RunReadingOperation(&kvu::device::eraseProfiles);
}

void CKVUUtilityDlg::RunReadingOperation(
    kvu::device::OperationResult (*operation)(kvu::ConnectionSupervisor&)) {
    kvu::device::OperationResult result;
    {
        BusyScope busy(*this);
        result = operation(*m_link);
        if (result.ok) {
            RedrawAllGroups(result.profiles);
        }
    }
    ShowOperationResult(result);
}
