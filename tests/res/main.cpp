// Pictures are decoded through QtGui, which wants an application object.
#include "TestMain.h"

#include <QGuiApplication>

int main(int argc, char** argv) {
    test_main::UseOffscreenUnlessChosen();
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
