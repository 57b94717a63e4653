#pragma once
// The one main() of every test program lives in this library; each program says what it needs
// around its tests by defining test_main::ThisProgram().

#include <QCoreApplication>

#include <memory>

namespace test_main {

using Application = std::unique_ptr<QCoreApplication>;

// Event loops only, no pictures.
Application CoreApplication(int& argc, char** argv);
// QtGui's image classes (on the offscreen platform unless a display was chosen).
Application GuiApplication(int& argc, char** argv);

enum class Locale {
    AsIs,              // whatever the application object set from the environment
    Utf8,              // C.UTF-8: file names are 8-bit UTF-8 text for the program
    Utf8UnlessAlready, // the machine's own locale when it is UTF-8, else C.UTF-8
};

struct Program {
    Application (*application)(int& argc, char** argv) = &GuiApplication;
    Locale locale = Locale::AsIs;
    // The imaging library started around the whole run, as the program does.
    bool imaging = true;
    // Before the application object exists (platform settings); false ends the run.
    bool (*beforeApplication)() = nullptr;
    // After it, before any test (resources, application settings).
    void (*setUp)() = nullptr;
    // When it answers true for these arguments, runInstead runs in place of the tests.
    bool (*isOtherCall)(int argc, char** argv) = nullptr;
    int (*runInstead)(int argc, char** argv) = nullptr;
};

// Defined by each test program.
Program ThisProgram();

} // namespace test_main
