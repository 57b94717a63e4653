#pragma once
// The bookkeeping of a JPEG's coefficients by MCU (the unit of blocks of every component that
// covers one area; see JpegCoefficientStamp): the MCU grid in pixels, rows of blocks, and
// copies of whole MCUs between two sets of coefficients.

#include "imaging/jpeg/JpegSession.h"

#include <QPoint>
#include <QRect>

#include <algorithm>
#include <array>

using JpegCoefficients = std::array<jvirt_barray_ptr, MAX_COMPONENTS>;

// The order in which a block's coefficients are coded (zigzag), as indices in the block.
inline constexpr std::array<int, 64> kJpegCodingOrder = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// The picture's MCU grid, in pixels.
struct JpegMcuGrid {
    int mcuWidth = 8;
    int mcuHeight = 8;
    int width = 0;
    int height = 0;

    explicit JpegMcuGrid(const jpeg_decompress_struct& info)
        : mcuWidth(info.max_h_samp_factor * DCTSIZE), mcuHeight(info.max_v_samp_factor * DCTSIZE),
          width(int(info.image_width)), height(int(info.image_height)) {}

    // The whole MCUs that area touches and `around` more on every side, within the picture.
    QRect widened(const QRect& area, int around) const {
        const int left = std::max(0, (area.left() / mcuWidth - around) * mcuWidth);
        const int top = std::max(0, (area.top() / mcuHeight - around) * mcuHeight);
        const int right = std::min(width, (area.right() / mcuWidth + 1 + around) * mcuWidth);
        const int bottom = std::min(height, (area.bottom() / mcuHeight + 1 + around) * mcuHeight);
        return QRect(left, top, right - left, bottom - top);
    }
    int columns(const QRect& area) const { return (area.width() + mcuWidth - 1) / mcuWidth; }
    int rows(const QRect& area) const { return (area.height() + mcuHeight - 1) / mcuHeight; }

    // One row of a component's blocks; rows are taken one at a time, which every array allows.
    static JBLOCKROW blockRow(j_common_ptr owner, jvirt_barray_ptr blocks, JDIMENSION row,
                              bool writing);
    static JBLOCKROW blockRow(j_common_ptr owner, const JpegCoefficients& blocks, int component,
                              int row);
};

// Copies a rectangle of whole MCUs (in MCU units) between two coefficient sets of the same
// sampling.
struct JpegMcuCopy {
    j_common_ptr from;
    const JpegCoefficients& fromBlocks;
    QPoint fromMcu;
    j_common_ptr to;
    const JpegCoefficients& toBlocks;
    QPoint toMcu;

    void operator()(const jpeg_component_info* components, int count, const QRect& mcus) const;
};
