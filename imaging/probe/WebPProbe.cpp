#include "imaging/probe/ImageFileProbe.h"

#include "imaging/probe/ByteOrder.h"

#include <cstring>

ImageFileProbe::Result ImageFileProbe::probeWebP(const QByteArray& data) {
    const auto* d = reinterpret_cast<const unsigned char*>(data.constData());
    const std::size_t n = std::size_t(data.size());
    Result r;
    r.container = Container::WebP;
    // The first chunk: an extended header with the canvas size, or the single lossy or
    // lossless frame with its own.
    if (n >= 30 && std::memcmp(d + 12, "VP8X", 4) == 0) {
        r.width = (le32(d + 24) & 0xFFFFFF) + 1;
        r.height = (le32(d + 27) & 0xFFFFFF) + 1;
    } else if (n >= 25 && std::memcmp(d + 12, "VP8L", 4) == 0 && d[20] == 0x2F) {
        const std::uint32_t bits = le32(d + 21);
        r.width = (bits & 0x3FFF) + 1;
        r.height = ((bits >> 14) & 0x3FFF) + 1;
    } else if (n >= 30 && std::memcmp(d + 12, "VP8 ", 4) == 0) {
        r.width = le16(d + 26) & 0x3FFF;
        r.height = le16(d + 28) & 0x3FFF;
    }
    // Lossless when its frames are: the chunks after an extended header hold a lossless frame
    // and no lossy one.
    bool lossy = n >= 16 && std::memcmp(d + 12, "VP8 ", 4) == 0;
    bool lossless = n >= 16 && std::memcmp(d + 12, "VP8L", 4) == 0;
    if (n >= 16 && std::memcmp(d + 12, "VP8X", 4) == 0) {
        for (std::size_t at = 12; at + 8 <= n;
             at += 8 + ((std::size_t(le32(d + at + 4)) + 1) & ~1u)) {
            lossy = lossy || std::memcmp(d + at, "VP8 ", 4) == 0;
            lossless = lossless || std::memcmp(d + at, "VP8L", 4) == 0;
        }
    }
    r.lossless = lossless && !lossy;
    if (std::uint64_t(le32(d + 4)) + 8 > std::uint64_t(n))
        return incomplete(r);
    return r;
}
