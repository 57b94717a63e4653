#include "imaging/formats/ImageSaver.h"

#include "imaging/GpImage.h"
#include "imaging/files/CheckedWriter.h"
#include "imaging/files/LocaleText.h"
#include "imaging/files/ReplacingFile.h"
#include "imaging/metadata/PictureFacts.h"

#include <QBuffer>
#include <QFile>

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

bool ImageSaver::storesEightBitsOnly(const CLSID& encoder) {
    const EncoderEntry* entry = EncoderTable::instance().find(encoder);
    return entry != nullptr && entry->storesEightBitsOnly;
}

std::uint64_t ImageSaver::encoderBytes(const CLSID& encoder, UINT width, UINT height) {
    const EncoderEntry* entry = EncoderTable::instance().find(encoder);
    return entry == nullptr ? 0 : std::uint64_t(width) * height * entry->encoderBytesPerPixel;
}

QImage ImageSaver::prepare(const QImage& pixels, const FormatRow& format) {
    if (format.dropsAlpha && pixels.hasAlphaChannel()) {
        // The stored colour is kept, as the Windows library does for JPEG, so a blank
        // (all-zero) area comes out black.
        if (pixels.format() == QImage::Format_ARGB32) {
            // The same words read as RGB32, without a copy of a picture that may be gigabytes:
            // the caller keeps pixels alive while the view is encoded.
            return QImage(pixels.constBits(), pixels.width(), pixels.height(),
                          pixels.bytesPerLine(), QImage::Format_RGB32);
        }
        QImage straight = pixels.convertToFormat(QImage::Format_ARGB32);
        straight.reinterpretAsFormat(QImage::Format_RGB32);
        return straight;
    }
    if (format.storesEightBitsOnly && isWide(pixels.format())) {
        if (pixels.format() == QImage::Format_Grayscale16)
            return pixels.convertToFormat(QImage::Format_Grayscale8);
        return pixels.convertToFormat(pixels.hasAlphaChannel() ? QImage::Format_ARGB32
                                                               : QImage::Format_RGB32);
    }
    return pixels;
}

bool ImageSaver::encode(const QImage& pixels, const FormatRow& format, QIODevice* device,
                        const std::optional<JpegCoding>& coding, EncodeOverrides overrides,
                        const PictureFacts* facts, MetadataKept kept) {
    const QImage prepared = prepare(pixels, format);
    if (prepared.isNull() || format.encode == nullptr)
        return false;
    const bool lossless = facts != nullptr && facts->storedLosslessly;
    std::optional<TiffCoding> tiff = facts != nullptr ? facts->tiffCoding : std::nullopt;
    if (overrides.uncompressedTiff)
        tiff = TiffCoding{};
    return format.encode(prepared, device,
                         EncodeChoices{coding, overrides.jpegQuality, lossless, tiff, facts, kept});
}

GpStatus ImageSaver::check(GpImage* image, const WCHAR* path, const CLSID* clsid,
                           const EncoderEntry** encoder, QByteArray* bytes) {
    if (!path)
        return InvalidParameter;
    const auto local = FromWideText(path);
    if (local)
        *bytes = QByteArray::fromStdString(*local);
    return check(image, local ? bytes : nullptr, clsid, encoder);
}

GpStatus ImageSaver::check(GpImage* image, const QByteArray* path, const CLSID* clsid,
                           const EncoderEntry** encoder) {
    if (!image || !clsid)
        return InvalidParameter;
    *encoder = EncoderTable::instance().find(*clsid);
    if (!*encoder)
        return FileNotFound;
    if (!path)
        return InvalidParameter;
    return image->decode();
}

GpStatus ImageSaver::save(const QImage& pixels, const PictureFacts* facts, const QByteArray& path,
                          const EncoderEntry& encoder, MetadataKept kept) {
    if (path.isEmpty())
        return InvalidParameter;
    ReplacingFile target(path);
    const GpStatus encoded = encodeInto(pixels, facts, target, encoder, nullptr, kept);
    if (encoded != Ok)
        return encoded;
    return target.commit() ? Ok : Win32Error;
}

GpStatus ImageSaver::encodeInto(const QImage& pixels, const PictureFacts* facts, AtomicFile& target,
                                const EncoderEntry& encoder, const std::atomic<bool>* abandon,
                                MetadataKept kept, EncodeOverrides overrides) {
    if (!target.open())
        return Win32Error;
    QFile file;
    if (!file.open(target.handle(), QIODevice::WriteOnly | QIODevice::Unbuffered,
                   QFileDevice::DontCloseHandle)) {
        target.cancel();
        return Win32Error;
    }
    // Straight into the temporary file, with every write checked: some Qt writers ignore a
    // short write (a full disk) and would report success. (Encoding into memory first cost a
    // second copy of the picture: 72 MB for a 24 MP TIFF.)
    CheckedWriter device(&file, abandon);
    bool encoded = false;
    if (facts == nullptr || encoder.embedsRecords ||
        (!encoder.recordsInEncodedBytes && !facts->hasRecordsFor(kept))) {
        encoded = encode(pixels, encoder, &device, std::nullopt, overrides, facts, kept);
        if (encoded && facts != nullptr && !encoder.embedsRecords && !device.failed())
            encoded = Resolution::writeTiff(target.handle(), facts->resolution);
    } else {
        // The facts are written into the encoder's file, which therefore is made in memory
        // first: a second copy of the encoded picture for as long as the save takes.
        QImage converted;
        const bool toSrgb = encoder.srgbForViewers && facts->profile && !facts->profile->isSrgb();
        if (toSrgb) {
            converted = pixels.copy();
            if (converted.isNull() || !facts->profile->toSrgb(converted))
                converted = QImage();
        }
        // Room for an uncompressed file up front: growing the buffer as the encoder writes
        // copied a 72 MB TIFF several times over (0.1 s of a 24 MP picture's 0.2 s).
        QByteArray bytes;
        bytes.reserve(qsizetype(pixels.sizeInBytes()) + (qsizetype(1) << 20));
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        // A grey photograph stays grey unless its profile or its mark gave it colours, which
        // grey tables would drop.
        const bool keepsCoding =
            facts->jpegCoding &&
            (!facts->jpegCoding->grey || (facts->profile == nullptr && pixels.allGray()));
        encoded = encode(converted.isNull() ? pixels : converted, encoder, &buffer,
                         keepsCoding ? facts->jpegCoding : std::nullopt, overrides, facts);
        buffer.close();
        if (encoded) {
            PictureFacts::writeInto(bytes, *facts, kept, pixels.size());
            encoded = !bytes.isEmpty() && device.write(bytes) == bytes.size();
        }
    }
    file.close();
    if (!encoded || device.failed()) {
        target.cancel(device.error());
        if (abandon != nullptr && abandon->load())
            return Aborted;
        return device.failed() ? Win32Error : GenericError;
    }
    return Ok;
}
