// The reliability suite runs real batches; the imaging library needs a GUI application
// object (offscreen) and its own start-up. The same program serves as the child process of
// the cases that run under resource limits.
#include "ChildBatch.h"
#include "TestMain.h"

#include <QGuiApplication>

#include <clocale>
#include <cstring>
#include <langinfo.h>

int main(int argc, char** argv) {
    test_main::UseOffscreenUnlessChosen();
    QGuiApplication app(argc, argv);
    // A UTF-8 locale the machine already has is kept as it is.
    if (std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0 && !test_main::UseUtf8Locale())
        return 1;
    return test_main::WithImaging([&] {
        if (IsChildBatchCall(argc, argv))
            return ChildBatchMain(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        return RUN_ALL_TESTS();
    });
}
