#include "imaging/probe/ByteOrder.h"

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

TEST(ByteOrder, ReadsInTheOrderATiffStates) {
    const unsigned char bytes[8] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0xF8};
    const struct {
        const char* head;
        std::uint32_t u16, u32;
        std::uint64_t u64; // BigTIFF's offsets
    } cases[] = {
        {"II*", 0x0201, 0x04030201u, 0xF807060504030201u},
        {"MM*", 0x0102, 0x01020304u, 0x01020304050607F8u},
    };
    for (const auto& c : cases) {
        const ByteOrder order = ByteOrder::ofTiff(reinterpret_cast<const unsigned char*>(c.head));
        EXPECT_EQ(order.u16(bytes), c.u16) << c.head;
        EXPECT_EQ(order.u32(bytes), c.u32) << c.head;
        EXPECT_EQ(order.u64(bytes), c.u64) << c.head;
    }
}
