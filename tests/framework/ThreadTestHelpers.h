#pragma once
// Starting a lambda on a framework thread, and a gate the test opens to let a thread end.

#include "app/framework/WinThread.h"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

namespace testhelpers {

inline UINT RunFunction(void* param) {
    std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(param));
    (*body)();
    return 0;
}

inline std::unique_ptr<CWinThread> StartThread(std::function<void()> body) {
    auto* heapBody = new std::function<void()>(std::move(body));
    std::unique_ptr<CWinThread> thread(AfxBeginThread(&RunFunction, heapBody));
    if (!thread)
        delete heapBody;
    return thread;
}

class Gate {
  public:
    void Open() {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_cv.notify_all();
    }
    void Pass() {
        std::unique_lock lock(m_mutex);
        m_cv.wait(lock, [&] { return m_open; });
    }

  private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_open = false;
};

} // namespace testhelpers
