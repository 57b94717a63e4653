#pragma once
// Runs one program as a child process and measures it as a user's script would see it: wall
// time from start to exit, and the child's own peak resident memory.

#include <QString>

#include <string>
#include <vector>

struct ChildResult {
    bool ok = false;         // started and exited with status 0
    double seconds = 0;      // wall time
    double cpuSeconds = 0;   // user + system time of the child (RunMeasured only)
    long peakKilobytes = 0;  // getrusage maxrss of the child
    std::string output;      // its standard output
    std::string errorOutput; // its standard error (kept short)
};

// A path or text as a child's argument list and the file system take it: the bytes of the
// local file-name encoding.
std::string LocalBytes(const QString& text);

ChildResult RunChild(const std::vector<std::string>& argv);

// Runs argv through a lean launcher (this program in its exec child mode, before any Qt is
// started), so that the peak memory is the program's own and not inherited from this large
// process at fork time.
ChildResult RunMeasured(const std::vector<std::string>& argv);

// The launcher: forks, runs argv with its standard output sent to standard error, waits, and
// prints "exec <seconds> <peak kilobytes> <exit status> <cpu seconds>". Returns 0 when it could run
// it.
int ExecAndMeasure(char** argv);

// User + system time of this process so far, all threads.
double OwnCpuSeconds();

// The peak resident memory of this process so far (VmHWM), in kilobytes.
long OwnPeakKilobytes();

// The path of this program, for running it again in a child mode.
std::string SelfPath();

// The names of this program's child modes, as "pictorum_bench --child <mode> <arguments>"
// starts them; ChildModes.cpp gives each its function and its arguments.
constexpr const char* kChildExec = "exec";
constexpr const char* kChildList = "list";
constexpr const char* kChildResponsive = "responsive";
constexpr const char* kChildWindowed = "windowed";
constexpr const char* kChildWorker = "worker";
constexpr const char* kChildPipeline = "pipeline";
constexpr const char* kChildFloor = "floor";
constexpr const char* kChildPreview = "preview";
constexpr const char* kChildBaseline = "baseline";

// The command line that runs this program in the child mode with those arguments.
std::vector<std::string> ChildCommand(const char* mode, const std::vector<std::string>& arguments);
