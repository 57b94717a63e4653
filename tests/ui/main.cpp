// Window tests: a widget application on the offscreen platform, a UTF-8 C locale for 8-bit
// paths, the program's resources and the imaging library around the whole run.
#include "TestMain.h"
#include "app/framework/DialogTemplateRegistry.h"
#include "res/DialogTemplates.h"
#include "res/ProgramResources.h"

#include <QApplication>

int main(int argc, char** argv) {
    test_main::UseOffscreenUnlessChosen();
    QApplication app(argc, argv);
    if (!test_main::UseUtf8Locale())
        return 1;
    RegisterProgramResources();
    SetDialogTemplateLookup(&FindDialogTemplate);
    ::testing::InitGoogleTest(&argc, argv);
    return test_main::RunAllTestsWithImaging();
}
