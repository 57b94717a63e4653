#pragma once
// CWinApp: the application object. The program defines one global object of a class derived
// from CWinApp and lets main() run it:
//
//     int main(int argc, char** argv) {
//         SetDialogTemplateLookup(&FindDialogTemplate);
//         return AfxWinMain(argc, argv);
//     }
//
// AfxWinMain makes the QApplication, calls InitInstance and, when that returns TRUE, runs the
// application's event loop until the main window closes; then ExitInstance gives the exit code.

#include "app/framework/MessageMap.h"

class CWnd;

class CWinApp : public CCmdTarget {
  public:
    explicit CWinApp(const char* appName = nullptr);
    ~CWinApp() override;

    virtual BOOL InitInstance();
    virtual int ExitInstance();
    // The application's own message loop, run when InitInstance returns TRUE.
    virtual int Run();

    const char* m_pszAppName;
    CWnd* m_pMainWnd = nullptr;
    HINSTANCE m_hInstance = nullptr;
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
HINSTANCE AfxGetInstanceHandle();

// Runs the one application object (see above). Returns the process exit code; -1 when there is
// no application object.
int AfxWinMain(int argc, char** argv);

// Common controls need no set-up here; kept so start-up code reads as written.
struct INITCOMMONCONTROLSEX {
    DWORD dwSize;
    DWORD dwICC;
};
BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* init);
