#pragma once
// How the Windows pixel-format codes map onto QImage formats.

#include "imaging/GdiPlus.h"

#include <QImage>

class PixelFormatMap {
  public:
    // The QImage format that holds a new bitmap of this code; Format_Invalid for an unknown code.
    static QImage::Format storageFormat(PixelFormat code);
    // The code that the Windows library reports for decoded pixels of this QImage format; used
    // where the file's own header did not tell.
    static PixelFormat codeForDecoded(QImage::Format format);
    // Whether a drawing surface may be opened on a bitmap of this code (not on indexed,
    // 16-bit grey or 1-bit-alpha bitmaps, as the Windows library refuses them too).
    static bool canDrawOn(PixelFormat code);
    // Bits a pixel of this code takes (GetPixelFormatSize).
    static int bitsPerPixel(PixelFormat code);
    // Bytes per pixel of the widest format a decoder may produce (64-bit RGBA).
    static constexpr int kMaxBytesPerPixel = 8;
};
