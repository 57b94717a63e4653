#pragma once
// Calls that can wait on a file system without end (a network mount that stopped answering)
// do not run on the interface thread's own stack: they run on a thread of their own while the
// interface thread goes on painting under a busy cursor.

#include <functional>

// Runs work on a thread of its own and returns once it has ended. Meanwhile the calling
// (interface) thread serves its events except user input, which waits until the call is done,
// so the windows repaint and their timers run but nothing can be clicked twice. work's
// references to the caller's locals stay valid: this returns only after work has returned.
void RunAwayFromWindow(const std::function<void()>& work);
