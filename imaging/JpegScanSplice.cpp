#include "imaging/JpegScanSplice.h"

#include "imaging/JpegBitWriter.h"
#include "imaging/JpegHuffmanExtension.h"

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
    const int size = std::bit_width(unsigned(std::abs(value)));
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

// The bits of data from one place of a scan without restart markers to a later one.
qint64 bitsBetween(const QByteArray& encoded, JpegScanPlace from, JpegScanPlace to) {
    const qsizetype span = to.byte - from.byte;
    const auto stuffed =
        std::count(encoded.constData() + from.byte, encoded.constData() + to.byte, char(0xFF));
    return 8 * (qint64(span) - qint64(stuffed)) - from.bit + to.bit;
}

} // namespace

std::optional<QByteArray> JpegScanSplice::write(const jpeg_decompress_struct& picture,
                                                const QByteArray& encoded, const JpegScanWalk& walk,
                                                int top, int bottom) {
    QByteArray out;
    out.reserve(encoded.size() + 4096);
    putJfif(picture, out);
    if (!putTables(encoded, walk.scanStart, out))
        return std::nullopt;
    const char* bytes = encoded.constData();
    const long columns = walk.mcuColumns;
    const long total = columns * walk.mcuRows;
    const long interval = long(picture.restart_interval);
    const auto owner =
        reinterpret_cast<j_common_ptr>(const_cast<jpeg_decompress_struct*>(&picture));
    // The rows coded anew, in MCUs: whole restart intervals where there are any.
    top = std::max(top, 0);
    long first = top > bottom ? total : long(top) * columns;
    long last = top > bottom ? total : std::min(total, long(bottom + 2) * columns);
    if (interval != 0 && first < total) {
        first = first / interval * interval;
        last = std::min(total, (last + interval - 1) / interval * interval);
    }
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
    {
        JpegBitWriter writer(out);
        // As it is up to the first row coded anew.
        if (interval != 0 || first == total) {
            const qsizetype upTo =
                first == total ? walk.end : walk.intervalStarts[std::size_t(first / interval)];
            writer.append(bytes + walk.scanStart, upTo - walk.scanStart);
        } else {
            const JpegScanPlace place = walk.rowStarts[std::size_t(top)];
            writer.append(bytes + walk.scanStart, place.byte - walk.scanStart);
            if (place.bit > 0)
                writer.put(uchar(bytes[place.byte]) >> (8 - place.bit), place.bit);
        }
        // Coded anew; the first differences against the last blocks of the MCU before.
        std::array<int, MAX_COMPS_IN_SCAN> before{};
        for (int i = 0; i < picture.comps_in_scan && interval == 0 && first > 0; ++i) {
            const jpeg_component_info& component = *picture.cur_comp_info[i];
            const long mcu = first - 1;
            const JBLOCKROW line = JpegMcuGrid::blockRow(
                owner, walk.blocks[std::size_t(&component - picture.comp_info)],
                JDIMENSION(mcu / columns * component.v_samp_factor + component.v_samp_factor - 1),
                false);
            before[std::size_t(i)] = line[(mcu % columns + 1) * component.h_samp_factor - 1][0];
        }
        for (long mcu = first; mcu < last; ++mcu) {
            if (interval != 0 && mcu != first && mcu % interval == 0) {
                writer.marker(uchar(JPEG_RST0 + ((mcu / interval - 1) & 7)));
                before.fill(0);
            }
            writer.reserve(8192);
            for (int i = 0; i < picture.comps_in_scan; ++i) {
                const jpeg_component_info& component = *picture.cur_comp_info[i];
                const int h = component.h_samp_factor;
                const int v = component.v_samp_factor;
                const std::size_t index = std::size_t(&component - picture.comp_info);
                for (int y = 0; y < v; ++y) {
                    const JBLOCKROW line = JpegMcuGrid::blockRow(
                        owner, walk.blocks[index], JDIMENSION(mcu / columns * v + y), false);
                    for (int x = 0; x < h; ++x)
                        if (!putBlock(writer, line[mcu % columns * h + x], before[std::size_t(i)],
                                      dc[std::size_t(component.dc_tbl_no)],
                                      ac[std::size_t(component.ac_tbl_no)]))
                            return std::nullopt;
                }
            }
        }
        // The rest as it is: from the next restart marker, or moved to the bit where the rows
        // coded anew end.
        if (last < total && interval != 0) {
            writer.marker(uchar(JPEG_RST0 + ((last / interval - 1) & 7)));
            const qsizetype from = walk.intervalStarts[std::size_t(last / interval)];
            writer.append(bytes + from, walk.end - from);
        } else if (last < total) {
            const JpegScanPlace from = walk.rowStarts[std::size_t(last / columns)];
            qint64 bits = bitsBetween(encoded, from, walk.rowStarts.back());
            JpegBitReader reader(reinterpret_cast<const uchar*>(bytes), encoded.size(), from);
            writer.reserve(2 * (walk.end - from.byte) + 16);
            for (; bits >= 32; bits -= 32) {
                reader.fill();
                writer.put(reader.take(32), 32);
            }
            reader.fill();
            if (bits > 0)
                writer.put(reader.take(int(bits)), int(bits));
            writer.pad();
        } else if (first < total) {
            writer.pad();
        }
    }
    out.append(char(0xFF));
    out.append(char(JPEG_EOI));
    return out;
}
