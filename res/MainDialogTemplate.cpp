// Template 102: the main window. Fixed size, no system menu (so no close box: "Exit" is the only
// way out), shown in the task bar.

#include "res/DialogTemplates.h"
#include "res/Resource.h"

#include <iterator>

namespace {

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kButton = kChild | BS_PUSHBUTTON | WS_TABSTOP;
constexpr DWORD kGroupBox = kChild | BS_GROUPBOX;

// Template order is the tab order: down the left column (the list and its buttons, then the
// run's buttons), then down the right one (the overlay). Group boxes come before what they
// frame, so that they lie beneath it. "&Go!" takes the focus on opening all the same (see
// CMainDlg::OnInitDialog).
constexpr DialogControl kControls[] = {
    // The banner is shown centred at its own pixel size, not stretched to the control.
    {IDC_BANNER, ControlKind::Static, "", 7, 7, 326, 57, kChild | SS_BITMAP | SS_CENTERIMAGE, 0,
     IDB_BANNER, "Pictorum: stamp one picture onto many"},
    {IDC_BACKGROUND_GROUP, ControlKind::Button, "Background Images (0)", 7, 66, 173, 159, kGroupBox,
     0, 0},
    {IDC_BACKGROUND_LIST, ControlKind::ListBox, "", 12, 78, 162, 120,
     kChild | LBS_NOTIFY | LBS_HASSTRINGS | LBS_EXTENDEDSEL | LBS_WANTKEYBOARDINPUT |
         LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_BORDER | WS_TABSTOP,
     WS_EX_ACCEPTFILES, 0, "Background Images"},
    {IDC_IMPORT, ControlKind::Button, "Import...", 12, 204, 50, 14, kButton, 0, 0},
    {IDC_REMOVE, ControlKind::Button, "Remove", 69, 204, 50, 14, kButton, 0, 0},
    {IDC_REMOVE_ALL, ControlKind::Button, "Remove All", 126, 204, 50, 14, kButton, 0, 0},
    {IDC_GO, ControlKind::Button, "&Go!", 40, 230, 106, 14, kButton, 0, 0},
    {IDC_ABOUT, ControlKind::Button, "About...", 40, 250, 50, 14, kButton, 0, 0},
    {IDC_EXIT, ControlKind::Button, "Exit", 96, 250, 50, 14, kButton, 0, 0},
    {IDC_STATIC, ControlKind::Button, "Overlay Image", 186, 66, 147, 50, kGroupBox, 0, 0},
    {IDC_OVERLAY_PATH, ControlKind::Edit, "", 193, 76, 133, 14,
     kChild | ES_LEFT | ES_READONLY | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 0, 0,
     "Overlay Image"},
    {IDC_BROWSE_OVERLAY, ControlKind::Button, "Browse...", 193, 94, 50, 14, kButton | BS_CENTER, 0,
     0},
    // Enabled once an overlay has been accepted.
    {IDC_OPTIONS, ControlKind::Button, "Options...", 276, 94, 50, 14, kButton | WS_DISABLED, 0, 0},
    {IDC_STATIC, ControlKind::Button, "Sample", 186, 118, 147, 146, kGroupBox, 0, 0},
    // Named by the dialog after what it shows.
    {IDC_PREVIEW, ControlKind::Static, "", 199, 131, 120, 120, kChild | SS_OWNERDRAW, 0, 0,
     "Sample preview"},
};

} // namespace

extern const DialogTemplate kMainDialogTemplate = {
    IDD_MAIN_DIALOG,
    "Pictorum - Tollerby",
    0,
    0,
    340,
    271,
    DS_SHELLFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION,
    WS_EX_APPWINDOW,
    "MS Shell Dlg",
    8,
    kControls,
    static_cast<int>(std::size(kControls)),
};
