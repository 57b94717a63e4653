#pragma once
// Why an item failed, twice over: in the program's own words for people, and as a stable code
// for scripts that branch on it (the words may be reworded; a code, once given, never changes).
// pictorum-batch's help and manual list the codes.

#include "imaging/GdiPlus.h"

#include <span>
#include <string>

struct FailureReason {
    const char* code;
    std::string text;
};

// The library's answer for a file that did not load, told as the file's owner would want it
// ("no such file", "a folder, not a picture", "an empty file", ...).
FailureReason OpenFailure(const char* path, GpStatus status);
inline std::string OpenFailureReason(const char* path, GpStatus status) {
    return OpenFailure(path, status).text;
}

// Why an item failed whose file the folder refused (OutputFolder's codes), or the file system
// (errno: the system's own text), or the encoder (0).
FailureReason SaveFailure(int error);

// Every code an item can fail with, in the order the help lists them.
std::span<const char* const> FailureCodes();
