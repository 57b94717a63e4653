#pragma once
// Driving dialogs the way a user does: wait until a dialog is the active modal window, then
// send real key and mouse events to its widgets from inside its modal loop.

#include "ModalScript.h"
#include "TestMain.h"
#include "WaitFor.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPoint>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>

namespace dialog_driving {

using ::WaitFor;

// The application object of the widget tests, for test_main::Program::application.
test_main::Application WidgetApplication(int& argc, char** argv);

// Runs DoModal; once the dialog is the visible, active modal window, script runs inside its
// modal loop. A dialog still open after the time-out fails the test and is ended with -99,
// so that the test does not hang.
INT_PTR RunModal(CDialog& dialog, const std::function<void(QWidget* window)>& script,
                 int timeoutMs = 10000);

// Where the keyboard sends keys for this window: its focused widget, else the window.
QWidget* FocusTarget(QWidget* window);

// A key press and release as the keyboard gives them: offered to the shortcut map first,
// then sent to the focused widget of the window.
void PressKey(QWidget* window, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
              const QString& text = QString());

// One key event per character, as typing them would send: letters by their key, capitals
// with Shift.
void TypeText(QWidget* window, const QString& text);

// A left click as the mouse gives it, at a point of the widget (its middle by default).
void Click(QWidget* widget, QPoint at = QPoint(-1, -1),
           Qt::KeyboardModifiers modifiers = Qt::NoModifier);

} // namespace dialog_driving
