#include "imaging/probe/ImageFileProbe.h"

#include "imaging/probe/ByteOrder.h"

// Walks the blocks of a GIF (descriptors, colour tables, data sub-blocks) to the trailer.
ImageFileProbe::Result ImageFileProbe::probeGif(const QByteArray& data) {
    const auto* d = reinterpret_cast<const unsigned char*>(data.constData());
    const std::size_t n = std::size_t(data.size());
    Result r;
    r.container = Container::Gif;
    r.lossless = true;
    r.pixelFormat = PixelFormat8bppIndexed;
    if (n < 13)
        return incomplete(r);
    r.width = le16(d + 6);
    r.height = le16(d + 8);
    std::size_t i = 13;
    if (d[10] & 0x80)
        i += 3u << ((d[10] & 7) + 1);
    bool frameSeen = false;
    auto skipSubBlocks = [&]() {
        for (;;) {
            if (i >= n)
                return false;
            const std::size_t size = d[i++];
            if (size == 0)
                return true;
            i += size;
        }
    };
    for (;;) {
        if (i >= n)
            return incomplete(r);
        const unsigned char block = d[i++];
        if (block == 0x3B)
            return r;
        if (block == 0x21) {
            ++i; // extension label
            if (!skipSubBlocks())
                return incomplete(r);
        } else if (block == 0x2C) {
            if (i + 9 > n)
                return incomplete(r);
            if (!frameSeen) {
                // Decoders draw the first frame on the screen that the header names; where the
                // header says 0, the canvas reaches as far as the frame does.
                frameSeen = true;
                if (r.width == 0)
                    r.width = std::uint64_t(le16(d + i)) + le16(d + i + 4);
                if (r.height == 0)
                    r.height = std::uint64_t(le16(d + i + 2)) + le16(d + i + 6);
            }
            const std::uint64_t framePixels = std::uint64_t(le16(d + i + 4)) * le16(d + i + 6);
            const unsigned flags = d[i + 8];
            i += 9;
            if (flags & 0x80)
                i += 3u << ((flags & 7) + 1);
            ++i; // LZW minimum code size
            const std::size_t dataStart = i;
            if (!skipSubBlocks())
                return incomplete(r);
            // A code has 3 bits at the least and stands for 4096 pixels at the most: data
            // shorter than that bound cannot fill the frame that the decoder makes first.
            if (framePixels > std::uint64_t(i - dataStart) * 8 / 3 * 4096)
                return damaged(r);
        } else {
            return incomplete(r);
        }
    }
}
