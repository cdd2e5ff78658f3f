// Enabling and disabling the groups, the main buttons and the Load/Save menu items.
#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include <spdlog/spdlog.h>

#include "ui/control_access.h"
#include "ui/control_ids.h"
#include "ui/main_dialog.h"

using namespace kvu::ui;

namespace {

using kvu::kWifiGroup;

}  // namespace

void CKVUUtilityDlg::EnableGroupUI(int nNo, bool bEnable) {
    spdlog::debug("{} nNo:{}", "CKVUUtilityDlg::EnableGroupUI", nNo + 1);
    if (nNo < 0 || nNo > kWifiGroup) {
        return;
    }
    if (nNo < kWifiGroup) {
        const std::size_t i = static_cast<std::size_t>(nNo);
        for (const int id :
             {m_nIdApnLabel[i], m_nIdUserNameLabel[i], m_nIdPasswordLabel[i], m_nIdAuthTypeLabel[i],
              m_nIdPdpTypeLabel[i], m_nIdApn[i], m_nIdUserName[i], m_nIdPassword[i],
              m_nIdAuthType[i], m_nIdPdpType[i], m_nIdLoadPreset[i], m_nIdSavePreset[i]}) {
            enableControl(*this, id, bEnable);
        }
        return;
    }
    for (const int id :
         {IDC_SSID_LABEL, IDC_SECURITY_LABEL, IDC_KEYFORMAT_LABEL, IDC_PASSPHRASE_LABEL, IDC_SSID,
          IDC_SECURITY, IDC_KEYFORMAT, IDC_PASSPHRASE, IDC_LOADPRESET5, IDC_SAVEPRESET5}) {
        enableControl(*this, id, bEnable);
    }
}

void CKVUUtilityDlg::MainButtonsEnable(bool bEnable) {
    spdlog::debug("{}", "CKVUUtilityDlg::MainButtonsEnable");
    for (const int id : {IDC_ERASE, IDC_RELOAD, IDC_WRITE}) {
        enableControl(*this, id, bEnable);
    }
}

void CKVUUtilityDlg::LoadSaveMenuEnable(bool bEnable) {
    spdlog::debug("{}", "CKVUUtilityDlg::LoadSaveMenuEnable");
    // By position, as the menu resource orders them: the first two items of the first menu.
    const QList<QAction*> menus = m_pMenuBar->actions();
    if (menus.isEmpty() || menus.first()->menu() == nullptr) {
        return;
    }
    const QList<QAction*> items = menus.first()->menu()->actions();
    for (int position = 0; position < 2 && position < items.size(); ++position) {
        items[position]->setEnabled(bEnable);
    }
}
