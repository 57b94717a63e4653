#include "app/MainApp.h"

#include "app/framework/MessageBox.h"
#include "imaging/GdiPlus.h"
#include "ui/MainDlg.h"

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

    auto dialog = std::make_unique<CMainDlg>();
    m_pMainWnd = dialog.get();
    dialog->DoModal();
    // The window, and every image it held, is gone by now; the record goes after the library.
    GdiplusShutdown(token);
    m_pMainWnd = nullptr;
    dialog.reset();
    return FALSE;
}
