// The ids of each group's controls, index nNo, as the tests address them.
#pragma once

#include <array>

#include "ui/control_ids.h"

namespace kvu::test {

using namespace kvu::ui;

inline constexpr std::array<int, 5> kGroupBoxes = {
    IDC_GROUP_WWAN1, IDC_GROUP_WWAN2, IDC_GROUP_WWAN3, IDC_GROUP_WWAN4, IDC_GROUP_WIFI};
inline constexpr std::array<int, 4> kApn = {IDC_APN1, IDC_APN2, IDC_APN3, IDC_APN4};
inline constexpr std::array<int, 4> kUser = {IDC_USERNAME1, IDC_USERNAME2, IDC_USERNAME3,
                                             IDC_USERNAME4};
inline constexpr std::array<int, 4> kPassword = {IDC_PASSWORD1, IDC_PASSWORD2, IDC_PASSWORD3,
                                                 IDC_PASSWORD4};
inline constexpr std::array<int, 4> kAuth = {IDC_AUTHTYPE1, IDC_AUTHTYPE2, IDC_AUTHTYPE3,
                                             IDC_AUTHTYPE4};
inline constexpr std::array<int, 4> kPdp = {IDC_PDPTYPE1, IDC_PDPTYPE2, IDC_PDPTYPE3, IDC_PDPTYPE4};

}  // namespace kvu::test
