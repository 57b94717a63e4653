#pragma once
// A script of steps that answer each modal window (message boxes, file dialogs, choosers,
// progress windows) as it comes up while a dialog runs modally.

#include "app/framework/Dialog.h"

#include <QWidget>

#include <deque>
#include <functional>
#include <memory>
#include <string>

// Steps run in order, each on the first modal window that it accepts. A step is taken off the
// queue before it acts, so a step may open a nested modal window that the next step answers.
class ModalScript {
  public:
    using Accepts = std::function<bool(QWidget*)>;
    using Act = std::function<void(QWidget*)>;

    ModalScript& Then(const char* what, Accepts accepts, Act act);
    // A step on the dialog itself.
    ModalScript& OnMain(CDialog& dialog, const char* what, std::function<void()> act);

    // Runs the dialog modally under the script. A window still open after the time-out is
    // closed so that a failing test does not hang; the result is then -99.
    INT_PTR Run(CDialog& dialog, int timeoutMs = 60000);

    bool Finished() const { return m_steps.empty() && !m_timedOut; }
    std::string Pending() const;

  private:
    struct Step {
        std::string what;
        Accepts accepts;
        Act act;
    };

    void Poll();

    std::deque<Step> m_steps;
    std::shared_ptr<bool> m_acting = std::make_shared<bool>(false);
    bool m_timedOut = false;
    std::string m_stuckAt;
};
