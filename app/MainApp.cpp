#include "app/MainApp.h"

#include "app/ExitSignals.h"
#include "app/InstanceChannel.h"
#include "app/StartFiles.h"
#include "app/framework/MessageBox.h"
#include "batch/ProcessingDlg.h"
#include "imaging/GdiPlus.h"
#include "ui/MainDlg.h"

#include <QApplication>
#include <QFile>
#include <QGuiApplication>
#include <QStringList>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {
// The files the program was started with, as the file system spells them; Qt has already
// taken out the options that are its own.
std::vector<std::string> FileArguments() {
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    std::vector<std::string> files;
    bool optionsEnded = false;
    for (const QString& argument : arguments) {
        if (!optionsEnded && argument == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        files.push_back(QFile::encodeName(argument).toStdString());
    }
    return files;
}

void BringToFront(CWnd& window) {
    if (QWidget* widget = window.GetWidget()) {
        widget->setWindowState((widget->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
        widget->raise();
        widget->activateWindow();
    }
}
} // namespace

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

    const std::vector<std::string> files = ExpandStartFiles(FileArguments());
    // A window of this session already runs: it takes the files and comes to the front.
    if (CInstanceChannel::HandOver(files)) {
        GdiplusShutdown(token);
        return FALSE;
    }

    WatchExitSignals();
    // The desktop entry's id: Wayland docks match the window to its entry by this app_id (X11
    // ones by WM_CLASS, which the entry names as StartupWMClass).
    QGuiApplication::setDesktopFileName(QStringLiteral("com.tollerby.pictorum"));
    auto dialog = std::make_unique<CMainDlg>();
    m_pMainWnd = dialog.get();
    auto channel = std::make_unique<CInstanceChannel>();
    channel->Listen([&dialog](const std::vector<std::string>& handed) {
        dialog->AddFiles(handed);
        BringToFront(*dialog);
    });
    // Listed once the window's loop runs, as an import would list them.
    if (!files.empty())
        QTimer::singleShot(0, channel.get(), [&dialog, &files] { dialog->AddFiles(files); });
    dialog->DoModal();
    // No later start may reach the closed window.
    channel.reset();
    if (WaitForLastWorker(0) != WAIT_OBJECT_0 || !dialog->WorkersReleased()) {
        // "Exit" gave up waiting for the worker of a cancelled run, or the preview's thread: it
        // is stuck in a call that does not return (a file on a mount that stopped answering). It
        // still borrows the dialog's job, the imaging library and Qt, so none of them may be torn
        // down under it, and it may never end. The process ends here, with all of that still in
        // place.
        std::fflush(nullptr);
        std::_Exit(ExitInstance());
    }
    // The window, and every image it held, is gone by now; the record goes after the library.
    GdiplusShutdown(token);
    m_pMainWnd = nullptr;
    dialog.reset();
    return FALSE;
}
