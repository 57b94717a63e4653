#pragma once
// The program's resource numbers: dialog templates, icons, bitmaps and the control ids the
// dialogs address. Icons and bitmaps are embedded as ":/icon/<n>.png" and ":/bitmap/<n>.png".

// Dialog templates.
constexpr int IDD_MAIN_DIALOG = 102;
constexpr int IDD_ABOUTBOX = 103;
constexpr int IDD_PROCESSING = 142;
constexpr int IDD_OPTIONS = 154;

// Icons.
constexpr int IDI_APPLICATION_ICON = 128;
constexpr int IDI_ANCHOR_BOTTOM_LEFT = 133;
constexpr int IDI_ANCHOR_BOTTOM = 134;
constexpr int IDI_ANCHOR_LEFT = 135;
constexpr int IDI_ANCHOR_RIGHT = 136;
constexpr int IDI_ANCHOR_TOP_LEFT = 137;
constexpr int IDI_ANCHOR_TOP_RIGHT = 138;
constexpr int IDI_ANCHOR_BOTTOM_RIGHT = 139;
constexpr int IDI_ANCHOR_CENTER = 140;
constexpr int IDI_ANCHOR_TOP = 141;

// Bitmaps.
constexpr int IDB_ABOUT_LOGO = 129;
constexpr int IDB_BANNER = 132;
constexpr int IDB_PREVIEW_PLACEHOLDER = 156;

// Main dialog (102).
constexpr int IDC_OPTIONS = 1000;
constexpr int IDC_GO = 1003;
constexpr int IDC_EXIT = 1004;
constexpr int IDC_ABOUT = 1005;
constexpr int IDC_BACKGROUND_LIST = 1007;
constexpr int IDC_IMPORT = 1008;
constexpr int IDC_REMOVE = 1009;
constexpr int IDC_BROWSE_OVERLAY = 1011;
constexpr int IDC_REMOVE_ALL = 1028;
constexpr int IDC_BANNER = 1030;
constexpr int IDC_BACKGROUND_GROUP = 1037;
constexpr int IDC_OVERLAY_PATH = 1075;
constexpr int IDC_PREVIEW = 1083;

// About box (103).
constexpr int IDC_ABOUT_LOGO = 1001;
constexpr int IDC_ABOUT_VERSION = 1002;

// Progress dialog (142); its button is the dialog's Cancel command, id 2.
constexpr int IDC_PROCESSING_LOG = 1055;
constexpr int IDC_PROCESSING_STATUS = 1056;
constexpr int IDC_PROCESSING_COUNTER = 1057;
constexpr int IDC_PROCESSING_PROGRESS = 1059;

// Options dialog (154); its buttons are the dialog's OK and Cancel commands, ids 1 and 2.
constexpr int IDC_MODE_PIXELS = 1012;
constexpr int IDC_MODE_PERCENT = 1013;
constexpr int IDC_SIZE_X = 1016;
constexpr int IDC_SIZE_Y = 1017;
constexpr int IDC_ANCHOR_FIRST = 1018; // anchor value k (1 to 9) belongs to 1017 + k
constexpr int IDC_ANCHOR_LAST = 1026;
constexpr int IDC_OVERLAY_SIZE_GROUP = 1044;
constexpr int IDC_ANCHOR_GROUP = 1045;
constexpr int IDC_SIZE_GROUP = 1047;
constexpr int IDC_LABEL_X = 1048;
constexpr int IDC_LABEL_Y = 1049;
constexpr int IDC_OUTPUT_FORMAT = 1061;
constexpr int IDC_NAME_TEMPLATE = 1085;
