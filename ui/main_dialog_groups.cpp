// The five groups as views of the profile records: drawing a record, reading it back, and the
// "(Changed)" mark that follows the operator's edits.
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>

#include <spdlog/spdlog.h>

#include "logging/log_format.h"
#include "ui/control_access.h"
#include "ui/control_ids.h"
#include "ui/main_dialog.h"

using namespace kvu::ui;

namespace {

// A digit field selects the item with its value; a value outside the list selects nothing.
void selectDigit(const CKVUUtilityDlg& dlg, int id, const QString& digit) {
    if (QComboBox* combo = comboOf(dlg, id)) {
        combo->setCurrentIndex(kvu::selectionForDigit(digit, combo->count()));
    }
}

QString digitOf(const CKVUUtilityDlg& dlg, int id) {
    const QComboBox* combo = comboOf(dlg, id);
    return kvu::digitForSelection(combo != nullptr ? combo->currentIndex() : -1);
}

bool validGroup(int nNo) {
    return nNo >= 0 && nNo <= kvu::kWifiGroup;
}

}  // namespace

const kvu::WwanProfile& CKVUUtilityDlg::wwanProfile(int nNo) const {
    return m_WwanProfile.at(static_cast<std::size_t>(nNo));
}

bool CKVUUtilityDlg::isChanged(int nNo) const {
    return validGroup(nNo) && bChanged[static_cast<std::size_t>(nNo)];
}

void CKVUUtilityDlg::ConnectChangeHandlers() {
    using Handler = void (CKVUUtilityDlg::*)();
    const std::array<Handler, kvu::kWwanCount> wwanHandlers = {
        &CKVUUtilityDlg::OnEnChangeWwan1, &CKVUUtilityDlg::OnEnChangeWwan2,
        &CKVUUtilityDlg::OnEnChangeWwan3, &CKVUUtilityDlg::OnEnChangeWwan4};
    auto bindEdit = [this](int id, Handler handler) {
        if (QLineEdit* edit = editOf(*this, id)) {
            connect(edit, &QLineEdit::textChanged, this, handler);
        }
    };
    // Only the operator's choice in a list counts as an edit, never a selection made by code.
    auto bindCombo = [this](int id, Handler handler) {
        if (QComboBox* combo = comboOf(*this, id)) {
            connect(combo, &QComboBox::activated, this, handler);
        }
    };
    for (std::size_t i = 0; i < wwanHandlers.size(); ++i) {
        for (const int id : {m_nIdApn[i], m_nIdUserName[i], m_nIdPassword[i]}) {
            bindEdit(id, wwanHandlers[i]);
        }
        for (const int id : {m_nIdAuthType[i], m_nIdPdpType[i]}) {
            bindCombo(id, wwanHandlers[i]);
        }
    }
    bindEdit(IDC_SSID, &CKVUUtilityDlg::OnEnChangeWifi);
    bindEdit(IDC_PASSPHRASE, &CKVUUtilityDlg::OnEnChangeWifi);
    bindCombo(IDC_SECURITY, &CKVUUtilityDlg::OnEnChangeWifi);
    bindCombo(IDC_KEYFORMAT, &CKVUUtilityDlg::OnEnChangeWifi);
}

void CKVUUtilityDlg::SetDataToGroup(int nNo) {
    spdlog::debug("{} nNo:{}", "CKVUUtilityDlg::SetDataToGroup", nNo + 1);
    if (!validGroup(nNo)) {
        return;
    }
    if (nNo < kvu::kWifiGroup) {
        const std::size_t i = static_cast<std::size_t>(nNo);
        const kvu::WwanProfile& profile = m_WwanProfile[i];
        setEditText(*this, m_nIdApn[i], profile.apn);
        setEditText(*this, m_nIdUserName[i], profile.userName);
        setEditText(*this, m_nIdPassword[i], profile.password);
        selectDigit(*this, m_nIdPdpType[i], profile.pdpType);
        selectDigit(*this, m_nIdAuthType[i], profile.authType);
        spdlog::info("Display WWAN {} APN {}", nNo + 1, profile.apn);
        spdlog::info("Display WWAN {} username {}", nNo + 1, profile.userName);
        spdlog::info("Display WWAN {} password {}", nNo + 1, kvu::secretForLog(profile.password));
        spdlog::info("Display WWAN {} PDP {}", nNo + 1, profile.pdpType);
        spdlog::info("Display WWAN {} Auth {}", nNo + 1, profile.authType);
    } else {
        const kvu::WifiProfile& profile = m_WifiProfile;
        setEditText(*this, IDC_SSID, profile.ssid);
        setEditText(*this, IDC_PASSPHRASE, profile.passphrase);
        selectDigit(*this, IDC_SECURITY, profile.security);
        selectDigit(*this, IDC_KEYFORMAT, profile.keyFormat);
        spdlog::info("Display WiFi SSID {}", profile.ssid);
        spdlog::info("Display WiFi security {}", profile.security);
        spdlog::info("Display WiFi key_fmt {}", profile.keyFormat);
        spdlog::info("Display WiFi passphrase {}", kvu::secretForLog(profile.passphrase));
    }
    DisplayModifiedState(nNo);
}

void CKVUUtilityDlg::GetDataFromGroup(int nNo) {
    spdlog::debug("{} nNo:{}", "CKVUUtilityDlg::GetDataFromGroup", nNo + 1);
    if (!validGroup(nNo)) {
        return;
    }
    if (nNo < kvu::kWifiGroup) {
        const std::size_t i = static_cast<std::size_t>(nNo);
        kvu::WwanProfile& profile = m_WwanProfile[i];
        profile.apn = editText(*this, m_nIdApn[i]);
        profile.userName = editText(*this, m_nIdUserName[i]);
        profile.password = editText(*this, m_nIdPassword[i]);
        profile.pdpType = digitOf(*this, m_nIdPdpType[i]);
        profile.authType = digitOf(*this, m_nIdAuthType[i]);
        return;
    }
    m_WifiProfile.ssid = editText(*this, IDC_SSID);
    m_WifiProfile.passphrase = editText(*this, IDC_PASSPHRASE);
    m_WifiProfile.security = digitOf(*this, IDC_SECURITY);
    m_WifiProfile.keyFormat = digitOf(*this, IDC_KEYFORMAT);
}

void CKVUUtilityDlg::DisplayModifiedState(int nNo) {
    spdlog::debug("{} nNo:{}", "CKVUUtilityDlg::DisplayModifiedState", nNo + 1);
    if (!validGroup(nNo)) {
        return;
    }
    const bool changed = bChanged[static_cast<std::size_t>(nNo)];
    QString caption = kvu::groupName(nNo);
    if (changed) {
        caption += QStringLiteral(" (Changed)");
    }
    auto* box = qobject_cast<QGroupBox*>(control(m_nIdGroupBox[static_cast<std::size_t>(nNo)]));
    if (box == nullptr) {
        return;
    }
    // Emptied first, so the whole caption area is repainted and no trace of a longer or
    // heavier caption stays.
    box->setTitle(QString());
    const QFont* font = changed ? m_pBoldFont.get() : m_pGroupFont.get();
    box->setFont(font != nullptr ? *font : QFont());
    box->setTitle(caption);
}

void CKVUUtilityDlg::OnEnChangeWwan(int nNo) {
    const std::size_t i = static_cast<std::size_t>(nNo);
    if (!m_bChangeByCode && !bChanged[i]) {
        bChanged[i] = true;
        DisplayModifiedState(nNo);
    }
}

void CKVUUtilityDlg::OnEnChangeWwan1() {
    OnEnChangeWwan(0);
}

void CKVUUtilityDlg::OnEnChangeWwan2() {
    OnEnChangeWwan(1);
}

void CKVUUtilityDlg::OnEnChangeWwan3() {
    OnEnChangeWwan(2);
}

void CKVUUtilityDlg::OnEnChangeWwan4() {
    OnEnChangeWwan(3);
}

void CKVUUtilityDlg::OnEnChangeWifi() {
    constexpr const char* kName = "CKVUUtilityDlg::OnEnChangeWifi";
    if (m_bChangeByCode) {
        spdlog::debug("{} m_bChangeByCode", kName);
        return;
    }
    if (bChanged[kvu::kWifiGroup]) {
        spdlog::debug("{} bChanged", kName);
        return;
    }
    spdlog::debug("{} bChanged = TRUE", kName);
    bChanged[kvu::kWifiGroup] = true;
    DisplayModifiedState(kvu::kWifiGroup);
}
