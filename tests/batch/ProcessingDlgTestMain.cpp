// The progress dialog tests drive real widgets and the real worker: a QApplication on the
// offscreen platform (unless a display was chosen), the program's templates and pictures,
// and the imaging library.
#include "app/framework/DialogTemplateRegistry.h"
#include "imaging/GdiPlus.h"
#include "res/ProgramResources.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    // File names in the log are 8-bit text in the locale's encoding.
    std::setlocale(LC_ALL, "C.UTF-8");
    RegisterProgramResources();
    SetDialogTemplateLookup(&FindDialogTemplate);
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
