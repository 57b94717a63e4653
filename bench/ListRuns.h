#pragma once
// The background list of the main window under large drops and removals. The child side
// times each user action until the window has handled it and laid the list out again, and
// prints "list <step> <seconds> <entries after>"; the parent side runs that child and prints
// the row.

#include <functional>
#include <time.h>

class CMainDlg;

// The time of one of clock_gettime's clocks, in seconds.
double ClockSeconds(clockid_t clock);

// Runs steps on the program's main window, inside its own loop, then closes it; false when a
// message box came up meanwhile (it is closed, and named on standard error). Needs the widget
// application and the program's resources.
bool RunInMainWindow(const std::function<void(CMainDlg&)>& steps);

// Child mode: makes its own widget application. Returns the process exit code.
int RunListTimings(int argc, char** argv, int count);

// Parent side: runs the child for count entries and prints the row with its goal.
void PrintListRow(int count);
