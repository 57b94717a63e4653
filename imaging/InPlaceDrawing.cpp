#include "imaging/InPlaceDrawing.h"

#include "imaging/GpImage.h"
#include "imaging/PixelFormatMap.h"

#include <QColorSpace>

bool InPlaceDrawing::matchesNewBitmap(GpImage* image, PixelFormat format) {
    if (!image || image->graphics || image->pixelFormat != format)
        return false;
    const QImage::Format storage = PixelFormatMap::storageFormat(format);
    if (storage == QImage::Format_Invalid || image->decode(storage) != Ok)
        return false;
    const QImage& pixels = image->pixels;
    // What a new bitmap carries besides its pixels: Qt's defaults, as GpImage::blank sets none.
    const QImage blank(1, 1, storage);
    return pixels.format() == storage && !pixels.hasAlphaChannel() && pixels.colorCount() == 0 &&
           pixels.dotsPerMeterX() == blank.dotsPerMeterX() &&
           pixels.dotsPerMeterY() == blank.dotsPerMeterY() && pixels.offset() == blank.offset() &&
           pixels.colorSpace() == blank.colorSpace() && pixels.textKeys().isEmpty() &&
           pixels.devicePixelRatio() == blank.devicePixelRatio();
}
