#include "app/framework/WinThread.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

struct ThreadState {
    std::mutex mutex;
    std::condition_variable endedCv;
    bool ended = false;
    std::uint64_t nextWatchId = 1;
    std::vector<std::pair<std::uint64_t, std::function<void()>>> watches;
};

namespace {

std::atomic<DWORD> g_nextThreadId{1};

// Threads started and not yet returned from their function.
struct LiveThreads {
    std::mutex mutex;
    std::condition_variable cv;
    int count = 0;
};

LiveThreads& Live() {
    // Never destroyed: a detached thread may still leave after static destruction began.
    static LiveThreads* live = new LiveThreads;
    return *live;
}

void SignalEnded(ThreadState& state) {
    std::lock_guard lock(state.mutex);
    state.ended = true;
    for (auto& [id, onEnd] : state.watches)
        onEnd();
    state.watches.clear();
    state.endedCv.notify_all();
}

} // namespace

CWinThread::~CWinThread() = default;

CWinThread* AfxBeginThread(AFX_THREADPROC proc, void* param, int /*priority*/, UINT /*stackSize*/,
                           DWORD createFlags, void* /*securityAttrs*/) {
    if (proc == nullptr || (createFlags & CREATE_SUSPENDED) != 0)
        return nullptr;
    auto state = std::make_shared<ThreadState>();
    {
        std::lock_guard lock(Live().mutex);
        ++Live().count;
    }
    try {
        std::thread([proc, param, state] {
            proc(param);
            SignalEnded(*state);
            LiveThreads& live = Live();
            std::lock_guard lock(live.mutex);
            --live.count;
            live.cv.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        std::lock_guard lock(Live().mutex);
        --Live().count;
        Live().cv.notify_all();
        return nullptr;
    }
    auto* thread = new CWinThread;
    thread->m_hThread = std::move(state);
    thread->m_nThreadID = g_nextThreadId.fetch_add(1);
    return thread;
}

DWORD WaitForSingleObject(const HANDLE& handle, DWORD milliseconds) {
    if (!handle)
        return WAIT_FAILED;
    std::unique_lock lock(handle->mutex);
    if (milliseconds == INFINITE) {
        handle->endedCv.wait(lock, [&] { return handle->ended; });
        return WAIT_OBJECT_0;
    }
    const bool ended = handle->endedCv.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                                [&] { return handle->ended; });
    return ended ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

DWORD AfxWaitForAllThreads(DWORD milliseconds) {
    LiveThreads& live = Live();
    std::unique_lock lock(live.mutex);
    if (milliseconds == INFINITE) {
        live.cv.wait(lock, [&] { return live.count == 0; });
        return WAIT_OBJECT_0;
    }
    return live.cv.wait_for(lock, std::chrono::milliseconds(milliseconds),
                            [&] { return live.count == 0; })
               ? WAIT_OBJECT_0
               : WAIT_TIMEOUT;
}

ThreadEndWatch::ThreadEndWatch(const HANDLE& handle, std::function<void()> onEnd)
    : m_handle(handle) {
    if (!m_handle)
        return;
    std::lock_guard lock(m_handle->mutex);
    if (m_handle->ended) {
        onEnd();
        return;
    }
    m_id = m_handle->nextWatchId++;
    m_handle->watches.emplace_back(m_id, std::move(onEnd));
}

ThreadEndWatch::~ThreadEndWatch() {
    if (!m_handle || m_id == 0)
        return;
    std::lock_guard lock(m_handle->mutex);
    std::erase_if(m_handle->watches, [&](const auto& w) { return w.first == m_id; });
}
