// Numeric ids of the main window's controls and menu commands, and of the About box. Other
// code (group display, presets, tests) reaches controls through these ids.
#pragma once

namespace kvu::ui {

// WWAN1
inline constexpr int IDC_APN_LABEL1 = 1000;
inline constexpr int IDC_USERNAME_LABEL1 = 1001;
inline constexpr int IDC_PASSWORD_LABEL1 = 1002;
inline constexpr int IDC_AUTHTYPE_LABEL1 = 1003;
inline constexpr int IDC_PDPTYPE_LABEL1 = 1004;
inline constexpr int IDC_APN1 = 1005;
inline constexpr int IDC_USERNAME1 = 1006;
inline constexpr int IDC_PASSWORD1 = 1007;
inline constexpr int IDC_AUTHTYPE1 = 1008;
inline constexpr int IDC_PDPTYPE1 = 1009;
inline constexpr int IDC_LOADPRESET1 = 1010;
inline constexpr int IDC_SAVEPRESET1 = 1011;
// WWAN2
inline constexpr int IDC_APN_LABEL2 = 1012;
inline constexpr int IDC_USERNAME_LABEL2 = 1013;
inline constexpr int IDC_PASSWORD_LABEL2 = 1014;
inline constexpr int IDC_AUTHTYPE_LABEL2 = 1015;
inline constexpr int IDC_PDPTYPE_LABEL2 = 1016;
inline constexpr int IDC_LOADPRESET2 = 1017;
inline constexpr int IDC_SAVEPRESET2 = 1018;
inline constexpr int IDC_APN2 = 1019;
inline constexpr int IDC_USERNAME2 = 1020;
inline constexpr int IDC_PASSWORD2 = 1021;
inline constexpr int IDC_AUTHTYPE2 = 1022;
inline constexpr int IDC_PDPTYPE2 = 1023;
// WWAN3
inline constexpr int IDC_APN_LABEL3 = 1024;
inline constexpr int IDC_USERNAME_LABEL3 = 1025;
inline constexpr int IDC_PASSWORD_LABEL3 = 1026;
inline constexpr int IDC_AUTHTYPE_LABEL3 = 1027;
inline constexpr int IDC_PDPTYPE_LABEL3 = 1028;
inline constexpr int IDC_LOADPRESET3 = 1029;
inline constexpr int IDC_SAVEPRESET3 = 1030;
inline constexpr int IDC_APN3 = 1031;
inline constexpr int IDC_USERNAME3 = 1032;
inline constexpr int IDC_PASSWORD3 = 1033;
inline constexpr int IDC_AUTHTYPE3 = 1034;
inline constexpr int IDC_PDPTYPE3 = 1035;
// WWAN4
inline constexpr int IDC_APN_LABEL4 = 1036;
inline constexpr int IDC_USERNAME_LABEL4 = 1037;
inline constexpr int IDC_PASSWORD_LABEL4 = 1038;
inline constexpr int IDC_AUTHTYPE_LABEL4 = 1039;
inline constexpr int IDC_PDPTYPE_LABEL4 = 1040;
inline constexpr int IDC_LOADPRESET4 = 1041;
inline constexpr int IDC_SAVEPRESET4 = 1042;
inline constexpr int IDC_APN4 = 1043;
inline constexpr int IDC_USERNAME4 = 1044;
inline constexpr int IDC_PASSWORD4 = 1045;
inline constexpr int IDC_AUTHTYPE4 = 1046;
inline constexpr int IDC_PDPTYPE4 = 1047;
// Device box and main buttons
inline constexpr int IDC_MCUID = 1048;
inline constexpr int IDC_FW_VERSION = 1049;
inline constexpr int IDC_RELOAD = 1050;
inline constexpr int IDC_WRITE = 1051;
inline constexpr int IDC_STATUS = 1052;
// Wi-Fi
inline constexpr int IDC_LOADPRESET5 = 1053;
inline constexpr int IDC_SAVEPRESET5 = 1054;
inline constexpr int IDC_SSID_LABEL = 1055;
inline constexpr int IDC_SECURITY_LABEL = 1056;
inline constexpr int IDC_SSID = 1057;
inline constexpr int IDC_SECURITY = 1058;
inline constexpr int IDC_PASSPHRASE = 1059;
inline constexpr int IDC_PASSPHRASE_LABEL = 1060;
inline constexpr int IDC_COMPORT = 1061;
inline constexpr int IDC_ERASE = 1062;
inline constexpr int IDC_KEYFORMAT_LABEL = 1063;
inline constexpr int IDC_KEYFORMAT = 1064;
inline constexpr int IDC_SERIAL = 1065;
// Hidden check boxes; their ids double as option ids of the preset file dialog.
inline constexpr int IDC_CHECK1 = 1068;
inline constexpr int IDC_CHECK2 = 1069;
inline constexpr int IDC_CHECK3 = 1070;
inline constexpr int IDC_CHECK4 = 1071;
inline constexpr int IDC_CHECK5 = 1072;
// Group boxes
inline constexpr int IDC_GROUP_WWAN1 = 1073;
inline constexpr int IDC_GROUP_WWAN2 = 1074;
inline constexpr int IDC_GROUP_WWAN3 = 1075;
inline constexpr int IDC_GROUP_WWAN4 = 1076;
inline constexpr int IDC_GROUP_WIFI = 1077;
// Controls without an id of their own (device box frame and its labels).
inline constexpr int IDC_STATIC = -1;

// Menu commands
inline constexpr int ID_FILE_EXIT = 32771;
inline constexpr int ID_ABOUT_ABOUT = 32772;
inline constexpr int ID_FILE_LOAD = 32773;
inline constexpr int ID_FILE_SAVE = 57603;
// System menu item (Windows only)
inline constexpr int IDM_ABOUTBOX = 0x0010;

// About box and result dialog. windows.h (which header-only spdlog pulls in) defines IDOK as a
// macro with the same value; there the macro stands in for the constant.
#ifdef IDOK
static_assert(IDOK == 1, "the OK button's id is the Windows one");
#else
inline constexpr int IDOK = 1;
#endif
inline constexpr int IDC_ABOUT_VERSION = 1065;
// Result dialog lines
inline constexpr int IDC_RESULT_LINE1 = 1078;
inline constexpr int IDC_RESULT_LINE2 = 1079;
inline constexpr int IDC_RESULT_LINE3 = 1080;

}  // namespace kvu::ui
