#pragma once
// The folder chooser: a modal dialog that shows its title text inside the dialog (line breaks
// kept) under a window title made of its first line, lets the user pick or type a folder and
// make a new one, and returns only file-system folders. The desktop's own chooser, where used
// (see UseDesktopChooser), shows the whole title text as its window title instead. The
// result is an item list that SHGetPathFromIDListA turns into a path; free it with
// CoTaskMemFree.

#include "app/framework/WinUser.h"

constexpr UINT BIF_RETURNONLYFSDIRS = 0x0001;
constexpr UINT BIF_EDITBOX = 0x0010;
constexpr UINT BIF_NEWDIALOGSTYLE = 0x0040;
constexpr UINT BIF_SHAREABLE = 0x8000;

struct ITEMIDLIST_;
using LPITEMIDLIST = ITEMIDLIST_*;
using LPCITEMIDLIST = const ITEMIDLIST_*;
using PIDLIST_ABSOLUTE = LPITEMIDLIST;

struct BROWSEINFOA {
    HWND hwndOwner;
    LPCITEMIDLIST pidlRoot; // null: the top of the file system
    char* pszDisplayName;   // receives the folder's name (MAX_PATH characters), may be null
    const char* lpszTitle;
    UINT ulFlags;
    void* lpfn; // callbacks are not supported; must be null
    LPARAM lParam;
    int iImage;
};
using BROWSEINFO = BROWSEINFOA;

// Null when the user cancels.
LPITEMIDLIST SHBrowseForFolderA(BROWSEINFOA* info);
// Copies the folder's path into path (MAX_PATH characters); FALSE when it has none or it does
// not fit.
BOOL SHGetPathFromIDListA(LPCITEMIDLIST item, char* path);
void CoTaskMemFree(void* memory);
