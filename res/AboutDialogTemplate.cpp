// Template 103: the about box. The version line is a placeholder that the dialog replaces with
// the real version when it opens.

#include "res/DialogTemplates.h"
#include "res/Resource.h"

#include <iterator>

namespace {

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;

constexpr DialogControl kControls[] = {
    // The name is shown as written: no '&' is taken for a mnemonic.
    {IDC_STATIC, ControlKind::Static, "Pictorum", 23, 7, 48, 8, kChild | SS_LEFT | SS_NOPREFIX, 0,
     0},
    {IDC_STATIC, ControlKind::Static, "Batch stamping", 16, 14, 57, 8, kChild | SS_LEFT, 0, 0},
    {1, ControlKind::Button, "&Close", 7, 58, 87, 14,
     kChild | BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, 0, 0},
    {IDC_STATIC, ControlKind::Static, "\xC2\xA9 2026 Tollerby", 8, 22, 78, 8, kChild | SS_LEFT, 0,
     0},
    {IDC_ABOUT_VERSION, ControlKind::Static, "Version 1.0", 7, 30, 81, 8, kChild | SS_CENTER, 0, 0},
    {IDC_ABOUT_LOGO, ControlKind::Button, "", 95, 7, 133, 65,
     kChild | BS_PUSHBUTTON | BS_BITMAP | WS_TABSTOP, 0, IDB_ABOUT_LOGO, "Tollerby web site"},
};

} // namespace

extern const DialogTemplate kAboutDialogTemplate = {
    IDD_ABOUTBOX,
    "About Pictorum",
    0,
    0,
    235,
    78,
    DS_SHELLFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION,
    0,
    "MS Shell Dlg",
    8,
    kControls,
    static_cast<int>(std::size(kControls)),
};
