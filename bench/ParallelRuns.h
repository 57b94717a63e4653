#pragma once
// The rows for a batch on every core: pictorum-batch --jobs 2 against each peer run two at a
// time by xargs -P2, as a script user would, one process per size class so that the time per
// picture is the run's wall time over its pictures.

#include "bench/Peers.h"
#include "bench/Report.h"

#include <QString>
#include <QStringList>

#include <map>
#include <string>
#include <vector>

// Pictures per job (or per core) in a run of several at once: long enough that the few new
// pixel buffers a run starts with, slow to touch first on some virtual machines (0.2 to 1 s of
// kernel time from run to run here), and the process start do not decide the time per picture.
constexpr int kPicturesPerJob = 24;

struct ParallelInput {
    QString overlay;
    // Pictures and their placements by size class.
    std::map<std::string, QStringList> pictures;
    std::map<std::string, std::vector<Placement>> placements;
};

struct ParallelResult {
    Measured ours;
    // Decode and save of the same list on one thread (the benchmark's floor child), whole runs.
    Measured floor;
    std::vector<Measured> peers;
};

// Runs pictorum-batch and the one-thread codec floor three times each and every peer once on
// every size class; work is a folder it may empty and fill.
ParallelResult RunParallel(const ParallelInput& input, const OutputFormat& format,
                           const QString& work, int jobs, bool peers);

// Prints the rows and the goals: our time per picture against the one-thread codec floor
// (goal <= 0.6 of it) and against each peer (goal: each peer >= 4 x ours), both for JPEG output
// only, and our peak memory, less what start-up alone takes (startupMb), against (jobs + 1)
// decoded pictures of the largest size plus the overlay.
void PrintParallel(const char* format, const std::vector<std::string>& classes,
                   const ParallelResult& result, int jobs, double decodedMb, double overlayMb,
                   double startupMb);
