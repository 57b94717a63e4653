#pragma once
// JPEG XL pictures through libjxl, which Qt has no reader or writer of: the first frame of a
// file, turned as its codestream says, and copies written with their profile and records.
// Every call runs on the calling thread only: the batch already decodes several pictures at
// once on threads of its own.

#include "imaging/GdiPlus.h"
#include "imaging/formats/CodecHeader.h"

#include <QByteArray>
#include <QImage>

#include <cstdint>

class QIODevice;

class JxlCodec {
  public:
    // A JPEG XL codestream (FF 0A) or container (00 00 00 0C 4A 58 4C 20 0D 0A 87 0A) begins so.
    static bool sniffs(const QByteArray& head);
    // The picture's size as shown (after the codestream's orientation), depth, alpha, whether
    // it was coded without loss, and the colours decode gives its pixels in; no pixel is
    // decoded. False when the bytes are not JPEG XL or the header is damaged or cut short.
    static bool readHeader(const QByteArray& file, CodecHeader* header);
    // The first frame decoded upright: Format_ARGB32 or Format_RGB32 at 8 bits, Format_RGBA64
    // or Format_RGBX64 for deeper samples, in the colours readHeader names. GenericError when
    // the file is damaged or cut short, OutOfMemory when memory runs out or the picture has
    // more than maxPixels. eightBits: deeper samples come out at 8 bits.
    static GpStatus decode(const QByteArray& file, QImage* pixels, std::uint64_t maxPixels,
                           bool eightBits = false);

    // What a copy carries besides its pixels.
    struct Records {
        QByteArray icc;  // empty: the pixels are sRGB
        QByteArray exif; // a TIFF structure ("II*\0" or "MM\0*" onward), empty: none
        QByteArray xmp;  // an XMP packet, empty: none
    };
    // Encodes prepared (any format; 16 bits a sample when it holds deeper samples than 8) into
    // device. quality 1-100 as cjxl's, 0 for libjxl's default (distance 1). lossless: the
    // pixels are stored exactly, in their own colours. False when the encoder or a write fails.
    static bool encode(const QImage& prepared, QIODevice* device, int quality, bool lossless,
                       const Records& records);
};
