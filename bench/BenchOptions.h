#pragma once
// The benchmark's own command line:
//
//   pictorum_bench [--work DIR] [--per-size N] [--rounds N] [--formats JPEG,TIFF,PNG,AVIF,JXL]
//                  [--no-peers] [--jobs N] [--no-windowed] [--list-entries N] [--list-only]
//                  [--responsive-only] [--memory-only] [--colour-only] [--marks-only]

#include <QString>
#include <QStringList>

struct BenchOptions {
    QString work = QStringLiteral("/tmp/pictorum-bench");
    int perSize = 3;
    int rounds = 1;
    QStringList formats = {QStringLiteral("JPEG"), QStringLiteral("TIFF"), QStringLiteral("PNG")};
    bool peers = true;
    // Pictures at once in the rows for every core; 0 leaves those rows out.
    int jobs = 2;
    int listEntries = 10000;
    bool listOnly = false;
    bool responsiveOnly = false;
    bool memoryOnly = false;
    bool windowed = true;
    // Only the colour-management rows.
    bool colourOnly = false;
    // Only the reduced-mark rows.
    bool marksOnly = false;
};

// False, with the usage on standard error, when argv holds anything else.
bool ParseBenchOptions(int argc, char** argv, BenchOptions* options);
