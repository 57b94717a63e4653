#include "ModalScript.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>

#include <gtest/gtest.h>

ModalScript& ModalScript::Then(const char* what, Accepts accepts, Act act) {
    m_steps.push_back({what, std::move(accepts), std::move(act)});
    return *this;
}

ModalScript& ModalScript::OnMain(CDialog& dialog, const char* what, std::function<void()> act) {
    return Then(
        what, [&dialog](QWidget* modal) { return modal == dialog.GetWidget(); },
        [act](QWidget*) { act(); });
}

INT_PTR ModalScript::Run(CDialog& dialog, int timeoutMs) {
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

std::string ModalScript::Pending() const {
    if (m_timedOut)
        return m_stuckAt;
    return m_steps.empty() ? std::string() : m_steps.front().what;
}

void ModalScript::Poll() {
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
    *m_acting = true;
    QTimer::singleShot(1, [acting = m_acting, act = std::move(step.act), target] {
        // Cleared before acting: the action may open a window that the next step answers.
        *acting = false;
        if (target)
            act(target.data());
    });
}
