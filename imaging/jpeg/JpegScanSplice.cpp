#include "imaging/jpeg/JpegScanSplice.h"

#include "imaging/jpeg/JpegBitWriter.h"
#include "imaging/jpeg/JpegHuffmanExtension.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>

namespace {

// A Huffman table for coding: each symbol's code and its length (0: no code).
class Coding {
  public:
    bool build(const JHUFF_TBL* table) {
        if (table == nullptr)
            return false;
        const std::optional<JpegCanonicalCodes> codes = canonicalCodes(*table);
        if (!codes)
            return false;
        for (int i = 0; i < codes->count; ++i) {
            m_codes[table->huffval[i]] = codes->codes[std::size_t(i)];
            m_sizes[table->huffval[i]] = codes->sizes[std::size_t(i)];
        }
        return true;
    }
    bool put(JpegBitWriter& out, int symbol) const {
        if (m_sizes[std::size_t(symbol)] == 0)
            return false;
        out.put(m_codes[std::size_t(symbol)], m_sizes[std::size_t(symbol)]);
        return true;
    }

  private:
    std::array<std::uint16_t, 256> m_codes{};
    std::array<std::uint8_t, 256> m_sizes{};
};

// A value's size in bits and its bits as the JPEG standard codes them; false past limit bits,
// which libjpeg refuses to code for 8-bit samples as well.
bool putValue(JpegBitWriter& out, const Coding& table, int run, int value, int limit) {
    const int size = int(std::bit_width(unsigned(std::abs(value))));
    if (size > limit || !table.put(out, run << 4 | size))
        return false;
    if (size > 0)
        out.put(std::uint32_t(value < 0 ? value - 1 : value) & ((1u << size) - 1), size);
    return true;
}

// One block, as libjpeg's encoder codes it: the difference to the DC before, then runs of zeros
// and values in coding order, ending in an end-of-block unless the last value ends it.
bool putBlock(JpegBitWriter& out, const JCOEF* block, int& before, const Coding& dc,
              const Coding& ac) {
    const int difference = block[0] - before;
    before = block[0];
    if (!putValue(out, dc, 0, difference, 11))
        return false;
    int run = 0;
    for (int k = 1; k < DCTSIZE2; ++k) {
        const int value = block[kJpegCodingOrder[std::size_t(k)]];
        if (value == 0) {
            ++run;
            continue;
        }
        for (; run > 15; run -= 16)
            if (!ac.put(out, 0xF0))
                return false;
        if (!putValue(out, ac, run, value, 10))
            return false;
        run = 0;
    }
    return run == 0 || ac.put(out, 0x00);
}

void putJfif(const jpeg_decompress_struct& picture, QByteArray& out) {
    // What jpeg_copy_critical_parameters and libjpeg's marker writer make of the photograph's.
    const bool own = picture.saw_JFIF_marker != 0;
    const int minor = own && picture.JFIF_major_version == 1 ? picture.JFIF_minor_version : 1;
    const int unit = own ? picture.density_unit : 0;
    const int x = own ? picture.X_density : 1;
    const int y = own ? picture.Y_density : 1;
    const char segment[] = {char(0xFF),
                            char(0xD8),
                            char(0xFF),
                            char(JPEG_APP0),
                            0,
                            16,
                            'J',
                            'F',
                            'I',
                            'F',
                            0,
                            1,
                            char(minor),
                            char(unit),
                            char(x >> 8),
                            char(x),
                            char(y >> 8),
                            char(y),
                            0,
                            0};
    out.append(segment, sizeof(segment));
}

// The photograph's segments from its start marker to its scan's: tables, frame, restart
// interval and scan header kept, application and comment segments left out.
bool putTables(const QByteArray& encoded, qsizetype scanStart, QByteArray& out) {
    const auto* d = reinterpret_cast<const uchar*>(encoded.constData());
    qsizetype at = 2;
    while (at < scanStart) {
        if (at + 4 > scanStart || d[at] != 0xFF)
            return false;
        const uchar marker = d[at + 1];
        if (marker == 0xFF) {
            ++at;
            continue;
        }
        const qsizetype end = at + 2 + (qsizetype(d[at + 2]) << 8 | d[at + 3]);
        if (end > scanStart)
            return false;
        switch (marker) {
        case 0xDB: // quantisation tables
        case 0xC0: // baseline frame
        case 0xC1: // extended sequential frame
        case 0xC4: // Huffman tables
        case 0xDD: // restart interval
        case 0xDA: // scan
            out.append(encoded.constData() + at, end - at);
            break;
        default:
            if (marker != 0xFE && (marker < 0xE0 || marker > 0xEF))
                return false;
        }
        at = end;
    }
    return at == scanStart;
}

// The scan's data from one place to a later one in the same restart interval, appended to
// out: its bytes as they are where out stands at the same bit of a byte, moved bit by bit
// elsewhere.
void putData(JpegBitWriter& out, const QByteArray& encoded, JpegScanPlace from, JpegScanPlace to) {
    const auto* d = reinterpret_cast<const uchar*>(encoded.constData());
    out.reserve(16);
    if (from.byte == to.byte) {
        if (to.bit > from.bit)
            out.put((d[from.byte] >> (8 - to.bit)) & ((1u << (to.bit - from.bit)) - 1),
                    to.bit - from.bit);
        return;
    }
    if (out.bitsPending() == from.bit) {
        // The rest of the first byte completes out's; the bytes after it fall on whole bytes.
        qsizetype at = from.byte;
        if (from.bit > 0) {
            out.put(d[at] & ((1u << (8 - from.bit)) - 1), 8 - from.bit);
            at += d[at] == 0xFF ? 2 : 1;
        }
        out.append(encoded.constData() + at, to.byte - at);
        if (to.bit > 0)
            out.put(d[to.byte] >> (8 - to.bit), to.bit);
        return;
    }
    const auto stuffed =
        std::count(encoded.constData() + from.byte, encoded.constData() + to.byte, char(0xFF));
    qint64 bits = 8 * (qint64(to.byte - from.byte) - qint64(stuffed)) - from.bit + to.bit;
    JpegBitReader reader(d, encoded.size(), from);
    out.reserve(2 * (to.byte - from.byte) + 16);
    for (; bits >= 32; bits -= 32) {
        reader.fill();
        out.put(reader.take(32), 32);
    }
    reader.fill();
    if (bits > 0)
        out.put(reader.take(int(bits)), int(bits));
}

} // namespace

std::optional<QByteArray> JpegScanSplice::write(const jpeg_decompress_struct& picture,
                                                const QByteArray& encoded, const JpegScanWalk& walk,
                                                const QRect& changed) {
    QByteArray out;
    out.reserve(encoded.size() + 4096);
    putJfif(picture, out);
    const auto* data = reinterpret_cast<const uchar*>(encoded.constData());
    if (walk.mcuStarts.empty() ||
        !putTables(encoded, JpegBitReader::placeOf(data, walk.mcuStarts.front()).byte, out))
        return std::nullopt;
    std::array<Coding, NUM_HUFF_TBLS> dc;
    std::array<Coding, NUM_HUFF_TBLS> ac;
    for (int i = 0; i < picture.comps_in_scan; ++i) {
        const jpeg_component_info& component = *picture.cur_comp_info[i];
        if (!dc[std::size_t(component.dc_tbl_no)].build(
                picture.dc_huff_tbl_ptrs[component.dc_tbl_no]) ||
            !ac[std::size_t(component.ac_tbl_no)].build(
                picture.ac_huff_tbl_ptrs[component.ac_tbl_no]))
            return std::nullopt;
    }
    const long columns = walk.mcuColumns;
    const long total = long(walk.mcuStarts.size());
    const long interval = picture.restart_interval != 0 ? long(picture.restart_interval) : total;
    const auto owner =
        reinterpret_cast<j_common_ptr>(const_cast<jpeg_decompress_struct*>(&picture));
    const auto inChanged = [&](long mcu) {
        return mcu >= 0 && changed.contains(int(mcu % columns), int(mcu / columns));
    };
    // Changed MCUs, and the MCU after each, whose first differences are to changed blocks.
    const auto codedAnew = [&](long mcu) { return inChanged(mcu) || inChanged(mcu - 1); };
    // The last DC of each component in the MCU before, which the next one's differences start
    // from.
    std::array<int, MAX_COMPS_IN_SCAN> before{};
    const auto lastDcs = [&](long mcu) {
        for (int i = 0; i < picture.comps_in_scan; ++i) {
            const jpeg_component_info& component = *picture.cur_comp_info[i];
            const int h = component.h_samp_factor;
            const int v = component.v_samp_factor;
            const JBLOCKROW line = JpegMcuGrid::blockRow(
                owner, walk.blocks[std::size_t(&component - picture.comp_info)],
                JDIMENSION(mcu / columns * v + v - 1), false);
            before[std::size_t(i)] = line[(mcu % columns + 1) * h - 1][0];
        }
    };
    {
        JpegBitWriter writer(out);
        for (long mcu = 0; mcu < total;) {
            const long intervalEnd = std::min(total, (mcu / interval + 1) * interval);
            if (mcu % interval == 0 && mcu > 0)
                writer.marker(uchar(JPEG_RST0 + ((mcu / interval - 1) & 7)));
            if (!codedAnew(mcu)) {
                long next = mcu + 1;
                while (next < intervalEnd && !codedAnew(next))
                    ++next;
                const qint64 upTo = next < intervalEnd
                                        ? walk.mcuStarts[std::size_t(next)]
                                        : walk.intervalEnds[std::size_t(mcu / interval)];
                putData(writer, encoded,
                        JpegBitReader::placeOf(data, walk.mcuStarts[std::size_t(mcu)]),
                        JpegBitReader::placeOf(data, upTo));
                mcu = next;
            } else {
                if (mcu % interval == 0)
                    before.fill(0);
                else
                    lastDcs(mcu - 1);
                for (; mcu < intervalEnd && codedAnew(mcu); ++mcu) {
                    writer.reserve(8192);
                    for (int i = 0; i < picture.comps_in_scan; ++i) {
                        const jpeg_component_info& component = *picture.cur_comp_info[i];
                        const int h = component.h_samp_factor;
                        const int v = component.v_samp_factor;
                        const std::size_t index = std::size_t(&component - picture.comp_info);
                        for (int y = 0; y < v; ++y) {
                            const JBLOCKROW line =
                                JpegMcuGrid::blockRow(owner, walk.blocks[index],
                                                      JDIMENSION(mcu / columns * v + y), false);
                            for (int x = 0; x < h; ++x)
                                if (!putBlock(writer, line[mcu % columns * h + x],
                                              before[std::size_t(i)],
                                              dc[std::size_t(component.dc_tbl_no)],
                                              ac[std::size_t(component.ac_tbl_no)]))
                                    return std::nullopt;
                        }
                    }
                }
            }
        }
        writer.pad();
    }
    out.append(char(0xFF));
    out.append(char(JPEG_EOI));
    return out;
}
