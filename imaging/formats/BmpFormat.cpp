#include "imaging/formats/FormatRow.h"

#include <QIODevice>
#include <QImage>

namespace {

bool encode(const QImage& prepared, QIODevice* device, const EncodeChoices&) {
    QImageWriter writer(device, "bmp");
    return WriteWithQt(writer, prepared, device);
}

} // namespace

// BMP viewers read no colour profile, and BMP copies keep no records.
const FormatRow kBmpFormat = {
    .qtFormat = "bmp",
    .clsid = ClsidBmpEncoder,
    .formatId = ImageFormatBmp,
    .codecName = L"Built-in BMP Codec",
    .formatDescription = L"BMP",
    .filenameExtension = L"*.BMP;*.DIB;*.RLE",
    .mimeType = L"image/bmp",
    .storesEightBitsOnly = true,
    .srgbForViewers = true,
    .encode = encode,
};
