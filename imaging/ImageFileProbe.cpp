#include "imaging/ImageFileProbe.h"

#include <cstring>
#include <vector>

namespace {

using Result = ImageFileProbe::Result;
using Container = ImageFileProbe::Container;

// Bounds-checked readers over the raw bytes; every caller checks the length first.
std::uint32_t be16(const unsigned char* p) {
    return (std::uint32_t(p[0]) << 8) | p[1];
}
std::uint32_t be32(const unsigned char* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
           p[3];
}
std::uint32_t le16(const unsigned char* p) {
    return (std::uint32_t(p[1]) << 8) | p[0];
}
std::uint32_t le32(const unsigned char* p) {
    return (std::uint32_t(p[3]) << 24) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[1]) << 8) |
           p[0];
}

Result incomplete(Result r) {
    r.complete = false;
    return r;
}

bool startsWith(const QByteArray& data, const char* magic, std::size_t length) {
    return std::size_t(data.size()) >= length && std::memcmp(data.constData(), magic, length) == 0;
}

} // namespace

ImageFileProbe::Container ImageFileProbe::sniff(const QByteArray& head) {
    if (startsWith(head, "\xFF\xD8\xFF", 3))
        return Container::Jpeg;
    if (startsWith(head, "\x89PNG\r\n\x1A\n", 8))
        return Container::Png;
    if (startsWith(head, "GIF87a", 6) || startsWith(head, "GIF89a", 6))
        return Container::Gif;
    if (startsWith(head, "BM", 2))
        return Container::Bmp;
    if (startsWith(head, "II*\0", 4) || startsWith(head, "MM\0*", 4) ||
        startsWith(head, "II+\0", 4) || startsWith(head, "MM\0+", 4))
        return Container::Tiff;
    if (head.size() >= 12 && startsWith(head, "RIFF", 4) &&
        std::memcmp(head.constData() + 8, "WEBP", 4) == 0)
        return Container::WebP;
    return Container::Unknown;
}

ImageFileProbe::Result ImageFileProbe::probe(const QByteArray& data) {
    switch (sniff(data)) {
    case Container::Jpeg:
        return probeJpeg(data);
    case Container::Png:
        return probePng(data);
    case Container::Gif:
        return probeGif(data);
    case Container::Bmp:
        return probeBmp(data);
    case Container::Tiff:
        return probeTiff(data);
    case Container::WebP:
        return probeWebP(data);
    case Container::Unknown:
        break;
    }
    return Result{};
}

// Walks the marker segments by their lengths and the entropy-coded data of every scan up to the
// end-of-image marker. Bytes after that marker (padding, camera trailers) are allowed. A marker
// found inside an embedded thumbnail is skipped with its segment, so it cannot fake an end.
ImageFileProbe::Result ImageFileProbe::probeJpeg(const QByteArray& data) {
    const auto* d = reinterpret_cast<const unsigned char*>(data.constData());
    const std::size_t n = std::size_t(data.size());
    Result r;
    r.container = Container::Jpeg;
    std::size_t i = 2;
    for (;;) {
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

ImageFileProbe::Result ImageFileProbe::probePng(const QByteArray& data) {
    const auto* d = reinterpret_cast<const unsigned char*>(data.constData());
    const std::size_t n = std::size_t(data.size());
    Result r;
    r.container = Container::Png;
    std::size_t i = 8;
    bool first = true;
    for (;;) {
        if (i + 12 > n)
            return incomplete(r);
        const std::size_t length = be32(d + i);
        if (length > 0x7FFFFFFFu || length > n - i - 12)
            return incomplete(r);
        const unsigned char* type = d + i + 4;
        if (first) {
            if (std::memcmp(type, "IHDR", 4) != 0 || length < 13)
                return incomplete(r);
            r.width = be32(d + i + 8);
            r.height = be32(d + i + 12);
            const unsigned depth = d[i + 16];
            const unsigned colour = d[i + 17];
            switch (colour) {
            case 0: // grey
                r.pixelFormat = depth == 1    ? PixelFormat1bppIndexed
                                : depth == 16 ? PixelFormat48bppRGB
                                              : PixelFormat8bppIndexed;
                break;
            case 2: // RGB
                r.pixelFormat = depth == 16 ? PixelFormat48bppRGB : PixelFormat24bppRGB;
                break;
            case 3: // palette
                r.pixelFormat = depth == 1   ? PixelFormat1bppIndexed
                                : depth == 4 ? PixelFormat4bppIndexed
                                             : PixelFormat8bppIndexed;
                break;
            case 4: // grey with alpha
            case 6: // RGBA
                r.pixelFormat = depth == 16 ? PixelFormat64bppARGB : PixelFormat32bppARGB;
                break;
            default:
                break;
            }
            first = false;
        }
        if (std::memcmp(type, "IEND", 4) == 0)
            return r;
        i += 12 + length;
    }
}

// Walks the blocks of a GIF (descriptors, colour tables, data sub-blocks) to the trailer.
ImageFileProbe::Result ImageFileProbe::probeGif(const QByteArray& data) {
    const auto* d = reinterpret_cast<const unsigned char*>(data.constData());
    const std::size_t n = std::size_t(data.size());
    Result r;
    r.container = Container::Gif;
    r.pixelFormat = PixelFormat8bppIndexed;
    if (n < 13)
        return incomplete(r);
    r.width = le16(d + 6);
    r.height = le16(d + 8);
    std::size_t i = 13;
    if (d[10] & 0x80)
        i += 3u << ((d[10] & 7) + 1);
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
            const unsigned flags = d[i + 8];
            i += 9;
            if (flags & 0x80)
                i += 3u << ((flags & 7) + 1);
            ++i; // LZW minimum code size
            if (!skipSubBlocks())
                return incomplete(r);
        } else {
            return incomplete(r);
        }
    }
}

ImageFileProbe::Result ImageFileProbe::probeBmp(const QByteArray& data) {
    const auto* d = reinterpret_cast<const unsigned char*>(data.constData());
    const std::size_t n = std::size_t(data.size());
    Result r;
    r.container = Container::Bmp;
    if (n < 26)
        return incomplete(r);
    const std::uint64_t offBits = le32(d + 10);
    const std::uint32_t headerSize = le32(d + 14);
    if (14 + std::uint64_t(headerSize) > n)
        return incomplete(r);
    std::uint64_t width = 0;
    std::uint64_t height = 0;
    unsigned bits = 0;
    std::uint32_t compression = 0;
    std::uint64_t sizeImage = 0;
    std::uint32_t alphaMask = 0;
    if (headerSize == 12) {
        width = le16(d + 18);
        height = le16(d + 20);
        bits = le16(d + 24);
    } else if (headerSize >= 40) {
        const auto w = std::int32_t(le32(d + 18));
        const auto h = std::int32_t(le32(d + 22));
        width = w < 0 ? std::uint64_t(-std::int64_t(w)) : std::uint64_t(w);
        height = h < 0 ? std::uint64_t(-std::int64_t(h)) : std::uint64_t(h);
        bits = le16(d + 28);
        compression = le32(d + 30);
        sizeImage = le32(d + 34);
        if (headerSize >= 56)
            alphaMask = le32(d + 66);
    } else {
        return incomplete(r);
    }
    r.width = width;
    r.height = height;
    switch (bits) {
    case 1:
        r.pixelFormat = PixelFormat1bppIndexed;
        break;
    case 4:
        r.pixelFormat = PixelFormat4bppIndexed;
        break;
    case 8:
        r.pixelFormat = PixelFormat8bppIndexed;
        break;
    case 16:
        r.pixelFormat = PixelFormat16bppRGB555;
        break;
    case 24:
        r.pixelFormat = PixelFormat24bppRGB;
        break;
    case 32:
        r.pixelFormat = (compression == 3 || compression == 6) && alphaMask != 0
                            ? PixelFormat32bppARGB
                            : PixelFormat32bppRGB;
        break;
    default:
        break;
    }
    std::uint64_t needed = 0;
    if (compression == 0 || compression == 3 || compression == 6) {
        const std::uint64_t rowBytes = (width * bits + 31) / 32 * 4;
        if (rowBytes != 0 && height > n / rowBytes)
            return incomplete(r);
        needed = offBits + rowBytes * height;
    } else {
        needed = offBits + (sizeImage ? sizeImage : 1);
    }
    if (needed > n)
        return incomplete(r);
    return r;
}

// Checks that every strip or tile of the first directory lies inside the file.
ImageFileProbe::Result ImageFileProbe::probeTiff(const QByteArray& data) {
    const auto* d = reinterpret_cast<const unsigned char*>(data.constData());
    const std::size_t n = std::size_t(data.size());
    Result r;
    r.container = Container::Tiff;
    const bool little = d[0] == 'I';
    auto u16 = [&](std::size_t at) { return little ? le16(d + at) : be16(d + at); };
    auto u32 = [&](std::size_t at) { return little ? le32(d + at) : be32(d + at); };
    if (n < 8)
        return incomplete(r);
    if (u16(2) == 43)
        return r; // BigTIFF: left to the decoder
    const std::size_t ifd = u32(4);
    if (ifd + 2 > n)
        return incomplete(r);
    const std::size_t entries = u16(ifd);
    if (ifd + 2 + entries * 12 > n)
        return incomplete(r);

    auto readValues = [&](std::size_t entry, std::vector<std::uint64_t>* out) {
        const unsigned type = u16(entry + 2);
        const std::uint64_t count = u32(entry + 4);
        const unsigned size = type == 3 ? 2 : type == 4 ? 4 : 0;
        if (size == 0)
            return true; // a type we do not need to read
        const std::uint64_t bytes = count * size;
        std::size_t at = entry + 8;
        if (bytes > 4) {
            at = u32(entry + 8);
            if (at + bytes > n)
                return false;
        }
        out->reserve(std::size_t(count));
        for (std::uint64_t k = 0; k < count; ++k)
            out->push_back(size == 2 ? u16(at + k * 2) : u32(at + k * 4));
        return true;
    };

    std::vector<std::uint64_t> offsets, counts, tileOffsets, tileCounts, bitsPerSample;
    unsigned samples = 1;
    unsigned photometric = 2;
    for (std::size_t k = 0; k < entries; ++k) {
        const std::size_t entry = ifd + 2 + k * 12;
        bool ok = true;
        switch (u16(entry)) {
        case 256:
            r.width = u16(entry + 2) == 3 ? u16(entry + 8) : u32(entry + 8);
            break;
        case 257:
            r.height = u16(entry + 2) == 3 ? u16(entry + 8) : u32(entry + 8);
            break;
        case 258:
            ok = readValues(entry, &bitsPerSample);
            break;
        case 262:
            photometric = u16(entry + 8);
            break;
        case 273:
            ok = readValues(entry, &offsets);
            break;
        case 277:
            samples = u16(entry + 8);
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

ImageFileProbe::Result ImageFileProbe::probeWebP(const QByteArray& data) {
    const auto* d = reinterpret_cast<const unsigned char*>(data.constData());
    Result r;
    r.container = Container::WebP;
    if (std::uint64_t(le32(d + 4)) + 8 > std::uint64_t(data.size()))
        return incomplete(r);
    return r;
}
