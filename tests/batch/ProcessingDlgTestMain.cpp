// The progress dialog tests drive real widgets and the real worker: a QApplication on the
// offscreen platform (unless a display was chosen), the program's templates and pictures,
// and the imaging library.
#include "TestMain.h"
#include "app/framework/DialogTemplateRegistry.h"
#include "res/DialogTemplates.h"
#include "res/ProgramResources.h"

#include <QApplication>

int main(int argc, char** argv) {
    test_main::UseOffscreenUnlessChosen();
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    // File names in the log are 8-bit text in the locale's encoding.
    if (!test_main::UseUtf8Locale())
        return 1;
    RegisterProgramResources();
    SetDialogTemplateLookup(&FindDialogTemplate);
    ::testing::InitGoogleTest(&argc, argv);
    return test_main::RunAllTestsWithImaging();
}
