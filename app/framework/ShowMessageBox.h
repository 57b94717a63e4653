#pragma once
// The message box itself, owned by a widget (null: no owner): what MessageBox and
// CWnd::MessageBox show (see MessageBox.h for the types and results).

#include "app/framework/WinUser.h"

class QWidget;

int ShowMessageBox(QWidget* owner, const char* text, const char* caption, UINT type);
