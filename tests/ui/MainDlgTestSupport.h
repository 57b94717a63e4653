#pragma once
// Driving the main window the way a user would: real mouse and key events on its widgets, and
// a script of steps that answer each modal window (message boxes, file dialogs, the folder
// chooser, the progress dialog) as it comes up.

#include "DialogDriving.h"
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

// The main window's waits cover a whole modal window coming up, so they allow longer.
inline bool WaitFor(const std::function<bool()>& done, int ms = 5000) {
    return dialog_driving::WaitFor(done, ms);
}

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

// Steps run in order, each on the first modal window that it accepts. A step is taken off the
// queue before it acts, so a step may open a nested modal window that the next step answers.
class ModalScript {
  public:
    using Accepts = std::function<bool(QWidget*)>;
    using Act = std::function<void(QWidget*)>;

    ModalScript& Then(const char* what, Accepts accepts, Act act) {
        m_steps.push_back({what, std::move(accepts), std::move(act)});
        return *this;
    }
    // A step on the main window itself.
    ModalScript& OnMain(CMainDlg& dialog, const char* what, std::function<void()> act) {
        return Then(
            what, [&dialog](QWidget* modal) { return modal == dialog.GetWidget(); },
            [act](QWidget*) { act(); });
    }

    // Runs the main window modally under the script. A window still open after the time-out is
    // closed so that a failing test does not hang; the result is then -99.
    INT_PTR Run(CMainDlg& dialog, int timeoutMs = 60000) {
        QTimer poll;
        poll.setInterval(5);
        QObject::connect(&poll, &QTimer::timeout, [&] { Poll(); });
        QElapsedTimer clock;
        clock.start();
        QTimer watchdog;
        watchdog.setInterval(200);
        QObject::connect(&watchdog, &QTimer::timeout, [&] {
            if (clock.elapsed() < timeoutMs)
                return;
            if (!m_timedOut) {
                m_stuckAt = Pending();
                if (QWidget* up = QApplication::activeModalWidget())
                    m_stuckAt += " (up: " + up->windowTitle().toStdString() + ")";
            }
            m_timedOut = true;
            m_steps.clear();
            QWidget* modal = QApplication::activeModalWidget();
            if (modal != nullptr && modal != dialog.GetWidget()) {
                if (auto* d = qobject_cast<QDialog*>(modal))
                    d->reject();
            } else if (dialog.GetWidget() != nullptr) {
                dialog.EndDialog(-99);
            }
        });
        poll.start();
        watchdog.start();
        const INT_PTR result = dialog.DoModal();
        // A window nobody answered (an unexpected message box) ends here, not in a pass.
        EXPECT_FALSE(m_timedOut) << "timed out at: " << m_stuckAt;
        return result;
    }

    bool Finished() const { return m_steps.empty() && !m_timedOut; }
    std::string Pending() const {
        if (m_timedOut)
            return m_stuckAt;
        return m_steps.empty() ? std::string() : m_steps.front().what;
    }

  private:
    struct Step {
        std::string what;
        Accepts accepts;
        Act act;
    };

    void Poll() {
        // Until the step taken last has acted, its window is still up: a loaded machine may
        // poll again first, and the next step must not take that same window.
        if (m_steps.empty() || *m_acting)
            return;
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || !modal->isVisible() || !m_steps.front().accepts(modal))
            return;
        Step step = std::move(m_steps.front());
        m_steps.pop_front();
        // Acted on from a timer of its own, as input arrives for the user: Qt does not fire a
        // timer again while its slot runs, and the action may open a modal window that the
        // next step answers. (A zero delay would be a posted event, and posted events, such
        // as the worker's reports, are not delivered again inside one.)
        QPointer<QWidget> target = modal;
        if (qEnvironmentVariableIsSet("MAINDLG_TEST_TRACE"))
            fprintf(stderr, "step: %s on %s\n", step.what.c_str(),
                    modal->metaObject()->className());
        *m_acting = true;
        QTimer::singleShot(1, [acting = m_acting, act = std::move(step.act), target] {
            // Cleared before acting: the action may open a window that the next step answers.
            *acting = false;
            if (target)
                act(target.data());
        });
    }

    std::deque<Step> m_steps;
    std::shared_ptr<bool> m_acting = std::make_shared<bool>(false);
    bool m_timedOut = false;
    std::string m_stuckAt;
};

// Pictures drawn in code.
inline QString WritePicture(const QString& path, int width, int height, const QColor& colour,
                            const char* format = "PNG") {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    image.save(path, format);
    return path;
}

inline std::string Bytes(const QString& text) {
    return text.toLocal8Bit().toStdString();
}

} // namespace maindlg_test
