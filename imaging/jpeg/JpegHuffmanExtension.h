#pragma once
// A JPEG's own Huffman table, widened to code symbols it had no code for. A photograph saved
// with optimised tables has codes only for the symbols its blocks use; blocks a mark redrew
// often need a few more. Optimising the tables of the whole picture again costs a second pass
// over every block, as long as reading them all; this keeps the table's code lengths as the
// picture's statistics shaped them and gives the new symbols codes beside them, so the copy is
// written in one pass and grows by a few bytes.

#include <cstdio> // jpeglib.h needs FILE and size_t first
#include <jpeglib.h>

#include <array>
#include <cstdint>
#include <optional>

struct JpegSymbolCounts {
    // How often each symbol occurs in the blocks that were coded anew, and in how many blocks.
    std::array<long, 256> symbols{};
    long blocks = 0;

    void add(int symbol) { ++symbols[static_cast<std::size_t>(symbol & 0xFF)]; }
    // Whether table has a code for every counted symbol.
    bool codedBy(const JHUFF_TBL& table) const;
};

// Rebuilds table so that it codes every symbol it coded before and every symbol of counts.
// The picture's own symbol frequencies are estimated from its code lengths, scaled to the
// whole scan: blocksInScan blocks at the counted blocks' symbols per block.
void extendHuffmanTable(j_compress_ptr owner, JHUFF_TBL& table, const JpegSymbolCounts& counts,
                        long blocksInScan);

// The code of each of table's symbols, in the order the table lists them (huffval), as the
// JPEG standard assigns them from the counts of each length; empty for counts no code fits.
struct JpegCanonicalCodes {
    std::array<std::uint16_t, 256> codes{};
    std::array<std::uint8_t, 256> sizes{};
    int count = 0;
};
std::optional<JpegCanonicalCodes> canonicalCodes(const JHUFF_TBL& table);
