#pragma once
// Waiting for something the event loop brings about.

#include <functional>

// Processes events until done() holds or ms have passed; false on the time-out.
bool WaitFor(const std::function<bool()>& done, int ms = 5000);
