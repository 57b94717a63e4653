#pragma once
// Threads started on a function with one pointer argument, with a handle that can be waited
// on with a time-out, also after the thread has ended.

#include "imaging/WinTypes.h"

#include <memory>

struct ThreadState; // shared between the thread and every handle to it
using HANDLE = std::shared_ptr<ThreadState>;

constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_TIMEOUT = 258;
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
// Only normal priority, the default stack size and an immediate start are supported.
CWinThread* AfxBeginThread(AFX_THREADPROC proc, void* param,
                           int priority = THREAD_PRIORITY_NORMAL, UINT stackSize = 0,
                           DWORD createFlags = 0, void* securityAttrs = nullptr);

// WAIT_OBJECT_0 once the thread has ended, WAIT_TIMEOUT after the time-out. Handles no
// messages while it waits.
DWORD WaitForSingleObject(const HANDLE& handle, DWORD milliseconds);
