#pragma once
// This program's child modes, one table: "pictorum_bench --child <mode> <arguments>" runs the
// mode's function, in a process of its own so that its time and peak memory are its own. The
// parent side builds these commands with ChildCommand and the names in ChildProcess.h.

#include <QString>
#include <QStringList>

// What a mode needs started before it runs.
enum class ChildApp {
    Own,     // nothing: it starts what it needs itself (the launcher needs no Qt at all)
    Gui,     // a GUI application (text in drawn pictures needs fonts) and the imaging library
    Widgets, // a widget application and the imaging library
};

// A child's command line.
struct ChildArgs {
    int argc; // all of it, for an application the mode makes itself
    char** argv;
    char** args; // the mode's own arguments, after its name; null-terminated
    int count;

    QString Text(int i) const; // an argument that is plain text (Latin-1)
    QString Path(int i) const; // a path in the local file-name encoding
    int Number(int i) const;
    QStringList Paths(int from) const; // the paths from argument from on
};

struct ChildMode {
    const char* name;      // one of the names in ChildProcess.h
    const char* arguments; // the arguments it takes, as its usage shows them
    int leastArguments;
    ChildApp app;
    int (*run)(const ChildArgs& args); // returns the process exit code
};

// The child mode that argv asks for with --child, or nothing for the benchmark's own run.
// When --child names no mode, or too few arguments for it, prints the modes to standard
// error and sets *misused.
const ChildMode* FindChildMode(int argc, char** argv, bool* misused);

int RunChildMode(const ChildMode& mode, int argc, char** argv);
