#include "bench/BenchOptions.h"

#include <QFile>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

bool Parse(int argc, char** argv, BenchOptions* options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--work" && hasValue)
            options->work = QFile::decodeName(argv[++i]);
        else if (arg == "--per-size" && hasValue)
            options->perSize = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--rounds" && hasValue)
            options->rounds = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--formats" && hasValue)
            options->formats = QString::fromLatin1(argv[++i]).toUpper().split(QLatin1Char(','));
        else if (arg == "--jobs" && hasValue)
            options->jobs = std::max(0, std::atoi(argv[++i]));
        else if (arg == "--no-peers")
            options->peers = false;
        else if (arg == "--list-entries" && hasValue)
            options->listEntries = std::max(2, std::atoi(argv[++i]));
        else if (arg == "--list-only")
            options->listOnly = true;
        else if (arg == "--responsive-only")
            options->responsiveOnly = true;
        else if (arg == "--memory-only")
            options->memoryOnly = true;
        else if (arg == "--no-windowed")
            options->windowed = false;
        else if (arg == "--colour-only")
            options->colourOnly = true;
        else if (arg == "--marks-only")
            options->marksOnly = true;
        else
            return false;
    }
    return true;
}

} // namespace

bool ParseBenchOptions(int argc, char** argv, BenchOptions* options) {
    if (Parse(argc, argv, options))
        return true;
    std::fprintf(stderr,
                 "usage: %s [--work DIR] [--per-size N] [--rounds N] "
                 "[--formats JPEG,TIFF,PNG,AVIF,JXL] [--no-peers] [--jobs N] [--no-windowed] "
                 "[--list-entries N] "
                 "[--list-only] [--responsive-only] [--memory-only] [--colour-only] "
                 "[--marks-only]\n",
                 argv[0]);
    return false;
}
