// Scan data bit by bit: what JpegBitReader takes from a file's bytes, and what JpegBitWriter
// writes, read back.

#include "imaging/jpeg/JpegBitReader.h"
#include "imaging/jpeg/JpegBitWriter.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

// Each row: the bytes, where reading starts, the data bytes from there (stuffed zeros taken
// out) and the offset where the data stops (a marker's 0xFF, or the end of the bytes). Every
// bit is checked in pieces of each width, then the zeros past the data; after any bit, a reader
// started at the place mark() names reads on as the first, and near the end fill() meets the
// stop with the bits not yet taken left.
TEST(JpegBitReader, TakesTheDataUpToAMarkerThenZerosAndResumesAtAMark) {
    const struct {
        const char* name;
        const char* bytes; // hex, as the rest
        JpegScanPlace from;
        const char* data;
        qsizetype stop;
    } rows[] = {
        {"longer than a word", "0123456789abcdef0011", {0, 0}, "0123456789abcdef0011", 10},
        {"stuffed zeros taken out", "ff00a5ff00ff0012", {0, 0}, "ffa5ffff12", 8},
        {"0xFF inside a word", "010203040506ff00070809", {0, 0}, "010203040506ff070809", 11},
        {"stops at a restart marker", "abcdffd01234", {0, 0}, "abcd", 2},
        {"stops at the first of fill bytes", "12ffffd9", {0, 0}, "12", 1},
        {"a 0xFF that ends the bytes", "abff", {0, 0}, "ab", 1},
        {"from inside a byte", "00f00f", {1, 3}, "f00f", 3},
        {"from inside a stuffed 0xFF", "00ff0080", {1, 5}, "ff80", 4},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const QByteArray file = QByteArray::fromHex(row.bytes);
        const QByteArray data = QByteArray::fromHex(row.data);
        const auto* bytes = reinterpret_cast<const uchar*>(file.constData());
        const int total = int(data.size()) * 8 - row.from.bit;
        const auto bit = [&](int i) {
            i += row.from.bit;
            return i < data.size() * 8 ? (uchar(data[i / 8]) >> (7 - i % 8)) & 1u : 0u;
        };
        const auto taken = [&](int count) {
            JpegBitReader reader(bytes, file.size(), row.from);
            for (int left = count; left > 0; left -= std::min(left, 25)) {
                reader.need(25);
                reader.skip(std::min(left, 25));
            }
            return reader;
        };
        JpegBitReader reader(bytes, file.size(), row.from);
        for (int at = 0, width = 1; at < total + 40; at += width, width = width % 32 + 1) {
            std::uint32_t want = 0;
            for (int k = 0; k < width; ++k)
                want = want << 1 | bit(at + k);
            reader.need(width);
            EXPECT_EQ(reader.take(width), want) << at;
            EXPECT_EQ(reader.overran(), at + width > total) << at;
        }
        // The file offset of each data byte, and of where the data stops.
        std::vector<qsizetype> offsets;
        for (qsizetype i = row.from.byte; i < row.stop; ++i) {
            offsets.push_back(i);
            i += uchar(file[i]) == 0xFF ? 1 : 0;
        }
        offsets.push_back(row.stop);
        for (int at = 0; at <= total; ++at) {
            JpegBitReader first = taken(at);
            const JpegScanPlace place = JpegBitReader::placeOf(bytes, first.mark());
            const int i = at + row.from.bit;
            EXPECT_EQ(place.byte, offsets[std::size_t(i / 8)]) << at;
            EXPECT_EQ(place.bit, i % 8) << at;
            JpegBitReader again(bytes, file.size(), place);
            first.need(16);
            again.need(16);
            EXPECT_EQ(again.peek(16), first.peek(16)) << at;
            // With fewer bits left than fill() readies, it meets where the data stops.
            first.fill();
            if (total - at <= 56) {
                EXPECT_TRUE(first.atMarker()) << at;
                EXPECT_EQ(first.markerAt(), row.stop) << at;
                EXPECT_EQ(first.bitsLeft(), total - at) << at;
            }
        }
    }
}

// Each row: codes put (value, bits), then the data padded or a marker written after it, and
// the bytes that gives after those already there.
TEST(JpegBitWriter, StuffsEvery0xFFAndPadsWithOnesAsTheReaderTakesThem) {
    const struct {
        const char* name;
        std::vector<std::pair<std::uint32_t, int>> codes;
        uchar marker; // 0: padding only
        const char* bytes;
    } rows[] = {
        {"nothing", {}, 0, ""},
        {"three bits padded", {{0b101, 3}}, 0, "bf"},
        {"a whole 0xFF", {{0xFF, 8}}, 0, "ff00"},
        {"0xFF of two codes", {{0x7F, 7}, {1, 1}}, 0, "ff00"},
        {"padding that makes 0xFF", {{0x3F, 6}}, 0, "ff00"},
        {"32 bits, then four zeros padded", {{0x12345678u, 32}, {0, 4}}, 0, "123456780f"},
        {"ones across three bytes", {{1, 1}, {0xFFFF, 16}, {0, 7}}, 0, "ff00ff0080"},
        {"a marker after padding", {{0b10, 2}, {0x1FF, 9}}, 0xD0, "bfff00ffd0"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QByteArray out("\xFF\xDA", 2);
        int bits = 0;
        {
            JpegBitWriter writer(out);
            writer.reserve(64);
            for (const auto& [code, size] : row.codes) {
                writer.put(code, size);
                bits += size;
            }
            EXPECT_EQ(writer.bitsPending(), bits % 8);
            row.marker != 0 ? writer.marker(row.marker) : writer.pad();
        }
        EXPECT_EQ(out.toHex(), "ffda" + QByteArray(row.bytes));
        JpegBitReader reader(reinterpret_cast<const uchar*>(out.constData()), out.size(), {2, 0});
        for (const auto& [code, size] : row.codes) {
            reader.need(size);
            EXPECT_EQ(reader.take(size), code);
        }
        const int padding = (8 - bits % 8) % 8;
        if (padding > 0) {
            reader.need(padding);
            EXPECT_EQ(reader.take(padding), (1u << padding) - 1);
        }
        reader.fill();
        EXPECT_FALSE(reader.overran());
        EXPECT_EQ(reader.bitsLeft(), 0);
        EXPECT_EQ(reader.markerAt(), out.size() - (row.marker != 0 ? 2 : 0));
    }
}
