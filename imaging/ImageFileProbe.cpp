#include "imaging/ImageFileProbe.h"

#include "imaging/ByteOrder.h"
#include "imaging/RawPictureProbe.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

using Result = ImageFileProbe::Result;
using Container = ImageFileProbe::Container;

Result incomplete(Result r) {
    r.complete = false;
    return r;
}

Result damaged(Result r) {
    r.damaged = true;
    return incomplete(r);
}

bool startsWith(const QByteArray& data, const char* magic, std::size_t length) {
    return std::size_t(data.size()) >= length && std::memcmp(data.constData(), magic, length) == 0;
}

constexpr unsigned char kPngMagic[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// ICO has no magic number: these are the checks Qt's reader makes on the directory and its
// first entry before it takes a file for an icon.
bool looksLikeIco(const QByteArray& head) {
    if (head.size() < 22)
        return false;
    const auto* d = reinterpret_cast<const unsigned char*>(head.constData());
    const std::uint32_t type = le16(d + 2);
    if (le16(d) != 0 || (type != 1 && type != 2) || le16(d + 4) == 0 || d[9] != 0)
        return false;
    const bool cursor = type == 2;
    return (cursor || (le16(d + 10) <= 1 && le16(d + 12) <= 32)) && le32(d + 14) >= 40;
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
    if (startsWith(head, "icns", 4))
        return Container::Icns;
    if (looksLikeIco(head))
        return Container::Ico;
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
    case Container::Ico:
        return probeIco(data);
    case Container::Icns:
        return probeIcns(data);
    case Container::Unknown:
        break;
    }
    Result r;
    r.damaged = RawPictureProbe::cutShort(data);
    return r;
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

ImageFileProbe::Result ImageFileProbe::probePng(const QByteArray& data) {
    const auto* d = reinterpret_cast<const unsigned char*>(data.constData());
    const std::size_t n = std::size_t(data.size());
    Result r;
    r.container = Container::Png;
    std::size_t i = 8;
    bool first = true;
    unsigned depth = 0;
    unsigned colour = 0;
    bool keyed = false;
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
            depth = d[i + 16];
            colour = d[i + 17];
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
        if (std::memcmp(type, "tRNS", 4) == 0)
            keyed = true;
        if (std::memcmp(type, "IEND", 4) == 0) {
            // A transparency key makes an RGB or 16-bit grey picture one with alpha (decoders
            // turn the keyed colour transparent); lower grey depths decode to a palette that
            // carries the transparent entry.
            if (keyed && (colour == 2 || (colour == 0 && depth == 16)))
                r.pixelFormat = depth == 16 ? PixelFormat64bppARGB : PixelFormat32bppARGB;
            return r;
        }
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
    case 16: {
        // Bit fields that name 5-6-5 masks (they follow the 40-byte header, or sit inside a
        // longer one at the same place); otherwise 16-bit rows are 5-5-5.
        const bool rgb565 = compression == 3 && headerSize >= 40 && n >= 66 &&
                            le32(d + 54) == 0xF800 && le32(d + 58) == 0x07E0 &&
                            le32(d + 62) == 0x001F;
        r.pixelFormat = rgb565 ? PixelFormat16bppRGB565 : PixelFormat16bppRGB555;
        break;
    }
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
    if (std::uint64_t(le32(d + 4)) + 8 > std::uint64_t(n))
        return incomplete(r);
    return r;
}

// The picture that Qt's reader decodes is the first entry's: an embedded PNG at the size its own
// header gives, or a DIB whose size the directory gives, or where that says 0, the DIB header
// (whose height counts the mask rows too).
ImageFileProbe::Result ImageFileProbe::probeIco(const QByteArray& data) {
    const auto* d = reinterpret_cast<const unsigned char*>(data.constData());
    const std::size_t n = std::size_t(data.size());
    Result r;
    r.container = Container::Ico;
    const std::uint64_t length = le32(d + 14);
    const std::uint64_t at = le32(d + 18);
    const unsigned char* entry = d + at;
    if (at + 24 <= n && std::memcmp(entry, kPngMagic, sizeof kPngMagic) == 0) {
        r.width = be32(entry + 16);
        r.height = be32(entry + 20);
    } else if (at + 12 <= n) {
        const auto dibWidth = std::int32_t(le32(entry + 4));
        const auto dibHeight = std::int32_t(le32(entry + 8));
        r.width = d[6] != 0 ? d[6] : std::uint64_t(std::max(dibWidth, 0));
        r.height = d[7] != 0 ? d[7] : std::uint64_t(std::max(dibHeight / 2, 0));
    }
    if (at + length > n)
        return incomplete(r);
    return r;
}

// Walks the blocks (one level into icon-variant containers, as Qt's reader does). Raw icons are
// at most 4096 pixels square; embedded PNG and JPEG 2000 pictures may be of any size, so the
// largest of them is what counts against the limit.
ImageFileProbe::Result ImageFileProbe::probeIcns(const QByteArray& data) {
    const auto* d = reinterpret_cast<const unsigned char*>(data.constData());
    const std::size_t n = std::size_t(data.size());
    Result r;
    r.container = Container::Icns;
    if (n < 8)
        return incomplete(r);
    const std::size_t end = be32(d + 4);
    if (end > n || end < 8)
        return incomplete(r);
    auto consider = [&](std::size_t at, std::size_t length) {
        std::uint64_t width = 0;
        std::uint64_t height = 0;
        if (length >= 24 && std::memcmp(d + at, kPngMagic, sizeof kPngMagic) == 0) {
            width = be32(d + at + 16);
            height = be32(d + at + 20);
        } else if (length >= 12 && std::memcmp(d + at, "\0\0\0\x0CjP  \r\n\x87\n", 12) == 0) {
            // The image header box lies inside the header box near the start.
            const QByteArray start =
                data.mid(qsizetype(at), qsizetype(std::min<std::size_t>(length, 512)));
            const qsizetype box = start.indexOf("ihdr");
            if (box >= 0 && box + 12 <= start.size()) {
                const auto* p = reinterpret_cast<const unsigned char*>(start.constData()) + box;
                height = be32(p + 4);
                width = be32(p + 8);
            }
        }
        if (width * height > r.width * r.height) {
            r.width = width;
            r.height = height;
        }
    };
    auto isVariant = [](const unsigned char* type) {
        for (const char* name : {"tile", "over", "open", "drop", "odrp"})
            if (std::memcmp(type, name, 4) == 0)
                return true;
        return false;
    };
    std::size_t i = 8;
    while (i < end) {
        if (i + 8 > end)
            return incomplete(r);
        const std::size_t length = be32(d + i + 4);
        if (length < 8 || length > end - i)
            return incomplete(r);
        if (isVariant(d + i)) {
            for (std::size_t j = i + 8; j + 8 <= i + length;) {
                const std::size_t inner = be32(d + j + 4);
                if (inner < 8 || inner > i + length - j)
                    break;
                consider(j + 8, inner - 8);
                j += inner;
            }
        } else if (std::memcmp(d + i, "TOC ", 4) != 0) {
            consider(i + 8, length - 8);
        }
        i += length;
    }
    return r;
}

std::uint64_t ImageFileProbe::bytesWorthReading(const Result& probed) {
    constexpr std::uint64_t kMetadata = std::uint64_t(64) << 20;
    // Further frames (GIF, WebP) or icons that a still picture's size says nothing about; also
    // the bound for files that are left to Qt's own detection.
    constexpr std::uint64_t kSeveral = std::uint64_t(256) << 20;
    std::uint64_t perPixel = 0;
    std::uint64_t extra = kMetadata;
    switch (probed.container) {
    case Container::Unknown:
    case Container::Ico:
    case Container::Icns:
        return kSeveral;
    case Container::Jpeg:
        perPixel = 8; // noise at quality 100 without subsampling, and CMYK: 3-4.1 bytes
        break;
    case Container::Png:
        perPixel = 9; // 16-bit RGBA, a filter byte per row, stored deflate blocks
        break;
    case Container::Bmp:
        perPixel = 4;
        break;
    case Container::Tiff:
        perPixel = 16; // 32-bit float RGBA
        break;
    case Container::Gif:
        perPixel = 2; // 12-bit codes and sub-block lengths
        extra = kSeveral;
        break;
    case Container::WebP:
        perPixel = 8;
        extra = kSeveral;
        break;
    }
    // Beyond the limit the head alone shows that the file is refused.
    if (probed.width == 0 || probed.height == 0 || probed.width > kMaxImagePixels ||
        probed.height > kMaxImagePixels || probed.width * probed.height > kMaxImagePixels)
        return 0;
    return probed.width * probed.height * perPixel + extra;
}

std::uint64_t ImageFileProbe::directoryOffset(const QByteArray& head) {
    if (sniff(head) != Container::Tiff || head.size() < 16)
        return 0;
    const auto* d = reinterpret_cast<const unsigned char*>(head.constData());
    const bool little = d[0] == 'I';
    if ((little ? le16(d + 2) : be16(d + 2)) == 43) { // BigTIFF: a 64-bit offset at 8
        const std::uint64_t low = little ? le32(d + 8) : be32(d + 12);
        const std::uint64_t high = little ? le32(d + 12) : be32(d + 8);
        return (high << 32) | low;
    }
    return little ? le32(d + 4) : be32(d + 4);
}

void ImageFileProbe::directorySize(const QByteArray& head, const QByteArray& directory,
                                   std::uint64_t* width, std::uint64_t* height) {
    if (head.size() < 4)
        return;
    const bool little = head[0] == 'I';
    const auto* d = reinterpret_cast<const unsigned char*>(directory.constData());
    const std::size_t n = std::size_t(directory.size());
    auto u16 = [&](std::size_t at) { return little ? le16(d + at) : be16(d + at); };
    auto u32 = [&](std::size_t at) { return little ? le32(d + at) : be32(d + at); };
    const bool big =
        (little ? le16(reinterpret_cast<const unsigned char*>(head.constData()) + 2)
                : be16(reinterpret_cast<const unsigned char*>(head.constData()) + 2)) == 43;
    const std::size_t first = big ? 8 : 2;
    const std::size_t entrySize = big ? 20 : 12;
    const std::size_t valueAt = big ? 12 : 8;
    if (n < first)
        return;
    // The buffer runs on past the directory into whatever the file holds next (a colour
    // profile, another directory, pixel data): only the entries the directory counts are its own.
    std::uint64_t entries = u16(0);
    if (big)
        entries = little ? (std::uint64_t(u32(4)) << 32) | u32(0)
                         : (std::uint64_t(u32(0)) << 32) | u32(4);
    std::size_t e = first;
    for (std::uint64_t k = 0; k < entries && e + entrySize <= n; ++k, e += entrySize) {
        const std::uint32_t tag = u16(e);
        if (tag != 256 && tag != 257)
            continue;
        const std::uint32_t type = u16(e + 2);
        // A 64-bit value of a big-endian file has its low half last.
        const std::size_t at = e + valueAt + (type == 16 && !little ? 4 : 0);
        const std::uint64_t value = type == 3 ? u16(at) : u32(at);
        *(tag == 256 ? width : height) = value;
    }
}
