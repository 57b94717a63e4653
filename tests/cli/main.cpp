// Command-line tests: QtGui's image classes to draw pictures, a UTF-8 C locale for the 8-bit
// paths, and the imaging library for the list of installed encoders.
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
