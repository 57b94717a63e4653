#include "imaging/formats/FormatTable.h"

#include <QIODevice>

#include <array>

namespace {

constexpr std::array<const FormatRow*, 12> kRows = {
    &kBmpFormat,        &kJpegFormat,       &kTiffFormat,       &kPngFormat,
    &kWebpFormat,       &kGifFormat,        &kIcoFormat,        &kIcnsFormat,
    &kVectorFormats[0], &kVectorFormats[1], &kVectorFormats[2], &kVectorFormats[3],
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

bool WriteWithQt(QImageWriter& writer, const QImage& prepared, QIODevice* device) {
    return writer.write(prepared) && device->size() > 0;
}
