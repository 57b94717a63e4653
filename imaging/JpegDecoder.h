#pragma once
// JPEG pixels through libjpeg-turbo's TurboJPEG interface rather than Qt's reader, for two
// reasons. Qt's reader treats libjpeg's corrupt-data warnings as harmless: a file whose markers
// are intact but whose entropy-coded data is damaged or cut decodes "successfully" with a grey
// area, and would be stamped as if whole. Here any such warning stops the decode and fails it.
// And colour pictures come out as 24-bit RGB, the layout of the bitmap they are composed into,
// where Qt's reader gives 32-bit rows that every drawing must convert.

#include "imaging/GdiPlus.h"

#include <QByteArray>
#include <QImage>
#include <QImageIOHandler>

class JpegDecoder {
  public:
    // Decodes a whole JPEG held in memory and turns it as `orientation` says (the Exif
    // orientation Qt's reader found). Colour pictures become Format_RGB888, grey ones
    // Format_Grayscale8, CMYK ones Format_RGB32 (converted as Qt's reader converts them).
    // GenericError when the decoder reports damaged or missing data, OutOfMemory when the
    // picture is over the pixel limit or memory runs out.
    static GpStatus decode(const QByteArray& encoded, QImageIOHandler::Transformations orientation,
                           QImage* pixels);
};
