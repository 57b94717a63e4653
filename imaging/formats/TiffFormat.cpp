#include "imaging/formats/FormatRow.h"

#include <QIODevice>
#include <QImage>

namespace {

// A TIFF picture's copy keeps its coding; others get Deflate with the horizontal predictor, which
// every TIFF reader knows. Measured on 24 MP photo-like pictures (one smooth, one noisy; best of
// 3 on a loaded machine, so times are rough): none 72.0 MB in 0.1-0.2 s; LZW alone 75.3 and
// 84.0 MB; LZW with the predictor 28.4 and 68.7 MB in 1.5-4 s; Deflate (zlib level 1) with it
// 31.3 and 54.5 MB in 1.7-2.8 s; ZSTD with it 26.9 and 52.0 MB in 1.0-3.6 s, but many readers
// (Photoshop, macOS) do not open ZSTD TIFFs, so it is kept only where the picture had it.
constexpr TiffCoding kFresh = {8, 2};

bool encode(const QImage& prepared, QIODevice* device, const EncodeChoices& choices) {
    const TiffCoding coding = choices.tiff.value_or(kFresh);
    if (TiffStripWriter::takes(prepared) && TiffStripWriter::writes(coding))
        return TiffStripWriter::write(prepared, device, coding);
    // Palettes and one-bit pictures, and codings libtiff here cannot write: Qt's writer, which
    // has LZW (without a predictor) and none.
    QImageWriter writer(device, "tiff");
    writer.setCompression(coding.compression == 5 ? 1 : 0);
    return WriteWithQt(writer, prepared, device);
}

} // namespace

const FormatRow kTiffFormat = {
    .qtFormat = "tiff",
    .clsid = ClsidTiffEncoder,
    .formatId = ImageFormatTiff,
    .codecName = L"Built-in TIFF Codec",
    .formatDescription = L"TIFF",
    .filenameExtension = L"*.TIF;*.TIFF",
    .mimeType = L"image/tiff",
    .recordsInEncodedBytes = false,
    .encode = encode,
};
