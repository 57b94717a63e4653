#include "app/framework/ResourceImages.h"

#include "imaging/ResourcePaths.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPalette>

#include <algorithm>

struct HICON__ {
    QIcon icon;
};

struct HBITMAP__ {
    QPixmap pixmap;
};

namespace {
bool PaletteIsDark() {
    return QGuiApplication::palette().color(QPalette::Window).lightnessF() < 0.5;
}

// Where a picture has a variant for dark desktops, that one is taken on a dark palette: black
// figures on dark buttons all but vanish, light grounds glare.
bool UseDarkVariant(const QString& darkPath) {
    return PaletteIsDark() && QFile::exists(darkPath);
}

// The scales bitmaps are drawn for, besides their designed size.
constexpr double kBitmapScales[] = {1.25, 1.5, 2.0};

QPixmap LoadResourceBitmap(int id) {
    const bool dark = UseDarkVariant(BitmapResourcePath(id, true));
    // The variant drawn for the screen's scale, else the next larger one, which only shrinks
    // a little; the designed size where the screen needs nothing more. A window may move to
    // another screen, so the finest screen decides.
    const qreal wanted = qApp != nullptr ? qApp->devicePixelRatio() : 1.0;
    QString path = BitmapResourcePath(id, dark);
    double scale = 1.0;
    for (double candidate : kBitmapScales) {
        if (wanted <= scale + 0.01)
            break;
        const QString scaled = ScaledBitmapResourcePath(id, candidate, dark);
        if (QFile::exists(scaled)) {
            path = scaled;
            scale = candidate;
        }
    }
    QPixmap pixmap(path);
    pixmap.setDevicePixelRatio(scale);
    return pixmap;
}

QIcon LoadResourceIcon(int id) {
    const bool dark = UseDarkVariant(IconResourcePath(id, true));
    const QString designed = IconResourcePath(id, dark);
    if (!QFile::exists(designed))
        return QIcon();
    // Every size the icon was drawn at: the style takes the one that fits the button on the
    // screen's scale, so a figure is drawn for its pixels rather than blurred to them.
    QIcon icon(designed);
    const QDir sizes(IconSizesResourceFolder(id, dark));
    const QStringList files = sizes.entryList({QStringLiteral("*.png")}, QDir::Files);
    for (const QString& file : files)
        icon.addFile(sizes.filePath(file));
    return icon;
}

int ResourceNumber(const void* name) {
    if (name == nullptr || !IS_INTRESOURCE(name))
        return -1;
    return static_cast<int>(reinterpret_cast<ULONG_PTR>(name));
}
} // namespace

HICON LoadIconById(int id) {
    if (id <= 0)
        return nullptr;
    QIcon icon = LoadResourceIcon(id);
    return icon.isNull() ? nullptr : new HICON__{std::move(icon)};
}

HBITMAP LoadBitmapById(int id) {
    if (id <= 0)
        return nullptr;
    const QPixmap pixmap = LoadResourceBitmap(id);
    return pixmap.isNull() ? nullptr : CreateBitmapFromPixmap(pixmap);
}

HBITMAP LoadBitmap(HINSTANCE, const char* name) {
    return LoadBitmapById(ResourceNumber(name));
}

BOOL DestroyIcon(HICON icon) {
    if (icon == nullptr)
        return FALSE;
    delete icon;
    return TRUE;
}

BOOL DeleteObject(HBITMAP bitmap) {
    if (bitmap == nullptr)
        return FALSE;
    delete bitmap;
    return TRUE;
}

HICON CreateIconFromPixmap(const QPixmap& pixmap) {
    return new HICON__{QIcon(pixmap)};
}

HBITMAP CreateBitmapFromPixmap(const QPixmap& pixmap) {
    return new HBITMAP__{pixmap};
}

QIcon IconOfHandle(HICON icon) {
    return icon != nullptr ? icon->icon : QIcon();
}

QPixmap PixmapOfHandle(HBITMAP bitmap) {
    return bitmap != nullptr ? bitmap->pixmap : QPixmap();
}

QSize ButtonIconSize(const QIcon& icon, const QSize& buttonSize) {
    const int room = std::max(1, std::min(buttonSize.width(), buttonSize.height()) - 6);
    QSize size = icon.actualSize(QSize(32, 32));
    if (size.width() > room || size.height() > room)
        size.scale(room, room, Qt::KeepAspectRatio);
    return size;
}
