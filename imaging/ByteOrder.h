#pragma once
// Unsigned integers of 2 and 4 bytes read from file contents in either byte order. The caller
// has checked that the bytes are there.

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
