// Engine tests: a GUI application object for QtGui's image classes, a UTF-8 C locale for the
// 8-bit path conversions, and the imaging library started around the whole run.
#include "imaging/GdiPlus.h"

#include <QGuiApplication>
#include <clocale>
#include <cstdio>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Nothing here is shown; test discovery runs this program without the test environment.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (std::setlocale(LC_ALL, "C.UTF-8") == nullptr) {
        std::fprintf(stderr, "no UTF-8 C locale on this machine\n");
        return 1;
    }
    ::testing::InitGoogleTest(&argc, argv);
    ULONG_PTR token = 0;
    GdiplusStartupInput input;
    if (GdiplusStartup(&token, &input, nullptr) != Ok) {
        std::fprintf(stderr, "imaging library did not start\n");
        return 1;
    }
    const int result = RUN_ALL_TESTS();
    GdiplusShutdown(token);
    return result;
}
