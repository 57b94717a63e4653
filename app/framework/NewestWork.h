#pragma once
// Work off the interface thread where only the newest request counts (the preview of the entry
// selected last, the overlay chosen last). Requests run one after another on a thread of their
// own; one that has not started when a newer one comes is dropped, and the answer of one that a
// newer request overtook while it ran is never delivered. Answers are delivered on the thread
// that made the object (the interface thread), through its event loop. See AwayFromWindow.h for
// a call that the interface thread waits for.

#include "types/WinTypes.h"

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>

class NewestWork {
  public:
    // Called on the interface thread when its request is still the newest once it is done.
    using Answer = std::function<void()>;
    // Runs on the worker thread; what it returns is its answer (empty: none).
    using Work = std::function<Answer()>;

    NewestWork();
    ~NewestWork(); // Release(0)
    NewestWork(const NewestWork&) = delete;
    NewestWork& operator=(const NewestWork&) = delete;

    // Called on the interface thread after an answer, or the lack of one, leaves nothing to
    // do (a busy cursor can go).
    void WhenIdle(std::function<void()> idle) { m_idle = std::move(idle); }

    // Queues work in place of any request that has not started; its number.
    std::uint64_t Request(Work work);
    // Whether request number is the newest and still queued or running.
    bool Working(std::uint64_t number) const;
    // Whether a request is queued or running, or an answer waits to be delivered.
    bool Busy() const;
    // On the interface thread: waits up to milliseconds for every request so far, then
    // delivers the newest answer at once; FALSE when they are not done by then.
    BOOL Finish(DWORD milliseconds);
    // Drops what is queued and waits up to milliseconds for the request that runs; no answer
    // is delivered afterwards. A thread stuck on a file that never answers is left behind
    // (FALSE) and ends on its own, touching nothing of this object.
    BOOL Release(DWORD milliseconds);

  private:
    struct State;
    static void Serve(const std::shared_ptr<State>& state);
    // From the worker, under the state's lock while the object lives: Deliver, queued.
    void Post();
    void Deliver();

    std::shared_ptr<State> m_state;
    std::function<void()> m_idle;
    // Receives the delivery calls on the interface thread; gone with this object.
    QObject m_receiver;
};
