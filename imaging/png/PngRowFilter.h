#pragma once
// PNG's row filters, and the choice of one for a segment of rows (see PngEncoder).

#include "imaging/png/PngRowSource.h"

#include <cstdint>

struct PngRowFilter {
    enum Filter : std::uint8_t { None = 0, Sub = 1, Up = 2, Average = 3, Paeth = 4 };

    // Filters one row of n bytes (bpp bytes per pixel); prior is the row above (zeros for the
    // first row). out receives n bytes.
    static void apply(Filter filter, const std::uint8_t* row, const std::uint8_t* prior, int n,
                      int bpp, std::uint8_t* out);

    // The filter for a segment: each candidate filters the segment's first rows and is
    // deflated at level as the segment will be; the smallest wins.
    static Filter choose(const PngRowSource& source, int first, int rows, int n, int bpp, int level,
                         const std::uint8_t* zeros);
};
