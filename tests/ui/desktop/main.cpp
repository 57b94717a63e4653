// Desktop look tests: the offscreen platform with one screen per common scale (1, 1.25, 1.5 and
// 2 device pixels per point), side by side, so a test moves a window to a scale.
#include "TestMain.h"
#include "app/framework/DialogTemplateRegistry.h"
#include "res/DialogTemplates.h"
#include "res/ProgramResources.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

int main(int argc, char** argv) {
    QTemporaryDir dir;
    const QString config = dir.filePath(QStringLiteral("screens.json"));
    QFile file(config);
    if (!dir.isValid() || !file.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "cannot write the screen configuration\n");
        return 1;
    }
    // The first screen is the platform's usual one; each further one lies right of it.
    file.write(R"({"screens": [
        {"name": "scale-1", "x": 0, "y": 0, "width": 1600, "height": 1200, "dpr": 1, "logicalDpi": 96},
        {"name": "scale-1.25", "x": 1600, "y": 0, "width": 1600, "height": 1200, "dpr": 1.25, "logicalDpi": 96},
        {"name": "scale-1.5", "x": 3200, "y": 0, "width": 1600, "height": 1200, "dpr": 1.5, "logicalDpi": 96},
        {"name": "scale-2", "x": 4800, "y": 0, "width": 1600, "height": 1200, "dpr": 2, "logicalDpi": 96}]})");
    file.close();
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform.isEmpty() || platform == "offscreen")
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(config));
    QApplication app(argc, argv);
    if (!test_main::UseUtf8Locale())
        return 1;
    RegisterProgramResources();
    SetDialogTemplateLookup(&FindDialogTemplate);
    ::testing::InitGoogleTest(&argc, argv);
    return test_main::RunAllTestsWithImaging();
}
