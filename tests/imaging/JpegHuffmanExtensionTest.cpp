// A JPEG Huffman table's codes as the standard assigns them from the counts of each length,
// tables whose counts no code fits, and a table widened to code symbols it lacked.

#include "imaging/jpeg/JpegHuffmanExtension.h"
#include "imaging/jpeg/JpegSession.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(JpegHuffmanExtension, CodesAsTheStandardAssignsAndWidensToCodeEverySymbol) {
    // Each row: how many codes of each length from 1 bit on (the symbols are 255, 254, ... in
    // turn), and the codes they get; none for a table that must be refused.
    const std::vector<int> everyLength(16, 1);
    std::vector<int> twoAllOnes(everyLength);
    twoAllOnes[15] = 2;
    // One code of each length: as many ones as the length less one, then a zero (no code is
    // all ones).
    std::vector<std::string> oneEach;
    for (int length = 1; length <= 16; ++length)
        oneEach.push_back(std::string(std::size_t(length - 1), '1') + "0");
    const struct {
        const char* name;
        std::vector<int> lengths;
        std::vector<std::string> codes;
    } rows[] = {
        {"the standard's luminance DC table",
         {0, 1, 5, 1, 1, 1, 1, 1, 1},
         {"00", "010", "011", "100", "101", "110", "1110", "11110", "111110", "1111110", "11111110",
          "111111110"}},
        {"one of each length up to 16 bits", everyLength, oneEach},
        {"two codes of one bit, one all ones", {2}, {}},
        {"four codes of two bits", {0, 4}, {}},
        {"the second code of 16 bits all ones", twoAllOnes, {}},
        {"more than 256 codes", {0, 0, 0, 0, 0, 0, 0, 200, 57}, {}},
    };
    QByteArray written;
    JpegSession::Writing owner(&written, 0);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        JHUFF_TBL table{};
        JpegSymbolCounts old;
        int count = 0;
        for (std::size_t length = 0; length < row.lengths.size(); ++length) {
            table.bits[length + 1] = UINT8(row.lengths[length]);
            for (int k = 0; k < row.lengths[length]; ++k, ++count)
                if (count < 256) {
                    table.huffval[count] = UINT8(255 - count);
                    old.add(255 - count);
                }
        }
        const std::optional<JpegCanonicalCodes> codes = canonicalCodes(table);
        ASSERT_EQ(codes.has_value(), !row.codes.empty());
        // A refused table codes nothing.
        EXPECT_EQ(old.codedBy(table), codes.has_value());
        if (!codes)
            continue;
        ASSERT_EQ(codes->count, int(row.codes.size()));
        for (std::size_t i = 0; i < row.codes.size(); ++i) {
            std::string code;
            for (int b = codes->sizes[i] - 1; b >= 0; --b)
                code += (codes->codes[i] >> b) & 1 ? '1' : '0';
            EXPECT_EQ(code, row.codes[i]) << i;
        }

        // Two symbols it has no code for, counted in the blocks coded anew.
        JpegSymbolCounts added;
        for (const int symbol : {255, 0x80, 0xA1})
            added.add(symbol);
        added.blocks = 1;
        EXPECT_FALSE(added.codedBy(table));
        JHUFF_TBL widened = table;
        extendHuffmanTable(&owner.info, widened, added, 1 << 20);
        EXPECT_TRUE(added.codedBy(widened));
        EXPECT_TRUE(old.codedBy(widened));
        // The photograph's own statistics still shape it: a shorter code stays no longer.
        const std::optional<JpegCanonicalCodes> now = canonicalCodes(widened);
        ASSERT_TRUE(now);
        std::vector<int> length(256, 0);
        for (int i = 0; i < now->count; ++i)
            length[widened.huffval[i]] = now->sizes[std::size_t(i)];
        for (int a = 0; a < count; ++a)
            for (int b = a + 1; b < count; ++b)
                EXPECT_TRUE(codes->sizes[std::size_t(a)] == codes->sizes[std::size_t(b)] ||
                            length[std::size_t(255 - a)] <= length[std::size_t(255 - b)])
                    << a << " " << b;
    }
}
