#include "ImagingTestSupport.h"

#include "imaging/GpImage.h"
#include "imaging/files/LocaleText.h"

#include <QFile>

#include "TestMain.h"

std::wstring widePath(const QString& path) {
    // As the programs make it: the file system's bytes in the locale's wide text, whatever the
    // locale (a test run from cron or a bare container has none but C).
    return ToWidePath(QFile::encodeName(path).constData()).value_or(std::wstring());
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
