#include "app/framework/ResourceImages.h"

struct HICON__ {
    QIcon icon;
};

struct HBITMAP__ {
    QPixmap pixmap;
};

namespace {
QPixmap LoadResourcePixmap(const char* folder, int id) {
    QPixmap pixmap;
    pixmap.load(QStringLiteral(":/%1/%2.png").arg(QLatin1String(folder)).arg(id));
    return pixmap;
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
    const QPixmap pixmap = LoadResourcePixmap("icon", id);
    return pixmap.isNull() ? nullptr : CreateIconFromPixmap(pixmap);
}

HBITMAP LoadBitmapById(int id) {
    if (id <= 0)
        return nullptr;
    const QPixmap pixmap = LoadResourcePixmap("bitmap", id);
    return pixmap.isNull() ? nullptr : CreateBitmapFromPixmap(pixmap);
}

HICON LoadIcon(HINSTANCE, const char* name) {
    return LoadIconById(ResourceNumber(name));
}
HICON LoadIcon(HINSTANCE, const WCHAR* name) {
    return LoadIconById(ResourceNumber(name));
}
HBITMAP LoadBitmap(HINSTANCE, const char* name) {
    return LoadBitmapById(ResourceNumber(name));
}
HBITMAP LoadBitmap(HINSTANCE, const WCHAR* name) {
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
