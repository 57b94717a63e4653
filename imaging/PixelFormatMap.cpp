#include "imaging/PixelFormatMap.h"

namespace {

// Every pixel-format code a bitmap may have: where its pixels are kept, and how many bits a
// pixel the code states (its second byte).
struct Row {
    PixelFormat code;
    QImage::Format storage;
    int bits;
};
constexpr Row kRows[] = {
    {PixelFormat1bppIndexed, QImage::Format_Mono, 1},
    // No 4-bit QImage format: one index per byte.
    {PixelFormat4bppIndexed, QImage::Format_Indexed8, 4},
    {PixelFormat8bppIndexed, QImage::Format_Indexed8, 8},
    {PixelFormat16bppGrayScale, QImage::Format_Grayscale16, 16},
    {PixelFormat16bppRGB555, QImage::Format_RGB555, 16},
    {PixelFormat16bppRGB565, QImage::Format_RGB16, 16},
    // No 1-bit-alpha format; nothing can draw on it anyway.
    {PixelFormat16bppARGB1555, QImage::Format_ARGB32, 16},
    {PixelFormat24bppRGB, QImage::Format_RGB888, 24},
    {PixelFormat32bppRGB, QImage::Format_RGB32, 32},
    // Straight alpha, as the code means. Measured against premultiplied storage on a 24 MP
    // compose-and-save: drawing and JPEG saving equal within noise, PNG saving a little
    // faster (no unpremultiply pass); and half-transparent colours are kept exactly.
    {PixelFormat32bppARGB, QImage::Format_ARGB32, 32},
    {PixelFormat32bppPARGB, QImage::Format_ARGB32_Premultiplied, 32},
    {PixelFormat48bppRGB, QImage::Format_RGBX64, 48},
    {PixelFormat64bppARGB, QImage::Format_RGBA64, 64},
    {PixelFormat64bppPARGB, QImage::Format_RGBA64_Premultiplied, 64},
};

const Row* rowOf(PixelFormat code) {
    for (const Row& row : kRows)
        if (row.code == code)
            return &row;
    return nullptr;
}

} // namespace

QImage::Format PixelFormatMap::storageFormat(PixelFormat code) {
    const Row* row = rowOf(code);
    return row != nullptr ? row->storage : QImage::Format_Invalid;
}

int PixelFormatMap::bitsPerPixel(PixelFormat code) {
    const Row* row = rowOf(code);
    return row != nullptr ? row->bits : kMaxBytesPerPixel * 8;
}

PixelFormat PixelFormatMap::codeForDecoded(QImage::Format format) {
    switch (format) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
        return PixelFormat1bppIndexed;
    case QImage::Format_Indexed8:
    case QImage::Format_Grayscale8:
    case QImage::Format_Alpha8:
        return PixelFormat8bppIndexed;
    case QImage::Format_Grayscale16:
        return PixelFormat16bppGrayScale;
    case QImage::Format_RGB555:
        return PixelFormat16bppRGB555;
    case QImage::Format_RGB16:
        return PixelFormat16bppRGB565;
    case QImage::Format_RGB32:
    case QImage::Format_RGB888:
    case QImage::Format_BGR888:
    case QImage::Format_RGBX8888:
    case QImage::Format_RGB666:
    case QImage::Format_RGB444:
        return PixelFormat24bppRGB;
    case QImage::Format_RGBX64:
    case QImage::Format_BGR30:
    case QImage::Format_RGB30:
        return PixelFormat48bppRGB;
    case QImage::Format_RGBA64:
    case QImage::Format_RGBA64_Premultiplied:
    case QImage::Format_A2BGR30_Premultiplied:
    case QImage::Format_A2RGB30_Premultiplied:
        return PixelFormat64bppARGB;
    default:
        return PixelFormat32bppARGB;
    }
}

bool PixelFormatMap::canDrawOn(PixelFormat code) {
    constexpr PixelFormat kIndexedFlag = 0x00010000;
    if (code == PixelFormatUndefined || (code & kIndexedFlag) != 0)
        return false;
    return code != PixelFormat16bppGrayScale && code != PixelFormat16bppARGB1555;
}
