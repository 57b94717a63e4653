// Engine tests: a GUI application object for QtGui's image classes, a UTF-8 C locale for the
// 8-bit path conversions, and the imaging library started around the whole run.
#include "TestMain.h"

#include <QGuiApplication>

int main(int argc, char** argv) {
    test_main::UseOffscreenUnlessChosen();
    QGuiApplication app(argc, argv);
    if (!test_main::UseUtf8Locale())
        return 1;
    ::testing::InitGoogleTest(&argc, argv);
    return test_main::RunAllTestsWithImaging();
}
