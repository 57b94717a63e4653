#include "imaging/formats/FormatRow.h"
#include "imaging/formats/JxlCodec.h"
#include "imaging/metadata/PictureFacts.h"

#include <QImage>

namespace {

bool encode(const QImage& prepared, QIODevice* device, const EncodeChoices& choices) {
    JxlCodec::Records records;
    if (choices.facts != nullptr) {
        if (choices.facts->profile && !choices.facts->profile->isSrgb())
            records.icc = choices.facts->profile->bytes();
        const PictureMetadata::Blocks blocks =
            PictureMetadata::blocksOf(choices.facts->metadata.get(), choices.kept, prepared.size());
        records.exif = blocks.exif;
        records.xmp = blocks.xmp;
    }
    return JxlCodec::encode(prepared, device, choices.quality, choices.lossless, records);
}

} // namespace

const FormatRow kJxlFormat = {
    .qtFormat = "jxl",
    .clsid = ClsidJxlEncoder,
    .formatId = ImageFormatJxl,
    .codecName = L"Built-in JPEG XL Codec",
    .formatDescription = L"JPEG XL",
    .filenameExtension = L"*.JXL",
    .mimeType = L"image/jxl",
    .recordsInEncodedBytes = false,
    .embedsRecords = true,
    // libjxl at effort 7: 2097 MB for 24 MP lossy, 1440 MB lossless (at effort 3).
    .encoderBytesPerPixel = 88,
    .installed = [] { return true; },
    .encode = encode,
    .decode = DecodeRoute::OwnCodec,
    .sniffs = JxlCodec::sniffs,
    .readHeader = JxlCodec::readHeader,
    .decodeOwn = JxlCodec::decode,
};
