#include "app/framework/NewestWork.h"

#include <QMetaObject>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

// Shared with the worker thread, which may outlive the object when a file never answers.
struct NewestWork::State {
    std::mutex lock;
    std::condition_variable changed;
    std::optional<Work> next;
    std::optional<Answer> answer;
    std::uint64_t requested = 0; // the newest request's number
    std::uint64_t running = 0;   // the number of the request under way; 0: none
    bool started = false;        // the worker thread runs
    bool stop = false;
    // Null once released: the worker then reaches nothing of the object.
    NewestWork* owner = nullptr;
};

NewestWork::NewestWork() : m_state(std::make_shared<State>()) {}

NewestWork::~NewestWork() {
    Release(0);
}

std::uint64_t NewestWork::Request(Work work) {
    std::lock_guard<std::mutex> lock(m_state->lock);
    m_state->next = std::move(work);
    m_state->stop = false;
    m_state->owner = this;
    const std::uint64_t number = ++m_state->requested;
    if (!m_state->started) {
        m_state->started = true;
        std::thread([state = m_state] { Serve(state); }).detach();
    }
    m_state->changed.notify_all();
    return number;
}

void NewestWork::Serve(const std::shared_ptr<State>& state) {
    std::unique_lock<std::mutex> held(state->lock);
    for (;;) {
        state->changed.wait(held, [&] { return state->stop || state->next.has_value(); });
        if (state->stop)
            break;
        NewestWork::Work work = std::move(*state->next);
        state->next.reset();
        const std::uint64_t number = state->requested;
        state->running = number;
        held.unlock();
        NewestWork::Answer answer = work ? work() : NewestWork::Answer();
        held.lock();
        state->running = 0;
        // Only the newest request's answer counts; an older one would flash by.
        if (number == state->requested && state->owner != nullptr) {
            state->answer = std::move(answer);
            state->owner->Post();
        }
        state->changed.notify_all();
    }
    state->started = false;
    state->changed.notify_all();
}

void NewestWork::Post() {
    QMetaObject::invokeMethod(
        &m_receiver, [this] { Deliver(); }, Qt::QueuedConnection);
}

void NewestWork::Deliver() {
    std::optional<Answer> answer;
    {
        std::lock_guard<std::mutex> lock(m_state->lock);
        answer.swap(m_state->answer);
    }
    // The answer may open a message box, whose event loop delivers what comes next.
    if (answer.has_value() && *answer)
        (*answer)();
    if (!Busy() && m_idle)
        m_idle();
}

bool NewestWork::Working(std::uint64_t number) const {
    std::lock_guard<std::mutex> lock(m_state->lock);
    return number == m_state->requested &&
           (m_state->running == number || m_state->next.has_value());
}

bool NewestWork::Busy() const {
    std::lock_guard<std::mutex> lock(m_state->lock);
    return m_state->running != 0 || m_state->next.has_value() || m_state->answer.has_value();
}

BOOL NewestWork::Finish(DWORD milliseconds) {
    {
        std::unique_lock<std::mutex> lock(m_state->lock);
        if (!m_state->changed.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] {
                return m_state->running == 0 && !m_state->next.has_value();
            }))
            return FALSE;
    }
    Deliver();
    return TRUE;
}

BOOL NewestWork::Release(DWORD milliseconds) {
    std::unique_lock<std::mutex> lock(m_state->lock);
    m_state->next.reset();
    m_state->answer.reset();
    m_state->stop = true;
    m_state->owner = nullptr;
    m_state->changed.notify_all();
    return m_state->changed.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                     [this] { return !m_state->started; })
               ? TRUE
               : FALSE;
}
