#pragma once
// What the program is started with: "--help" and "--version" are answered before any window
// exists (they need no display), everything else names files to list, a folder standing for
// the pictures in it.

#include <string>
#include <vector>

enum class StartAction { OpenWindow, PrintHelp, PrintVersion };

// The action argv asks for. Only the program's own two options count, up to a "--"; every
// other argument is left to Qt's own options or taken as a file.
StartAction StartActionFor(int argc, char** argv);
// Prints the help or version text to standard output; the process's exit status.
int PrintStartText(StartAction action);

// The files to list, in the order given: each as an absolute path, a folder as the pictures
// directly in it (by their extensions, in name order). A name that is neither gets a line on
// standard error and is passed on all the same, for the window to name in its refusal. Reads the
// file system, so it runs before the window exists or off the window's thread. The imaging library
// must be running (it names the extensions).
std::vector<std::string> ExpandStartFiles(const std::vector<std::string>& arguments);
