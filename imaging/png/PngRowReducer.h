#pragma once
// 16-bit PNG pictures decoded straight into 8-bit pixels, one row at a time: no full-depth copy
// of the picture ever exists. Qt's reader decodes such a picture into 8 bytes a pixel, which a
// stamp then copies again; for a picture of hundreds of megapixels that is gigabytes, and the
// saved file holds 8 bits a sample whenever the output format has no more.

#include "imaging/GdiPlus.h"

#include <QByteArray>
#include <QImage>

class PngRowReducer {
  public:
    // The pixel format the reduced picture has, for a PNG of 16-bit colour (with or without
    // alpha or a transparency key) or 16-bit grey with alpha; PixelFormatUndefined for any
    // other file, which is left to Qt's reader.
    static PixelFormat reducedFormat(const QByteArray& png);
    // Decodes into `image`, in the storage of reducedFormat's code (RGB888 or ARGB32): Ok,
    // OutOfMemory, or GenericError when the data is damaged or cut short. Samples are rounded
    // to the nearest 8-bit level.
    static GpStatus read(const QByteArray& png, QImage* image);
};
