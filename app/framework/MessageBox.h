#pragma once
// Message boxes: caption, text, an icon (MB_ICONERROR, MB_ICONWARNING, MB_ICONINFORMATION,
// MB_ICONQUESTION) and the buttons of MB_OK, MB_OKCANCEL, MB_YESNO or MB_YESNOCANCEL. The box
// is modal and returns the id of the button pressed (IDOK for MB_OK; closing it gives IDCANCEL,
// or IDOK when OK is its only button, as on Windows).

#include "app/framework/WinUser.h"

// Owned by the dialog of that handle (null: no owner). A null caption reads "Error", as on
// Windows.
int MessageBox(HWND owner, const char* text, const char* caption, UINT type);
int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type);
