#include "TestMain.h"

#include "imaging/GdiPlus.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstring>
#include <langinfo.h>

#if defined(__SANITIZE_ADDRESS__)
// libx265 (libheif's HEVC encoder, which the test pictures use) keeps its parameter strings and
// a block of its own until the process ends: not ours to free, and not a leak of ours.
// NOLINTNEXTLINE(bugprone-reserved-identifier,readability-identifier-naming): the sanitizer's hook
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libx265.so\n";
}
#endif

namespace test_main {

Application CoreApplication(int& argc, char** argv) {
    return std::make_unique<QCoreApplication>(argc, argv);
}

Application GuiApplication(int& argc, char** argv) {
    return std::make_unique<QGuiApplication>(argc, argv);
}

namespace {

// A bare C locale would make every non-ASCII name unreadable and hide what the tests check.
bool UseLocale(Locale locale) {
    if (locale == Locale::AsIs)
        return true;
    if (locale == Locale::Utf8UnlessAlready && std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0)
        return true;
    if (std::setlocale(LC_ALL, "C.UTF-8") != nullptr)
        return true;
    std::fprintf(stderr, "no UTF-8 C locale on this machine\n");
    return false;
}

int RunTests(const Program& program, int& argc, char** argv) {
    if (program.isOtherCall != nullptr && program.isOtherCall(argc, argv))
        return program.runInstead(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

} // namespace

} // namespace test_main

int main(int argc, char** argv) {
    using namespace test_main;
    const Program program = ThisProgram();
    if (program.beforeApplication != nullptr && !program.beforeApplication())
        return 1;
    // Nothing is shown; CTest sets the offscreen platform, but test discovery and a run by
    // hand do not.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const Application app = program.application(argc, argv);
    // After the application object, which sets the locale from the environment.
    if (!UseLocale(program.locale))
        return 1;
    if (program.setUp != nullptr)
        program.setUp();
    if (!program.imaging)
        return RunTests(program, argc, argv);
    ULONG_PTR token = 0;
    GdiplusStartupInput input;
    if (GdiplusStartup(&token, &input, nullptr) != Ok) {
        std::fprintf(stderr, "imaging library did not start\n");
        return 1;
    }
    const int result = RunTests(program, argc, argv);
    GdiplusShutdown(token);
    return result;
}
