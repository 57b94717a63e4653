// Where the program's windows open on a screen with room: the main window where the window
// manager puts it, the about box centred on it, the options beside its sample preview.

#include "MainDlgTestSupport.h"

#include "res/Resource.h"

#include <QScreen>

#include <gtest/gtest.h>

using namespace maindlg_test;

namespace {

TEST(WindowPlacement, DialogsOpenOnTheMainWindowAndLeaveThePreviewInSight) {
    const struct {
        const char* title;
        int button;
        bool centred; // else: beside the preview
    } cases[] = {{"About Pictorum", IDC_ABOUT, true}, {"Options", IDC_OPTIONS, false}};
    for (const auto& c : cases) {
        UseProgramTemplates();
        CMainDlg dialog;
        bool placedByManager = false;
        QRect main;
        QRect preview;
        QRect opened;
        QRect screen;
        ModalScript script;
        script.OnMain(dialog, "open the dialog", [&] {
            QWidget* window = dialog.GetWidget();
            placedByManager = !window->testAttribute(Qt::WA_Moved);
            screen = window->screen()->availableGeometry();
            window->move(screen.topLeft() + QPoint(300, 200));
            main = window->frameGeometry();
            QWidget* box = Control(dialog, IDC_PREVIEW);
            preview = QRect(box->mapToGlobal(QPoint(0, 0)), box->size());
            dialog.GetDlgItem(IDC_OPTIONS)->EnableWindow(TRUE);
            ClickControl(dialog, c.button);
            ClickControl(dialog, IDC_EXIT);
        });
        script.Then(
            c.title, [&](QWidget* modal) { return modal->windowTitle() == c.title; },
            [&](QWidget* modal) {
                opened = modal->frameGeometry();
                PressKey(modal, Qt::Key_Escape);
            });
        EXPECT_EQ(script.Run(dialog, 20000), IDOK) << c.title;
        EXPECT_TRUE(placedByManager) << "the main window was moved before it was shown";
        ASSERT_TRUE(opened.isValid()) << c.title;
        EXPECT_TRUE(screen.contains(opened)) << c.title;
        if (c.centred) {
            EXPECT_LE((opened.center() - main.center()).manhattanLength(), 4) << c.title;
        } else {
            EXPECT_FALSE(opened.intersects(preview)) << c.title;
        }
    }
}

} // namespace
