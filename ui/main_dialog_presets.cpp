// The twelve preset commands: each group's Load Preset and Save Preset buttons (.wwan, .wifi)
// and File > Load and Save (.all), with their file dialogs and the redraw after a load.
#include <QAction>
#include <QPushButton>

#include <spdlog/spdlog.h>

#include <array>
#include <utility>

#include "logging/log_format.h"
#include "presets/preset_files.h"
#include "ui/control_ids.h"
#include "ui/main_dialog.h"

using namespace kvu::ui;

namespace {

using kvu::FileDialogRequest;

// OFN_READONLY: the only flag the open dialogs are given.
constexpr unsigned kOfnReadOnly = 0x1;

const QString kWwanExtension = QStringLiteral("*.wwan");
const QString kWifiExtension = QStringLiteral("*.wifi");
const QString kAllExtension = QStringLiteral("*.all");
const QString kWwanFilter = QStringLiteral("WWAN Preset File(*.wwan)|*.wwan|");
const QString kWifiFilter = QStringLiteral("Wi-Fi Preset File(*.wifi)|*.wifi|");
const QString kAllFilter = QStringLiteral("All Preset File(*.all)|*.all|");

FileDialogRequest openRequest(const QString& extension, const QString& filter) {
    return {FileDialogRequest::Kind::Open, extension, filter, kOfnReadOnly, {}};
}

FileDialogRequest saveRequest(const QString& extension, const QString& filter) {
    return {FileDialogRequest::Kind::Save, extension, filter, 0, {}};
}

// A save that did not reach the disk is the one preset failure the operator is told about.
void reportSaveFailure(kvu::DialogService& dialogs, QWidget* parent, const char* method,
                       const QString& error) {
    spdlog::error("{} {}", method, error);
    dialogs.messageBox(parent, QStringLiteral("The preset file could not be saved.\n%1").arg(error),
                       kvu::DialogService::Icon::Error);
}

}  // namespace

void CKVUUtilityDlg::ConnectPresetCommands() {
    using Handler = void (CKVUUtilityDlg::*)();
    const std::pair<int, Handler> buttons[] = {
        {m_nIdLoadPreset[0], &CKVUUtilityDlg::OnBnClickedLoadpreset1},
        {m_nIdLoadPreset[1], &CKVUUtilityDlg::OnBnClickedLoadpreset2},
        {m_nIdLoadPreset[2], &CKVUUtilityDlg::OnBnClickedLoadpreset3},
        {m_nIdLoadPreset[3], &CKVUUtilityDlg::OnBnClickedLoadpreset4},
        {m_nIdLoadPreset[4], &CKVUUtilityDlg::OnBnClickedLoadpreset5},
        {m_nIdSavePreset[0], &CKVUUtilityDlg::OnBnClickedSavepreset1},
        {m_nIdSavePreset[1], &CKVUUtilityDlg::OnBnClickedSavepreset2},
        {m_nIdSavePreset[2], &CKVUUtilityDlg::OnBnClickedSavepreset3},
        {m_nIdSavePreset[3], &CKVUUtilityDlg::OnBnClickedSavepreset4},
        {m_nIdSavePreset[4], &CKVUUtilityDlg::OnBnClickedSavepreset5},
    };
    for (const auto& [id, handler] : buttons) {
        if (auto* button = qobject_cast<QPushButton*>(control(id))) {
            connect(button, &QPushButton::clicked, this, handler);
        }
    }
    const std::pair<int, Handler> items[] = {
        {ID_FILE_LOAD, &CKVUUtilityDlg::OnFileLoad},
        {ID_FILE_SAVE, &CKVUUtilityDlg::OnFileSave},
    };
    for (const auto& [id, handler] : items) {
        if (QAction* action = menuAction(id)) {
            connect(action, &QAction::triggered, this, handler);
        }
    }
}

void CKVUUtilityDlg::LoadWwanPreset(int nNo) {
    spdlog::info("{} nNo:{}", "CKVUUtilityDlg::LoadWwanPreset", nNo + 1);
    if (nNo < 0 || nNo >= kvu::kWwanCount) {
        return;
    }
    const kvu::FileDialogResult chosen =
        m_dialogs.fileDialog(this, openRequest(kWwanExtension, kWwanFilter));
    if (!chosen.accepted) {
        spdlog::info("Load Preset {} Cancel.", nNo + 1);
        return;
    }
    const std::size_t i = static_cast<std::size_t>(nNo);
    if (!kvu::presets::readWwanPreset(nNo, chosen.path, false, m_WwanProfile[i])) {
        return;
    }
    m_bChangeByCode = true;
    bChanged[i] = true;
    SetDataToGroup(nNo);
    m_bChangeByCode = false;
}

void CKVUUtilityDlg::SaveWwanPreset(int nNo) {
    constexpr const char* kName = "CKVUUtilityDlg::SaveWwanPreset";
    spdlog::info("{} {}", kName, nNo + 1);
    if (nNo < 0 || nNo >= kvu::kWwanCount) {
        return;
    }
    const kvu::FileDialogResult chosen =
        m_dialogs.fileDialog(this, saveRequest(kWwanExtension, kWwanFilter));
    if (!chosen.accepted) {
        spdlog::info("Save Preset {} Cancel.", nNo + 1);
        return;
    }
    GetDataFromGroup(nNo);
    QString error;
    if (!kvu::presets::writeWwanPreset(nNo, chosen.path, false,
                                       m_WwanProfile[static_cast<std::size_t>(nNo)], error)) {
        reportSaveFailure(m_dialogs, this, kName, error);
    }
}

void CKVUUtilityDlg::OnBnClickedLoadpreset1() {
    LoadWwanPreset(0);
}

void CKVUUtilityDlg::OnBnClickedLoadpreset2() {
    LoadWwanPreset(1);
}

void CKVUUtilityDlg::OnBnClickedLoadpreset3() {
    LoadWwanPreset(2);
}

void CKVUUtilityDlg::OnBnClickedLoadpreset4() {
    LoadWwanPreset(3);
}

void CKVUUtilityDlg::OnBnClickedLoadpreset5() {
    spdlog::info("{}", "CKVUUtilityDlg::OnBnClickedLoadpreset5");
    const kvu::FileDialogResult chosen =
        m_dialogs.fileDialog(this, openRequest(kWifiExtension, kWifiFilter));
    if (!chosen.accepted) {
        spdlog::info("Load Preset Cancel.");
        return;
    }
    if (!kvu::presets::readWifiPreset(chosen.path, m_WifiProfile)) {
        return;
    }
    m_bChangeByCode = true;
    bChanged[kvu::kWifiGroup] = true;
    SetDataToGroup(kvu::kWifiGroup);
    m_bChangeByCode = false;
}

void CKVUUtilityDlg::OnBnClickedSavepreset1() {
    SaveWwanPreset(0);
}

void CKVUUtilityDlg::OnBnClickedSavepreset2() {
    SaveWwanPreset(1);
}

void CKVUUtilityDlg::OnBnClickedSavepreset3() {
    SaveWwanPreset(2);
}

void CKVUUtilityDlg::OnBnClickedSavepreset4() {
    SaveWwanPreset(3);
}

void CKVUUtilityDlg::OnBnClickedSavepreset5() {
    constexpr const char* kName = "CKVUUtilityDlg::OnBnClickedSavepreset5";
    spdlog::info("{}", kName);
    const kvu::FileDialogResult chosen =
        m_dialogs.fileDialog(this, saveRequest(kWifiExtension, kWifiFilter));
    if (!chosen.accepted) {
        spdlog::info("Save Preset Cancel.");
        return;
    }
    GetDataFromGroup(kvu::kWifiGroup);
    QString error;
    if (!kvu::presets::writeWifiPreset(chosen.path, m_WifiProfile, error)) {
        reportSaveFailure(m_dialogs, this, kName, error);
    }
}

void CKVUUtilityDlg::OnFileLoad() {
    spdlog::info("{}", "CKVUUtilityDlg::OnFileLoad");
    FileDialogRequest request = openRequest(kAllExtension, kAllFilter);
    for (int nNo = 0; nNo < kvu::kGroupCount; ++nNo) {
        request.checkButtons.push_back(
            {m_nIdCheck[static_cast<std::size_t>(nNo)], kvu::groupName(nNo), true});
    }
    const kvu::FileDialogResult chosen = m_dialogs.fileDialog(this, request);
    if (!chosen.accepted) {
        spdlog::info("Load All Preset Cancel.");
        return;
    }
    std::array<bool, kvu::kGroupCount> ticked{};
    for (std::size_t i = 0; i < ticked.size(); ++i) {
        ticked[i] = kvu::isTicked(chosen, m_nIdCheck[i]);
    }

    // Every ticked section must be there before anything is shown: a missing one stops the
    // command with the screen and the marks as they were.
    for (int nNo = 0; nNo < kvu::kWwanCount; ++nNo) {
        const std::size_t i = static_cast<std::size_t>(nNo);
        if (ticked[i] && !kvu::presets::readWwanPreset(nNo, chosen.path, true, m_WwanProfile[i])) {
            return;
        }
    }
    if (ticked[kvu::kWifiGroup] && !kvu::presets::readWifiPreset(chosen.path, m_WifiProfile)) {
        return;
    }

    m_bChangeByCode = true;
    for (int nNo = 0; nNo < kvu::kGroupCount; ++nNo) {
        const std::size_t i = static_cast<std::size_t>(nNo);
        if (ticked[i]) {
            bChanged[i] = true;
            SetDataToGroup(nNo);
        }
    }
    m_bChangeByCode = false;
}

void CKVUUtilityDlg::OnFileSave() {
    constexpr const char* kName = "CKVUUtilityDlg::OnFileSave";
    spdlog::info("{}", kName);
    const kvu::FileDialogResult chosen =
        m_dialogs.fileDialog(this, saveRequest(kAllExtension, kAllFilter));
    if (!chosen.accepted) {
        spdlog::info("Save All Preset Cancel.");
        return;
    }
    // The first write that fails is reported once; the sections after it are not tried.
    QString error;
    for (int nNo = 0; nNo < kvu::kWwanCount; ++nNo) {
        GetDataFromGroup(nNo);
        if (!kvu::presets::writeWwanPreset(nNo, chosen.path, true,
                                           m_WwanProfile[static_cast<std::size_t>(nNo)], error)) {
            reportSaveFailure(m_dialogs, this, kName, error);
            return;
        }
    }
    GetDataFromGroup(kvu::kWifiGroup);
    if (!kvu::presets::writeWifiPreset(chosen.path, m_WifiProfile, error)) {
        reportSaveFailure(m_dialogs, this, kName, error);
    }
}
