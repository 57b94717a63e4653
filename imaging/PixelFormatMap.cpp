#include "imaging/PixelFormatMap.h"

QImage::Format PixelFormatMap::storageFormat(PixelFormat code) {
    switch (code) {
    case PixelFormat1bppIndexed:
        return QImage::Format_Mono;
    case PixelFormat4bppIndexed: // no 4-bit QImage format: one index per byte
    case PixelFormat8bppIndexed:
        return QImage::Format_Indexed8;
    case PixelFormat16bppGrayScale:
        return QImage::Format_Grayscale16;
    case PixelFormat16bppRGB555:
        return QImage::Format_RGB555;
    case PixelFormat16bppRGB565:
        return QImage::Format_RGB16;
    case PixelFormat16bppARGB1555: // no 1-bit-alpha format; nothing can draw on it anyway
        return QImage::Format_ARGB32;
    case PixelFormat24bppRGB:
        return QImage::Format_RGB888;
    case PixelFormat32bppRGB:
        return QImage::Format_RGB32;
    case PixelFormat32bppARGB:
        // Straight alpha, as the code means. Measured against premultiplied storage on a 24 MP
        // compose-and-save: drawing and JPEG saving equal within noise, PNG saving a little
        // faster (no unpremultiply pass); and half-transparent colours are kept exactly.
        return QImage::Format_ARGB32;
    case PixelFormat32bppPARGB:
        return QImage::Format_ARGB32_Premultiplied;
    case PixelFormat48bppRGB:
        return QImage::Format_RGBX64;
    case PixelFormat64bppARGB:
        return QImage::Format_RGBA64;
    case PixelFormat64bppPARGB:
        return QImage::Format_RGBA64_Premultiplied;
    default:
        return QImage::Format_Invalid;
    }
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
