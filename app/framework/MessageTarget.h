#pragma once
// Window handles and synchronous message sends, usable without any widget: a message target is
// any object that lives on a thread running a Qt event loop.

#include "types/WinTypes.h"

// Base of everything that can receive messages (dialogs, test receivers). The handle is
// issued at construction on the constructing thread, which becomes the target's thread, and
// is withdrawn in the destructor: from then on sends to it return 0 at once. Handle values
// are never reused. A target is used and destroyed on its own thread. A derived class whose
// destructor can still run an event loop calls DetachHandle first, so that no send reaches a
// half-destroyed object.
class CMessageTarget {
  public:
    CMessageTarget();
    virtual ~CMessageTarget();
    CMessageTarget(const CMessageTarget&) = delete;
    CMessageTarget& operator=(const CMessageTarget&) = delete;

    HWND GetSafeHwnd() const { return m_hWnd; }

    // The target of a handle when it belongs to the calling thread: a target is destroyed on
    // its own thread only, so it cannot go away while the caller uses it. Null for a null,
    // unknown or withdrawn handle and for another thread's target.
    static CMessageTarget* FromHandle(HWND hWnd);

    // Handles one message on the target's thread.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) = 0;

  protected:
    // Withdraws the handle early (a window being destroyed before its C++ object is).
    void DetachHandle();

  private:
    HWND m_hWnd = nullptr;
};

// Looks the handle up; returns true while its target exists.
BOOL IsWindow(HWND hWnd);

// From the target's own thread: a direct call of WindowProc. From any other thread: blocks
// until the target's thread has run WindowProc inside its event loop (a modal loop counts)
// and returns its result. Returns 0 at once for a null, unknown or destroyed handle, and 0
// when the target is destroyed while the send waits.
LRESULT SendMessage(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

#include "app/framework/WinThread.h"

// Waits like WaitForSingleObject, but while it waits the calling thread still runs the
// cross-thread sends addressed to its own targets (and nothing else: no input, no paint,
// no timers). A worker blocked in a send to this thread can then finish its send and end.
DWORD WaitServicingSends(const HANDLE& handle, DWORD milliseconds);
