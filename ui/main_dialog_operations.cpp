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

void CKVUUtilityDlg::ShowFailure(const QString& title, const QString& line1, const QString& command,
                                 const QString& strError) {
    ShowResult(title, line1, command, strError);
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

void CKVUUtilityDlg::RedrawAllGroups() {
    setProfileRecords(m_link->session().profiles());
    m_bChangeByCode = true;
    for (int nNo = 0; nNo < kvu::kGroupCount; ++nNo) {
        bChanged[static_cast<std::size_t>(nNo)] = false;
        SetDataToGroup(nNo);
    }
    m_bChangeByCode = false;
}

void CKVUUtilityDlg::OnBnClickedWrite() {
    constexpr const char* kName = "CKVUUtilityDlg::OnBnClickedWrite";
    if (!m_bConnected || isBusy() || isModalOpen()) {
        return;
    }
    spdlog::info("{}", kName);
    if (!CheckEnterText()) {
        spdlog::info("{} CheckEnterText return false", kName);
        return;
    }
    for (int nNo = 0; nNo < kvu::kGroupCount; ++nNo) {
        GetDataFromGroup(nNo);
    }
    QString strError;
    QString command;
    bool written = false;
    {
        BusyScope busy(*this);
        kvu::protocol::DeviceSession& session = m_link->session();
        session.setProfiles(profileRecords());
        // An unanswered or refused commit is a failed Write too: the device did not save the
        // profiles. Either way the dialog shows the command that failed.
        written = session.writeAll(strError) && session.commitProfiles(strError);
        command = m_link->channel().currentCommand();
    }
    if (!written) {
        spdlog::error("{} {}", kName, strError);
        ShowFailure(QStringLiteral("Write Result"), QStringLiteral("Write Failed"), command,
                    strError);
        return;
    }
    spdlog::info("{}", "Write Successfully");
    for (int nNo = 0; nNo < kvu::kGroupCount; ++nNo) {
        bChanged[static_cast<std::size_t>(nNo)] = false;
        DisplayModifiedState(nNo);
    }
    ShowResult(QStringLiteral("Write Result"), QString(), QStringLiteral("Write Successfully"),
               QString());
}

void CKVUUtilityDlg::OnBnClickedReload() {
    if (!m_bConnected || isBusy() || isModalOpen()) {
        return;
    }
    spdlog::info("{}", "CKVUUtilityDlg::OnBnClickedReload");
    QString strError;
    QString command;
    bool read = false;
    {
        BusyScope busy(*this);
        read = m_link->session().readAll(strError);
        command = m_link->channel().currentCommand();
        if (read) {
            spdlog::info("{}", "Reload Successfully");
            RedrawAllGroups();
        }
    }
    if (!read) {
        spdlog::error("{}", "Reload Failed");
        ShowFailure(QStringLiteral("Reload Result"), QStringLiteral("Reload Failed"), command,
                    strError);
        return;
    }
    ShowResult(QStringLiteral("Reload Result"), QString(), QStringLiteral("Reload Successfully"),
               QString());
}

void CKVUUtilityDlg::OnBnClickedErase() {
    if (!m_bConnected || isBusy() || isModalOpen()) {
        return;
    }
    spdlog::info("{}", "CKVUUtilityDlg::OnBnClickedErase");
    enum class Step { Erase, ReadBack, Done };
    Step failed = Step::Done;
    QString strError;
    QString command;
    {
        BusyScope busy(*this);
        kvu::protocol::DeviceSession& session = m_link->session();
        if (!session.erase(strError)) {
            spdlog::error("{}", "Erase Failed");
            failed = Step::Erase;
        } else {
            spdlog::info("{}", "Erase Successfully");
            if (!session.readAll(strError)) {
                spdlog::error("{}", "Erase Failed");
                failed = Step::ReadBack;
            } else {
                spdlog::info("{}", "Reload Successfully");
                RedrawAllGroups();
            }
        }
        command = m_link->channel().currentCommand();
    }
    if (failed == Step::Erase) {
        ShowFailure(QStringLiteral("Erase Result"), QStringLiteral("Erase Failed"), command,
                    strError);
        return;
    }
    if (failed == Step::ReadBack) {
        ShowFailure(QStringLiteral("Reload Result"), QStringLiteral("Reload Failed"), command,
                    strError);
        return;
    }
    ShowResult(QStringLiteral("Erase Result"), QString(), QStringLiteral("Erase Successfully"),
               QString());
}
