#pragma once
// The rows measured one picture at a time: this program's child modes over the backgrounds,
// each peer's commands per picture, and the JPEG routes side by side.

#include "bench/BenchOptions.h"
#include "bench/Peers.h"
#include "bench/Report.h"

#include <QString>

#include <string>
#include <vector>

struct Background {
    QString path;
    std::string sizeClass;
    Placement place;
};

// Empties (or makes) a folder for one tool's outputs.
QString FreshFolder(const QString& path);

// The sizes of the folder's files, in name order, under the backgrounds' size classes.
void AddSizes(Measured& m, const QString& folder, const std::vector<Background>& backgrounds);

// Runs this program in one of its child modes; the items it prints go to m in list order.
void RunInProcessChild(Measured& m, const std::vector<std::string>& argv,
                       const std::vector<Background>& backgrounds);

// The command that runs this program in a child mode over the backgrounds, after the mode's
// other arguments.
std::vector<std::string> ChildArgs(const char* mode, const std::vector<std::string>& rest,
                                   const std::vector<Background>& backgrounds);

// Runs the peer's commands on each background, its outputs into folder; failures are counted.
void RunPeer(Measured& m, const Peer& peer, const BenchOptions& options, const OutputFormat& format,
             const QString& overlay, const std::vector<Background>& backgrounds,
             const QString& folder);

// An empty measurement of the tool.
Measured Named(const char* tool);

// The JPEG routes side by side, in the engine's pipeline on one thread, with the codec floor
// measured in the same run.
void RunAndPrintLossless(const BenchOptions& options, const QString& overlay,
                         const std::vector<Background>& backgrounds,
                         const std::vector<std::string>& classes, const QString& base);

// A phone's picture in: the first background as a HEIC file of 512 x 512 HEVC tiles, as phones
// write them, stamped into JPEG by the worker one at a time, against the codec floor of the same
// libraries (decoded by libheif, saved as JPEG) and libvips, in the same run.
void RunAndPrintHeicIn(const BenchOptions& options, const QString& overlay,
                       const Background& background);
