// The worker decodes and encodes through the imaging library, which needs a GUI application
// object (offscreen) and its own start-up.
#include "imaging/GdiPlus.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char** argv) {
    // Nothing is shown; test discovery runs this without the test environment, too.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ULONG_PTR token = 0;
    GdiplusStartupInput input;
    if (GdiplusStartup(&token, &input, nullptr) != Ok) {
        fprintf(stderr, "imaging library did not start\n");
        return 1;
    }
    const int result = RUN_ALL_TESTS();
    GdiplusShutdown(token);
    return result;
}
