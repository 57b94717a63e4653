#include "app/MainApp.h"

#include "app/ExitSignals.h"
#include "app/framework/MessageBox.h"
#include "batch/ProcessingDlg.h"
#include "imaging/GdiPlus.h"
#include "ui/MainDlg.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

BEGIN_MESSAGE_MAP(CMainApp, CWinApp)
END_MESSAGE_MAP()

CMainApp::CMainApp() : CWinApp(nullptr) {}

CMainApp::~CMainApp() = default;

BOOL CMainApp::InitInstance() {
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), 0};
    InitCommonControlsEx(&controls);
    CWinApp::InitInstance();

    GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (GdiplusStartup(&token, &input, nullptr) != Ok) {
        MessageBoxA(nullptr, "Cannot initialize GDI+", "Fatal Error", MB_OK | MB_ICONERROR);
        return FALSE;
    }

    WatchExitSignals();
    auto dialog = std::make_unique<CMainDlg>();
    m_pMainWnd = dialog.get();
    dialog->DoModal();
    if (WaitForLastWorker(0) != WAIT_OBJECT_0) {
        // "Exit" gave up waiting for the worker of a cancelled run: it is stuck in a call that
        // does not return (a file on a mount that stopped answering). It still borrows the
        // dialog's job, the imaging library and Qt, so none of them may be torn down under
        // it, and it may never end. The process ends here, with all of that still in place.
        std::fflush(nullptr);
        std::_Exit(ExitInstance());
    }
    // The window, and every image it held, is gone by now; the record goes after the library.
    GdiplusShutdown(token);
    m_pMainWnd = nullptr;
    dialog.reset();
    return FALSE;
}
