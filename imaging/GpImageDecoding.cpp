#include "imaging/GpImage.h"

#include "imaging/ImageAllocator.h"
#include "imaging/PixelFormatMap.h"
#include "imaging/formats/FormatTable.h"
#include "imaging/jpeg/JpegDecoder.h"
#include "imaging/metadata/PictureFacts.h"
#include "imaging/png/PngRowReducer.h"
#include "imaging/png/PngTransparencyKey.h"

#include <QBuffer>
#include <QImageReader>
#include <QList>
#include <QRgb>

#include <algorithm>
#include <new>

bool GpImage::reduceToEightBits() {
    if (m_reducedRows)
        return true;
    if (!pixels.isNull() || m_encoded.isEmpty() || m_decodeStatus != Ok)
        return false;
    if (m_format->decode == DecodeRoute::OwnCodec) {
        // The codec gives 8-bit samples straight from its deeper ones.
        if (PixelFormatMap::bitsPerPixel(pixelFormat) <= 32)
            return false;
        pixelFormat = PixelFormatMap::codeForDecoded(
            pixelFormat == PixelFormat64bppARGB ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        m_reducedRows = true;
        return true;
    }
    if (!m_format->readsRowsAtEightBits)
        return false;
    const PixelFormat reduced = PngRowReducer::reducedFormat(m_encoded);
    if (reduced == PixelFormatUndefined)
        return false;
    pixelFormat = reduced;
    m_reducedRows = true;
    return true;
}

GpStatus GpImage::thumbnail(QSize size, GpImage** image) {
    QImage reduced;
    // A 16-bit PNG is decoded whole: Qt's reader misreads its transparency key, and one read at
    // 8 bits, row by row, already takes no more memory than its 8-bit pixels.
    const bool deepPng = m_format->readsRowsAtEightBits &&
                         (m_reducedRows || PixelFormatMap::bitsPerPixel(pixelFormat) > 32);
    const bool ownCodec = m_format->decode == DecodeRoute::OwnCodec;
    if (pixels.isNull() && m_decodeStatus == Ok && !deepPng && !ownCodec) {
        QBuffer buffer(&m_encoded);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, m_readerFormat);
        reader.setAutoTransform(true);
        // The reader scales the picture as stored, before it turns it upright.
        const bool sideways = reader.transformation() & QImageIOHandler::TransformationRotate90;
        if (m_format->decode == DecodeRoute::Jpeg) {
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
    coverEveryIndex(reduced);
    std::unique_ptr<GpImage> result;
    try {
        result = ofPixels(std::move(reduced));
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    }
    result->facts = facts;
    *image = result.release();
    return Ok;
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
    if (m_format->decode == DecodeRoute::OwnCodec) {
        m_decodeStatus = m_format->decodeOwn(m_encoded, &image, kMaxImagePixels, m_reducedRows);
        // The header promised this size to every caller that already asked.
        if (m_decodeStatus == Ok &&
            (UINT(image.width()) != width || UINT(image.height()) != height))
            m_decodeStatus = GenericError;
        if (m_decodeStatus == Ok)
            settleDecoded(std::move(image), false, false);
        return m_decodeStatus;
    }
    if (m_reducedRows) {
        m_decodeStatus = PngRowReducer::read(m_encoded, &image);
        if (m_decodeStatus == Ok)
            settleDecoded(std::move(image), false, false);
        return m_decodeStatus;
    }
    // Qt's reader reads a 16-bit RGB PNG's key wrongly: it is taken out and applied here.
    const std::optional<QRgba64> deepKey =
        m_format->takesOutDeepKey ? PngTransparencyKey::takeDeepRgbKey(&m_encoded) : std::nullopt;
    QBuffer buffer(&m_encoded);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, m_readerFormat);
    reader.setAutoTransform(true);
    // Handlers that are given an image of the size and format they decode to fill it as it is.
    // Made here, its memory is the fast kind (see ImageAllocator), and Qt's allocation cap,
    // which QT_IMAGEIO_MAXALLOC can lower behind the library's back, is not asked.
    const bool jpeg = m_format->decode == DecodeRoute::Jpeg;
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
    const bool readerAllocates = m_format->decode == DecodeRoute::QtAllocates;
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

// A damaged file can hold indices past the end of its palette, and Qt's drawing and
// conversions read the colour table at every index without a check: such pixels would read
// beyond the table. They become opaque black, as for a palette that names no colour there.
void GpImage::coverEveryIndex(QImage& image) {
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
