#pragma once
// Driving the main window the way a user would: real mouse and key events on its widgets, and
// a script of steps that answer each modal window (message boxes, file dialogs, the folder
// chooser, the progress dialog) as it comes up.

#include "DialogDriving.h"
#include "ModalScript.h"
#include "TestPictures.h"
#include "app/framework/DialogTemplateRegistry.h"
#include "res/DialogTemplates.h"
#include "ui/MainDlg.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace maindlg_test {

// The program's own templates, as the program's main() sets them up.
inline void UseProgramTemplates() {
    SetDialogTemplateLookup(&FindDialogTemplate);
}

using dialog_driving::Click;
using dialog_driving::PressKey;
using dialog_driving::WaitFor;

// The main window's widgets by control id.
inline QWidget* Control(CMainDlg& dialog, int id) {
    CWnd* control = dialog.GetDlgItem(id);
    return control != nullptr ? control->GetWidget() : nullptr;
}
inline void ClickControl(CMainDlg& dialog, int id) {
    Click(Control(dialog, id));
}
inline QListWidget* List(CMainDlg& dialog) {
    return qobject_cast<QListWidget*>(Control(dialog, 1007));
}
inline CFileListBox* FileList(CMainDlg& dialog) {
    return static_cast<CFileListBox*>(dialog.GetDlgItem(1007));
}
inline std::vector<std::string> ListedPaths(CMainDlg& dialog) {
    std::vector<std::string> paths;
    CFileListBox* list = FileList(dialog);
    for (int i = 0; list != nullptr && i < list->GetCount(); ++i) {
        std::string path;
        list->GetEntryPath(i, path);
        paths.push_back(path);
    }
    return paths;
}
inline QString GroupTitle(CMainDlg& dialog) {
    auto* group = qobject_cast<QGroupBox*>(Control(dialog, 1037));
    return group != nullptr ? group->title() : QString();
}
inline void ClickListEntry(CMainDlg& dialog, int index, Qt::KeyboardModifiers modifiers) {
    QListWidget* list = List(dialog);
    const QRect rect = list->visualItemRect(list->item(index));
    Click(list->viewport(), rect.center(), modifiers);
}

// What kind of modal window is up. Only direct children count: the main window is the parent
// of every other window, so a deep search would find their parts in it too.
inline bool IsMessageBox(QWidget* modal) {
    return qobject_cast<QMessageBox*>(modal) != nullptr;
}
inline bool IsOpenFileDialog(QWidget* modal) {
    return qobject_cast<QFileDialog*>(modal) != nullptr;
}
inline bool IsFolderChooser(QWidget* modal) {
    return qobject_cast<QFileDialog*>(modal) == nullptr &&
           modal->findChild<QFileDialog*>(QString(), Qt::FindDirectChildrenOnly) != nullptr;
}
inline bool IsProgressDialog(QWidget* modal) {
    return modal->findChild<QProgressBar*>(QString(), Qt::FindDirectChildrenOnly) != nullptr;
}

// Types text into a file dialog's name field and presses its accept button.
inline void AnswerFileDialog(QWidget* modal, const QString& text) {
    // The dialog sets its name field up as it is shown; typing goes in after that.
    WaitFor([modal] { return modal->isActiveWindow(); }, 1000);
    QApplication::processEvents();
    auto* files = qobject_cast<QFileDialog*>(modal);
    if (files == nullptr)
        files = modal->findChild<QFileDialog*>();
    auto* edit = files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    edit->setFocus();
    edit->setText(text);
    QPushButton* accept = files->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"))
                              ->button(QDialogButtonBox::Open);
    WaitFor([accept] { return accept->isEnabled(); });
    Click(accept);
}

inline void CancelFileDialog(QWidget* modal) {
    WaitFor([modal] { return modal->isActiveWindow(); }, 1000);
    auto* files = qobject_cast<QFileDialog*>(modal);
    if (files == nullptr)
        files = modal->findChild<QFileDialog*>();
    Click(files->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"))
              ->button(QDialogButtonBox::Cancel));
}

inline QString QuotedNames(const QStringList& paths) {
    QStringList quoted;
    for (const QString& path : paths)
        quoted << QLatin1Char('"') + path + QLatin1Char('"');
    return quoted.join(QLatin1Char(' '));
}

// A message box's text and icon, then OK.
struct SeenBox {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};
inline void AnswerMessageBox(QWidget* modal, std::vector<SeenBox>& seen) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    seen.push_back({box->windowTitle(), box->text(), box->icon()});
    Click(box->button(QMessageBox::Ok));
}

// Waits for the end of the run, then closes the progress dialog with its button.
inline void CloseProgressWhenDone(QWidget* modal) {
    QPushButton* button = modal->findChild<QPushButton*>();
    WaitFor([button] { return button != nullptr && button->text() == QStringLiteral("Close"); },
            60000);
    Click(button);
}

inline std::string Bytes(const QString& text) {
    return text.toLocal8Bit().toStdString();
}

} // namespace maindlg_test
