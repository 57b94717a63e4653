// The reliability suite runs real batches; the imaging library needs a GUI application
// object (offscreen) and its own start-up. The same program serves as the child process of
// the cases that run under resource limits.
#include "ChildBatch.h"
#include "imaging/GdiPlus.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstring>
#include <langinfo.h>

int main(int argc, char** argv) {
    // Nothing is shown; test discovery runs this without the test environment, too.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    // File names are UTF-8 text for the program; a bare C locale would make every non-ASCII
    // name unreadable and hide what these cases check.
    if (std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0)
        std::setlocale(LC_CTYPE, "C.UTF-8");
    ULONG_PTR token = 0;
    GdiplusStartupInput input;
    if (GdiplusStartup(&token, &input, nullptr) != Ok) {
        std::fprintf(stderr, "imaging library did not start\n");
        return 1;
    }
    if (IsChildBatchCall(argc, argv))
        return ChildBatchMain(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    GdiplusShutdown(token);
    return result;
}
