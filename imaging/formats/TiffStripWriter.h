#pragma once
// TIFF files written through libtiff itself, for the codings Qt's writer lacks: Deflate and
// ZSTD, and the horizontal predictor that makes any of them worth it on photographs (without
// it LZW saves 6 % of a photo). Colour, grey and alpha pictures of 8 and 16 bits a sample;
// other layouts (palettes, one bit) are left to Qt's writer.

#include <QIODevice>
#include <QImage>

struct TiffCoding {
    // TIFF's own codes: 1 none, 5 LZW, 8 Deflate, 50000 ZSTD; predictor 1 none, 2 horizontal.
    unsigned compression = 1;
    unsigned predictor = 1;
};

class TiffStripWriter {
  public:
    // Whether pixels' layout is one this writer stores.
    static bool takes(const QImage& pixels);
    // Whether libtiff here can write coding's compression.
    static bool writes(TiffCoding coding);
    // Writes pixels to device (seekable) as one TIFF picture coded so; false when libtiff or a
    // write fails. The resolution is the picture's dots per metre, as Qt's writer states it.
    static bool write(const QImage& pixels, QIODevice* device, TiffCoding coding);
};
