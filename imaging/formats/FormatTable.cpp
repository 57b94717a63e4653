#include "imaging/formats/FormatTable.h"

#include <QIODevice>

#include <array>

namespace {

// AVIF before HEIC: both are HEIF files, told apart by their brands.
constexpr std::array<const FormatRow*, 15> kRows = {
    &kBmpFormat,  &kJpegFormat,       &kTiffFormat,       &kPngFormat,        &kWebpFormat,
    &kAvifFormat, &kJxlFormat,        &kHeicFormat,       &kGifFormat,        &kIcoFormat,
    &kIcnsFormat, &kVectorFormats[0], &kVectorFormats[1], &kVectorFormats[2], &kVectorFormats[3],
};

} // namespace

std::span<const FormatRow* const> FormatTable::rows() {
    return kRows;
}

const FormatRow& FormatTable::forReader(const QByteArray& qtFormat) {
    for (const FormatRow* row : kRows)
        if (qtFormat == row->qtFormat)
            return *row;
    return kOtherQtFormat;
}

const FormatRow* FormatTable::ownCodecOf(const QByteArray& head) {
    for (const FormatRow* row : kRows)
        if (row->decode == DecodeRoute::OwnCodec && row->sniffs != nullptr && row->sniffs(head))
            return row;
    return nullptr;
}

bool WriteWithQt(QImageWriter& writer, const QImage& prepared, QIODevice* device) {
    return writer.write(prepared) && device->size() > 0;
}
