// pictorum-batch: the stamping of Pictorum from the command line.

#include "cli/BatchRunner.h"
#include "cli/CliOptions.h"
#include "engine/MachineShare.h"
#include "imaging/GdiPlus.h"

#include <QCoreApplication>

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>

namespace {

std::atomic<bool> g_stop{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void OnInterrupt(int) {
    g_stop.store(true);
}

void CatchInterrupt() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    // A second Ctrl+C ends the program at once, as users expect when waiting is not wanted.
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
}

} // namespace

int main(int argc, char** argv) {
    // A file-size limit must make a save fail and be reported, not end the program.
    std::signal(SIGXFSZ, SIG_IGN);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("pictorum-batch");
    QCoreApplication::setApplicationVersion(PICTORUM_VERSION);

    ULONG_PTR token = 0;
    GdiplusStartupInput input;
    if (GdiplusStartup(&token, &input, nullptr) != Ok) {
        std::fprintf(stderr, "pictorum-batch: cannot start the imaging library\n");
        return kExitSomeFailed;
    }

    int status = kExitBadUsage;
    const ParseResult parsed = ParseCommandLine(QCoreApplication::arguments(), UsableCpuCount());
    switch (parsed.kind) {
    case ParseResult::Kind::Help:
    case ParseResult::Kind::Version:
        std::fputs(parsed.text.c_str(), stdout);
        status = kExitAllDone;
        break;
    case ParseResult::Kind::BadUsage:
        std::fprintf(stderr, "pictorum-batch: %s\nTry 'pictorum-batch --help'.\n",
                     parsed.text.c_str());
        status = kExitBadUsage;
        break;
    case ParseResult::Kind::Run: {
        CatchInterrupt();
        RunStreams streams;
        streams.progress = isatty(STDERR_FILENO) != 0;
        streams.outIsTerminal = isatty(STDOUT_FILENO) != 0;
        status = RunBatch(parsed.options, g_stop, streams);
        break;
    }
    }
    GdiplusShutdown(token);
    return status;
}
