// Build-time tool: writes the program's icons and bitmaps as PNG files into the folder given,
// as icon/<n>.png, icon/128/<size>.png and bitmap/<n>.png, for the resource compiler.

#include "res/artwork/Artwork.h"

#include <QDir>
#include <QGuiApplication>

#include <cstdio>

namespace {

bool Save(const QImage& image, const QString& path) {
    if (image.isNull() || !image.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    // Text needs a font database, which needs an application, which needs a platform; the
    // offscreen one works on a build machine without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.mkpath(QStringLiteral("icon/128")) || !out.mkpath(QStringLiteral("bitmap"))) {
        std::fprintf(stderr, "cannot make folders under %s\n", argv[1]);
        return 1;
    }

    bool ok = Save(DrawApplicationIcon(256), out.filePath(QStringLiteral("icon/128.png")));
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        ok = Save(DrawApplicationIcon(size),
                  out.filePath(QStringLiteral("icon/128/%1.png").arg(size))) &&
             ok;
    }
    for (int anchor = 1; anchor <= 9; ++anchor) {
        const QString name = QStringLiteral("icon/%1.png").arg(AnchorIconId(anchor));
        ok = Save(DrawAnchorIcon(anchor, 32), out.filePath(name)) && ok;
    }
    ok = Save(DrawAboutLogo(), out.filePath(QStringLiteral("bitmap/129.png"))) && ok;
    ok = Save(DrawBanner(), out.filePath(QStringLiteral("bitmap/132.png"))) && ok;
    ok = Save(DrawPreviewPlaceholder(), out.filePath(QStringLiteral("bitmap/156.png"))) && ok;
    return ok ? 0 : 1;
}
