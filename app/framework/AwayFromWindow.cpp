#include "app/framework/AwayFromWindow.h"

#include <QCursor>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMetaObject>

#include <atomic>
#include <memory>
#include <thread>

void RunAwayFromWindow(const std::function<void()>& work) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) {
        work();
        return;
    }
    auto done = std::make_shared<std::atomic<bool>>(false);
    // Only an application with windows has a cursor to show.
    const bool windows = qobject_cast<QGuiApplication*>(app) != nullptr;
    if (windows)
        QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    std::thread([&work, done, app] {
        work();
        done->store(true);
        // Wakes the waiting loop below; the application outlives this wait.
        QMetaObject::invokeMethod(
            app, [] {}, Qt::QueuedConnection);
    }).detach();
    while (!done->load())
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                        QEventLoop::WaitForMoreEvents);
    if (windows)
        QGuiApplication::restoreOverrideCursor();
}
