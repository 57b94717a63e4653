#pragma once
// Helpers for driving modal dialogs the way a user would: wait for the modal window, then
// send it real key and mouse events.

#include "app/framework/Dialog.h"
#include "app/framework/DialogTemplateRegistry.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <QWidget>

#include <functional>

// Declared by QtGui for its own test library: runs the shortcut map on a key press.
Q_GUI_EXPORT bool qt_sendShortcutOverrideEvent(QObject* o, ulong timestamp, int k,
                                               Qt::KeyboardModifiers mods,
                                               const QString& text = QString(),
                                               bool autorep = false, ushort count = 1);

namespace dialog_test {

// Processes events until done() holds or about two seconds have passed.
inline bool WaitFor(const std::function<bool()>& done, int ms = 2000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// Runs DoModal; once the dialog is the visible modal window, script runs inside the modal
// loop. A dialog still open after ten seconds is ended with -99 so that a failing test does
// not hang.
inline INT_PTR RunModal(CDialog& dialog, std::function<void(QWidget* window)> script) {
    QTimer poll;
    poll.setInterval(5);
    bool ran = false;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (ran || modal == nullptr || modal != dialog.GetWidget() || !modal->isVisible())
            return;
        ran = true;
        poll.stop();
        // Keys go to the focused widget of the active window, as they would for the user.
        WaitFor([modal] { return modal->isActiveWindow(); });
        script(modal);
    });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        if (dialog.GetWidget() != nullptr)
            dialog.EndDialog(-99);
    });
    poll.start();
    watchdog.start(10000);
    return dialog.DoModal();
}

inline QWidget* FocusTarget(QWidget* window) {
    QWidget* focus = QApplication::focusWidget();
    return focus != nullptr && focus->window() == window ? focus : window;
}

// A key press and release as the keyboard sends them to the focused widget.
inline void PressKey(QWidget* window, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                     const QString& text = QString()) {
    QWidget* target = FocusTarget(window);
    if (qt_sendShortcutOverrideEvent(target, 0, key, modifiers, text))
        return;
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QApplication::sendEvent(target, &release);
}

inline void TypeText(QWidget* window, const QString& text) {
    for (QChar c : text)
        PressKey(window, c.unicode(), Qt::NoModifier, QString(c));
}

inline void Click(QWidget* widget, QPoint at = QPoint(-1, -1)) {
    if (at.x() < 0)
        at = widget->rect().center();
    const QPointF global = widget->mapToGlobal(QPointF(at));
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(at), global, Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &release);
}

// Registers a test template for the lifetime of the object.
class ScopedTemplate {
  public:
    explicit ScopedTemplate(const DialogTemplate& t) : m_id(t.id) { RegisterDialogTemplate(&t); }
    ~ScopedTemplate() { UnregisterDialogTemplate(m_id); }
    ScopedTemplate(const ScopedTemplate&) = delete;
    ScopedTemplate& operator=(const ScopedTemplate&) = delete;

  private:
    int m_id;
};

} // namespace dialog_test
