#include "imaging/jpeg/JpegHuffmanExtension.h"

#include <algorithm>
#include <cmath>

// libjpeg's own length-limited code builder (Annex K.2 of the JPEG standard), exported by every
// libjpeg build since 6b although its declaration lives in a private header.
// NOLINTNEXTLINE(readability-identifier-naming): libjpeg's own name.
extern "C" void jpeg_gen_optimal_table(j_compress_ptr cinfo, JHUFF_TBL* htbl, long freq[]);

namespace {

// The code length of each symbol the table codes; 0 for the others.
std::array<int, 256> codeLengths(const JHUFF_TBL& table) {
    std::array<int, 256> lengths{};
    if (const std::optional<JpegCanonicalCodes> codes = canonicalCodes(table))
        for (int i = 0; i < codes->count; ++i)
            lengths[table.huffval[i]] = codes->sizes[std::size_t(i)];
    return lengths;
}

} // namespace

bool JpegSymbolCounts::codedBy(const JHUFF_TBL& table) const {
    const std::array<int, 256> lengths = codeLengths(table);
    for (std::size_t s = 0; s < symbols.size(); ++s)
        if (symbols[s] != 0 && lengths[s] == 0)
            return false;
    return true;
}

void extendHuffmanTable(j_compress_ptr owner, JHUFF_TBL& table, const JpegSymbolCounts& counts,
                        long blocksInScan) {
    const std::array<int, 256> lengths = codeLengths(table);
    double kraft = 0;
    for (const int length : lengths)
        if (length != 0)
            kraft += std::ldexp(1.0, -length);
    long counted = 0;
    for (const long n : counts.symbols)
        counted += n;
    // A symbol of code length L made up about 2^-L of the scan's symbols.
    const double perBlock = counts.blocks > 0 ? double(counted) / double(counts.blocks) : 1.0;
    const double scanSymbols = std::max(1.0, perBlock * double(std::max(1L, blocksInScan)));
    std::array<long, 257> frequencies{};
    for (std::size_t s = 0; s < 256; ++s) {
        if (lengths[s] != 0)
            frequencies[s] =
                std::max(1L, std::lround(scanSymbols * std::ldexp(1.0, -lengths[s]) / kraft));
        frequencies[s] += counts.symbols[s];
    }
    jpeg_gen_optimal_table(owner, &table, frequencies.data());
}

std::optional<JpegCanonicalCodes> canonicalCodes(const JHUFF_TBL& table) {
    JpegCanonicalCodes result;
    unsigned code = 0;
    for (int length = 1; length <= 16; ++length) {
        for (int i = 0; i < table.bits[length]; ++i) {
            if (result.count == 256)
                return std::nullopt;
            result.codes[std::size_t(result.count)] = std::uint16_t(code++);
            result.sizes[std::size_t(result.count++)] = std::uint8_t(length);
        }
        // The codes of one length must fit in it, and none may be all ones.
        if (code >= (1u << length))
            return std::nullopt;
        code <<= 1;
    }
    return result;
}
