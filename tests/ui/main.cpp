// Window tests: a widget application on the offscreen platform, a UTF-8 C locale for 8-bit
// paths, the program's resources and the imaging library around the whole run.
#include "imaging/GdiPlus.h"
#include "app/framework/DialogTemplateRegistry.h"
#include "res/DialogTemplate.h"
#include "res/ProgramResources.h"

#include <QApplication>
#include <clocale>
#include <cstdio>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Test discovery runs this program without the test environment.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (std::setlocale(LC_ALL, "C.UTF-8") == nullptr) {
        std::fprintf(stderr, "no UTF-8 C locale on this machine\n");
        return 1;
    }
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
