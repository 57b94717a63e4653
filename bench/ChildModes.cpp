#include "bench/ChildModes.h"

#include "bench/ChildProcess.h"
#include "bench/InProcessRuns.h"
#include "bench/ListRuns.h"
#include "bench/ResponsiveRuns.h"
#include "bench/WindowedRuns.h"

#include <QFile>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The argument lists: UPPER CASE for a value, [...] for a list that may be empty.
const ChildMode kModes[] = {
    // Prints "exec <wall s> <peak kB> <exit status> <cpu s>" of the program it runs.
    {kChildExec, "PROGRAM [ARGUMENT...]", 1, ChildApp::Own,
     [](const ChildArgs& a) { return ExecAndMeasure(a.args); }},
    // The list is timed on the real main window, which needs a widget application.
    {kChildList, "ENTRIES", 1, ChildApp::Own,
     [](const ChildArgs& a) { return RunListTimings(a.argc, a.argv, std::max(2, a.Number(0))); }},
    {kChildResponsive, "WORK-FOLDER", 1, ChildApp::Own,
     [](const ChildArgs& a) { return RunResponsiveTimings(a.argc, a.argv, a.Path(0)); }},
    // The windowed run goes through the real progress dialog, which needs a widget application.
    {kChildWindowed, "worker|dialog AT-ONCE MIME OVERLAY OUTPUT-FOLDER PICTURE [PICTURE...]", 6,
     ChildApp::Widgets,
     [](const ChildArgs& a) {
         return RunWindowedChild(a.Text(0), a.Number(1), a.Text(2), a.Path(3), a.Path(4),
                                 a.Paths(5));
     }},
    {kChildWorker, "MIME OVERLAY OUTPUT-FOLDER [PICTURE...]", 3, ChildApp::Gui,
     [](const ChildArgs& a) {
         return RunBatchWorker(a.Text(0), a.Path(1), a.Path(2), a.Paths(3));
     }},
    {kChildPipeline, "JPEG-QUALITY MIME OVERLAY OUTPUT-FOLDER [PICTURE...]", 4, ChildApp::Gui,
     [](const ChildArgs& a) {
         return RunPipeline(a.Number(0), a.Text(1), a.Path(2), a.Path(3), a.Paths(4));
     }},
    {kChildFloor, "MIME OUTPUT-FOLDER [PICTURE...]", 2, ChildApp::Gui,
     [](const ChildArgs& a) { return RunCodecFloor(a.Text(0), a.Path(1), a.Paths(2)); }},
    {kChildPreview, "BACKGROUND OVERLAY ROUNDS", 3, ChildApp::Gui,
     [](const ChildArgs& a) { return RunPreview(a.Path(0), a.Path(1), std::max(1, a.Number(2))); }},
    {kChildBaseline, "", 0, ChildApp::Gui, [](const ChildArgs&) { return RunBaseline(); }},
};

} // namespace

QString ChildArgs::Text(int i) const {
    return QString::fromLatin1(args[i]);
}

QString ChildArgs::Path(int i) const {
    return QFile::decodeName(args[i]);
}

int ChildArgs::Number(int i) const {
    return std::atoi(args[i]);
}

QStringList ChildArgs::Paths(int from) const {
    QStringList paths;
    for (int i = from; i < count; ++i)
        paths << Path(i);
    return paths;
}

const ChildMode* FindChildMode(int argc, char** argv, bool* misused) {
    *misused = false;
    if (argc < 2 || std::strcmp(argv[1], "--child") != 0)
        return nullptr;
    for (const ChildMode& mode : kModes)
        if (argc > 2 && std::strcmp(argv[2], mode.name) == 0 && argc - 3 >= mode.leastArguments)
            return &mode;
    *misused = true;
    std::fprintf(stderr, "usage: %s --child MODE ARGUMENT..., one of\n", argv[0]);
    for (const ChildMode& mode : kModes)
        std::fprintf(stderr, "  %s%s%s\n", mode.name, *mode.arguments ? " " : "", mode.arguments);
    return nullptr;
}

int RunChildMode(const ChildMode& mode, int argc, char** argv) {
    return mode.run(ChildArgs{argc, argv, argv + 3, argc - 3});
}
