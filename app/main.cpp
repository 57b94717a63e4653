// Pictorum: stamps one overlay picture onto many photographs.

#include "app/MainApp.h"
#include "app/StartFiles.h"
#include "app/framework/DialogTemplateRegistry.h"
#include "res/DialogTemplates.h"
#include "res/ProgramResources.h"

#include <csignal>

namespace {
CMainApp theApp;
} // namespace

int main(int argc, char** argv) {
    // Answered before Qt starts: they need no display.
    const StartAction action = StartActionFor(argc, argv);
    if (action != StartAction::OpenWindow)
        return PrintStartText(action);
    // A file-size limit must make a save fail and be reported, not end the program.
    std::signal(SIGXFSZ, SIG_IGN);
    RegisterProgramResources();
    SetDialogTemplateLookup(&FindDialogTemplate);
    return AfxWinMain(argc, argv);
}
