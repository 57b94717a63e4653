#pragma once
// One run of pictorum-batch once its command line is understood: the checks that need the
// file system, the list, the stamping and the report.

#include "cli/CliOptions.h"

#include <atomic>
#include <csignal>
#include <cstdio>

// The exit statuses of pictorum-batch. A run stopped early exits with 128 + the signal that
// stopped it, as a shell reports a program that a signal ended: SIGHUP 129, SIGINT 130,
// SIGUSR1 138, SIGUSR2 140, SIGPIPE (standard output closed) 141, SIGTERM 143.
// 1 and 3 tell a script whether running again can help: 1 when a picture cannot be read or
// stamped, or its copy is refused for a reason a rerun meets again; 3 when the system refused
// to write a copy (a full disk, a file-size limit, no permission) and the pictures are good.
constexpr int kExitAllDone = 0;
constexpr int kExitSomeFailed = 1;
constexpr int kExitBadUsage = 2;
constexpr int kExitNotWritten = 3;
constexpr int kExitInterrupted = 128 + SIGINT;

// Set from a signal handler or from the run itself; every member is lock-free, so a handler
// may touch them.
struct StopRequest {
    std::atomic<bool> stop{false};
    // The first signal that asked, or 0.
    std::atomic<int> signal{0};

    void Request(int signalNumber) {
        int none = 0;
        signal.compare_exchange_strong(none, signalNumber);
        stop.store(true);
    }
};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free);

struct RunStreams {
    std::FILE* in = stdin;
    std::FILE* out = stdout;
    std::FILE* err = stderr;
    // The progress line is drawn on err; outIsTerminal says whether log lines share its screen.
    bool progress = false;
    bool outIsTerminal = false;
};

// Needs the imaging library started. stop is polled between items; a run stopped that way
// (a signal, or a log that can no longer be written) returns 128 + its signal with nothing
// half-written.
int RunBatch(const CliOptions& options, StopRequest& stop, const RunStreams& streams);

// The pictures named by options.inputs, with '-' replaced by the list read from in (lines, or
// NUL-separated; empty entries skipped).
std::vector<std::string> ExpandInputs(const CliOptions& options, std::FILE* in);
