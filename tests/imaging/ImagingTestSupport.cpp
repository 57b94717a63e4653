#include "ImagingTestSupport.h"

#include "imaging/GpImage.h"

#include "TestMain.h"

std::wstring widePath(const QString& path) {
    return path.toStdWString();
}

ImagePtr loadBitmap(const QString& path, GpStatus* status) {
    GpBitmap* bitmap = nullptr;
    const std::wstring wide = widePath(path);
    *status = GdipCreateBitmapFromFile(wide.c_str(), &bitmap);
    return ImagePtr(*status == Ok ? bitmap : nullptr);
}

ImagePtr blankBitmap(int width, int height, PixelFormat format) {
    GpBitmap* bitmap = nullptr;
    if (GdipCreateBitmapFromScan0(width, height, 0, format, nullptr, &bitmap) != Ok)
        return nullptr;
    return ImagePtr(bitmap);
}

QImage pixelsOf(GpImage* image) {
    if (!image || image->decode() != Ok)
        return QImage();
    return image->pixels.convertToFormat(QImage::Format_ARGB32);
}

// The imaging tests run inside a QGuiApplication with the library started, as the program does.
test_main::Program test_main::ThisProgram() {
    return {};
}
