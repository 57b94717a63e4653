#pragma once
// The photograph's own Huffman tables kept for its stamped copy (see JpegCoefficientStamp).

#include "imaging/jpeg/JpegHuffmanExtension.h"
#include "imaging/jpeg/JpegMcuGrid.h"

#include <optional>

struct JpegOwnTables {
    // The symbols of the copy's single sequential scan that may be new once the MCUs in
    // `changed` (MCU units) were replaced, per Huffman table: every DC difference, the blocks
    // of the changed MCUs, and every block unless the file was read by our own walk (which
    // takes only blocks coded as libjpeg codes them). A symbol missed here would be written
    // with a code of no bits, a corrupt copy that nothing reports.
    struct NewSymbols {
        std::array<JpegSymbolCounts, NUM_HUFF_TBLS> dc;
        std::array<JpegSymbolCounts, NUM_HUFF_TBLS> ac;
    };
    // Empty when the copy's scans are not one sequential scan of every component in the
    // picture's order, the only scans that can keep the picture's tables.
    static std::optional<NewSymbols> newSymbols(jpeg_decompress_struct& picture,
                                                const JpegCoefficients& blocks,
                                                const JpegMcuGrid& grid, const QRect& changed,
                                                bool asTheFileCodesThem);
    // The copy takes the picture's Huffman tables and which component uses which, each widened
    // to the new symbols it lacks codes for: written in one pass, where optimised tables cost a
    // second pass over every block (as long as reading them all).
    static void keep(const jpeg_decompress_struct& picture, jpeg_compress_struct& copy,
                     const NewSymbols& symbols);
    // Every symbol a baseline scan of 8-bit samples can hold, each as rare as can be: the
    // picture's tables widened to these code any block at all (most cameras' tables already
    // do), at no cost to the codes the picture's own blocks use most.
    static NewSymbols everySymbol();
};
