#pragma once
// Driving the options dialog the way a user does: wait until it is the active modal window,
// then send real key and mouse events to its widgets from inside the modal loop.

#include "app/framework/Dialog.h"
#include "engine/BatchJob.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTimer>
#include <QWidget>

#include <cstring>
#include <functional>

// Exported by QtGui for its test library: offers a key to the shortcut map first, as the
// event dispatcher does for a real key press.
Q_GUI_EXPORT bool qt_sendShortcutOverrideEvent(QObject* o, ulong timestamp, int k,
                                               Qt::KeyboardModifiers mods,
                                               const QString& text = QString(),
                                               bool autorep = false, ushort count = 1);

namespace overlay_options_test {

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

// Runs DoModal and, once the dialog is the visible, active modal window, runs script inside
// its modal loop. A dialog still open after ten seconds is ended with -99.
inline INT_PTR RunModal(CDialog& dialog, const std::function<void(QWidget* window)>& script) {
    QTimer poll;
    poll.setInterval(5);
    bool ran = false;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (ran || modal == nullptr || modal != dialog.GetWidget() || !modal->isVisible())
            return;
        ran = true;
        poll.stop();
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

// One key event per character, as typing them would send.
inline void TypeText(QWidget* window, const QString& text) {
    for (QChar c : text) {
        const int key = c.isLetter() ? c.toUpper().unicode() : c.unicode();
        PressKey(window, key, c.isUpper() ? Qt::ShiftModifier : Qt::NoModifier, QString(c));
    }
}

inline void Click(QWidget* widget) {
    const QPointF at = QPointF(widget->rect().center());
    const QPointF global = widget->mapToGlobal(at);
    QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(widget, &release);
}

// Everything of a job the options dialog may write, compared byte for byte.
struct JobImage {
    explicit JobImage(const CBatchJob& job) {
        std::memcpy(format, job.szOutputFormat, sizeof format);
        std::memcpy(nameTemplate, job.szNameTemplate, sizeof nameTemplate);
        std::memcpy(overlay, job.szOverlayPath, sizeof overlay);
        std::memcpy(folder, job.szOutputDir, sizeof folder);
        flags = job.dwFlags;
        sizeX = job.nSizeX;
        sizeY = job.nSizeY;
        serial = job.nSerial;
    }
    bool operator==(const JobImage& other) const {
        return std::memcmp(format, other.format, sizeof format) == 0 &&
               std::memcmp(nameTemplate, other.nameTemplate, sizeof nameTemplate) == 0 &&
               std::memcmp(overlay, other.overlay, sizeof overlay) == 0 &&
               std::memcmp(folder, other.folder, sizeof folder) == 0 && flags == other.flags &&
               sizeX == other.sizeX && sizeY == other.sizeY && serial == other.serial;
    }
    char format[MAX_PATH];
    char nameTemplate[MAX_PATH];
    char overlay[MAX_PATH];
    char folder[MAX_PATH];
    DWORD flags;
    std::int32_t sizeX;
    std::int32_t sizeY;
    std::int32_t serial;
};

} // namespace overlay_options_test
