#include "imaging/formats/FormatRow.h"
#include "imaging/formats/HeifCodec.h"
#include "imaging/metadata/PictureFacts.h"

#include <QImage>

namespace {

HeifCodec::Records recordsOf(const QImage& prepared, const EncodeChoices& choices) {
    HeifCodec::Records records;
    if (choices.facts == nullptr)
        return records;
    // Tagged as the other formats' copies are, sRGB included.
    if (choices.facts->profile)
        records.icc = choices.facts->profile->bytes();
    const PictureMetadata::Blocks blocks =
        PictureMetadata::blocksOf(choices.facts->metadata.get(), choices.kept, prepared.size());
    records.exif = blocks.exif;
    records.xmp = blocks.xmp;
    return records;
}

// Always lossy: AV1's and HEVC's lossless coding of a photograph is larger than its PNG, and
// slower by far; who wants a lossless copy writes PNG, WebP or JPEG XL.
bool encodeAvif(const QImage& prepared, QIODevice* device, const EncodeChoices& choices) {
    return HeifCodec::encode(prepared, device, HeifCodec::Coding::Av1, choices.quality, false,
                             recordsOf(prepared, choices));
}

bool encodeHeic(const QImage& prepared, QIODevice* device, const EncodeChoices& choices) {
    return HeifCodec::encode(prepared, device, HeifCodec::Coding::Hevc, choices.quality, false,
                             recordsOf(prepared, choices));
}

} // namespace

const FormatRow kAvifFormat = {
    .qtFormat = "avif",
    .clsid = ClsidAvifEncoder,
    .formatId = ImageFormatAvif,
    .codecName = L"Built-in AVIF Codec",
    .formatDescription = L"AVIF",
    .filenameExtension = L"*.AVIF",
    .mimeType = L"image/avif",
    .recordsInEncodedBytes = false,
    .embedsRecords = true,
    .encoderBytesPerPixel = 23, // libaom at speed 7: 539 MB for 24 MP
    .installed = [] { return HeifCodec::canEncode(HeifCodec::Coding::Av1); },
    .encode = encodeAvif,
    .decode = DecodeRoute::OwnCodec,
    .sniffs =
        [](const QByteArray& head) {
            return HeifCodec::sniffs(head) && HeifCodec::codingOf(head) == HeifCodec::Coding::Av1;
        },
    .readHeader = HeifCodec::readHeader,
    .decodeOwn = HeifCodec::decode,
};

const FormatRow kHeicFormat = {
    .qtFormat = "heic",
    .clsid = ClsidHeicEncoder,
    .formatId = ImageFormatHeic,
    .codecName = L"Built-in HEIC Codec",
    .formatDescription = L"HEIC",
    .filenameExtension = L"*.HEIC;*.HEIF;*.HIF",
    .mimeType = L"image/heic",
    .recordsInEncodedBytes = false,
    .embedsRecords = true,
    .encoderBytesPerPixel = 17, // x265's "fast" preset: 395 MB for 24 MP
    .installed = [] { return HeifCodec::canEncode(HeifCodec::Coding::Hevc); },
    .encode = encodeHeic,
    .decode = DecodeRoute::OwnCodec,
    .sniffs = HeifCodec::sniffs,
    .readHeader = HeifCodec::readHeader,
    .decodeOwn = HeifCodec::decode,
};
