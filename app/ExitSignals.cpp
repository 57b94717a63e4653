#include "app/ExitSignals.h"

#include "batch/ProcessingDlg.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace {

int g_pipe[2] = {-1, -1};

// Only what is safe in a handler: the signal's number goes down the pipe.
extern "C" void OnExitSignal(int signal) {
    const unsigned char number = static_cast<unsigned char>(signal);
    const int saved = errno;
    (void)::write(g_pipe[1], &number, 1);
    errno = saved;
}

// A worker stuck on a mount that stopped answering must not keep the program alive for ever.
constexpr DWORD kWorkerWaitMs = 10000;

} // namespace

void WatchExitSignals() {
    if (g_pipe[0] >= 0 || ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier =
        new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, [] {
        unsigned char number = 0;
        if (::read(g_pipe[0], &number, 1) != 1)
            return;
        StopRunForExit(kWorkerWaitMs);
        // The windows are left standing (a modal loop may be running under this call): what
        // had to be finished is finished, and nothing else holds unsaved work.
        std::fflush(nullptr);
        std::_Exit(128 + number);
    });
    struct sigaction action {};
    action.sa_handler = OnExitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGHUP, SIGINT})
        sigaction(signal, &action, nullptr);
}
