#pragma once
// JPEG pixels through libjpeg's own interface (see JpegSession) rather than Qt's reader, for two
// reasons. Qt's reader treats libjpeg's corrupt-data warnings as harmless: a file whose markers
// are intact but whose entropy-coded data is damaged or cut decodes "successfully" with a grey
// area, and would be stamped as if whole. Here any such warning stops the decode and fails it.
// And colour pictures come out in the layout of the bitmap they are first drawn onto: Qt's
// reader gives 32-bit rows, which Qt draws onto a 24-bit bitmap (a stamped JPEG's) only by
// converting every pixel, and 24-bit rows draw onto a 32-bit bitmap (the sample preview's)
// several times slower still.

#include "imaging/GdiPlus.h"
#include "imaging/colour/ColourProfile.h"

#include <QByteArray>
#include <QImage>
#include <QImageIOHandler>

class JpegDecoder {
  public:
    // Decodes a whole JPEG held in memory and turns it as `orientation` says (the Exif
    // orientation Qt's reader found). Colour pictures become Format_RGB32 when `drawnInto` is a
    // 32-bit layout and Format_RGB888 otherwise, grey ones Format_Grayscale8, CMYK ones
    // Format_RGB32 (converted as Qt's reader converts them); the colours are Qt's reader's in
    // every case. GenericError when the decoder reports damaged or missing data, OutOfMemory
    // when the picture is over the pixel limit or memory runs out.
    // profile (optional): the picture's profile; a CMYK one converts CMYK pixels to sRGB
    // instead. *colour (optional) tells whether the pixels were CMYK and went through it.
    struct Colour {
        bool cmyk = false;
        bool throughProfile = false;
    };
    // reduceTo (optional): the upright size wanted; the picture is then decoded at the
    // smallest of the decoder's scales (1/8 to 1) that is at least that large both ways.
    static GpStatus decode(const QByteArray& encoded, QImageIOHandler::Transformations orientation,
                           QImage::Format drawnInto, QImage* pixels,
                           const ColourProfile* profile = nullptr, Colour* colour = nullptr,
                           QSize reduceTo = QSize());
};
