#include "imaging/ImageSaver.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QSaveFile>

#include <cstring>

namespace {

bool isWide(QImage::Format format) {
    switch (format) {
    case QImage::Format_RGBX64:
    case QImage::Format_RGBA64:
    case QImage::Format_RGBA64_Premultiplied:
    case QImage::Format_Grayscale16:
    case QImage::Format_BGR30:
    case QImage::Format_RGB30:
    case QImage::Format_A2BGR30_Premultiplied:
    case QImage::Format_A2RGB30_Premultiplied:
        return true;
    default:
        return false;
    }
}

} // namespace

QImage ImageSaver::prepare(const QImage& pixels, const char* qtFormat) {
    const bool jpeg = std::strcmp(qtFormat, "jpeg") == 0;
    const bool eightBitOnly =
        jpeg || std::strcmp(qtFormat, "bmp") == 0 || std::strcmp(qtFormat, "webp") == 0;
    if (jpeg && pixels.hasAlphaChannel()) {
        // JPEG has no alpha: it is dropped and the stored colour kept, as the Windows library
        // does, so a blank (all-zero) area comes out black.
        QImage straight = pixels.convertToFormat(QImage::Format_ARGB32);
        straight.reinterpretAsFormat(QImage::Format_RGB32);
        return straight;
    }
    if (eightBitOnly && isWide(pixels.format())) {
        if (pixels.format() == QImage::Format_Grayscale16)
            return pixels.convertToFormat(QImage::Format_Grayscale8);
        return pixels.convertToFormat(pixels.hasAlphaChannel() ? QImage::Format_ARGB32
                                                               : QImage::Format_RGB32);
    }
    return pixels;
}

bool ImageSaver::encode(const QImage& pixels, const char* qtFormat, QByteArray* bytes) {
    const QImage prepared = prepare(pixels, qtFormat);
    if (prepared.isNull())
        return false;
    QBuffer buffer(bytes);
    if (!buffer.open(QIODevice::WriteOnly))
        return false;
    QImageWriter writer(&buffer, qtFormat);
    if (std::strcmp(qtFormat, "jpeg") == 0) {
        writer.setQuality(kJpegQuality);
        writer.setOptimizedWrite(kJpegOptimizedHuffman);
    } else if (std::strcmp(qtFormat, "png") == 0) {
        // Qt takes PNG compression on a 0-100 scale and maps it onto zlib's levels as
        // value * 9 / 91; passing a zlib level directly gives level 0, stored blocks.
        writer.setCompression((kPngCompressionLevel * 91 + 8) / 9);
    } else if (std::strcmp(qtFormat, "tiff") == 0) {
        writer.setCompression(kTiffCompression);
    } else if (std::strcmp(qtFormat, "webp") == 0) {
        writer.setQuality(kWebpQuality);
    }
    return writer.write(prepared) && !bytes->isEmpty();
}

GpStatus ImageSaver::save(const QImage& pixels, const QByteArray& path,
                          const EncoderEntry& encoder) {
    if (path.isEmpty())
        return InvalidParameter;
    // Encoding into memory first: some Qt writers seek back and lose short writes, so a full
    // disk would go unnoticed if they wrote to the file themselves.
    QByteArray bytes;
    if (!encode(pixels, encoder.qtFormat, &bytes))
        return GenericError;

    QSaveFile file(QFile::decodeName(path));
    file.setDirectWriteFallback(false); // never write into the target itself
    if (!file.open(QIODevice::WriteOnly))
        return Win32Error;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        file.commit(); // removes the temporary file
        return Win32Error;
    }
    // commit() flushes, checks for any earlier write error and only then renames; on failure
    // it removes the temporary file.
    if (!file.commit())
        return Win32Error;
    return Ok;
}
