// What a screen reader finds in each dialog; the focus on its first tab stop, drawn at once.

#include "MainDlgTestSupport.h"
#include "app/framework/ControlWidgets.h"
#include "batch/ProcessingDlg.h"
#include "ui/AboutDlg.h"
#include "ui/OverlayOptionsDlg.h"
#include <QAccessible>

using Found = std::map<int, std::pair<int, QString>>;

// Each control's role and name, as a screen reader reads it.
static void Walk(QAccessibleInterface* node, Found& found) {
    for (int i = 0; i < node->childCount(); ++i) {
        QAccessibleInterface* child = node->child(i);
        const auto* control = ControlOf(qobject_cast<QWidget*>(child->object()));
        if (control == nullptr || child->role() == QAccessible::StaticText)
            Walk(child, found);
        else
            found[control->ControlId()] = {child->role(), child->text(QAccessible::Name)};
    }
}

TEST(Accessibility, EveryControlIsNamedAndAnnouncedByWhatItIs) {
    const std::pair<std::function<CDialog*(CBatchJob*)>, Found> cases[] = {
        {[](CBatchJob*) { return new CMainDlg; },
         {{1083, {QAccessible::Graphic, "Sample preview: no background image"}}}},
        {[](CBatchJob* job) { return new COverlayOptionsDlg(job); },
         {{1013, {QAccessible::RadioButton, "Percent of Background"}},
          {1026, {QAccessible::RadioButton, "Bottom right"}},
          {1061, {QAccessible::ComboBox, "Format"}}}},
        {[](CBatchJob*) { return new CAboutDlg; }, {}},
        {[](CBatchJob* job) { return new CProcessingDlg(job); },
         {{1059, {QAccessible::ProgressBar, "Progress"}}}}};
    maindlg_test::UseProgramTemplates();
    for (const auto& [make, expected] : cases) {
        CBatchJob job;
        std::unique_ptr<CDialog> dialog(make(&job));
        Found found;
        QImage first[2]; // the first tab stop with the focus and without
        dialog_driving::RunModal(*dialog, [&](QWidget* window) {
            Walk(QAccessible::queryAccessibleInterface(window), found);
            if (QWidget* focus = WaitFor([] { return QApplication::focusWidget() != nullptr; })
                                     ? QApplication::focusWidget()
                                     : nullptr) {
                first[0] = focus->grab().toImage();
                focus->clearFocus();
                first[1] = focus->grab().toImage();
            }
            dialog->EndDialog(IDCANCEL);
        });
        // The progress dialog's run goes on after the dialog: it must end before its job does.
        ASSERT_EQ(StopRunForExit(60000), WAIT_OBJECT_0);
        EXPECT_TRUE(!first[0].isNull() && first[0] != first[1]) << "the focus is not drawn";
        for (const auto& [id, seen] : found)
            EXPECT_NE(seen.second.trimmed(), "") << "control " << id;
        for (const auto& [id, want] : expected)
            EXPECT_EQ(found[id], want) << "control " << id;
    }
}

// An entry is read by its full path: its shortened line may be the same for two files.
TEST(Accessibility, ListEntriesAreNamedByTheirFullPath) {
    maindlg_test::UseProgramTemplates();
    const std::string path = "/photos/2026/holiday/by the sea/first day/morning/IMG_0001.png";
    CMainDlg dialog;
    QString name;
    dialog_driving::RunModal(dialog, [&](QWidget*) {
        static_cast<CFileListBox*>(dialog.GetDlgItem(1007))->AddEntry(path.c_str());
        QAccessibleInterface* list =
            QAccessible::queryAccessibleInterface(dialog.GetDlgItem(1007)->GetWidget());
        for (int i = 0; list != nullptr && i < list->childCount(); ++i)
            if (list->child(i)->role() == QAccessible::ListItem)
                name = list->child(i)->text(QAccessible::Name);
        dialog.EndDialog(IDOK);
    });
    EXPECT_EQ(name.toStdString(), path);
}
