#pragma once
// HEIF pictures (HEIC from phones, AVIF) through libheif: the primary image of the file, grids
// and tiles as phones write them, turned, mirrored and cropped as the file says, and copies
// written with libheif's encoders where they are installed.

#include "imaging/GdiPlus.h"
#include "imaging/formats/CodecHeader.h"

#include <QByteArray>
#include <QImage>

class QIODevice;

class HeifCodec {
  public:
    enum class Coding { Hevc, Av1 };

    // An ISO media file whose brands name a HEIF or AVIF still picture.
    static bool sniffs(const QByteArray& head);
    // How the file's primary image is coded; Hevc for anything but AVIF.
    static Coding codingOf(const QByteArray& head);
    // The primary image's size as shown, depth, alpha and colours, from the boxes alone;
    // false when the file is not HEIF or its boxes are damaged or cut short.
    static bool readHeader(const QByteArray& file, CodecHeader* header);
    // The primary image decoded upright: Format_ARGB32 or Format_RGB32 at 8 bits,
    // Format_RGBA64 or Format_RGBX64 for deeper samples, in the colours readHeader named (in
    // sRGB when only the coded stream names its colours). GenericError when the file is
    // damaged or cut short, UnknownImageFormat for a picture for HDR displays that only the
    // coded stream tells of, OutOfMemory when memory runs out or the picture has more than
    // maxPixels. eightBits: deeper samples come out at 8 bits.
    static GpStatus decode(const QByteArray& file, QImage* pixels, std::uint64_t maxPixels,
                           bool eightBits);

    // Whether libheif has an encoder for the coding here.
    static bool canEncode(Coding coding);
    struct Records {
        QByteArray icc;  // empty: the pixels are sRGB
        QByteArray exif; // a TIFF structure; empty: none
        QByteArray xmp;  // an XMP packet; empty: none
    };
    // Encodes prepared (8 bits, or more when it holds 16-bit samples) into device; quality 1-100,
    // 0 for the format's default. False when the encoder or a write fails.
    static bool encode(const QImage& prepared, QIODevice* device, Coding coding, int quality,
                       bool lossless, const Records& records);
};
