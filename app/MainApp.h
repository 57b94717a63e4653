#pragma once
// The application object: starts the imaging library, runs the main window as the program's
// only loop, and shuts the library down once the window has closed.

#include "app/framework/WinApp.h"

class CMainApp : public CWinApp {
  public:
    CMainApp();
    ~CMainApp() override;

    // Always FALSE: the main window's modal loop has already been the program's loop when it
    // returns, so the framework must not start one of its own.
    BOOL InitInstance() override;

    DECLARE_MESSAGE_MAP()
};
