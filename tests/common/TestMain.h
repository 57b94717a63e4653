#pragma once
// What the test programs' main() functions share: no display ever needed, the 8-bit path
// text of the program's own locale, and the imaging library started around the whole run.

#include "imaging/GdiPlus.h"

#include <QByteArray>
#include <QtGlobal>

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>

namespace test_main {

// Nothing is shown; CTest sets the offscreen platform, but test discovery and a run by hand
// do not.
inline void UseOffscreenUnlessChosen() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// File names are 8-bit UTF-8 text for the program; a bare C locale would make every
// non-ASCII name unreadable and hide what the tests check.
inline bool UseUtf8Locale() {
    if (std::setlocale(LC_ALL, "C.UTF-8") != nullptr)
        return true;
    std::fprintf(stderr, "no UTF-8 C locale on this machine\n");
    return false;
}

// Starts the imaging library as the program does, runs body, and shuts the library down.
template <typename Body> int WithImaging(Body body) {
    ULONG_PTR token = 0;
    GdiplusStartupInput input;
    if (GdiplusStartup(&token, &input, nullptr) != Ok) {
        std::fprintf(stderr, "imaging library did not start\n");
        return 1;
    }
    const int result = body();
    GdiplusShutdown(token);
    return result;
}

inline int RunAllTestsWithImaging() {
    return WithImaging([] { return RUN_ALL_TESTS(); });
}

} // namespace test_main
