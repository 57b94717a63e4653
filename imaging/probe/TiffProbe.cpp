#include "imaging/probe/ImageFileProbe.h"

#include "imaging/probe/ByteOrder.h"

#include <vector>

// Checks that every strip or tile of the first directory lies inside the file.
ImageFileProbe::Result ImageFileProbe::probeTiff(const QByteArray& data) {
    const auto* d = reinterpret_cast<const unsigned char*>(data.constData());
    const std::size_t n = std::size_t(data.size());
    Result r;
    r.container = Container::Tiff;
    r.lossless = true; // uncompressed unless the directory says otherwise
    r.tiffCompression = 1;
    r.tiffPredictor = 1;
    const ByteOrder order = ByteOrder::ofTiff(d);
    if (n < 8)
        return incomplete(r);
    if (order.u16(d + 2) == 43)
        return r; // BigTIFF: left to the decoder
    const std::size_t ifd = order.u32(d + 4);
    if (ifd + 2 > n)
        return incomplete(r);
    const std::size_t entries = order.u16(d + ifd);
    if (ifd + 2 + entries * 12 > n)
        return incomplete(r);

    auto readValues = [&](std::size_t entry, std::vector<std::uint64_t>* out) {
        const unsigned type = order.u16(d + entry + 2);
        const std::uint64_t count = order.u32(d + entry + 4);
        const unsigned size = type == 3 ? 2 : type == 4 ? 4 : 0;
        if (size == 0)
            return true; // a type we do not need to read
        const std::uint64_t bytes = count * size;
        std::size_t at = entry + 8;
        if (bytes > 4) {
            at = order.u32(d + entry + 8);
            if (at + bytes > n)
                return false;
        }
        out->reserve(std::size_t(count));
        for (std::uint64_t k = 0; k < count; ++k)
            out->push_back(size == 2 ? order.u16(d + at + k * 2) : order.u32(d + at + k * 4));
        return true;
    };

    std::vector<std::uint64_t> offsets, counts, tileOffsets, tileCounts, bitsPerSample;
    unsigned samples = 1;
    unsigned photometric = 2;
    for (std::size_t k = 0; k < entries; ++k) {
        const std::size_t entry = ifd + 2 + k * 12;
        bool ok = true;
        switch (order.u16(d + entry)) {
        case 256:
            r.width =
                order.u16(d + entry + 2) == 3 ? order.u16(d + entry + 8) : order.u32(d + entry + 8);
            break;
        case 257:
            r.height =
                order.u16(d + entry + 2) == 3 ? order.u16(d + entry + 8) : order.u32(d + entry + 8);
            break;
        case 258:
            ok = readValues(entry, &bitsPerSample);
            break;
        case 259: {
            // JPEG (old and new style) and JPEG 2000 may lose; the other codings do not.
            const unsigned compression = order.u16(d + entry + 8);
            r.lossless = compression != 6 && compression != 7 && compression != 34712;
            r.tiffCompression = compression;
            break;
        }
        case 262:
            photometric = order.u16(d + entry + 8);
            break;
        case 317:
            r.tiffPredictor = order.u16(d + entry + 8);
            break;
        case 273:
            ok = readValues(entry, &offsets);
            break;
        case 277:
            samples = order.u16(d + entry + 8);
            break;
        case 279:
            ok = readValues(entry, &counts);
            break;
        case 324:
            ok = readValues(entry, &tileOffsets);
            break;
        case 325:
            ok = readValues(entry, &tileCounts);
            break;
        default:
            break;
        }
        if (!ok)
            return incomplete(r);
    }
    auto inside = [&](const std::vector<std::uint64_t>& at, const std::vector<std::uint64_t>& len) {
        for (std::size_t k = 0; k < at.size(); ++k) {
            const std::uint64_t bytes = k < len.size() ? len[k] : 1;
            if (at[k] + bytes > n)
                return false;
        }
        return true;
    };
    if (!inside(offsets, counts) || !inside(tileOffsets, tileCounts))
        return incomplete(r);

    const unsigned depth = bitsPerSample.empty() ? 1 : unsigned(bitsPerSample.front());
    if (photometric <= 1) // grey
        r.pixelFormat = depth == 1    ? PixelFormat1bppIndexed
                        : depth == 16 ? PixelFormat48bppRGB
                                      : PixelFormat8bppIndexed;
    else if (photometric == 3) // palette
        r.pixelFormat = depth == 1   ? PixelFormat1bppIndexed
                        : depth == 4 ? PixelFormat4bppIndexed
                                     : PixelFormat8bppIndexed;
    else if (photometric == 2 && samples >= 4)
        r.pixelFormat = depth == 16 ? PixelFormat64bppARGB : PixelFormat32bppARGB;
    else if (photometric == 2)
        r.pixelFormat = depth == 16 ? PixelFormat48bppRGB : PixelFormat24bppRGB;
    return r;
}

std::uint64_t ImageFileProbe::directoryOffset(const QByteArray& head) {
    if (sniff(head) != Container::Tiff || head.size() < 16)
        return 0;
    const auto* d = reinterpret_cast<const unsigned char*>(head.constData());
    const ByteOrder order = ByteOrder::ofTiff(d);
    if (order.u16(d + 2) == 43) // BigTIFF: a 64-bit offset at 8
        return order.u64(d + 8);
    return order.u32(d + 4);
}

void ImageFileProbe::directorySize(const QByteArray& head, const QByteArray& directory,
                                   std::uint64_t* width, std::uint64_t* height) {
    if (head.size() < 4)
        return;
    const auto* start = reinterpret_cast<const unsigned char*>(head.constData());
    const ByteOrder order = ByteOrder::ofTiff(start);
    const auto* d = reinterpret_cast<const unsigned char*>(directory.constData());
    const std::size_t n = std::size_t(directory.size());
    const bool big = order.u16(start + 2) == 43;
    const std::size_t first = big ? 8 : 2;
    const std::size_t entrySize = big ? 20 : 12;
    const std::size_t valueAt = big ? 12 : 8;
    if (n < first)
        return;
    // The buffer runs on past the directory into whatever the file holds next (a colour
    // profile, another directory, pixel data): only the entries the directory counts are its own.
    const std::uint64_t entries = big ? order.u64(d) : order.u16(d);
    std::size_t e = first;
    for (std::uint64_t k = 0; k < entries && e + entrySize <= n; ++k, e += entrySize) {
        const std::uint32_t tag = order.u16(d + e);
        if (tag != 256 && tag != 257)
            continue;
        const std::uint32_t type = order.u16(d + e + 2);
        // A 64-bit value of a big-endian file has its low half last.
        const std::size_t at = e + valueAt + (type == 16 && !order.little ? 4 : 0);
        const std::uint64_t value = type == 3 ? order.u16(d + at) : order.u32(d + at);
        *(tag == 256 ? width : height) = value;
    }
}
