#include "imaging/formats/FormatRow.h"

#include <QIODevice>
#include <QImage>

namespace {

// Lossy at 90, in line with JPEG.
constexpr int kQuality = 90;

bool encode(const QImage& prepared, QIODevice* device, const EncodeChoices&) {
    QImageWriter writer(device, "webp");
    writer.setQuality(kQuality);
    return WriteWithQt(writer, prepared, device);
}

} // namespace

const FormatRow kWebpFormat = {
    .qtFormat = "webp",
    .clsid = ClsidWebpEncoder,
    .formatId = ImageFormatWebp,
    .codecName = L"Built-in WEBP Codec",
    .formatDescription = L"WEBP",
    .filenameExtension = L"*.WEBP",
    .mimeType = L"image/webp",
    .storesEightBitsOnly = true,
    .encode = encode,
};
