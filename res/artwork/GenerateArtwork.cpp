// Build-time tool: writes the program's icons and bitmaps as PNG files into the folder given,
// for the resource compiler:
//   icon/<n>.png, bitmap/<n>.png        the pictures at their designed size
//   icon/<n>/<size>.png                 an icon drawn again at more sizes, so that a button
//                                       on a screen of any scale shows one drawn for it
//   bitmap/<n>@<scale>x.png             a bitmap drawn with scale times the pixels
//   icon/dark/..., bitmap/dark/...      the same for dark desktops, where a picture has one

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

// An anchor cell shows its icon at some 18 points on common fonts: these sizes leave a figure
// drawn for every usual scale from 1 to 3, never enlarged and never shrunk by much.
constexpr int kAnchorIconSizes[] = {16, 20, 24, 28, 32, 40, 48, 56, 64};

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
    for (const char* folder : {"icon/128", "bitmap/dark"}) {
        if (!out.mkpath(QString::fromLatin1(folder))) {
            std::fprintf(stderr, "cannot make folders under %s\n", argv[1]);
            return 1;
        }
    }

    bool ok = Save(DrawApplicationIcon(256), out.filePath(QStringLiteral("icon/128.png")));
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        ok = Save(DrawApplicationIcon(size),
                  out.filePath(QStringLiteral("icon/128/%1.png").arg(size))) &&
             ok;
    }
    // The anchor figures: black on light desktops, near white on dark ones, where black on a
    // dark button all but vanishes.
    const struct {
        const char* folder;
        QColor ink;
    } kInks[] = {{"icon", Qt::black}, {"icon/dark", QColor(240, 240, 240)}};
    for (const auto& ink : kInks) {
        const QString folder = QString::fromLatin1(ink.folder);
        for (int anchor = 1; anchor <= 9; ++anchor) {
            const int id = AnchorIconId(anchor);
            ok = Save(DrawAnchorIcon(anchor, 32, ink.ink),
                      out.filePath(QStringLiteral("%1/%2.png").arg(folder).arg(id))) &&
                 ok;
            const QString sized = QStringLiteral("%1/%2").arg(folder).arg(id);
            ok = out.mkpath(sized) && ok;
            for (int size : kAnchorIconSizes) {
                ok = Save(DrawAnchorIcon(anchor, size, ink.ink),
                          out.filePath(QStringLiteral("%1/%2.png").arg(sized).arg(size))) &&
                     ok;
            }
        }
    }
    for (double scale : {1.0, 1.25, 1.5, 2.0}) {
        const QString suffix = scale == 1.0 ? QString() : QStringLiteral("@%1x").arg(scale);
        ok = Save(DrawAboutLogo(scale),
                  out.filePath(QStringLiteral("bitmap/129%1.png").arg(suffix))) &&
             ok;
        ok = Save(DrawAboutLogo(scale, true),
                  out.filePath(QStringLiteral("bitmap/dark/129%1.png").arg(suffix))) &&
             ok;
        ok =
            Save(DrawBanner(scale), out.filePath(QStringLiteral("bitmap/132%1.png").arg(suffix))) &&
            ok;
    }
    ok = Save(DrawPreviewPlaceholder(QColor(192, 192, 192), QColor(255, 0, 0)),
              out.filePath(QStringLiteral("bitmap/156.png"))) &&
         ok;
    // Dark enough not to glare beside a dark dialog, light enough to stand out from it.
    ok = Save(DrawPreviewPlaceholder(QColor(80, 80, 80), QColor(255, 110, 110)),
              out.filePath(QStringLiteral("bitmap/dark/156.png"))) &&
         ok;
    return ok ? 0 : 1;
}
