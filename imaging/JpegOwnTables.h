#pragma once
// The photograph's own Huffman tables kept for its stamped copy (see JpegCoefficientStamp).

#include "imaging/JpegMcuGrid.h"

struct JpegOwnTables {
    // Whether the picture's own Huffman tables code every symbol the copy's single sequential scan
    // holds once the MCUs in `changed` (MCU units) were replaced: the copy can then keep them and
    // be written in one pass. Optimised tables cost a second pass over every block, slower than
    // reading them all (0.13 s of a 24 MP picture's 0.17 s). Only the changed MCUs' blocks and the
    // DC differences of their MCU rows and the row after are new; the rest was coded so already.
    static bool code(jpeg_decompress_struct& picture, const JpegCoefficients& blocks,
                     const JpegMcuGrid& grid, const QRect& changed);
    // The copy takes the picture's Huffman tables and which component uses which.
    static void keep(const jpeg_decompress_struct& picture, jpeg_compress_struct& copy);
};
