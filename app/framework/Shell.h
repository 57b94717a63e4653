#pragma once
// Opening a web address in the desktop's browser: starts xdg-open detached; the program does
// not wait for it. Returns whether the opener could be started.

bool ShellOpenURL(const char* url);
