#include "imaging/Resolution.h"

#include "imaging/ByteOrder.h"
#include "imaging/ImageFileProbe.h"

#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace {

using Container = ImageFileProbe::Container;

const unsigned char* bytes(const QByteArray& data) {
    return reinterpret_cast<const unsigned char*>(data.constData());
}

std::optional<Resolution> made(Resolution::Unit unit, double x, double y) {
    // A stated 0 (or a denominator of 0) means nothing; beyond a million dots per inch is no
    // picture's.
    if (!(x > 0 && y > 0 && x < 1e6 && y < 1e6))
        return std::nullopt;
    return Resolution{unit, x, y};
}

double perMetre(const Resolution& r, double value) {
    return r.unit == Resolution::Unit::Inch ? value / 0.0254 : value * 100;
}

void put32(QByteArray& data, qsizetype at, std::uint32_t value, bool little) {
    for (int k = 0; k < 4; ++k)
        data[at + k] = char(little ? value >> (8 * k) : value >> (8 * (3 - k)));
}

void put16(QByteArray& data, qsizetype at, std::uint32_t value, bool little) {
    data[at] = char(little ? value : value >> 8);
    data[at + 1] = char(little ? value >> 8 : value);
}

// The JFIF segment right after the start marker, where every encoder puts it: the offset of
// its unit byte, or -1.
qsizetype jfifUnitAt(const QByteArray& data) {
    const auto* d = bytes(data);
    if (data.size() < 20 || d[2] != 0xFF || d[3] != 0xE0 || std::memcmp(d + 6, "JFIF\0", 5) != 0)
        return -1;
    return 13;
}

// The TIFF's first directory: the positions of its resolution entries (0 when absent).
struct TiffDirectory {
    bool little = true;
    std::size_t at = 0;
    std::size_t entries = 0;
    std::size_t x = 0, y = 0, unit = 0;

    static std::optional<TiffDirectory> of(const QByteArray& data) {
        const auto* d = bytes(data);
        const std::size_t n = std::size_t(data.size());
        TiffDirectory dir;
        if (n < 8)
            return std::nullopt;
        dir.little = d[0] == 'I';
        if (dir.u16(d + 2) != 42)
            return std::nullopt; // BigTIFF is never written here and rarely read
        dir.at = dir.u32(d + 4);
        if (dir.at + 2 > n)
            return std::nullopt;
        dir.entries = dir.u16(d + dir.at);
        if (dir.at + 2 + dir.entries * 12 + 4 > n)
            return std::nullopt;
        for (std::size_t k = 0; k < dir.entries; ++k) {
            const std::size_t entry = dir.at + 2 + k * 12;
            const std::uint32_t tag = dir.u16(d + entry);
            const std::uint32_t type = dir.u16(d + entry + 2);
            const bool rational = type == 5 && dir.u32(d + entry + 8) + std::uint64_t(8) <= n;
            if (tag == 282 && rational)
                dir.x = entry;
            else if (tag == 283 && rational)
                dir.y = entry;
            else if (tag == 296 && type == 3)
                dir.unit = entry;
        }
        return dir;
    }
    std::uint32_t u16(const unsigned char* p) const { return little ? le16(p) : be16(p); }
    std::uint32_t u32(const unsigned char* p) const { return little ? le32(p) : be32(p); }
    double rational(const QByteArray& data, std::size_t entry) const {
        const unsigned char* value = bytes(data) + u32(bytes(data) + entry + 8);
        const std::uint32_t denominator = u32(value + 4);
        return denominator == 0 ? 0 : double(u32(value)) / denominator;
    }
    void setRational(QByteArray& data, std::size_t entry, double value) const {
        const auto at = qsizetype(u32(bytes(data) + entry + 8));
        // Whole numbers exactly; others to a ten-thousandth.
        const std::uint32_t denominator = value == std::floor(value) ? 1 : 10000;
        put32(data, at, std::uint32_t(std::lround(value * denominator)), little);
        put32(data, at + 4, denominator, little);
    }
};

std::optional<Resolution> readTiff(const QByteArray& data) {
    const std::optional<TiffDirectory> dir = TiffDirectory::of(data);
    if (!dir || dir->x == 0 || dir->y == 0)
        return std::nullopt;
    // Unit 1 states an aspect ratio only; none stated means inches.
    const std::uint32_t unit = dir->unit != 0 ? dir->u16(bytes(data) + dir->unit + 8) : 2;
    if (unit != 2 && unit != 3)
        return std::nullopt;
    return made(unit == 2 ? Resolution::Unit::Inch : Resolution::Unit::Centimetre,
                dir->rational(data, dir->x), dir->rational(data, dir->y));
}

void writeTiffBytes(QByteArray& data, const std::optional<Resolution>& resolution) {
    const std::optional<TiffDirectory> dir = TiffDirectory::of(data);
    if (!dir)
        return;
    if (resolution && dir->x != 0 && dir->y != 0 && dir->unit != 0) {
        dir->setRational(data, dir->x, resolution->x);
        dir->setRational(data, dir->y, resolution->y);
        put16(data, qsizetype(dir->unit) + 8, resolution->unit == Resolution::Unit::Inch ? 2 : 3,
              dir->little);
        return;
    }
    if (resolution)
        return; // a writer that states no resolution of its own: not one of ours
    // The three entries go; those after them move up, and so does the next directory's offset.
    // The values they pointed at stay behind unreferenced.
    QByteArray kept;
    std::size_t count = 0;
    for (std::size_t k = 0; k < dir->entries; ++k) {
        const std::size_t entry = dir->at + 2 + k * 12;
        if (entry == dir->x || entry == dir->y || entry == dir->unit)
            continue;
        kept += data.mid(qsizetype(entry), 12);
        ++count;
    }
    kept += data.mid(qsizetype(dir->at + 2 + dir->entries * 12), 4);
    kept += QByteArray(qsizetype((dir->entries - count) * 12), '\0');
    put16(data, qsizetype(dir->at), std::uint32_t(count), dir->little);
    data.replace(qsizetype(dir->at + 2), kept.size(), kept);
}

std::optional<Resolution> readPng(const QByteArray& data) {
    const auto* d = bytes(data);
    const std::size_t n = std::size_t(data.size());
    // Before the pixel data, where the chunk must be.
    for (std::size_t i = 8; i + 12 <= n;) {
        const std::size_t length = be32(d + i);
        if (std::memcmp(d + i + 4, "IDAT", 4) == 0 || length > n - i - 12)
            break;
        if (std::memcmp(d + i + 4, "pHYs", 4) == 0 && length == 9 && d[i + 16] == 1)
            return made(Resolution::Unit::Centimetre, be32(d + i + 8) / 100.0,
                        be32(d + i + 12) / 100.0);
        i += 12 + length;
    }
    return std::nullopt;
}

void writePng(QByteArray& data, const std::optional<Resolution>& resolution) {
    for (std::size_t i = 8; i + 12 <= std::size_t(data.size());) {
        const std::size_t length = be32(bytes(data) + i);
        if (length > std::size_t(data.size()) - i - 12)
            return;
        const bool physical = std::memcmp(bytes(data) + i + 4, "pHYs", 4) == 0;
        if (std::memcmp(bytes(data) + i + 4, "IDAT", 4) == 0)
            break;
        if (physical)
            data.remove(qsizetype(i), qsizetype(12 + length));
        else
            i += 12 + length;
    }
    if (!resolution || data.size() < 33)
        return;
    QByteArray chunk("\0\0\0\x09pHYs", 8);
    chunk += QByteArray(13, '\0');
    put32(chunk, 8, std::uint32_t(std::lround(perMetre(*resolution, resolution->x))), false);
    put32(chunk, 12, std::uint32_t(std::lround(perMetre(*resolution, resolution->y))), false);
    chunk[16] = 1; // per metre
    put32(chunk, 17, std::uint32_t(crc32(0, bytes(chunk) + 4, 13)), false);
    data.insert(33, chunk); // after the header chunk
}

} // namespace

std::optional<Resolution> Resolution::read(const QByteArray& encoded) {
    const auto* d = bytes(encoded);
    switch (ImageFileProbe::sniff(encoded)) {
    case Container::Jpeg: {
        const qsizetype unit = jfifUnitAt(encoded);
        if (unit < 0 || (d[unit] != 1 && d[unit] != 2))
            return std::nullopt;
        return made(d[unit] == 1 ? Unit::Inch : Unit::Centimetre, be16(d + unit + 1),
                    be16(d + unit + 3));
    }
    case Container::Png:
        return readPng(encoded);
    case Container::Tiff:
        return readTiff(encoded);
    case Container::Bmp:
        if (encoded.size() < 46 || le32(d + 14) < 40)
            return std::nullopt;
        return made(Unit::Centimetre, std::int32_t(le32(d + 38)) / 100.0,
                    std::int32_t(le32(d + 42)) / 100.0);
    default:
        return std::nullopt;
    }
}

void Resolution::write(QByteArray& encoded, const std::optional<Resolution>& resolution) {
    switch (ImageFileProbe::sniff(encoded)) {
    case Container::Jpeg: {
        const qsizetype unit = jfifUnitAt(encoded);
        if (unit < 0)
            return;
        if (!resolution) {
            encoded[unit] = 0;
            put16(encoded, unit + 1, 1, false);
            put16(encoded, unit + 3, 1, false);
            return;
        }
        // Whole dots per inch or per centimetre, whichever comes nearer (72 dpi stated as
        // 2835 pixels per metre is 28 per centimetre but 72 per inch).
        const double metres = perMetre(*resolution, resolution->x);
        const double metresY = perMetre(*resolution, resolution->y);
        const auto density = [](double value) {
            return std::uint32_t(std::clamp(std::lround(value), 1L, 65535L));
        };
        const bool inch = std::abs(density(metres * 0.0254) / 0.0254 - metres) <=
                          std::abs(density(metres / 100) * 100.0 - metres);
        encoded[unit] = char(inch ? 1 : 2);
        put16(encoded, unit + 1, density(inch ? metres * 0.0254 : metres / 100), false);
        put16(encoded, unit + 3, density(inch ? metresY * 0.0254 : metresY / 100), false);
        return;
    }
    case Container::Png:
        writePng(encoded, resolution);
        return;
    case Container::Tiff:
        writeTiffBytes(encoded, resolution);
        return;
    case Container::Bmp:
        if (encoded.size() < 46 || le32(bytes(encoded) + 14) < 40)
            return;
        for (const auto& [at, value] : {std::pair{38, resolution ? resolution->x : 0.0},
                                        std::pair{42, resolution ? resolution->y : 0.0}})
            put32(encoded, at,
                  resolution ? std::uint32_t(std::lround(perMetre(*resolution, value))) : 0, true);
        return;
    default:
        return;
    }
}

bool Resolution::writeTiff(int fd, const std::optional<Resolution>& resolution) {
    const auto readAt = [fd](QByteArray& into, off_t at) {
        return ::pread(fd, into.data(), std::size_t(into.size()), at) == into.size();
    };
    const auto writeAt = [fd](const QByteArray& from, off_t at) {
        return ::pwrite(fd, from.constData(), std::size_t(from.size()), at) == from.size();
    };
    QByteArray head(8, '\0');
    if (!readAt(head, 0))
        return false;
    const bool little = head[0] == 'I';
    const auto u16 = [little](const QByteArray& b, qsizetype at) {
        return little ? le16(bytes(b) + at) : be16(bytes(b) + at);
    };
    const auto u32 = [little](const QByteArray& b, qsizetype at) {
        return little ? le32(bytes(b) + at) : be32(bytes(b) + at);
    };
    if (u16(head, 2) != 42)
        return true; // not a file of Qt's writer
    const off_t at = off_t(u32(head, 4));
    QByteArray count(2, '\0');
    if (!readAt(count, at))
        return false;
    const qsizetype entries = u16(count, 0);
    QByteArray block(entries * 12 + 4, '\0');
    if (!readAt(block, at + 2))
        return false;
    qsizetype x = -1, y = -1, unit = -1;
    for (qsizetype k = 0; k < entries; ++k) {
        const std::uint32_t tag = u16(block, k * 12);
        if (tag == 282)
            x = k;
        else if (tag == 283)
            y = k;
        else if (tag == 296)
            unit = k;
    }
    if (resolution) {
        if (x < 0 || y < 0 || unit < 0)
            return true; // a writer that states none of its own: not one of ours
        for (const auto& [entry, value] :
             {std::pair{x, resolution->x}, std::pair{y, resolution->y}}) {
            const std::uint32_t denominator = value == std::floor(value) ? 1 : 10000;
            QByteArray rational(8, '\0');
            put32(rational, 0, std::uint32_t(std::lround(value * denominator)), little);
            put32(rational, 4, denominator, little);
            if (!writeAt(rational, off_t(u32(block, entry * 12 + 8))))
                return false;
        }
        put16(block, unit * 12 + 8, resolution->unit == Unit::Inch ? 2 : 3, little);
        return writeAt(block.mid(unit * 12, 12), at + 2 + unit * 12);
    }
    QByteArray kept;
    for (qsizetype k = 0; k < entries; ++k)
        if (k != x && k != y && k != unit)
            kept += block.mid(k * 12, 12);
    put16(count, 0, std::uint32_t(kept.size() / 12), little);
    kept += block.right(4);
    kept.resize(block.size(), '\0');
    return writeAt(count, at) && writeAt(kept, at + 2);
}
