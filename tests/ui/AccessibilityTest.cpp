// What a screen reader finds in each of the program's dialogs: the accessible tree walked in
// process, the way the desktop's accessibility bridge walks it.

#include "MainDlgTestSupport.h"

#include "app/framework/ControlWidgets.h"
#include "batch/ProcessingDlg.h"
#include "engine/BatchJob.h"
#include "engine/TextHelpers.h"
#include "res/Resource.h"
#include "ui/AboutDlg.h"
#include "ui/OverlayOptionsDlg.h"
#include "ui/PreviewName.h"

#include <QAccessible>

#include <gtest/gtest.h>

#include <map>

using namespace maindlg_test;

namespace {

// What a control says it is for: its name; for a list to choose from, whose name on Linux is
// the entry it holds, the label it is labelled by.
QString Purpose(QAccessibleInterface* control) {
    if (control->role() != QAccessible::ComboBox)
        return control->text(QAccessible::Name).trimmed();
    for (const auto& [label, relation] : control->relations(QAccessible::Label))
        return label->text(QAccessible::Name).trimmed();
    return QString();
}

struct Found {
    QAccessible::Role role;
    QString purpose;
};

// Every control of the window by id (IDC_STATIC ones are frames and labels, which show their
// text), walked from the window down.
void Walk(QAccessibleInterface* node, std::map<int, Found>& found, std::vector<int>& nameless) {
    for (int i = 0; i < node->childCount(); ++i) {
        QAccessibleInterface* child = node->child(i);
        const ControlBase* control =
            child != nullptr ? ControlOf(qobject_cast<QWidget*>(child->object())) : nullptr;
        if (child == nullptr || control == nullptr) {
            if (child != nullptr)
                Walk(child, found, nameless);
            continue;
        }
        const Found f{child->role(), Purpose(child)};
        if (f.purpose.isEmpty() && f.role != QAccessible::StaticText)
            nameless.push_back(control->ControlId());
        found[control->ControlId()] = f;
    }
}

struct Expected {
    int id;
    QAccessible::Role role;
    const char* purpose;
};

struct DialogCase {
    const char* name;
    std::function<std::unique_ptr<CDialog>(CBatchJob&)> make;
    std::vector<Expected> controls;
};

TEST(Accessibility, EveryControlIsNamedAndAnnouncedByWhatItIs) {
    const DialogCase cases[] = {
        {"main window",
         [](CBatchJob&) { return std::make_unique<CMainDlg>(); },
         {{IDC_GO, QAccessible::Button, "Go!"},
          {IDC_BACKGROUND_LIST, QAccessible::List, "Background Images"},
          {IDC_OVERLAY_PATH, QAccessible::EditableText, "Overlay Image"},
          {IDC_PREVIEW, QAccessible::Graphic, "Sample preview: no background image"},
          {IDC_BANNER, QAccessible::Graphic, "Pictorum: stamp one picture onto many"}}},
        {"options",
         [](CBatchJob& job) { return std::make_unique<COverlayOptionsDlg>(&job); },
         {{IDC_MODE_PIXELS, QAccessible::RadioButton, "Pixels"},
          {IDC_MODE_PERCENT, QAccessible::RadioButton, "Percent of Background"},
          {IDC_SIZE_X, QAccessible::EditableText, "X"},
          {IDC_SIZE_Y, QAccessible::EditableText, "Y"},
          {IDC_ANCHOR_FIRST, QAccessible::RadioButton, "Top left"},
          {IDC_ANCHOR_FIRST + 4, QAccessible::RadioButton, "Centre"},
          {IDC_ANCHOR_LAST, QAccessible::RadioButton, "Bottom right"},
          {IDC_OUTPUT_FORMAT, QAccessible::ComboBox, "Format"},
          {IDC_NAME_TEMPLATE, QAccessible::EditableText, "Template"}}},
        {"about box",
         [](CBatchJob&) { return std::make_unique<CAboutDlg>(); },
         {{IDC_ABOUT_LOGO, QAccessible::Button, "Tollerby web site"}}},
        {"progress",
         [](CBatchJob& job) { return std::make_unique<CProcessingDlg>(&job); },
         {{IDC_PROCESSING_PROGRESS, QAccessible::ProgressBar, "Progress"},
          {IDC_PROCESSING_LOG, QAccessible::List, "Log"}}},
    };
    UseProgramTemplates();
    for (const DialogCase& c : cases) {
        CBatchJob job;
        std::unique_ptr<CDialog> dialog = c.make(job);
        std::map<int, Found> found;
        std::vector<int> nameless;
        dialog_driving::RunModal(*dialog, [&](QWidget* window) {
            Walk(QAccessible::queryAccessibleInterface(window), found, nameless);
            // Ends whichever dialog it is: the main window through Exit, the others as Escape
            // or their one button would.
            if (CWnd* exit = dialog->GetDlgItem(IDC_EXIT))
                Click(exit->GetWidget());
            else
                dialog->EndDialog(IDCANCEL);
        });
        EXPECT_TRUE(nameless.empty()) << c.name << ": " << ::testing::PrintToString(nameless);
        for (const Expected& e : c.controls) {
            ASSERT_TRUE(found.count(e.id)) << c.name << ", control " << e.id;
            EXPECT_EQ(found[e.id].role, e.role) << c.name << ", control " << e.id;
            EXPECT_EQ(found[e.id].purpose.toStdString(), e.purpose)
                << c.name << ", control " << e.id;
        }
    }
}

TEST(Accessibility, PreviewIsNamedAfterItsPictureAndThePlace) {
    const struct {
        const char* background;
        const char* overlay;
        DWORD anchor;
        const char* name;
    } cases[] = {
        {nullptr, "/p/logo.png", 9, "Sample preview: no background image"},
        {"/photos/harbour.jpg", "", 9, "Sample preview: harbour.jpg, no overlay"},
        {"/photos/harbour.jpg", "/p/logo.png", 9,
         "Sample preview: harbour.jpg, overlay at bottom right"},
        {"/photos/harbour.jpg", "/p/logo.png", 2,
         "Sample preview: harbour.jpg, overlay at top centre"},
        // Placed where anchor 1 is.
        {"/photos/harbour.jpg", "/p/logo.png", 0,
         "Sample preview: harbour.jpg, overlay at top left"},
    };
    for (const auto& c : cases) {
        CBatchJob job;
        CopyText(job.szOverlayPath, c.overlay);
        job.SetOverlayAnchor(c.anchor);
        EXPECT_EQ(PreviewName(job, c.background), c.name);
    }
}

// The focus that a keyboard user starts from is drawn from the start, before any Tab.
TEST(Accessibility, FocusOnGoIsShownWhenTheWindowOpens) {
    UseProgramTemplates();
    CMainDlg dialog;
    QImage focused;
    QImage unfocused;
    dialog_driving::RunModal(dialog, [&](QWidget*) {
        QWidget* go = Control(dialog, IDC_GO);
        if (WaitFor([&] { return go->hasFocus(); }))
            focused = go->grab().toImage();
        go->clearFocus();
        unfocused = go->grab().toImage();
        ClickControl(dialog, IDC_EXIT);
    });
    ASSERT_FALSE(focused.isNull()) << "Go! did not get the focus";
    EXPECT_NE(focused, unfocused);
}

} // namespace
