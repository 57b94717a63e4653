#pragma once
// The coefficient stamp's encode step (see JpegCoefficientStamp): the MCUs under the mark
// decoded, drawn on and encoded again with the picture's own tables and sampling.

#include "imaging/GdiPlus.h"
#include "imaging/jpeg/JpegMcuGrid.h"

#include <QRectF>

#include <cstdint>

struct JpegCoding;

struct JpegMcuStamping {
    jpeg_decompress_struct& picture;
    const JpegCoefficients& blocks;
    const JpegMcuGrid& grid;
    const JpegCoding& coding;

    // Decodes the MCUs around area, draws the mark on them and puts those it changed back into
    // the picture's blocks, encoded with its tables. The MCUs changed (MCU units; empty when
    // none).
    QRect operator()(const QRect& area, GpImage* mark, const QRectF& destination,
                     const QRectF& source) const;

    // Bytes of coefficients and pixels held at once while stamping area: the picture's
    // blocks in the rows around it, the decoded MCUs around it twice (as decoded and drawn
    // on) and their blocks. With everyRow, every row's blocks (a copy coded whole).
    std::uint64_t bytesHeld(const QRect& area, bool everyRow = false) const;

    // The picture's blocks, as libjpeg reads them.
    static JpegCoefficients coefficientsOf(jpeg_decompress_struct& info);
};
