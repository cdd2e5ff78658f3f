#include "ui/main_dialog_layout.h"

#include <array>

#include "ui/control_ids.h"

namespace kvu::ui {
namespace {

constexpr std::array<const char*, 3> kAuthItems{"none", "CHAP", "PAP"};
constexpr std::array<const char*, 3> kPdpItems{"IPV4", "IPV6", "IPV4V6"};
constexpr std::array<const char*, 2> kSecurityItems{"none", "WPA2-PSK (AES)"};
constexpr std::array<const char*, 2> kKeyFormatItems{"ASCII", "HEX"};
constexpr std::span<const char* const> kNoItems{};

using K = ControlKind;

// clang-format off
constexpr ControlSpec kControls[] = {
    // id                 kind              text             items            x    y    w    h   flags
    // WWAN1
    {IDC_LOADPRESET1,     K::PushButton,   "Load Preset",   kNoItems,        {18,  18,  50,  14}, kNoFlags},
    {IDC_SAVEPRESET1,     K::PushButton,   "Save Preset",   kNoItems,        {112, 18,  50,  14}, kNoFlags},
    {IDC_APN1,            K::Edit,         "",              kNoItems,        {66,  42,  96,  14}, kNoFlags},
    {IDC_USERNAME1,       K::Edit,         "",              kNoItems,        {66,  60,  96,  14}, kNoFlags},
    {IDC_PASSWORD1,       K::Edit,         "",              kNoItems,        {66,  78,  96,  14}, kNoFlags},
    {IDC_AUTHTYPE1,       K::DropDownList, "",              kAuthItems,      {66,  97,  96,  30}, kNoFlags},
    {IDC_PDPTYPE1,        K::DropDownList, "",              kPdpItems,       {66,  114, 96,  30}, kNoFlags},
    // WWAN2
    {IDC_LOADPRESET2,     K::PushButton,   "Load Preset",   kNoItems,        {192, 19,  50,  14}, kNoFlags},
    {IDC_SAVEPRESET2,     K::PushButton,   "Save Preset",   kNoItems,        {286, 19,  50,  14}, kNoFlags},
    {IDC_APN2,            K::Edit,         "",              kNoItems,        {240, 43,  96,  14}, kNoFlags},
    {IDC_USERNAME2,       K::Edit,         "",              kNoItems,        {240, 60,  96,  14}, kNoFlags},
    {IDC_PASSWORD2,       K::Edit,         "",              kNoItems,        {240, 78,  96,  14}, kNoFlags},
    {IDC_AUTHTYPE2,       K::DropDownList, "",              kAuthItems,      {240, 98,  96,  30}, kNoFlags},
    {IDC_PDPTYPE2,        K::DropDownList, "",              kPdpItems,       {240, 115, 96,  30}, kNoFlags},
    // WWAN3
    {IDC_LOADPRESET3,     K::PushButton,   "Load Preset",   kNoItems,        {18,  152, 50,  14}, kNoFlags},
    {IDC_SAVEPRESET3,     K::PushButton,   "Save Preset",   kNoItems,        {112, 152, 50,  14}, kNoFlags},
    {IDC_APN3,            K::Edit,         "",              kNoItems,        {66,  176, 96,  14}, kNoFlags},
    {IDC_USERNAME3,       K::Edit,         "",              kNoItems,        {66,  194, 96,  14}, kNoFlags},
    {IDC_PASSWORD3,       K::Edit,         "",              kNoItems,        {66,  212, 96,  14}, kNoFlags},
    {IDC_AUTHTYPE3,       K::DropDownList, "",              kAuthItems,      {66,  231, 96,  30}, kNoFlags},
    {IDC_PDPTYPE3,        K::DropDownList, "",              kPdpItems,       {66,  248, 96,  30}, kNoFlags},
    // WWAN4
    {IDC_LOADPRESET4,     K::PushButton,   "Load Preset",   kNoItems,        {192, 153, 50,  14}, kNoFlags},
    {IDC_SAVEPRESET4,     K::PushButton,   "Save Preset",   kNoItems,        {286, 153, 50,  14}, kNoFlags},
    {IDC_APN4,            K::Edit,         "",              kNoItems,        {240, 177, 96,  14}, kNoFlags},
    {IDC_USERNAME4,       K::Edit,         "",              kNoItems,        {240, 194, 96,  14}, kNoFlags},
    {IDC_PASSWORD4,       K::Edit,         "",              kNoItems,        {240, 212, 96,  14}, kNoFlags},
    {IDC_AUTHTYPE4,       K::DropDownList, "",              kAuthItems,      {240, 231, 96,  30}, kNoFlags},
    {IDC_PDPTYPE4,        K::DropDownList, "",              kPdpItems,       {240, 249, 96,  30}, kNoFlags},
    // Wi-Fi
    {IDC_LOADPRESET5,     K::PushButton,   "Load Preset",   kNoItems,        {366, 18,  50,  14}, kNoFlags},
    {IDC_SAVEPRESET5,     K::PushButton,   "Save Preset",   kNoItems,        {461, 18,  50,  14}, kNoFlags},
    {IDC_SSID,            K::Edit,         "",              kNoItems,        {414, 43,  96,  14}, kNoFlags},
    {IDC_SECURITY,        K::DropDownList, "",              kSecurityItems,  {414, 61,  96,  30}, kNoFlags},
    {IDC_KEYFORMAT,       K::DropDownList, "",              kKeyFormatItems, {414, 78,  96,  30}, kNoFlags},
    {IDC_PASSPHRASE,      K::Edit,         "",              kNoItems,        {414, 95,  96,  14}, kNoFlags},
    // Main buttons
    {IDC_ERASE,           K::PushButton,   "Erase",         kNoItems,        {354, 252, 40,  20}, kNoFlags},
    {IDC_RELOAD,          K::PushButton,   "Reload",        kNoItems,        {401, 252, 40,  20}, kNoFlags},
    {IDC_WRITE,           K::PushButton,   "Write",         kNoItems,        {448, 252, 70,  20}, kNoFlags},
    // Labels and group boxes
    {IDC_GROUP_WWAN1,     K::GroupBox,     "WWAN1",         kNoItems,        {6,   6,   168, 132}, kNoFlags},
    {IDC_APN_LABEL1,      K::Label,        "APN：",         kNoItems,        {18,  45,  22,  8},  kNoFlags},
    {IDC_USERNAME_LABEL1, K::Label,        "User Name：",   kNoItems,        {18,  63,  46,  8},  kNoFlags},
    {IDC_PASSWORD_LABEL1, K::Label,        "Password：",    kNoItems,        {18,  80,  39,  8},  kNoFlags},
    {IDC_AUTHTYPE_LABEL1, K::Label,        "AUTH TYPE：",   kNoItems,        {18,  98,  47,  8},  kNoFlags},
    {IDC_PDPTYPE_LABEL1,  K::Label,        "PDP TYPE：",    kNoItems,        {18,  116, 40,  8},  kNoFlags},
    {IDC_GROUP_WWAN2,     K::GroupBox,     "WWAN2",         kNoItems,        {180, 6,   168, 132}, kNoFlags},
    {IDC_APN_LABEL2,      K::Label,        "APN：",         kNoItems,        {192, 45,  22,  8},  kNoFlags},
    {IDC_USERNAME_LABEL2, K::Label,        "User Name：",   kNoItems,        {192, 63,  46,  8},  kNoFlags},
    {IDC_PASSWORD_LABEL2, K::Label,        "Password：",    kNoItems,        {192, 80,  39,  8},  kNoFlags},
    {IDC_AUTHTYPE_LABEL2, K::Label,        "AUTH TYPE：",   kNoItems,        {192, 99,  47,  8},  kNoFlags},
    {IDC_PDPTYPE_LABEL2,  K::Label,        "PDP TYPE：",    kNoItems,        {192, 116, 40,  8},  kNoFlags},
    {IDC_GROUP_WWAN3,     K::GroupBox,     "WWAN3",         kNoItems,        {6,   140, 168, 132}, kNoFlags},
    {IDC_APN_LABEL3,      K::Label,        "APN：",         kNoItems,        {18,  179, 22,  8},  kNoFlags},
    {IDC_USERNAME_LABEL3, K::Label,        "User Name：",   kNoItems,        {18,  197, 46,  8},  kNoFlags},
    {IDC_PASSWORD_LABEL3, K::Label,        "Password：",    kNoItems,        {18,  214, 39,  8},  kNoFlags},
    {IDC_AUTHTYPE_LABEL3, K::Label,        "AUTH TYPE：",   kNoItems,        {18,  232, 47,  8},  kNoFlags},
    {IDC_PDPTYPE_LABEL3,  K::Label,        "PDP TYPE：",    kNoItems,        {18,  250, 40,  8},  kNoFlags},
    {IDC_GROUP_WWAN4,     K::GroupBox,     "WWAN4",         kNoItems,        {180, 140, 168, 132}, kNoFlags},
    {IDC_APN_LABEL4,      K::Label,        "APN：",         kNoItems,        {192, 179, 22,  8},  kNoFlags},
    {IDC_USERNAME_LABEL4, K::Label,        "User Name：",   kNoItems,        {192, 197, 46,  8},  kNoFlags},
    {IDC_PASSWORD_LABEL4, K::Label,        "Password：",    kNoItems,        {192, 214, 39,  8},  kNoFlags},
    {IDC_AUTHTYPE_LABEL4, K::Label,        "AUTH TYPE：",   kNoItems,        {192, 233, 47,  8},  kNoFlags},
    {IDC_PDPTYPE_LABEL4,  K::Label,        "PDP TYPE：",    kNoItems,        {192, 250, 40,  8},  kNoFlags},
    {IDC_GROUP_WIFI,      K::GroupBox,     "Wi-Fi",         kNoItems,        {354, 6,   168, 132}, kDisabled},
    {IDC_SSID_LABEL,      K::Label,        "SSID",          kNoItems,        {366, 45,  18,  8},  kNoFlags},
    {IDC_SECURITY_LABEL,  K::Label,        "Security：",    kNoItems,        {366, 63,  35,  8},  kNoFlags},
    {IDC_KEYFORMAT_LABEL, K::Label,        "Key Format：",  kNoItems,        {366, 80,  47,  8},  kNoFlags},
    {IDC_PASSPHRASE_LABEL,K::Label,        "Passphrase：",  kNoItems,        {366, 97,  45,  8},  kNoFlags},
    // Device box
    {IDC_STATIC,          K::GroupBox,     "KVU",           kNoItems,        {354, 140, 168, 65}, kNoFlags},
    {IDC_STATIC,          K::Label,        "FW",            kNoItems,        {358, 155, 12,  8},  kNoFlags},
    {IDC_FW_VERSION,      K::Edit,         "",              kNoItems,        {389, 155, 128, 12}, kReadOnly | kNoBorder},
    {IDC_STATIC,          K::Label,        "MCUID",         kNoItems,        {358, 170, 24,  8},  kNoFlags},
    {IDC_MCUID,           K::Edit,         "",              kNoItems,        {389, 170, 128, 12}, kReadOnly | kNoBorder},
    {IDC_STATIC,          K::Label,        "Serial",        kNoItems,        {358, 185, 24,  8},  kNoFlags},
    {IDC_SERIAL,          K::Edit,         "",              kNoItems,        {389, 185, 128, 12}, kReadOnly | kNoBorder},
    {IDC_STATUS,          K::Edit,         "",              kNoItems,        {358, 210, 90,  20}, kReadOnly | kRightAlign | kNoBorder | kLargeFont},
    {IDC_COMPORT,         K::Edit,         "",              kNoItems,        {450, 216, 64,  12}, kReadOnly | kNoBorder},
    // Hidden check boxes
    {IDC_CHECK1,          K::CheckBox,     "Check1",        kNoItems,        {0,   268, 40,  11}, kHidden},
    {IDC_CHECK2,          K::CheckBox,     "Check2",        kNoItems,        {41,  269, 40,  10}, kHidden},
    {IDC_CHECK3,          K::CheckBox,     "Check3",        kNoItems,        {84,  269, 40,  10}, kHidden},
    {IDC_CHECK4,          K::CheckBox,     "Check4",        kNoItems,        {125, 269, 40,  10}, kHidden},
    {IDC_CHECK5,          K::CheckBox,     "Check5",        kNoItems,        {168, 269, 40,  10}, kHidden},
};
// clang-format on

}  // namespace

std::span<const ControlSpec> mainDialogControls() {
    return kControls;
}

const ControlSpec* findControlSpec(int id) {
    if (id == IDC_STATIC) {
        return nullptr;
    }
    for (const ControlSpec& row : kControls) {
        if (row.id == id) {
            return &row;
        }
    }
    return nullptr;
}

}  // namespace kvu::ui
