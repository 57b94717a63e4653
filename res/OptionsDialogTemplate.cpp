// Template 154: the options dialog. Its radio buttons are not automatic: a click only reports,
// and the dialog sets the states itself.

#include "res/DialogTemplates.h"
#include "res/Resource.h"

#include <iterator>

namespace {

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kGroupBox = kChild | BS_GROUPBOX;
constexpr DWORD kLineEdit = kChild | ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;
constexpr DWORD kAnchorCell = kChild | BS_RADIOBUTTON | BS_PUSHLIKE | BS_ICON;

// Template order is the tab order: OK, which gets the focus on opening, Cancel, the size modes,
// the two size fields, the anchor cells, the format list and the name template. Each group of
// radio buttons (the size modes, the anchor cells) is one tab stop, starting at its WS_GROUP
// button; the arrow keys move within it. The anchor cells run row by row from the top left:
// anchor value k is button 1017 + k.
constexpr DialogControl kControls[] = {
    {1, ControlKind::Button, "OK", 152, 77, 50, 14, kChild | BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 0},
    {2, ControlKind::Button, "Cancel", 152, 95, 50, 14, kChild | BS_PUSHBUTTON | WS_TABSTOP, 0, 0},
    {IDC_MODE_PIXELS, ControlKind::Button, "&Pixels", 13, 19, 34, 10,
     kChild | BS_RADIOBUTTON | WS_GROUP | WS_TABSTOP, 0, 0},
    {IDC_OVERLAY_SIZE_GROUP, ControlKind::Button, "Overlay Size", 7, 7, 65, 48, kGroupBox, 0, 0},
    {IDC_MODE_PERCENT, ControlKind::Button, "P&ercent of Background", 13, 31, 56, 16,
     kChild | BS_RADIOBUTTON | BS_MULTILINE, 0, 0},
    {IDC_SIZE_GROUP, ControlKind::Button, "Size", 75, 7, 66, 48, kGroupBox, 0, 0},
    {IDC_LABEL_X, ControlKind::Static, "&X", 81, 20, 8, 8, kChild | SS_LEFT | WS_GROUP, 0, 0},
    {IDC_SIZE_X, ControlKind::Edit, "", 93, 16, 40, 14, kLineEdit, 0, 0},
    {IDC_LABEL_Y, ControlKind::Static, "&Y", 81, 37, 8, 8, kChild | SS_LEFT | WS_GROUP, 0, 0},
    {IDC_SIZE_Y, ControlKind::Edit, "", 93, 33, 40, 14, kLineEdit, 0, 0},
    {1018, ControlKind::Button, "", 151, 16, 16, 16, kAnchorCell | WS_GROUP | WS_TABSTOP, 0,
     IDI_ANCHOR_TOP_LEFT, "Top left"},
    {1019, ControlKind::Button, "", 169, 16, 16, 16, kAnchorCell, 0, IDI_ANCHOR_TOP, "Top centre"},
    {1020, ControlKind::Button, "", 187, 16, 16, 16, kAnchorCell, 0, IDI_ANCHOR_TOP_RIGHT,
     "Top right"},
    {1021, ControlKind::Button, "", 151, 34, 16, 16, kAnchorCell, 0, IDI_ANCHOR_LEFT,
     "Middle left"},
    {1022, ControlKind::Button, "", 169, 34, 16, 16, kAnchorCell, 0, IDI_ANCHOR_CENTER, "Centre"},
    {1023, ControlKind::Button, "", 187, 34, 16, 16, kAnchorCell, 0, IDI_ANCHOR_RIGHT,
     "Middle right"},
    {1024, ControlKind::Button, "", 151, 52, 16, 16, kAnchorCell, 0, IDI_ANCHOR_BOTTOM_LEFT,
     "Bottom left"},
    {1025, ControlKind::Button, "", 169, 52, 16, 16, kAnchorCell, 0, IDI_ANCHOR_BOTTOM,
     "Bottom centre"},
    {1026, ControlKind::Button, "", 187, 52, 16, 16, kAnchorCell, 0, IDI_ANCHOR_BOTTOM_RIGHT,
     "Bottom right"},
    {IDC_ANCHOR_GROUP, ControlKind::Button, "Anchor", 143, 7, 69, 66, kGroupBox, 0, 0},
    // The height is the height of the open list; the closed box is one line high.
    {IDC_OUTPUT_FORMAT, ControlKind::ComboBox, "", 45, 67, 90, 76,
     kChild | CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 0, 0},
    {IDC_STATIC, ControlKind::Button, "Output", 7, 55, 134, 54, kGroupBox, 0, 0},
    {IDC_STATIC, ControlKind::Static, "&Format", 14, 69, 24, 8, kChild | SS_LEFT, 0, 0},
    // No length limit here; the dialog cuts the stored template to its field's size.
    {IDC_NAME_TEMPLATE, ControlKind::Edit, "", 45, 89, 90, 12, kLineEdit, 0, 0},
    {IDC_STATIC, ControlKind::Static, "&Template", 14, 91, 30, 8, kChild | SS_LEFT, 0, 0},
};

} // namespace

extern const DialogTemplate kOptionsDialogTemplate = {
    IDD_OPTIONS,
    "Options",
    0,
    0,
    219,
    116,
    DS_SHELLFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION,
    0,
    "MS Shell Dlg",
    8,
    kControls,
    static_cast<int>(std::size(kControls)),
};
