#include "app/framework/MessageTarget.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

// How a cross-thread send travels:
//
// Every thread that owns targets or sends has a ThreadQueue: the sends addressed to targets of
// that thread and not yet run. A sender puts its request on the target thread's queue and posts
// an event to a small QObject of the target (living on the target's thread), so the request
// runs when that thread's event loop turns. WaitServicingSends, and a thread that is itself
// blocked in a send, drain the same queue; whoever pops a request first runs it, so each runs
// exactly once.
//
// Every request also sits in its target's entry of the handle table until it completes. The
// target's destructor withdraws the entry and completes all of them with 0 under the table
// mutex, so a waiting sender is released and a request popped later finds itself completed
// and never touches the target. Targets are used and destroyed on their own thread only, so a
// target cannot go away while its own thread runs one of its handlers outside the lock.
//
// Lock order: table mutex, then a queue mutex. Nobody takes the table mutex while holding a
// queue mutex, and no handler runs under either.

namespace {

struct ThreadQueue;

struct PendingSend {
    HWND hWnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    std::shared_ptr<ThreadQueue> senderQueue; // woken when the send completes
    std::atomic<bool> done{false};            // written under the table mutex
    LRESULT result = 0;                       // valid once done
};

struct ThreadQueue {
    std::mutex mutex;
    std::condition_variable cv;
    std::deque<std::shared_ptr<PendingSend>> sends;
};

std::shared_ptr<ThreadQueue> CurrentQueue() {
    thread_local std::shared_ptr<ThreadQueue> queue = std::make_shared<ThreadQueue>();
    return queue;
}

QEvent::Type SendEventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

// Lives on the target's thread; its only job is to be woken by the event loop.
class SendPoster : public QObject {
  public:
    bool event(QEvent* e) override;
};

struct TargetEntry {
    CMessageTarget* target;
    std::thread::id threadId;
    std::shared_ptr<ThreadQueue> queue;
    SendPoster* poster;
    std::vector<std::shared_ptr<PendingSend>> pending;
};

std::mutex g_tableMutex;
std::unordered_map<UINT_PTR, TargetEntry>& Table() {
    // Never destroyed: targets with static lifetime may be withdrawn late at exit.
    static auto* table = new std::unordered_map<UINT_PTR, TargetEntry>;
    return *table;
}
UINT_PTR g_nextHandle = 0x10000; // under g_tableMutex; never reused

UINT_PTR Key(HWND hWnd) {
    return reinterpret_cast<UINT_PTR>(hWnd);
}

// Under g_tableMutex.
void Complete(const std::shared_ptr<PendingSend>& send, LRESULT result) {
    if (send->done.load())
        return;
    send->result = result;
    send->done.store(true);
    auto it = Table().find(Key(send->hWnd));
    if (it != Table().end())
        std::erase(it->second.pending, send);
    std::lock_guard lock(send->senderQueue->mutex);
    send->senderQueue->cv.notify_all();
}

// On the target's thread.
void RunSend(const std::shared_ptr<PendingSend>& send) {
    CMessageTarget* target = nullptr;
    {
        std::lock_guard lock(g_tableMutex);
        if (send->done.load())
            return;
        auto it = Table().find(Key(send->hWnd));
        if (it == Table().end()) {
            Complete(send, 0);
            return;
        }
        target = it->second.target;
    }
    const LRESULT result = target->WindowProc(send->message, send->wParam, send->lParam);
    std::lock_guard lock(g_tableMutex);
    Complete(send, result);
}

// Runs the queued sends of the calling thread until stop() holds (checked under the queue
// mutex) or the deadline passes. Returns stop().
template <class Stop>
bool ServiceUntil(ThreadQueue& queue, Stop stop, bool infinite,
                  std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(queue.mutex);
    for (;;) {
        if (stop())
            return true;
        if (!queue.sends.empty()) {
            auto send = std::move(queue.sends.front());
            queue.sends.pop_front();
            lock.unlock();
            RunSend(send);
            lock.lock();
            continue;
        }
        if (infinite)
            queue.cv.wait(lock);
        else if (queue.cv.wait_until(lock, deadline) == std::cv_status::timeout)
            return stop();
    }
}

void DrainCurrentThread() {
    ThreadQueue& queue = *CurrentQueue();
    for (;;) {
        std::shared_ptr<PendingSend> send;
        {
            std::lock_guard lock(queue.mutex);
            if (queue.sends.empty())
                return;
            send = std::move(queue.sends.front());
            queue.sends.pop_front();
        }
        RunSend(send);
    }
}

bool SendPoster::event(QEvent* e) {
    if (e->type() != SendEventType())
        return QObject::event(e);
    DrainCurrentThread();
    return true;
}

} // namespace

CMessageTarget::CMessageTarget() {
    auto* poster = new SendPoster;
    std::lock_guard lock(g_tableMutex);
    const UINT_PTR key = g_nextHandle++;
    Table().emplace(key, TargetEntry{this, std::this_thread::get_id(), CurrentQueue(), poster, {}});
    m_hWnd = reinterpret_cast<HWND>(key);
}

CMessageTarget::~CMessageTarget() {
    DetachHandle();
}

void CMessageTarget::DetachHandle() {
    if (m_hWnd == nullptr)
        return;
    SendPoster* poster = nullptr;
    {
        std::lock_guard lock(g_tableMutex);
        auto it = Table().find(Key(m_hWnd));
        if (it != Table().end()) {
            poster = it->second.poster;
            const auto pending = it->second.pending;
            for (const auto& send : pending)
                Complete(send, 0);
            Table().erase(it);
        }
        m_hWnd = nullptr;
    }
    // Outside the table mutex: deleting drops the posted events under Qt's own lock.
    delete poster;
}

CMessageTarget* CMessageTarget::FromHandle(HWND hWnd) {
    if (hWnd == nullptr)
        return nullptr;
    std::lock_guard lock(g_tableMutex);
    auto it = Table().find(Key(hWnd));
    if (it == Table().end() || it->second.threadId != std::this_thread::get_id())
        return nullptr;
    return it->second.target;
}

BOOL IsWindow(HWND hWnd) {
    if (hWnd == nullptr)
        return FALSE;
    std::lock_guard lock(g_tableMutex);
    return Table().count(Key(hWnd)) != 0 ? TRUE : FALSE;
}

LRESULT SendMessage(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (hWnd == nullptr)
        return 0;
    std::shared_ptr<PendingSend> send;
    std::shared_ptr<ThreadQueue> ownQueue;
    {
        std::unique_lock lock(g_tableMutex);
        auto it = Table().find(Key(hWnd));
        if (it == Table().end())
            return 0;
        TargetEntry& entry = it->second;
        if (entry.threadId == std::this_thread::get_id()) {
            CMessageTarget* target = entry.target;
            lock.unlock();
            return target->WindowProc(message, wParam, lParam);
        }
        ownQueue = CurrentQueue();
        send = std::make_shared<PendingSend>();
        send->hWnd = hWnd;
        send->message = message;
        send->wParam = wParam;
        send->lParam = lParam;
        send->senderQueue = ownQueue;
        entry.pending.push_back(send);
        {
            std::lock_guard queueLock(entry.queue->mutex);
            entry.queue->sends.push_back(send);
            entry.queue->cv.notify_all();
        }
        // The poster is alive while its entry is in the table, and we hold the table mutex.
        QCoreApplication::postEvent(entry.poster, new QEvent(SendEventType()));
    }
    // While blocked, run sends addressed to this thread's own targets, so that two threads
    // sending to each other cannot block each other.
    ServiceUntil(*ownQueue, [&] { return send->done.load(); }, true, {});
    std::lock_guard lock(g_tableMutex);
    return send->result;
}

DWORD WaitServicingSends(const HANDLE& handle, DWORD milliseconds) {
    if (!handle)
        return WAIT_FAILED;
    auto queue = CurrentQueue();
    bool ended = false; // under queue->mutex
    ThreadEndWatch watch(handle, [&] {
        std::lock_guard lock(queue->mutex);
        ended = true;
        queue->cv.notify_all();
    });
    const bool infinite = milliseconds == INFINITE;
    const auto deadline =
        infinite ? std::chrono::steady_clock::time_point{}
                 : std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    return ServiceUntil(
               *queue, [&] { return ended; }, infinite, deadline)
               ? WAIT_OBJECT_0
               : WAIT_TIMEOUT;
}
