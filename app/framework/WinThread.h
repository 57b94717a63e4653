#pragma once
// Threads started on a function with one pointer argument, with a handle that can be waited
// on with a time-out, also after the thread has ended.

#include "types/WinTypes.h"

#include <cstdint>
#include <functional>
#include <memory>

struct ThreadState; // shared between the thread and every handle to it
using HANDLE = std::shared_ptr<ThreadState>;

constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF; // a null handle: there is nothing to wait for
constexpr DWORD INFINITE = 0xFFFFFFFF;
constexpr int THREAD_PRIORITY_NORMAL = 0;
constexpr DWORD CREATE_SUSPENDED = 0x4;

using AFX_THREADPROC = UINT (*)(void*);

// The thread object: owns the handle. Destroying it closes the handle; it neither waits for
// nor stops the thread.
class CWinThread {
  public:
    ~CWinThread();
    HANDLE m_hThread;
    DWORD m_nThreadID = 0;

  private:
    friend CWinThread* AfxBeginThread(AFX_THREADPROC, void*, int, UINT, DWORD, void*);
    CWinThread() = default;
};

// Starts proc(param) on a new thread. Returns null when the thread cannot be started.
// Only normal priority, the default stack size and an immediate start are supported: a
// priority or stack size is taken as a hint and ignored (the thread starts normally), while
// CREATE_SUSPENDED gives null, since nothing here could resume such a thread.
CWinThread* AfxBeginThread(AFX_THREADPROC proc, void* param, int priority = THREAD_PRIORITY_NORMAL,
                           UINT stackSize = 0, DWORD createFlags = 0,
                           void* securityAttrs = nullptr);

// WAIT_OBJECT_0 once the thread has ended, WAIT_TIMEOUT after the time-out. Handles no
// messages while it waits. WAIT_FAILED for a null handle.
DWORD WaitForSingleObject(const HANDLE& handle, DWORD milliseconds);

// Waits until every thread started by AfxBeginThread has returned from its function, so that
// the program does not tear down what a late worker still uses. WAIT_OBJECT_0 or
// WAIT_TIMEOUT.
DWORD AfxWaitForAllThreads(DWORD milliseconds);

// For waits that watch a thread together with other events: while the watch exists, onEnd
// runs once when the thread ends, on the ending thread, or at once on the constructing
// thread if it has already ended. onEnd must not wait for the watched thread's state (it
// runs under its lock). When the destructor has returned, onEnd is neither running nor will
// it run.
class ThreadEndWatch {
  public:
    ThreadEndWatch(const HANDLE& handle, std::function<void()> onEnd);
    ~ThreadEndWatch();
    ThreadEndWatch(const ThreadEndWatch&) = delete;
    ThreadEndWatch& operator=(const ThreadEndWatch&) = delete;

  private:
    HANDLE m_handle;
    std::uint64_t m_id = 0;
};
