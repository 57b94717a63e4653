// Template 142: the progress dialog of a run. No system menu, so no close box: the only way
// out is its one button, which cancels the run first.

#include "res/DialogTemplates.h"
#include "res/Resource.h"

#include <iterator>

namespace {

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;

constexpr DialogControl kControls[] = {
    // The dialog's Cancel command; the first tab stop, so Enter presses it on opening.
    {2, ControlKind::Button, "Cancel", 157, 19, 50, 14, kChild | BS_PUSHBUTTON | WS_TABSTOP, 0, 0},
    {IDC_PROCESSING_COUNTER, ControlKind::Static, "", 7, 7, 100, 8, kChild | SS_LEFT, 0, 0},
    {IDC_PROCESSING_STATUS, ControlKind::Static, "", 7, 123, 200, 11, kChild | SS_RIGHT | SS_SUNKEN,
     0, 0},
    // Unsorted: log lines stay in the order they were added.
    {IDC_PROCESSING_LOG, ControlKind::ListBox, "", 7, 34, 200, 87,
     kChild | LBS_NOTIFY | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_BORDER |
         WS_TABSTOP,
     0, 0, "Log"},
    {IDC_PROCESSING_PROGRESS, ControlKind::ProgressBar, "", 7, 19, 138, 14, kChild | WS_BORDER, 0,
     0, "Progress"},
};

} // namespace

extern const DialogTemplate kProgressDialogTemplate = {
    IDD_PROCESSING,
    "0% Complete",
    0,
    0,
    214,
    142,
    DS_SHELLFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_VISIBLE | WS_CAPTION,
    0,
    "MS Shell Dlg",
    8,
    kControls,
    static_cast<int>(std::size(kControls)),
};
