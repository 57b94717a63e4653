#pragma once
// The main window with very large pictures in the list: for each user action (import, a click
// on another entry, Options OK, an overlay chosen with Browse...) the longest time the window's
// thread did not answer a 1 ms timer, the time until the new preview is on show, and how much
// memory that took above what the process held before; against the peer of decoding the same
// picture whole, measured in the same run. The child side prints "responsive <step> <longest
// gap s> <until shown s> <peak growth kB> <longest work s>" and "whole <name> <decode s> <peak
// growth kB>".

#include <QString>

// Child mode: makes its own widget application; work holds (or gets) the pictures.
int RunResponsiveTimings(int argc, char** argv, const QString& work);

// Parent side: runs the child and prints the row with its goals.
void PrintResponsiveRow(const QString& work);
