#include "imaging/ByteOrder.h"

#include <gtest/gtest.h>

TEST(ByteOrder, ReadsEachWidthInEachOrder) {
    const struct {
        unsigned char bytes[4];
        std::uint32_t be16, be32, le16, le32;
    } cases[] = {
        {{0x00, 0x00, 0x00, 0x00}, 0x0000, 0x00000000u, 0x0000, 0x00000000u},
        {{0x12, 0x34, 0x56, 0x78}, 0x1234, 0x12345678u, 0x3412, 0x78563412u},
        // High bits stay unsigned: no sign extension from a byte of 0x80 or more.
        {{0xFF, 0x80, 0x01, 0xFE}, 0xFF80, 0xFF8001FEu, 0x80FF, 0xFE0180FFu},
        {{0x89, 'P', 'N', 'G'}, 0x8950, 0x89504E47u, 0x5089, 0x474E5089u},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(be16(c.bytes), c.be16) << std::hex << c.be32;
        EXPECT_EQ(be32(c.bytes), c.be32) << std::hex << c.be32;
        EXPECT_EQ(le16(c.bytes), c.le16) << std::hex << c.be32;
        EXPECT_EQ(le32(c.bytes), c.le32) << std::hex << c.be32;
    }
}
