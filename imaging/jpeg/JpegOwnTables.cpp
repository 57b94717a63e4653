#include "imaging/jpeg/JpegOwnTables.h"

#include "imaging/jpeg/JpegScanWalk.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

int magnitudeBits(int value) {
    int bits = 0;
    for (unsigned v = unsigned(value < 0 ? -value : value); v != 0; v >>= 1)
        ++bits;
    return bits;
}

} // namespace

std::optional<JpegOwnTables::NewSymbols>
JpegOwnTables::newSymbols(jpeg_decompress_struct& picture, const JpegCoefficients& blocks,
                          const JpegMcuGrid& grid, const QRect& changed, bool asTheFileCodesThem) {
    // The scans that can keep their tables are those our own reading takes: one sequential
    // scan of every component (one component only at 1x1, as it is scanned block by block
    // whatever its sampling, and the walk below follows MCUs).
    if (!JpegScanWalk::suits(picture))
        return std::nullopt;
    NewSymbols found;
    const auto owner = reinterpret_cast<j_common_ptr>(&picture);
    const int columns = grid.columns(QRect(0, 0, grid.width, grid.height));
    const int rows = grid.rows(QRect(0, 0, grid.width, grid.height));
    const unsigned interval = picture.restart_interval;
    for (int c = 0; c < picture.num_components; ++c) {
        const jpeg_component_info& component = picture.comp_info[c];
        JpegSymbolCounts& dc = found.dc[std::size_t(component.dc_tbl_no)];
        JpegSymbolCounts& ac = found.ac[std::size_t(component.ac_tbl_no)];
        // Blocks past the picture's edge inside an MCU are written as copies of the DC before,
        // whatever the file held there: the DC difference after them changes in every MCU row
        // that has them, which is why every row's DC differences are counted, not only those
        // next to the mark.
        dc.add(0);
        ac.add(0);
        const int h = component.h_samp_factor;
        const int v = component.v_samp_factor;
        const int lastRealColumn = int(component.width_in_blocks) - 1;
        int before = 0;
        for (int row = 0; row < rows; ++row) {
            for (int column = 0; column < columns; ++column) {
                const long mcu = long(row) * columns + column;
                if (interval != 0 && mcu % interval == 0)
                    before = 0;
                // A block libjpeg read may be coded otherwise than the file coded it (a run of
                // zeros past the last coefficient lands on it); one our walk read is not.
                const bool recoded = !asTheFileCodesThem || changed.contains(column, row);
                for (int y = row * v; y < (row + 1) * v; ++y) {
                    if (y >= int(component.height_in_blocks))
                        continue;
                    const JBLOCKROW line = JpegMcuGrid::blockRow(owner, blocks, c, y);
                    for (int x = column * h; x < (column + 1) * h && x <= lastRealColumn; ++x) {
                        const JCOEF* block = line[x];
                        dc.add(magnitudeBits(block[0] - before));
                        ++dc.blocks;
                        before = block[0];
                        if (!recoded)
                            continue;
                        ++ac.blocks;
                        int run = 0;
                        for (int k = 1; k < 64; ++k) {
                            const int value = block[kJpegCodingOrder[std::size_t(k)]];
                            if (value == 0) {
                                ++run;
                                continue;
                            }
                            for (; run > 15; run -= 16)
                                ac.add(0xF0);
                            ac.add((run << 4) | magnitudeBits(value));
                            run = 0;
                        }
                        if (run > 0)
                            ac.add(0x00);
                    }
                }
            }
        }
    }
    return found;
}

void JpegOwnTables::keep(const jpeg_decompress_struct& picture, jpeg_compress_struct& copy,
                         const NewSymbols& symbols) {
    const auto owner = reinterpret_cast<j_common_ptr>(&copy);
    const auto take = [&](JHUFF_TBL* from, JHUFF_TBL*& to) {
        if (from == nullptr)
            return;
        if (to == nullptr)
            to = jpeg_alloc_huff_table(owner);
        std::memcpy(to->bits, from->bits, sizeof(to->bits));
        std::memcpy(to->huffval, from->huffval, sizeof(to->huffval));
        to->sent_table = FALSE;
    };
    // The blocks each table codes in the whole scan, to weigh the picture's statistics.
    const auto blocksOf = [&](int jpeg_component_info::*tableOf, std::size_t n) {
        long blocks = 0;
        for (int c = 0; c < picture.num_components; ++c) {
            const jpeg_component_info& component = picture.comp_info[c];
            if (std::size_t(component.*tableOf) == n)
                blocks += long(component.width_in_blocks) * long(component.height_in_blocks);
        }
        return blocks;
    };
    const auto widen = [&](JHUFF_TBL* table, const JpegSymbolCounts& counts, long blocksInScan) {
        if (table != nullptr && !counts.codedBy(*table))
            extendHuffmanTable(&copy, *table, counts, blocksInScan);
    };
    for (std::size_t n = 0; n < NUM_HUFF_TBLS; ++n) {
        take(picture.dc_huff_tbl_ptrs[n], copy.dc_huff_tbl_ptrs[n]);
        take(picture.ac_huff_tbl_ptrs[n], copy.ac_huff_tbl_ptrs[n]);
        widen(copy.dc_huff_tbl_ptrs[n], symbols.dc[n],
              blocksOf(&jpeg_component_info::dc_tbl_no, n));
        widen(copy.ac_huff_tbl_ptrs[n], symbols.ac[n],
              blocksOf(&jpeg_component_info::ac_tbl_no, n));
    }
    for (int c = 0; c < picture.num_components; ++c) {
        copy.comp_info[c].dc_tbl_no = picture.comp_info[c].dc_tbl_no;
        copy.comp_info[c].ac_tbl_no = picture.comp_info[c].ac_tbl_no;
    }
}

JpegOwnTables::NewSymbols JpegOwnTables::everySymbol() {
    JpegSymbolCounts dc;
    for (int size = 0; size <= 11; ++size)
        dc.add(size);
    JpegSymbolCounts ac;
    ac.add(0x00); // end of block
    ac.add(0xF0); // sixteen zeros
    for (int run = 0; run < 16; ++run)
        for (int size = 1; size <= 10; ++size)
            ac.add(run << 4 | size);
    // Counted as if these symbols came from a few blocks of about twenty symbols each, as a
    // photograph's blocks hold: the picture's own codes keep their lengths, the new ones come
    // out longest.
    dc.blocks = 1;
    ac.blocks = 8;
    NewSymbols symbols;
    symbols.dc.fill(dc);
    symbols.ac.fill(ac);
    return symbols;
}
