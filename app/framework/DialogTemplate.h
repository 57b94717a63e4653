#pragma once
// Dialog templates as data: positions and sizes in dialog units, styles as the Windows style
// bits. The framework builds a dialog from one of these; res/ holds the program's own.

#include "types/WinTypes.h"

// Window styles (subset used by the templates).
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_DISABLED = 0x08000000;
constexpr DWORD WS_CAPTION = 0x00C00000;
constexpr DWORD WS_BORDER = 0x00800000;
constexpr DWORD WS_VSCROLL = 0x00200000;
constexpr DWORD WS_HSCROLL = 0x00100000;
constexpr DWORD WS_SYSMENU = 0x00080000;
constexpr DWORD WS_GROUP = 0x00020000;
constexpr DWORD WS_TABSTOP = 0x00010000;
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_MINIMIZEBOX = 0x00020000; // same bit as WS_GROUP, meaningful on dialogs only
constexpr DWORD WS_EX_CLIENTEDGE = 0x00000200;
constexpr DWORD WS_EX_STATICEDGE = 0x00020000;
constexpr DWORD WS_EX_ACCEPTFILES = 0x00000010;
constexpr DWORD WS_EX_APPWINDOW = 0x00040000;

// Dialog styles.
constexpr DWORD DS_SETFONT = 0x40;
constexpr DWORD DS_MODALFRAME = 0x80;
constexpr DWORD DS_FIXEDSYS = 0x0008;
constexpr DWORD DS_CENTER = 0x0800;
constexpr DWORD DS_SHELLFONT = DS_SETFONT | DS_FIXEDSYS;

// Button styles.
constexpr DWORD BS_PUSHBUTTON = 0x0;
constexpr DWORD BS_DEFPUSHBUTTON = 0x1;
constexpr DWORD BS_CHECKBOX = 0x2;
constexpr DWORD BS_AUTOCHECKBOX = 0x3;
constexpr DWORD BS_RADIOBUTTON = 0x4;
constexpr DWORD BS_GROUPBOX = 0x7;
constexpr DWORD BS_AUTORADIOBUTTON = 0x9;
constexpr DWORD BS_ICON = 0x40;
constexpr DWORD BS_BITMAP = 0x80;
constexpr DWORD BS_PUSHLIKE = 0x1000;
constexpr DWORD BS_FLAT = 0x8000;

// Static styles.
constexpr DWORD SS_LEFT = 0x0;
constexpr DWORD SS_CENTER = 0x1;
constexpr DWORD SS_RIGHT = 0x2;
constexpr DWORD SS_ICON = 0x3;
constexpr DWORD SS_BITMAP = 0xE;
constexpr DWORD SS_OWNERDRAW = 0xD;
constexpr DWORD SS_NOTIFY = 0x100;
constexpr DWORD SS_SUNKEN = 0x1000;
constexpr DWORD SS_CENTERIMAGE = 0x200;
constexpr DWORD SS_REALSIZEIMAGE = 0x800;
constexpr DWORD SS_TYPEMASK = 0x1F;

// Edit styles.
constexpr DWORD ES_LEFT = 0x0;
constexpr DWORD ES_AUTOHSCROLL = 0x80;
constexpr DWORD ES_READONLY = 0x800;
constexpr DWORD ES_NUMBER = 0x2000;

// List box styles.
constexpr DWORD LBS_NOTIFY = 0x1;
constexpr DWORD LBS_SORT = 0x2;
constexpr DWORD LBS_NOINTEGRALHEIGHT = 0x100;
constexpr DWORD LBS_EXTENDEDSEL = 0x800;
constexpr DWORD LBS_HASSTRINGS = 0x40;

// Combo box styles.
constexpr DWORD CBS_DROPDOWNLIST = 0x3;
constexpr DWORD CBS_SORT = 0x100;

// Progress bar styles.
constexpr DWORD PBS_SMOOTH = 0x1;

// Further bits the program's templates use.
constexpr int IDC_STATIC = -1; // controls the program never addresses: labels and frames
constexpr DWORD BS_CENTER = 0x300;
constexpr DWORD BS_MULTILINE = 0x2000;
constexpr DWORD SS_NOPREFIX = 0x80;
constexpr DWORD LBS_WANTKEYBOARDINPUT = 0x400;

enum class ControlKind {
    Button, // push buttons, radio buttons, check boxes, group boxes: by BS_ style
    Static, // texts, icons, bitmaps, owner-drawn frames: by SS_ style
    Edit,
    ListBox,
    ComboBox,
    ProgressBar,
};

struct DialogControl {
    int id;
    ControlKind kind;
    const char* text; // UTF-8; '&' marks a mnemonic in buttons and static texts
    int x, y, cx, cy; // dialog units
    DWORD style;      // WS_ and kind-specific bits
    DWORD exStyle;
    int imageId; // icon or bitmap resource number for BS_ICON/BS_BITMAP/SS_ICON/SS_BITMAP, else 0
    // What a screen reader calls a control that shows no text of its own (a picture, a field
    // whose label stands elsewhere); the shown text names the others.
    const char* name = nullptr;
};

struct DialogTemplate {
    int id;
    const char* caption;
    int x, y, cx, cy; // dialog units
    DWORD style;      // WS_ and DS_ bits
    DWORD exStyle;
    const char* fontName; // "MS Shell Dlg" stands for the platform's standard dialog font
    int fontPoints;
    const DialogControl* controls; // in template order, which is also the tab order
    int controlCount;
};
