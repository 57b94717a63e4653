#include "app/framework/WinApp.h"
#include "app/framework/UiText.h"

#include "app/framework/Wnd.h"

#include <QApplication>

#include <memory>

namespace {
CWinApp* g_app = nullptr;
} // namespace

CWinApp::CWinApp(const char* appName) : m_pszAppName(appName) {
    if (g_app == nullptr)
        g_app = this;
}

CWinApp::~CWinApp() {
    if (g_app == this)
        g_app = nullptr;
}

BOOL CWinApp::InitInstance() {
    return TRUE;
}

int CWinApp::ExitInstance() {
    return 0;
}

int CWinApp::Run() {
    if (QApplication::instance() != nullptr && m_pMainWnd != nullptr &&
        m_pMainWnd->GetWidget() != nullptr) {
        QApplication::setQuitOnLastWindowClosed(true);
        QApplication::exec();
    }
    return ExitInstance();
}

CWinApp* AfxGetApp() {
    return g_app;
}

CWnd* AfxGetMainWnd() {
    return g_app != nullptr ? g_app->m_pMainWnd : nullptr;
}

HINSTANCE AfxGetInstanceHandle() {
    return g_app != nullptr ? g_app->m_hInstance : nullptr;
}

int AfxWinMain(int argc, char** argv) {
    CWinApp* app = AfxGetApp();
    if (app == nullptr)
        return -1;
    std::unique_ptr<QApplication> qapp;
    if (QApplication::instance() == nullptr)
        qapp = std::make_unique<QApplication>(argc, argv);
    // Closing a dialog never ends the program by itself: InitInstance decides.
    QApplication::setQuitOnLastWindowClosed(false);
    if (app->m_pszAppName != nullptr)
        QApplication::setApplicationName(QString::fromLocal8Bit(app->m_pszAppName));
    LoadTranslations();
    if (!app->InitInstance())
        return app->ExitInstance();
    return app->Run();
}

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX*) {
    return TRUE;
}
