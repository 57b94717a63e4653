#include "imaging/formats/FormatRow.h"
#include "imaging/png/PngEncoder.h"

#include <QIODevice>
#include <QImage>

namespace {

// zlib level 1 (see PngEncoder for how it was chosen).
constexpr int kCompressionLevel = 1;

bool encode(const QImage& prepared, QIODevice* device, const EncodeChoices&) {
    if (PngEncoder::handles(prepared))
        return PngEncoder::encode(prepared, kCompressionLevel, device);
    QImageWriter writer(device, "png");
    // Qt takes PNG compression on a 0-100 scale and maps it onto zlib's levels as
    // value * 9 / 91; passing a zlib level directly gives level 0, stored blocks.
    writer.setCompression((kCompressionLevel * 91 + 8) / 9);
    return WriteWithQt(writer, prepared, device);
}

} // namespace

const FormatRow kPngFormat = {
    .qtFormat = "png",
    .clsid = ClsidPngEncoder,
    .formatId = ImageFormatPng,
    .codecName = L"Built-in PNG Codec",
    .formatDescription = L"PNG",
    .filenameExtension = L"*.PNG",
    .mimeType = L"image/png",
    .encode = encode,
    .readsRowsAtEightBits = true,
    .takesOutDeepKey = true,
};
