#pragma once
// The two shell dialogs the main window asks: the open-file dialog (Windows filter text, flags
// and a caller's result buffer) and the folder chooser. Both are Qt's own file dialog, never
// the desktop's native one, so that they behave alike everywhere and can be driven in tests.

#include "app/framework/Wnd.h"

#include <string>

namespace common_dialogs {

constexpr DWORD OFN_NOCHANGEDIR = 0x00000008;
constexpr DWORD OFN_ALLOWMULTISELECT = 0x00000200;
constexpr DWORD OFN_FILEMUSTEXIST = 0x00001000;

constexpr UINT BIF_EDITBOX = 0x00000010;
constexpr UINT BIF_NEWDIALOGSTYLE = 0x00000040;
constexpr UINT BIF_SHAREABLE = 0x00008000;

struct OpenFileRequest {
    CWnd* owner = nullptr;
    // Pairs of display name and ';'-separated wildcards, each followed by '|'; ends with "||".
    const char* filter = nullptr;
    const char* defaultExt = nullptr; // not applied: a typed name is taken as it is
    char* file = nullptr;             // in: initial name (may be empty); out: the result
    DWORD maxFile = 0;                // bytes in file
    DWORD flags = 0;
};

// Shows the dialog modally. On confirmation file holds the full path of the one chosen file
// followed by two NULs, or (several files, OFN_ALLOWMULTISELECT) the folder, a NUL, each name
// with its NUL and a final NUL; the result is TRUE. Cancel, or a result that does not fit into
// maxFile bytes, gives FALSE.
BOOL GetOpenFileName(OpenFileRequest& request);

// The Windows filter text as Qt name filters. Wildcards match letters of either case, since
// Linux file names are case-sensitive and the filter's patterns are upper-case.
QStringList NameFiltersOfWindowsFilter(const char* filter);

struct BrowseFolderRequest {
    CWnd* owner = nullptr;
    const char* title = nullptr; // shown inside the dialog, above the folders
    UINT flags = 0;
};

// The outcome of the folder chooser: whether a folder was chosen, and its file-system path
// when it has one.
struct FolderChoice {
    bool chosen = false;
    bool hasPath = false;
    std::string path; // file-system bytes
};

FolderChoice BrowseForFolder(const BrowseFolderRequest& request);

} // namespace common_dialogs
