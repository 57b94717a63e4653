#pragma once
// One run of pictorum-batch once its command line is understood: the checks that need the
// file system, the list, the stamping and the report.

#include "cli/CliOptions.h"

#include <atomic>
#include <cstdio>

// The exit statuses of pictorum-batch.
constexpr int kExitAllDone = 0;
constexpr int kExitSomeFailed = 1;
constexpr int kExitBadUsage = 2;
constexpr int kExitInterrupted = 130;

struct RunStreams {
    std::FILE* in = stdin;
    std::FILE* out = stdout;
    std::FILE* err = stderr;
    // The progress line is drawn on err; outIsTerminal says whether log lines share its screen.
    bool progress = false;
    bool outIsTerminal = false;
};

// Needs the imaging library started. stop is polled between items (a signal sets it); a run
// stopped that way returns kExitInterrupted with nothing half-written.
int RunBatch(const CliOptions& options, const std::atomic<bool>& stop, const RunStreams& streams);

// The pictures named by options.inputs, with '-' replaced by the list read from in (lines, or
// NUL-separated; empty entries skipped).
std::vector<std::string> ExpandInputs(const CliOptions& options, std::FILE* in);
