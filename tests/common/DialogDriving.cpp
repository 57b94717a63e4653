#include "DialogDriving.h"

#include "app/framework/Dialog.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

#include <gtest/gtest.h>

// Exported by QtGui for its test library: offers a key to the shortcut map first, as the
// event dispatcher does for a real key press.
Q_GUI_EXPORT bool qt_sendShortcutOverrideEvent(QObject* o, ulong timestamp, int k,
                                               Qt::KeyboardModifiers mods,
                                               const QString& text = QString(),
                                               bool autorep = false, ushort count = 1);

namespace dialog_driving {

test_main::Application WidgetApplication(int& argc, char** argv) {
    return std::make_unique<QApplication>(argc, argv);
}

INT_PTR RunModal(CDialog& dialog, const std::function<void(QWidget* window)>& script,
                 int timeoutMs) {
    ModalScript steps;
    steps.Then(
        "the dialog", [&dialog](QWidget* modal) { return modal == dialog.GetWidget(); },
        [&](QWidget* modal) {
            // Keys go to the focused widget of the active window, as they would for the user.
            WaitFor([modal] { return modal->isActiveWindow(); }, 2000);
            script(modal);
        });
    return steps.Run(dialog, timeoutMs);
}

QWidget* FocusTarget(QWidget* window) {
    QWidget* focus = QApplication::focusWidget();
    return focus != nullptr && focus->window() == window ? focus : window;
}

void PressKey(QWidget* window, int key, Qt::KeyboardModifiers modifiers, const QString& text) {
    WaitFor([window] { return window->isActiveWindow(); }, 2000);
    QWidget* target = FocusTarget(window);
    if (qt_sendShortcutOverrideEvent(target, 0, key, modifiers, text))
        return;
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QApplication::sendEvent(target, &release);
}

void TypeText(QWidget* window, const QString& text) {
    for (QChar c : text) {
        const int key = c.isLetter() ? c.toUpper().unicode() : c.unicode();
        PressKey(window, key, c.isUpper() ? Qt::ShiftModifier : Qt::NoModifier, QString(c));
    }
}

void Click(QWidget* widget, QPoint at, Qt::KeyboardModifiers modifiers) {
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
