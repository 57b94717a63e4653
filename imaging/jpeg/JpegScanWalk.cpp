#include "imaging/jpeg/JpegScanWalk.h"

#include "imaging/jpeg/JpegHuffmanExtension.h"
#include "imaging/jpeg/JpegSession.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

constexpr int kLookBits = 10;
// Blocks only walked past are read two coefficients a step where both codes and values fit.
constexpr int kPairBits = 12;

// A value of size bits as the JPEG standard codes it: the lower half stands for negatives.
int extended(std::uint32_t bits, int size) {
    const int value = int(bits);
    return value < (1 << (size - 1)) ? value - (1 << size) + 1 : value;
}

// A Huffman table for decoding: codes up to kLookBits long straight from a table of every
// kLookBits-bit prefix, longer ones by the largest code of each length (as libjpeg decodes).
class Decoding {
  public:
    bool build(const JHUFF_TBL* table, int largestSymbol) {
        if (table == nullptr)
            return false;
        const std::optional<JpegCanonicalCodes> codes = canonicalCodes(*table);
        if (!codes)
            return false;
        m_look.fill(0);
        m_largest.fill(-1);
        for (int i = 0; i < codes->count; ++i) {
            const int symbol = table->huffval[i];
            if (symbol > largestSymbol)
                return false;
            m_symbols[std::size_t(i)] = std::uint8_t(symbol);
            const int size = codes->sizes[std::size_t(i)];
            const int code = codes->codes[std::size_t(i)];
            if (m_largest[std::size_t(size)] < 0)
                m_first[std::size_t(size)] = i - code;
            m_largest[std::size_t(size)] = code;
            if (size <= kLookBits) {
                const int spare = kLookBits - size;
                for (int low = 0; low < (1 << spare); ++low)
                    m_look[std::size_t((code << spare) | low)] = std::uint16_t(size << 8 | symbol);
            }
        }
        // Most coefficients of a photograph take fewer bits, code and value, than the prefix.
        for (std::size_t prefix = 0; prefix < m_look.size(); ++prefix) {
            const int size = m_look[prefix] >> 8;
            const int symbol = m_look[prefix] & 0xFF;
            const int valueBits = symbol & 15;
            m_steps[prefix] = {};
            if (size == 0 || size + valueBits > kLookBits)
                continue;
            const auto value =
                std::uint32_t(prefix >> (kLookBits - size - valueBits)) & ((1u << valueBits) - 1);
            m_steps[prefix] = {std::uint8_t(size + valueBits), std::uint8_t(symbol),
                               std::int16_t(valueBits == 0 ? 0 : extended(value, valueBits))};
        }
        buildPairs(*codes, *table);
        return true;
    }
    // A symbol and the value after it, read at once from the next kLookBits bits; bits is 0
    // where they do not fit in these.
    struct Step {
        std::uint8_t bits = 0;
        std::uint8_t symbol = 0;
        std::int16_t value = 0;
    };
    const Step& step(const JpegBitReader& bits) const { return m_steps[bits.peek(kLookBits)]; }
    // One or two AC symbols with their values, read past at once from the next kPairBits
    // bits: how many bits, how many places of the block they take (an end of block one), and
    // whether it ends there. bits is 0 where not even one fits; a symbol whose value is longer
    // than 8-bit samples allow is never taken, so that the one-symbol way declines it.
    struct Pair {
        std::uint8_t bits = 0;
        std::uint8_t advance = 0;
        bool end = false;
    };
    const Pair& pair(const JpegBitReader& bits) const { return m_pairs[bits.peek(kPairBits)]; }
    // The next symbol; -1 for bits no code starts with.
    int decode(JpegBitReader& bits) const {
        const std::uint16_t entry = m_look[bits.peek(kLookBits)];
        if (entry != 0) {
            bits.skip(entry >> 8);
            return entry & 0xFF;
        }
        for (int size = kLookBits + 1; size <= 16; ++size) {
            const int code = int(bits.peek(size));
            if (code <= m_largest[std::size_t(size)]) {
                bits.skip(size);
                const int index = m_first[std::size_t(size)] + code;
                return m_symbols[std::size_t(index)];
            }
        }
        return -1;
    }

  private:
    // Codes come shortest first (canonical order), so the second symbol's search stops at the
    // first code too long for the bits left.
    void buildPairs(const JpegCanonicalCodes& codes, const JHUFF_TBL& table) {
        m_pairs.fill({});
        const auto fill = [this](std::uint32_t prefix, int used, Pair entry) {
            const int spare = kPairBits - used;
            for (std::uint32_t low = 0; low < (1u << spare); ++low)
                m_pairs[std::size_t((prefix << spare) | low)] = entry;
        };
        for (int i = 0; i < codes.count; ++i) {
            const int first = table.huffval[i];
            const int used = codes.sizes[std::size_t(i)] + (first & 15);
            if ((first & 15) > 10 || used > kPairBits)
                continue;
            const bool ends = (first & 15) == 0 && (first >> 4) != 15;
            const int advance = (first >> 4) + 1;
            for (std::uint32_t value = 0; value < (1u << (first & 15)); ++value) {
                const std::uint32_t prefix =
                    std::uint32_t(codes.codes[std::size_t(i)]) << (first & 15) | value;
                fill(prefix, used, {std::uint8_t(used), std::uint8_t(advance), ends});
                for (int j = 0; !ends && j < codes.count; ++j) {
                    const int second = table.huffval[j];
                    const int both = used + codes.sizes[std::size_t(j)] + (second & 15);
                    if (used + codes.sizes[std::size_t(j)] > kPairBits)
                        break;
                    if ((second & 15) > 10 || both > kPairBits)
                        continue;
                    const bool secondEnds = (second & 15) == 0 && (second >> 4) != 15;
                    for (std::uint32_t next = 0; next < (1u << (second & 15)); ++next) {
                        const std::uint32_t pair =
                            ((prefix << codes.sizes[std::size_t(j)] | codes.codes[std::size_t(j)])
                             << (second & 15)) |
                            next;
                        // An end of block counts one place: after the last coefficient the
                        // block ends without one, and the bits are the next block's.
                        fill(pair, both,
                             {std::uint8_t(both),
                              std::uint8_t(advance + (secondEnds ? 1 : (second >> 4) + 1)),
                              secondEnds});
                    }
                }
            }
        }
    }

    std::array<std::uint16_t, 1 << kLookBits> m_look{};
    std::array<Step, 1 << kLookBits> m_steps{};
    std::array<Pair, 1 << kPairBits> m_pairs{};
    std::array<int, 17> m_largest{};
    std::array<int, 17> m_first{};
    std::array<std::uint8_t, 256> m_symbols{};
};

struct Component {
    int index = 0;
    int h = 1;
    int v = 1;
    const Decoding* dc = nullptr;
    const Decoding* ac = nullptr;
    int before = 0; // the DC value of the component's block before
};

// What reading a block came to: damage is what libjpeg warns about too; a declined block is
// one libjpeg would read without a word, which the copy cannot take (see the header).
enum class Block { Read, Damaged, Declined };

// One block's coefficients into block (zeroed beforehand), or only read past when Store is
// false.
template <bool Store> Block decodeBlock(JpegBitReader& bits, Component& component, JCOEF* block) {
    bits.need(32);
    int difference = 0;
    if (const Decoding::Step& step = component.dc->step(bits); step.bits != 0) {
        bits.skip(step.bits);
        difference = step.value;
    } else {
        const int size = component.dc->decode(bits);
        if (size < 0)
            return Block::Damaged;
        if (size > 0)
            difference = extended(bits.take(size), size);
    }
    // Wrapping rather than overflowing where a hostile file sums differences past int.
    component.before = int(unsigned(component.before) + unsigned(difference));
    if constexpr (Store)
        block[0] = JCOEF(component.before);
    for (int k = 1; k < DCTSIZE2; ++k) {
        bits.need(32);
        if constexpr (!Store) {
            // Taken where neither value lands past the last coefficient, which the one-symbol
            // way declines.
            if (const Decoding::Pair& pair = component.ac->pair(bits);
                pair.bits != 0 && k + pair.advance <= DCTSIZE2) {
                bits.skip(pair.bits);
                if (pair.end)
                    return Block::Read;
                k += pair.advance - 1;
                continue;
            }
        }
        int symbol = 0;
        int value = 0;
        if (const Decoding::Step& step = component.ac->step(bits); step.bits != 0) {
            bits.skip(step.bits);
            symbol = step.symbol;
            value = step.value;
        } else {
            symbol = component.ac->decode(bits);
            if (symbol < 0)
                return Block::Damaged;
            // Values longer than 10 bits do not come from 8-bit samples.
            if ((symbol & 15) > 10)
                return Block::Declined;
            if ((symbol & 15) != 0)
                value = extended(bits.take(symbol & 15), symbol & 15);
        }
        const int run = symbol >> 4;
        if ((symbol & 15) == 0) {
            if (run != 15)
                return Block::Read;
            k += 15;
            continue;
        }
        k += run;
        if (k >= DCTSIZE2)
            return Block::Declined;
        if constexpr (Store)
            block[kJpegCodingOrder[std::size_t(k)]] = JCOEF(value);
    }
    // A run of sixteen zeros may reach past the last coefficient; libjpeg lets it too.
    return Block::Read;
}

// The offset of the first marker at or after from in entropy-coded data (0xFF followed by
// anything but a stuffed zero); -1 when none comes before the end.
qsizetype nextMarker(const uchar* data, qsizetype size, qsizetype from) {
    while (from + 1 < size) {
        const auto* found =
            static_cast<const uchar*>(std::memchr(data + from, 0xFF, std::size_t(size - from)));
        if (found == nullptr)
            return -1;
        const qsizetype at = found - data;
        if (at + 1 >= size)
            return -1;
        if (data[at + 1] != 0)
            return at;
        from = at + 2;
    }
    return -1;
}

// The walk ends where libjpeg would warn: the picture is damaged.
[[noreturn]] void damaged() {
    throw JpegSession::Failed{true};
}

} // namespace

bool JpegScanWalk::suits(const jpeg_decompress_struct& picture) {
    if (picture.progressive_mode || picture.arith_code || picture.data_precision != 8 ||
        picture.comps_in_scan != picture.num_components || picture.Ss != 0 ||
        picture.Se != DCTSIZE2 - 1 || picture.Ah != 0 || picture.Al != 0)
        return false;
    // The header holds table numbers as the file gives them (up to 15 and 255); libjpeg checks
    // them only when it starts decoding.
    for (int i = 0; i < picture.comps_in_scan; ++i) {
        const jpeg_component_info& component = *picture.cur_comp_info[i];
        if (component.dc_tbl_no < 0 || component.dc_tbl_no >= NUM_HUFF_TBLS ||
            component.ac_tbl_no < 0 || component.ac_tbl_no >= NUM_HUFF_TBLS ||
            component.quant_tbl_no < 0 || component.quant_tbl_no >= NUM_QUANT_TBLS)
            return false;
    }
    if (picture.num_components == 1)
        return picture.comp_info[0].h_samp_factor == 1 && picture.comp_info[0].v_samp_factor == 1;
    int blocksInMcu = 0;
    for (int c = 0; c < picture.num_components; ++c)
        blocksInMcu += picture.comp_info[c].h_samp_factor * picture.comp_info[c].v_samp_factor;
    return picture.num_components == 3 && blocksInMcu <= D_MAX_BLOCKS_IN_MCU;
}

std::optional<JpegScanWalk> JpegScanWalk::read(jpeg_decompress_struct& picture,
                                               const QByteArray& encoded, Rows kept,
                                               const std::atomic<bool>* abandon, bool judged) {
    if (!suits(picture) || picture.src == nullptr)
        return std::nullopt;
    JpegScanWalk walk;
    walk.kept = kept;
    const auto* data = reinterpret_cast<const uchar*>(encoded.constData());
    const auto scanStart = qsizetype(picture.src->next_input_byte - data);
    if (scanStart <= 0 || scanStart > encoded.size())
        return std::nullopt;

    std::array<Decoding, NUM_HUFF_TBLS> dcTables;
    std::array<Decoding, NUM_HUFF_TBLS> acTables;
    std::array<Component, MAX_COMPS_IN_SCAN> components;
    const auto owner = reinterpret_cast<j_common_ptr>(&picture);
    const JpegMcuGrid grid(picture);
    walk.mcuColumns = grid.columns(QRect(0, 0, grid.width, grid.height));
    walk.mcuRows = grid.rows(QRect(0, 0, grid.width, grid.height));
    for (int i = 0; i < picture.comps_in_scan; ++i) {
        const jpeg_component_info& info = *picture.cur_comp_info[i];
        Component& component = components[std::size_t(i)];
        component.index = int(&info - picture.comp_info);
        component.h = info.h_samp_factor;
        component.v = info.v_samp_factor;
        if (picture.quant_tbl_ptrs[info.quant_tbl_no] == nullptr ||
            !dcTables[std::size_t(info.dc_tbl_no)].build(picture.dc_huff_tbl_ptrs[info.dc_tbl_no],
                                                         11) ||
            !acTables[std::size_t(info.ac_tbl_no)].build(picture.ac_huff_tbl_ptrs[info.ac_tbl_no],
                                                         255))
            return std::nullopt;
        component.dc = &dcTables[std::size_t(info.dc_tbl_no)];
        component.ac = &acTables[std::size_t(info.ac_tbl_no)];
        // Not zeroed beforehand: every block is zeroed as it is read.
        walk.blocks[std::size_t(component.index)] = owner->mem->request_virt_barray(
            owner, JPOOL_IMAGE, FALSE, JDIMENSION(walk.mcuColumns * component.h),
            JDIMENSION(walk.mcuRows * component.v), JDIMENSION(component.v));
    }
    owner->mem->realize_virt_arrays(owner);

    const long interval = long(picture.restart_interval);
    const long total = long(walk.mcuColumns) * walk.mcuRows;
    JpegBitReader bits(data, encoded.size(), {scanStart, 0});
    // libjpeg reads past fill bytes (0xFF 0xFF ...) in the data, which this reader takes for a
    // marker: where it stopped at one, the file is left to libjpeg rather than called damaged.
    struct FillBytes {};
    const auto damage = [&] {
        const qsizetype at = bits.markerAt();
        if (bits.atMarker() && at + 1 < encoded.size() && data[at + 1] == 0xFF)
            throw FillBytes{};
        damaged();
    };
    try {
        walk.mcuStarts.reserve(std::size_t(total));
        std::array<std::array<JBLOCKROW, MAX_SAMP_FACTOR>, MAX_COMPS_IN_SCAN> rows{};
        int rowReady = -1;
        for (long mcu = 0; mcu < total;) {
            const int row = int(mcu / walk.mcuColumns);
            const int column = int(mcu % walk.mcuColumns);
            if (column == 0 && abandon != nullptr && abandon->load())
                return std::nullopt;
            if (column == 0 && bits.overran())
                damage();
            if (interval != 0 && mcu != 0 && mcu % interval == 0) {
                // The data of an interval ends at its restart marker, the next one in turn,
                // after less than a byte of padding.
                const qint64 end = bits.mark();
                bits.fill();
                if (bits.overran())
                    damage();
                qsizetype at = bits.markerAt();
                qsizetype strayBytes = bits.bitsLeft() / 8;
                if (!bits.atMarker()) {
                    const qsizetype from = JpegBitReader::placeOf(data, end).byte;
                    at = nextMarker(data, encoded.size(), from);
                    if (at < 0)
                        damage();
                    strayBytes = at - from;
                }
                if (at + 1 < encoded.size() && data[at + 1] == 0xFF)
                    return std::nullopt; // fill bytes, which libjpeg reads past
                if (at + 1 >= encoded.size() ||
                    data[at + 1] != JPEG_RST0 + ((mcu / interval - 1) & 7))
                    damage();
                // Stray bytes before the marker libjpeg reports only where they are more than
                // its bit buffer (64 bits, at most 16 bytes with stuffing) may have taken in
                // before it met the marker; fewer it drops without a word, and the whole
                // decode is left to judge the file.
                if (strayBytes > 16)
                    damage();
                if (strayBytes > 0)
                    return std::nullopt;
                walk.intervalEnds.push_back(end);
                bits = JpegBitReader(data, encoded.size(), {at + 2, 0});
                for (Component& component : components)
                    component.before = 0;
            }
            const long last = std::min(total, mcu + interval) - 1;
            if (judged && interval != 0 && mcu % interval == 0 &&
                (last / walk.mcuColumns < kept.first || row >= kept.end)) {
                // Nothing of this interval is needed but its place: the reader stands at the
                // byte where its data starts and is set to the marker that ends it.
                const qint64 start = bits.mark();
                const qsizetype marker =
                    nextMarker(data, encoded.size(), JpegBitReader::placeOf(data, start).byte);
                if (marker < 0)
                    return std::nullopt;
                walk.mcuStarts.insert(walk.mcuStarts.end(), std::size_t(last + 1 - mcu), start);
                bits = JpegBitReader(data, encoded.size(), {marker, 0});
                mcu = last + 1;
                continue;
            }
            const bool store = kept.holds(row);
            if (store && rowReady != row) {
                for (int i = 0; i < picture.comps_in_scan; ++i) {
                    const Component& component = components[std::size_t(i)];
                    for (int y = 0; y < component.v; ++y)
                        rows[std::size_t(i)][std::size_t(y)] =
                            JpegMcuGrid::blockRow(owner, walk.blocks[std::size_t(component.index)],
                                                  JDIMENSION(row * component.v + y), true);
                }
                rowReady = row;
            }
            walk.mcuStarts.push_back(bits.mark());
            for (int i = 0; i < picture.comps_in_scan; ++i) {
                Component& component = components[std::size_t(i)];
                for (int y = 0; y < component.v; ++y) {
                    JBLOCKROW line = store ? rows[std::size_t(i)][std::size_t(y)] +
                                                 std::ptrdiff_t(column) * component.h
                                           : nullptr;
                    for (int x = 0; x < component.h; ++x) {
                        Block block = Block::Read;
                        if (store) {
                            std::memset(line[x], 0, sizeof(JBLOCK));
                            block = decodeBlock<true>(bits, component, line[x]);
                        } else {
                            block = decodeBlock<false>(bits, component, nullptr);
                        }
                        if (block == Block::Damaged)
                            damage();
                        if (block == Block::Declined)
                            return std::nullopt;
                    }
                }
            }
            ++mcu;
        }
        if (bits.overran())
            damage();
        walk.intervalEnds.push_back(bits.mark());
        // Only padding between the last block and the marker that ends the file. A few bytes more
        // libjpeg may have taken into its bit buffer and drop without a word: declined, for the
        // whole decode to judge.
        bits.fill();
        if (bits.overran())
            damage();
        if (!bits.atMarker() || bits.bitsLeft() >= 8)
            return std::nullopt;
        qsizetype at = bits.markerAt();
        while (at + 1 < encoded.size() && data[at + 1] == 0xFF)
            ++at;
        if (at + 1 >= encoded.size())
            damage(); // cut short: no marker ends the file
        // Another marker before the end is one libjpeg reads past without a word: declined.
        if (data[at + 1] != JPEG_EOI)
            return std::nullopt;
        return walk;
    } catch (const FillBytes&) {
        return std::nullopt;
    }
}
