// Making, asking and saving images.

#include "imaging/GdiPlus.h"
#include "imaging/PixelFormatMap.h"

#include "imaging/GpGraphics.h"
#include "imaging/GpImage.h"
#include "imaging/ImageFileAccess.h"
#include "imaging/ResourcePaths.h"
#include "imaging/files/LocaleText.h"
#include "imaging/formats/EncoderTable.h"
#include "imaging/formats/ImageSaver.h"

#include <QFile>
#include <QGuiApplication>
#include <QPalette>

GpStatus GdipCreateBitmapFromFile(const WCHAR* filename, GpBitmap** bitmap) {
    if (!filename || !bitmap)
        return InvalidParameter;
    const auto local = FromWideText(filename);
    if (!local)
        return FileNotFound; // no file can have a name this locale cannot spell
    return ImageFileAccess::load(*local, bitmap);
}

GpStatus GdipLoadImageFromFile(const WCHAR* filename, GpImage** image) {
    // Every raster file is a bitmap; vector pictures are refused as an unknown format.
    return GdipCreateBitmapFromFile(filename, image);
}

GpStatus GdipCreateBitmapFromResource(HINSTANCE, const WCHAR* name, GpBitmap** bitmap) {
    if (!name || !bitmap || !IS_INTRESOURCE(name))
        return InvalidParameter;
    const auto number = static_cast<int>(reinterpret_cast<ULONG_PTR>(name));
    // A dark desktop gets the program's dark variant of a picture where it has one, the way
    // Windows picks a resource in the user's language where there is one.
    QFile resource(BitmapResourcePath(number, true));
    const bool dark =
        qGuiApp != nullptr && QGuiApplication::palette().color(QPalette::Window).lightnessF() < 0.5;
    if (!dark || !resource.exists())
        resource.setFileName(BitmapResourcePath(number));
    if (!resource.open(QIODevice::ReadOnly))
        return InvalidParameter; // no such resource, as the Windows library answers
    return GpImage::fromEncoded(resource.readAll(), bitmap);
}

GpStatus GdipCreateBitmapFromScan0(INT width, INT height, INT stride, PixelFormat format,
                                   BYTE* scan0, GpBitmap** bitmap) {
    if (!bitmap)
        return InvalidParameter;
    if (scan0)
        return GpImage::onMemory(width, height, stride, format, scan0, bitmap);
    if (stride != 0)
        return NotImplemented; // a stride only for the caller's own memory
    return GpImage::blank(width, height, format, bitmap);
}

GpStatus GdipGetImageThumbnail(GpImage* image, UINT thumbWidth, UINT thumbHeight,
                               GpImage** thumbImage, GetThumbnailImageAbort callback, void*) {
    if (!image || !thumbImage || callback || thumbWidth == 0 || thumbHeight == 0 ||
        std::uint64_t(thumbWidth) * thumbHeight > kMaxImagePixels)
        return InvalidParameter;
    return image->thumbnail(QSize(int(thumbWidth), int(thumbHeight)), thumbImage);
}

GpStatus GdipDisposeImage(GpImage* image) {
    if (!image)
        return InvalidParameter;
    if (image->graphics)
        image->graphics->detachTarget();
    delete image;
    return Ok;
}

GpStatus GdipGetImageWidth(GpImage* image, UINT* width) {
    if (!image || !width)
        return InvalidParameter;
    *width = image->width;
    return Ok;
}

GpStatus GdipGetImageHeight(GpImage* image, UINT* height) {
    if (!image || !height)
        return InvalidParameter;
    *height = image->height;
    return Ok;
}

UINT GetPixelFormatSize(PixelFormat format) {
    return UINT(PixelFormatMap::bitsPerPixel(format));
}

GpStatus GdipGetImagePixelFormat(GpImage* image, PixelFormat* format) {
    if (!image || !format)
        return InvalidParameter;
    *format = image->pixelFormat;
    return Ok;
}

GpStatus GdipImageForceValidation(GpImage* image) {
    return image ? image->decode() : InvalidParameter;
}

GpStatus GdipGetImageType(GpImage* image, ImageType* type) {
    if (!image || !type)
        return InvalidParameter;
    *type = ImageTypeBitmap;
    return Ok;
}

GpStatus GdipSaveImageToFile(GpImage* image, const WCHAR* filename, const CLSID* clsidEncoder,
                             const EncoderParameters*) {
    const EncoderEntry* encoder = nullptr;
    QByteArray path;
    const GpStatus checked = ImageSaver::check(image, filename, clsidEncoder, &encoder, &path);
    if (checked != Ok)
        return checked;
    return ImageSaver::save(image->pixels, image->facts.get(), path, *encoder);
}
