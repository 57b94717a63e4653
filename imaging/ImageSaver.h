#pragma once
// Encodes a bitmap into memory with one of the built-in encoders and writes the bytes through a
// temporary file that replaces the target only when every byte is on disk.

#include "imaging/EncoderTable.h"

#include <QByteArray>
#include <QImage>

class ImageSaver {
  public:
    // Encoder defaults, chosen for photographs.
    static constexpr int kJpegQuality = 90;
    static constexpr int kPngCompressionLevel = 6;
    static constexpr int kTiffCompression = 1; // 0 none, 1 LZW
    static constexpr int kWebpQuality = 90;

    // path: the file system's bytes. Win32Error when the file cannot be written (missing
    // folder, full disk, size limit); an existing file is then left as it was.
    static GpStatus save(const QImage& pixels, const QByteArray& path, const EncoderEntry& encoder);
    // The encoded bytes; false when the encoder fails.
    static bool encode(const QImage& pixels, const char* qtFormat, QByteArray* bytes);
    // The picture as the encoder can store it (alpha dropped for JPEG, wide formats narrowed).
    static QImage prepare(const QImage& pixels, const char* qtFormat);
};
