#include "imaging/GpImage.h"

#include "imaging/ImageAllocator.h"
#include "imaging/PixelFormatMap.h"
#include "imaging/formats/FormatTable.h"
#include "imaging/metadata/PictureFacts.h"
#include "imaging/probe/CameraRawProbe.h"
#include "imaging/probe/ImageFileProbe.h"

#include <QBuffer>
#include <QImageReader>
#include <QList>
#include <QRgb>

#include <cstring>

namespace {

QList<QRgb> systemColours16() {
    return {qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
            qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(128, 128, 128),
            qRgb(192, 192, 192), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
            qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255)};
}

// The palette of a new 8-bit indexed bitmap: the 16 system colours, a 6x6x6 colour cube and a
// grey ramp, index 0 black so that zeroed pixels are black.
QList<QRgb> halftonePalette() {
    QList<QRgb> colours = systemColours16();
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                colours.append(qRgb(r * 51, g * 51, b * 51));
    while (colours.size() < 256) {
        const int grey = int(colours.size() - 232) * 10 + 8;
        colours.append(qRgb(grey, grey, grey));
    }
    return colours;
}

// What the decoded pixels take.
std::uint64_t decodedBytes(UINT width, UINT height, PixelFormat format) {
    const auto bits = std::uint64_t(PixelFormatMap::bitsPerPixel(format));
    return std::uint64_t{width} * height * ((bits + 7) / 8);
}

// Enough of a file to hold the brands of a HEIF file's first box.
constexpr qsizetype kOwnCodecHead = 256;

} // namespace

GpStatus GpImage::fromOwnCodec(QByteArray encoded, const FormatRow& row, GpImage** image) {
    CodecHeader header;
    const bool whole = row.readHeader(encoded, &header);
    // A header that states its size before the damage is still refused for the size.
    if (std::uint64_t{header.width} * header.height > kMaxImagePixels)
        return OutOfMemory;
    if (!whole)
        return GenericError;
    if (header.refusal != nullptr)
        return UnknownImageFormat;
    auto* result = new (std::nothrow) GpImage;
    if (!result)
        return OutOfMemory;
    result->width = header.width;
    result->height = header.height;
    const bool deep = header.bitsPerSample > 8;
    result->pixelFormat = PixelFormatMap::codeForDecoded(
        deep ? (header.alpha ? QImage::Format_RGBA64 : QImage::Format_RGBX64)
             : (header.alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32));
    // The records as in any picture (exiv2 reads these containers); the colours are the
    // codec's, which also knows a colour description that is no profile.
    auto facts =
        std::make_shared<PictureFacts>(*PictureFacts::read(encoded, false, header.lossless));
    facts->jpegCoding.reset();
    if (!header.exif.isEmpty() || !header.xmp.isEmpty())
        facts->metadata = PictureMetadata::fromBlocks(header.exif, header.xmp);
    facts->profile = header.icc.isEmpty() ? nullptr : ColourProfile::from(header.icc);
    facts->profileRefused = !header.icc.isEmpty() && facts->profile == nullptr;
    result->facts = std::move(facts);
    // The codec turns the picture as its container says; an EXIF orientation in it only
    // describes the stored picture and is not applied again.
    result->m_turn = 0;
    result->m_encoded = std::move(encoded);
    result->m_readerFormat = row.qtFormat;
    result->m_format = &row;
    if (decodedBytes(result->width, result->height, result->pixelFormat) > kMaxDecodedBytes &&
        !result->reduceToEightBits()) {
        delete result;
        return OutOfMemory;
    }
    *image = result;
    return Ok;
}

GpStatus GpImage::fromEncoded(QByteArray encoded, GpImage** image) {
    if (!image)
        return InvalidParameter;
    if (encoded.isEmpty())
        return UnknownImageFormat;
    if (const FormatRow* own = FormatTable::ownCodecOf(encoded.left(kOwnCodecHead)))
        return fromOwnCodec(std::move(encoded), *own, image);
    const ImageFileProbe::Result probe = ImageFileProbe::probe(encoded);
    // Our own header reading first: Qt's handlers have limits of their own (BMP stops at
    // 16384 x 16384) and would call a bomb simply unreadable.
    if (probe.width != 0 && probe.height != 0 && probe.width * probe.height > kMaxImagePixels)
        return OutOfMemory;
    if (probe.damaged)
        return GenericError;
    if (CameraRawProbe::recognises(encoded.left(CameraRawProbe::kHeadBytes)))
        return UnknownImageFormat;

    const ImageFileProbe::ContainerRow* container = ImageFileProbe::rowOf(probe.container);
    if (container != nullptr && container->sizedByEveryPicture && probe.width == 0)
        return UnknownImageFormat;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer); // by content only: a file's name says nothing reliable
    reader.setAutoTransform(true);
    if (!reader.canRead())
        return container == nullptr || probe.complete ? UnknownImageFormat : GenericError;
    const QByteArray format = reader.format();
    const FormatRow& row = FormatTable::forReader(format);
    if (row.decode == DecodeRoute::Refused)
        return UnknownImageFormat;

    QSize size = reader.size();
    if (container != nullptr && container->readerMisstatesSize && probe.width != 0 &&
        probe.height != 0 && probe.width <= kMaxImagePixels && probe.height <= kMaxImagePixels)
        size = QSize(int(probe.width), int(probe.height));
    QImage decodedNow;
    if (!size.isValid() && container != nullptr && container->readerTellsSize)
        return UnknownImageFormat;
    if (!size.isValid()) {
        // The handler cannot tell the size without decoding; Qt's allocation cap (set at
        // start-up) bounds this read.
        if (!reader.read(&decodedNow))
            return UnknownImageFormat;
        size = decodedNow.size();
    } else if (reader.transformation() & QImageIOHandler::TransformationRotate90) {
        size.transpose(); // the picture is stored sideways and shown upright
    }
    if (size.width() <= 0 || size.height() <= 0)
        return UnknownImageFormat;
    if (std::uint64_t(size.width()) * std::uint64_t(size.height()) > kMaxImagePixels)
        return OutOfMemory;
    if (!probe.complete)
        return GenericError;

    auto* result = new (std::nothrow) GpImage;
    if (!result)
        return OutOfMemory;
    result->width = UINT(size.width());
    result->height = UINT(size.height());
    std::optional<TiffCoding> tiff;
    if (probe.tiffCompression != 0)
        tiff = TiffCoding{probe.tiffCompression, probe.tiffPredictor};
    result->facts = PictureFacts::read(
        encoded, reader.transformation() & QImageIOHandler::TransformationRotate90, probe.lossless,
        tiff);
    result->m_turn = int(reader.transformation());
    result->pixelFormat =
        probe.pixelFormat != PixelFormatUndefined
            ? probe.pixelFormat
            : PixelFormatMap::codeForDecoded(decodedNow.isNull() ? reader.imageFormat()
                                                                 : decodedNow.format());
    buffer.close();
    if (decodedNow.isNull()) {
        result->m_encoded = std::move(encoded);
        result->m_readerFormat = format;
        result->m_format = &row;
        // The limit is on memory, not pixels: a picture whose samples take more than the
        // largest one at 8 bits does is decoded at 8 bits where the format allows, row by
        // row, and refused otherwise, before any pixel memory exists.
        if (decodedBytes(result->width, result->height, result->pixelFormat) > kMaxDecodedBytes &&
            !result->reduceToEightBits()) {
            delete result;
            return OutOfMemory;
        }
    } else {
        coverEveryIndex(decodedNow);
        result->pixels = std::move(decodedNow);
    }
    *image = result;
    return Ok;
}

std::unique_ptr<GpImage> GpImage::ofPixels(QImage pixels) {
    auto image = std::make_unique<GpImage>();
    image->width = UINT(pixels.width());
    image->height = UINT(pixels.height());
    image->pixelFormat = PixelFormatMap::codeForDecoded(pixels.format());
    image->pixels = std::move(pixels);
    return image;
}

GpStatus GpImage::blank(INT width, INT height, PixelFormat format, GpImage** image) {
    if (!image || width <= 0 || height <= 0)
        return InvalidParameter;
    const QImage::Format storage = PixelFormatMap::storageFormat(format);
    if (storage == QImage::Format_Invalid)
        return InvalidParameter;
    if (std::uint64_t(width) * std::uint64_t(height) > kMaxImagePixels)
        return OutOfMemory;

    // Cleared only when needed: the compositor's first drawing covers the whole bitmap.
    QImage pixels = ImageAllocator::allocate(QSize(width, height), storage,
                                             ImageAllocator::Contents::Undefined);
    if (pixels.isNull())
        return OutOfMemory;
    if (format == PixelFormat1bppIndexed)
        pixels.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    else if (format == PixelFormat4bppIndexed)
        pixels.setColorTable(systemColours16());
    else if (format == PixelFormat8bppIndexed)
        pixels.setColorTable(halftonePalette());

    auto* result = new (std::nothrow) GpImage;
    if (!result)
        return OutOfMemory; // pixels frees the memory
    result->width = UINT(width);
    result->height = UINT(height);
    result->pixelFormat = format;
    result->pixels = std::move(pixels);
    result->m_clearPending = true;
    *image = result;
    return Ok;
}

GpStatus GpImage::onMemory(INT width, INT height, INT stride, PixelFormat format, BYTE* scan0,
                           GpImage** image) {
    if (!image || !scan0 || width <= 0 || height <= 0 || stride <= 0 || stride % 4 != 0)
        return InvalidParameter;
    const QImage::Format storage = PixelFormatMap::storageFormat(format);
    if (storage == QImage::Format_Invalid || format == PixelFormat1bppIndexed ||
        format == PixelFormat4bppIndexed || format == PixelFormat8bppIndexed)
        return InvalidParameter;
    QImage pixels(scan0, width, height, stride, storage);
    if (pixels.isNull() || pixels.bytesPerLine() > stride)
        return InvalidParameter;
    auto* result = new (std::nothrow) GpImage;
    if (!result)
        return OutOfMemory;
    result->width = UINT(width);
    result->height = UINT(height);
    result->pixelFormat = format;
    result->pixels = std::move(pixels);
    *image = result;
    return Ok;
}

void GpImage::clearNow() {
    if (!m_clearPending)
        return;
    m_clearPending = false;
    std::memset(pixels.bits(), 0, std::size_t(pixels.sizeInBytes()));
}
