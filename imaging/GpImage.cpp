#include "imaging/GpImage.h"

#include "imaging/ImageAllocator.h"
#include "imaging/ImageFileProbe.h"
#include "imaging/JpegDecoder.h"
#include "imaging/PictureFacts.h"
#include "imaging/PixelFormatMap.h"
#include "imaging/PngRowReducer.h"
#include "imaging/PngTransparencyKey.h"

#include <QBuffer>
#include <QImageReader>
#include <QList>
#include <QRgb>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

bool isVectorFormat(const QByteArray& format) {
    return format == "svg" || format == "svgz" || format == "pdf" || format == "eps";
}

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

// A damaged file can hold indices past the end of its palette, and Qt's drawing and
// conversions read the colour table at every index without a check: such pixels would read
// beyond the table. They become opaque black, as for a palette that names no colour there.
void coverEveryIndex(QImage& image) {
    int needed = 0;
    switch (image.format()) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
        needed = 2;
        break;
    case QImage::Format_Indexed8:
        if (image.colorCount() >= 256)
            return;
        for (int y = 0; y < image.height(); ++y) {
            const uchar* line = image.constScanLine(y);
            for (int x = 0; x < image.width(); ++x)
                needed = std::max(needed, line[x] + 1);
        }
        break;
    default:
        return;
    }
    if (image.colorCount() >= needed)
        return;
    QList<QRgb> colours = image.colorTable();
    while (colours.size() < needed)
        colours.append(qRgb(0, 0, 0));
    image.setColorTable(colours);
}

// What the decoded pixels take, from the bits a pixel the format's code states.
std::uint64_t decodedBytes(UINT width, UINT height, PixelFormat format) {
    const std::uint64_t bits = (format >> 8) & 0xFF;
    return std::uint64_t{width} * height * ((bits + 7) / 8);
}

} // namespace

GpStatus GpImage::fromEncoded(QByteArray encoded, GpImage** image) {
    if (!image)
        return InvalidParameter;
    if (encoded.isEmpty())
        return UnknownImageFormat;
    const ImageFileProbe::Result probe = ImageFileProbe::probe(encoded);
    // Our own header reading first: Qt's handlers have limits of their own (BMP stops at
    // 16384 x 16384) and would call a bomb simply unreadable.
    if (probe.width != 0 && probe.height != 0 && probe.width * probe.height > kMaxImagePixels)
        return OutOfMemory;
    if (probe.damaged)
        return GenericError;

    // A JPEG in which no frame header was found is no picture; Qt's reader would search all of
    // it (16 MB of a huge file) to say so.
    if (probe.container == ImageFileProbe::Container::Jpeg && probe.width == 0)
        return UnknownImageFormat;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer); // by content only: a file's name says nothing reliable
    reader.setAutoTransform(true);
    if (!reader.canRead())
        return probe.container == ImageFileProbe::Container::Unknown || probe.complete
                   ? UnknownImageFormat
                   : GenericError;
    const QByteArray format = reader.format();
    if (isVectorFormat(format))
        return UnknownImageFormat;

    QSize size = reader.size();
    // Qt's icon and GIF readers tell the directory's or an early guess's size, not the size of
    // the picture they then decode; our own reading of the embedded picture or canvas is that.
    const bool sizeFromProbe = probe.container == ImageFileProbe::Container::Ico ||
                               probe.container == ImageFileProbe::Container::Gif;
    if (sizeFromProbe && probe.width != 0 && probe.height != 0 && probe.width <= kMaxImagePixels &&
        probe.height <= kMaxImagePixels)
        size = QSize(int(probe.width), int(probe.height));
    QImage decodedNow;
    // Qt's readers of the containers we walk ourselves all tell the size from the header; one
    // that cannot has a header it cannot read, and decoding (through up to 16 MB of a damaged
    // JPEG) would only say so later.
    const bool sizeAlwaysKnown = probe.container != ImageFileProbe::Container::Unknown &&
                                 probe.container != ImageFileProbe::Container::Icns;
    if (!size.isValid() && sizeAlwaysKnown)
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
    result->facts = PictureFacts::read(encoded, reader.transformation() &
                                                    QImageIOHandler::TransformationRotate90);
    result->m_upright = reader.transformation() == QImageIOHandler::TransformationNone;
    result->pixelFormat =
        probe.pixelFormat != PixelFormatUndefined
            ? probe.pixelFormat
            : PixelFormatMap::codeForDecoded(decodedNow.isNull() ? reader.imageFormat()
                                                                 : decodedNow.format());
    buffer.close();
    if (decodedNow.isNull()) {
        result->m_encoded = std::move(encoded);
        result->m_readerFormat = format;
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

bool GpImage::reduceToEightBits() {
    if (m_reducedRows)
        return true;
    if (!pixels.isNull() || m_encoded.isEmpty() || m_decodeStatus != Ok || m_readerFormat != "png")
        return false;
    const PixelFormat reduced = PngRowReducer::reducedFormat(m_encoded);
    if (reduced == PixelFormatUndefined)
        return false;
    pixelFormat = reduced;
    m_reducedRows = true;
    return true;
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

GpStatus GpImage::thumbnail(QSize size, GpImage** image) {
    QImage reduced;
    // A 16-bit PNG is decoded whole: Qt's reader misreads its transparency key, and one read at
    // 8 bits, row by row, already takes no more memory than its 8-bit pixels.
    const bool deepPng =
        m_readerFormat == "png" && (m_reducedRows || ((pixelFormat >> 8) & 0xFF) > 32);
    if (pixels.isNull() && m_decodeStatus == Ok && !deepPng) {
        QBuffer buffer(&m_encoded);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, m_readerFormat);
        reader.setAutoTransform(true);
        // The reader scales the picture as stored, before it turns it upright.
        const bool sideways = reader.transformation() & QImageIOHandler::TransformationRotate90;
        if (m_readerFormat == "jpeg") {
            // Our decoder reduces by the largest of its factors that keeps every pixel of the
            // thumbnail covered, and reports damage as a full decode would.
            m_decodeStatus = JpegDecoder::decode(
                m_encoded, reader.transformation(), QImage::Format_RGB32, &reduced,
                facts ? facts->profile.get() : nullptr, nullptr, size);
            if (m_decodeStatus != Ok)
                return m_decodeStatus;
        } else if (reader.supportsOption(QImageIOHandler::ScaledSize)) {
            reader.setScaledSize(sideways ? size.transposed() : size);
            if (!reader.read(&reduced) || reduced.isNull())
                return GenericError;
        }
    }
    if (reduced.isNull()) {
        const GpStatus status = decode();
        if (status != Ok)
            return status;
        reduced = pixels;
    }
    if (reduced.size() != size)
        reduced = reduced.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (reduced.isNull())
        return OutOfMemory;
    auto* result = new (std::nothrow) GpImage;
    if (!result)
        return OutOfMemory;
    result->width = UINT(reduced.width());
    result->height = UINT(reduced.height());
    result->pixelFormat = PixelFormatMap::codeForDecoded(reduced.format());
    result->facts = facts;
    coverEveryIndex(reduced);
    result->pixels = std::move(reduced);
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

GpStatus GpImage::decode(QImage::Format drawnInto) {
    const GpStatus status = prepareForPainting(drawnInto);
    if (status == Ok)
        clearNow();
    return status;
}

GpStatus GpImage::prepareForPainting(QImage::Format drawnInto) {
    if (!pixels.isNull())
        return Ok;
    if (m_decodeStatus != Ok)
        return m_decodeStatus;

    QImage image;
    if (m_reducedRows) {
        m_decodeStatus = PngRowReducer::read(m_encoded, &image);
        if (m_decodeStatus == Ok)
            settleDecoded(std::move(image), false, false);
        return m_decodeStatus;
    }
    // Qt's reader reads a 16-bit RGB PNG's key wrongly: it is taken out and applied here.
    const std::optional<QRgba64> deepKey =
        m_readerFormat == "png" ? PngTransparencyKey::takeDeepRgbKey(&m_encoded) : std::nullopt;
    QBuffer buffer(&m_encoded);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, m_readerFormat);
    reader.setAutoTransform(true);
    // Handlers that are given an image of the size and format they decode to fill it as it is.
    // Made here, its memory is the fast kind (see ImageAllocator), and Qt's allocation cap,
    // which QT_IMAGEIO_MAXALLOC can lower behind the library's back, is not asked.
    // JPEG has a decoder of its own: Qt's reader does not report damaged scan data.
    const bool jpeg = m_readerFormat == "jpeg";
    JpegDecoder::Colour colour;
    const ColourProfile* profile = facts ? facts->profile.get() : nullptr;
    if (jpeg) {
        m_decodeStatus = JpegDecoder::decode(m_encoded, reader.transformation(), drawnInto, &image,
                                             profile, &colour);
        if (m_decodeStatus != Ok)
            return m_decodeStatus;
    }
    const QSize stored = jpeg ? QSize() : reader.size();
    const QImage::Format storedFormat = reader.imageFormat();
    // GIF and icon readers decode into images of their own, so one made here would only add
    // its size to theirs.
    const bool readerAllocates =
        m_readerFormat == "gif" || m_readerFormat == "ico" || m_readerFormat == "icns";
    if (!readerAllocates && stored.isValid() && storedFormat != QImage::Format_Invalid) {
        // A decoder may leave parts of a damaged picture unwritten, which must then not show
        // an earlier picture's pixels.
        image = ImageAllocator::allocate(stored, storedFormat, ImageAllocator::Contents::Zeroed);
        if (image.isNull()) {
            m_decodeStatus = OutOfMemory;
            return m_decodeStatus;
        }
    }
    if (!jpeg && (!reader.read(&image) || image.isNull())) {
        m_decodeStatus = GenericError;
        return m_decodeStatus;
    }
    // The header promised this size to every caller that already asked; pixels of another
    // size would be drawn or saved wrongly.
    if (UINT(image.width()) != width || UINT(image.height()) != height) {
        m_decodeStatus = GenericError;
        return m_decodeStatus;
    }
    buffer.close();
    if (deepKey)
        image = PngTransparencyKey::apply(std::move(image), *deepKey);
    settleDecoded(std::move(image), colour.cmyk, colour.throughProfile);
    return Ok;
}

void GpImage::settleDecoded(QImage image, bool cmyk, bool throughProfile) {
    facts = PictureFacts::settle(facts, image, cmyk, throughProfile);
    coverEveryIndex(image);
    pixels = std::move(image);
    m_encoded = QByteArray();
}
