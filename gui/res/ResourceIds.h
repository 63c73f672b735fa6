#pragma once
// Numeric identifiers of the dialogs, controls, menu commands, strings and icon. Pages and tests find
// controls by these numbers, so they never change.

namespace res {

// Dialog templates.
constexpr int IDD_ABOUTBOX = 100;
constexpr int IDD_MAIN = 102;
constexpr int IDD_ZT_TO_PC = 129;
constexpr int IDD_PC_TO_ZT = 130;
constexpr int IDD_CD_WRITER = 131;
constexpr int IDD_PROGRESS = 132;
constexpr int IDD_DRIVE_MEDIUM = 134;

// Other resources.
constexpr int IDR_MAINFRAME = 128; // the application icon
constexpr int IDS_ABOUTBOX = 101;  // the About entry of the system menu
constexpr int IDR_MENU = 133;

// Menu and system-menu commands.
constexpr int ID_TOOL_DRIVEMEDIUM = 32774;
constexpr int ID_TOOL_SAFEREMOVAL = 32775;
constexpr int ID_TOOL_SONGVIEW = 32780;
constexpr int ID_HELP_ABOUT = 32772;
constexpr int IDM_ABOUTBOX = 0x10;

// Controls without an identifier of their own (labels, group boxes).
constexpr int IDC_STATIC = -1;
constexpr int IDOK = 1;

// Main window.
constexpr int IDC_TREE = 1000;
constexpr int IDC_TAB = 1001;

// Shared by the pages.
constexpr int IDC_SONG = 1024;
constexpr int IDC_DRIVE = 1025;
constexpr int IDC_FILE_LIST = 1014;

// "ZT to PC" page.
constexpr int IDC_IMPORT = 1023;
constexpr int IDC_SAMPLING_FREQ = 1026;
constexpr int IDC_BIT = 1027;
constexpr int IDC_MODE_ALL = 1044;
constexpr int IDC_MODE_AB = 1045;

// "PC to ZT" page.
constexpr int IDC_EXPORT = 1010;

// Track boxes TR1 ... TR16 in label order (TR9 ... TR16 were numbered out of order).
constexpr int IDC_TRACK[16] = {1015, 1016, 1017, 1018, 1019, 1020, 1021, 1022,
                               1067, 1069, 1070, 1071, 1068, 1072, 1073, 1074};

// "CD Writer" page.
constexpr int IDC_BURN = 1031;
constexpr int IDC_ADD = 1032;
constexpr int IDC_LOCATION_PC = 1033;
constexpr int IDC_LOCATION_ZT = 1034;
constexpr int IDC_TRACK_LIST = 1035;
constexpr int IDC_REMOVE = 1036;
constexpr int IDC_ZT_DRIVE_LABEL = 1039;
constexpr int IDC_SONG_LABEL = 1040;
constexpr int IDC_UP = 1046;
constexpr int IDC_DOWN = 1047;
constexpr int IDC_CD_DRIVE = 1049;

// Progress dialog.
constexpr int IDC_PROGRESS_BAR = 1041;
constexpr int IDC_CANCEL = 1042;
constexpr int IDC_PROGRESS_TEXT = 1043;
constexpr int IDC_STATUS_TEXT = 1050;

// Drive/Medium dialog.
constexpr int IDC_EJECT = 1047;
constexpr int IDC_ERASE = 1051;
constexpr int IDC_DRIVE_NAME = 1052;
constexpr int IDC_DRIVE_TYPE = 1053;
constexpr int IDC_MEDIUM_TYPE = 1054;
constexpr int IDC_MEDIUM_STATE = 1055;
constexpr int IDC_REFRESH = 1056;

} // namespace res
