#pragma once
// What a file read by one of the library's own codecs (HEIF and AVIF, JPEG XL) states about
// its picture before any pixel is decoded: enough to check the size limit and the memory
// budget, and to name the colours the decoded pixels will be in.

#include <QByteArray>

#include <cstdint>

struct CodecHeader {
    // As shown: after the file's own rotation, mirroring and crop, which the decoder applies.
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    bool alpha = false;
    // Of the stored samples: 8, or more (the pixels are then decoded at 16 bits).
    int bitsPerSample = 8;
    // The file stores its picture without loss.
    bool lossless = false;
    // The ICC profile of the decoded RGB pixels, as stored or built from the file's colour
    // description; empty for sRGB and for files that name no colours.
    QByteArray icc;
    // The file's EXIF (a TIFF structure) and XMP packet, where the container's reader gives
    // them; empty otherwise, the records then read as in any other file.
    QByteArray exif;
    QByteArray xmp;
    // Why the picture cannot be shown as it should be (a transfer for HDR displays), for the
    // user; null when it can.
    const char* refusal = nullptr;
};
