#pragma once
// Driving dialogs the way a user does: wait until a dialog is the active modal window, then
// send real key and mouse events to its widgets from inside its modal loop.

#include "app/framework/Dialog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>

// Exported by QtGui for its test library: offers a key to the shortcut map first, as the
// event dispatcher does for a real key press.
Q_GUI_EXPORT bool qt_sendShortcutOverrideEvent(QObject* o, ulong timestamp, int k,
                                               Qt::KeyboardModifiers mods,
                                               const QString& text = QString(),
                                               bool autorep = false, ushort count = 1);

namespace dialog_driving {

// Processes events until done() holds or ms have passed; false on the time-out.
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

// Runs DoModal; once the dialog is the visible, active modal window, script runs inside its
// modal loop. A dialog still open after the time-out fails the test and is ended with -99,
// so that the test does not hang.
inline INT_PTR RunModal(CDialog& dialog, const std::function<void(QWidget* window)>& script,
                        int timeoutMs = 10000) {
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
        WaitFor([modal] { return modal->isActiveWindow(); }, 2000);
        script(modal);
    });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        if (dialog.GetWidget() == nullptr)
            return;
        ADD_FAILURE() << "the dialog was still open after " << timeoutMs << " ms";
        dialog.EndDialog(-99);
    });
    poll.start();
    watchdog.start(timeoutMs);
    return dialog.DoModal();
}

// Where the keyboard sends keys for this window: its focused widget, else the window.
inline QWidget* FocusTarget(QWidget* window) {
    QWidget* focus = QApplication::focusWidget();
    return focus != nullptr && focus->window() == window ? focus : window;
}

// A key press and release as the keyboard gives them: offered to the shortcut map first,
// then sent to the focused widget of the window.
inline void PressKey(QWidget* window, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                     const QString& text = QString()) {
    WaitFor([window] { return window->isActiveWindow(); }, 2000);
    QWidget* target = FocusTarget(window);
    if (qt_sendShortcutOverrideEvent(target, 0, key, modifiers, text))
        return;
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QApplication::sendEvent(target, &release);
}

// One key event per character, as typing them would send: letters by their key, capitals
// with Shift.
inline void TypeText(QWidget* window, const QString& text) {
    for (QChar c : text) {
        const int key = c.isLetter() ? c.toUpper().unicode() : c.unicode();
        PressKey(window, key, c.isUpper() ? Qt::ShiftModifier : Qt::NoModifier, QString(c));
    }
}

// A left click as the mouse gives it, at a point of the widget (its middle by default).
inline void Click(QWidget* widget, QPoint at = QPoint(-1, -1),
                  Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    if (widget == nullptr) {
        ADD_FAILURE() << "a click on a widget that is not there";
        return;
    }
    if (at.x() < 0)
        at = widget->rect().center();
    const QPointF global = widget->mapToGlobal(QPointF(at));
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), global, Qt::LeftButton, Qt::LeftButton,
                      modifiers);
    QApplication::sendEvent(widget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(at), global, Qt::LeftButton,
                        Qt::NoButton, modifiers);
    QApplication::sendEvent(widget, &release);
}

} // namespace dialog_driving
