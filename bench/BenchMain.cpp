// Benchmark of a batch run: the real worker against the codec floor and the command-line
// tools a user would otherwise script, on drawn photo-like pictures (options: BenchOptions.h).
//
// Every measured run is a child process of this one (ChildModes.h), so that wall time and
// peak memory are those of that run alone, as a user's script would see them.

#include "bench/BenchOptions.h"
#include "bench/ChildModes.h"
#include "bench/ParentRun.h"
#include "imaging/GdiPlus.h"

#include <QApplication>
#include <QGuiApplication>

#include <cstdio>
#include <memory>

int main(int argc, char** argv) {
    bool misused = false;
    const ChildMode* child = FindChildMode(argc, argv, &misused);
    if (misused)
        return 2;
    if (child != nullptr && child->app == ChildApp::Own)
        return RunChildMode(*child, argc, argv);
    // Nothing is shown; text in the drawn overlay needs fonts, which need a GUI application.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const bool widgets = child != nullptr && child->app == ChildApp::Widgets;
    std::unique_ptr<QGuiApplication> app(widgets ? new QApplication(argc, argv)
                                                 : new QGuiApplication(argc, argv));
    ULONG_PTR token = 0;
    GdiplusStartupInput input;
    if (GdiplusStartup(&token, &input, nullptr) != Ok) {
        std::fprintf(stderr, "the imaging library did not start\n");
        return 1;
    }
    int result = 0;
    if (child != nullptr) {
        result = RunChildMode(*child, argc, argv);
    } else {
        BenchOptions options;
        result = ParseBenchOptions(argc, argv, &options) ? RunParent(options) : 2;
    }
    GdiplusShutdown(token);
    return result;
}
