#include "imaging/probe/ImageFileProbe.h"

#include "imaging/probe/ByteOrder.h"

#include <cstring>

// Walks the marker segments by their lengths and the entropy-coded data of every scan up to the
// end-of-image marker. Bytes after that marker (padding, camera trailers) are allowed. A marker
// found inside an embedded thumbnail is skipped with its segment, so it cannot fake an end.
ImageFileProbe::Result ImageFileProbe::probeJpeg(const QByteArray& data) {
    const auto* d = reinterpret_cast<const unsigned char*>(data.constData());
    const std::size_t n = std::size_t(data.size());
    Result r;
    r.container = Container::Jpeg;
    std::size_t i = 2;
    int scans = 0;
    for (;;) {
        // Until the first scan, each segment ends where the next marker begins: a decoder
        // warns of anything else, and a file of a header and zeros is not read on for it.
        if (scans == 0 && i < n && d[i] != 0xFF)
            return damaged(r);
        // Tolerate stray bytes before a marker as decoders do.
        const void* ff = i < n ? std::memchr(d + i, 0xFF, n - i) : nullptr;
        if (!ff)
            return incomplete(r);
        i = std::size_t(static_cast<const unsigned char*>(ff) - d);
        while (i < n && d[i] == 0xFF)
            ++i;
        if (i >= n)
            return incomplete(r);
        const unsigned char marker = d[i++];
        if (marker == 0xD9)
            return r;
        if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8))
            continue; // markers without a length
        if (i + 2 > n)
            return incomplete(r);
        const std::size_t length = be16(d + i);
        if (length < 2 || i + length > n)
            return incomplete(r);
        const bool isFrame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (isFrame && length >= 8) {
            r.height = be16(d + i + 3);
            r.width = be16(d + i + 5);
            const unsigned components = d[i + 7];
            r.pixelFormat = components == 1 ? PixelFormat8bppIndexed : PixelFormat24bppRGB;
        }
        i += length;
        if (marker != 0xDA)
            continue;
        if (++scans > kMaxJpegScans)
            return damaged(r);
        // Entropy-coded data: 0xFF is followed by 0x00 (stuffing) or a restart marker inside it.
        for (;;) {
            const void* p = i < n ? std::memchr(d + i, 0xFF, n - i) : nullptr;
            if (!p)
                return incomplete(r);
            i = std::size_t(static_cast<const unsigned char*>(p) - d);
            if (i + 1 >= n)
                return incomplete(r);
            const unsigned char next = d[i + 1];
            if (next == 0x00 || (next >= 0xD0 && next <= 0xD7))
                i += 2;
            else if (next == 0xFF)
                i += 1;
            else
                break; // a real marker starts at i
        }
    }
}
