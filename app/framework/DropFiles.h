#pragma once
// Files dropped from a file manager: a dialog that accepts drops (DragAcceptFiles, or a control
// with WS_EX_ACCEPTFILES in its template) receives WM_DROPFILES with an HDROP in wParam when
// local files are dropped anywhere on it. The drop holds one path per file, in the file
// system's bytes; it is valid during that message only and is released by the framework
// afterwards, so DragFinish does nothing.

#include "app/framework/WinUser.h"

#include <string>
#include <vector>

// index 0xFFFFFFFF: the number of files. Otherwise: with a null buffer the length of path
// number index without its NUL; else copies at most size - 1 bytes and a NUL and returns the
// bytes copied. 0 for a bad index or a null drop.
UINT DragQueryFile(HDROP drop, UINT index, char* buffer, UINT size);
UINT DragQueryFileA(HDROP drop, UINT index, char* buffer, UINT size);
void DragFinish(HDROP drop);
// Where the files were let go, in the client coordinates of the window that received the
// drop; TRUE when that was inside its client area. FALSE, point untouched, for a null drop.
BOOL DragQueryPoint(HDROP drop, POINT* point);

// Framework side.
HDROP CreateDrop(std::vector<std::string> paths, POINT at = {0, 0}, BOOL inClient = TRUE);
void ReleaseDrop(HDROP drop);
