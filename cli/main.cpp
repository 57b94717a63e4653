// pictorum-batch: the stamping of Pictorum from the command line.

#include "cli/BatchRunner.h"
#include "cli/CliOptions.h"
#include "engine/MachineShare.h"
#include "imaging/GdiPlus.h"

#include <QCoreApplication>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace {

StopRequest g_stop;

extern "C" void OnStopSignal(int signalNumber) {
    g_stop.Request(signalNumber);
}

void CatchStopSignals() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // A second Ctrl+C ends the program at once, as users expect when waiting is not wanted.
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
    // Schedulers and supervisors (scancel, timeout, systemd, parallel) send SIGTERM more than
    // once before they kill; each must find the run still cleaning up, not end it half-way.
    action.sa_flags = 0;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    // Slurm's --signal=USR1@60 warns a task before its time runs out: stop cleanly with the
    // summary, where the default action would end the run at once.
    sigaction(SIGUSR1, &action, nullptr);
    sigaction(SIGUSR2, &action, nullptr);
}

// Lines that the image libraries write straight to standard error ("libpng error: ...",
// libtiff's "TIFFReadDirectory: ..."): the item's own log line and reason say what went wrong.
bool IsLibraryNoise(const std::string& line) {
    // A sanitizer's report ("==pid==" lines, indented frames that may name libtiff) passes.
    if (line.empty() || line[0] == '=' || line[0] == ' ')
        return false;
    return line.rfind("libpng", 0) == 0 || line.find("TIFF") != std::string::npos ||
           line.rfind("QBuffer::", 0) == 0 || line.rfind("Bogus", 0) == 0;
}

void FilterQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    const char* category = context.category != nullptr ? context.category : "";
    const std::string text = message.toLocal8Bit().toStdString();
    if (std::strncmp(category, "qt.gui.imageio", 14) == 0 ||
        std::strncmp(category, "qt.imageformats", 15) == 0 || IsLibraryNoise(text))
        return;
    std::fprintf(stderr, "pictorum-batch: %s\n", text.c_str());
    if (type == QtFatalMsg)
        std::abort();
}

// For the length of a run, standard error (descriptor 2) is a pipe whose lines pass on to the
// real standard error unless they are library noise; the program's own messages go to the real
// one directly. Whatever else writes there (a sanitizer's report) still shows.
class LibraryNoiseFilter {
  public:
    LibraryNoiseFilter() {
        int fds[2];
        m_terminal = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
        if (m_terminal < 0 || ::pipe2(fds, O_CLOEXEC) != 0)
            return;
        m_err = ::fdopen(m_terminal, "w");
        if (m_err == nullptr || ::dup2(fds[1], STDERR_FILENO) < 0) {
            ::close(fds[0]);
            ::close(fds[1]);
            return;
        }
        ::close(fds[1]);
        const int terminal = m_terminal;
        try {
            m_reader = std::thread([terminal, from = fds[0]] { PassOn(from, terminal); });
        } catch (const std::system_error&) {
            ::dup2(m_terminal, STDERR_FILENO);
            ::close(fds[0]);
        }
    }
    ~LibraryNoiseFilter() {
        if (m_reader.joinable()) {
            // The pipe's last writer goes, so the reader sees its end.
            ::dup2(m_terminal, STDERR_FILENO);
            m_reader.join();
        }
        if (m_err != nullptr)
            std::fclose(m_err);
        else if (m_terminal >= 0)
            ::close(m_terminal);
    }
    LibraryNoiseFilter(const LibraryNoiseFilter&) = delete;
    LibraryNoiseFilter& operator=(const LibraryNoiseFilter&) = delete;

    std::FILE* Err() const { return m_err != nullptr ? m_err : stderr; }

  private:
    static void PassOn(int from, int to) {
        std::string pending;
        char chunk[4096];
        for (;;) {
            const ssize_t n = ::read(from, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR)
                continue;
            if (n > 0)
                pending.append(chunk, static_cast<std::size_t>(n));
            for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
                const std::string line = pending.substr(0, end + 1);
                pending.erase(0, end + 1);
                if (!IsLibraryNoise(line))
                    (void)!::write(to, line.data(), line.size());
            }
            if (n <= 0)
                break;
        }
        if (!pending.empty() && !IsLibraryNoise(pending))
            (void)!::write(to, pending.data(), pending.size());
        ::close(from);
    }

    int m_terminal = -1;
    std::FILE* m_err = nullptr;
    std::thread m_reader;
};

} // namespace

int main(int argc, char** argv) {
    // File names are bytes: the arguments are kept as given, before Qt decodes them as text.
    const std::vector<std::string> args(argv, argv + argc);
    // A file-size limit must make a save fail and be reported, not end the program; a closed
    // standard output must show as a failed write of the log, which stops the run cleanly.
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
    qInstallMessageHandler(FilterQtMessage);
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
    const ParseResult parsed = ParseCommandLine(args, UsableCpuCount());
    switch (parsed.kind) {
    case ParseResult::Kind::Help:
    case ParseResult::Kind::Version:
    case ParseResult::Kind::ListFormats:
        std::fputs(parsed.text.c_str(), stdout);
        status = kExitAllDone;
        break;
    case ParseResult::Kind::BadUsage:
        std::fprintf(stderr, "pictorum-batch: %s\nTry 'pictorum-batch --help'.\n",
                     parsed.text.c_str());
        status = kExitBadUsage;
        break;
    case ParseResult::Kind::Run: {
        CatchStopSignals();
        RunStreams streams;
        streams.progress = isatty(STDERR_FILENO) != 0;
        streams.outIsTerminal = isatty(STDOUT_FILENO) != 0;
        const LibraryNoiseFilter filter;
        streams.err = filter.Err();
        status = RunBatch(parsed.options, g_stop, streams);
        std::fflush(streams.err);
        break;
    }
    }
    GdiplusShutdown(token);
    return status;
}
