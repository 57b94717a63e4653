#pragma once
// Unsigned integers of 2 and 4 bytes read from file contents in either byte order, and written
// into them. The caller has checked that the bytes are there.

#include <QByteArray>

#include <cstdint>

inline std::uint32_t be16(const unsigned char* p) {
    return (std::uint32_t(p[0]) << 8) | p[1];
}
inline std::uint32_t be32(const unsigned char* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
           p[3];
}
inline std::uint32_t le16(const unsigned char* p) {
    return (std::uint32_t(p[1]) << 8) | p[0];
}
inline std::uint32_t le32(const unsigned char* p) {
    return (std::uint32_t(p[3]) << 24) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[1]) << 8) |
           p[0];
}

inline void put32(QByteArray& data, qsizetype at, std::uint32_t value, bool little) {
    for (int k = 0; k < 4; ++k)
        data[at + k] = char(little ? value >> (8 * k) : value >> (8 * (3 - k)));
}
inline void put16(QByteArray& data, qsizetype at, std::uint32_t value, bool little) {
    data[at] = char(little ? value : value >> 8);
    data[at + 1] = char(little ? value >> 8 : value);
}

// A file that states its own byte order, as a TIFF does ("II" little-endian, "MM" big-endian).
struct ByteOrder {
    bool little = true;

    static ByteOrder ofTiff(const unsigned char* head) { return ByteOrder{head[0] == 'I'}; }

    std::uint32_t u16(const unsigned char* p) const { return little ? le16(p) : be16(p); }
    std::uint32_t u32(const unsigned char* p) const { return little ? le32(p) : be32(p); }
    // BigTIFF's offsets and counts.
    std::uint64_t u64(const unsigned char* p) const {
        return little ? (std::uint64_t(le32(p + 4)) << 32) | le32(p)
                      : (std::uint64_t(be32(p)) << 32) | be32(p + 4);
    }
};
