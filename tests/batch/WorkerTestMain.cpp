// The worker decodes and encodes through the imaging library, which needs a GUI application
// object (offscreen) and its own start-up.
#include "TestMain.h"

#include <QGuiApplication>

int main(int argc, char** argv) {
    test_main::UseOffscreenUnlessChosen();
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return test_main::RunAllTestsWithImaging();
}
