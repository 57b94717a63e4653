// Imaging tests run inside a QGuiApplication with the library started, as the program does.
#include "TestMain.h"

#include <QGuiApplication>

int main(int argc, char** argv) {
    test_main::UseOffscreenUnlessChosen();
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return test_main::RunAllTestsWithImaging();
}
