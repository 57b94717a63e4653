#pragma once
// Runs one batch in a child process (this test program started again), so that resource
// limits, a crash or a hang stay there. The child answers through a pipe; a child that does
// not end within its guard is killed and reported as timed out.

#include <QByteArray>

#include <string>
#include <vector>

struct ChildBatchSpec {
    std::vector<QByteArray> inputs;
    QByteArray overlay;
    QByteArray outputDir;
    QByteArray format = "image/png";
    // RLIMIT_FSIZE in bytes (SIGXFSZ ignored, so writes fail with EFBIG); < 0: none.
    long long fileSizeLimit = -1;
    // RLIMIT_AS set to the child's address space after start-up plus this many MB; < 0: none.
    long long addressSpaceExtraMb = -1;
    int guardSeconds = 120;
};

struct ChildBatchResult {
    bool timedOut = false;
    bool exited = false; // ended by returning from main, not by a signal
    int exitCode = -1;
    int signal = 0;
    bool completed = false; // WM_BATCH_DONE came
    std::vector<std::string> lines;
    // Per item that was reported to its end: growth of the peak resident set from the item's
    // " ... " to its outcome, in kB.
    std::vector<long> itemPeakGrowthKb;
    // The same for the peak address space (VmPeak): memory reserved but never touched shows
    // here, not in the resident set.
    std::vector<long long> itemPeakAddressGrowthKb;
    std::vector<std::string> remaining;
    int serial = -1;

    // Exited normally with code 0 and sent its whole report.
    bool Clean() const { return !timedOut && exited && exitCode == 0 && serial >= 0; }
};

ChildBatchResult RunChildBatch(const ChildBatchSpec& spec);

// The child's side: true when argv asks for a child run; the program's main then returns
// ChildBatchMain's result. Call after the application object and the imaging library exist.
bool IsChildBatchCall(int argc, char** argv);
int ChildBatchMain(int argc, char** argv);
