#include "imaging/metadata/Resolution.h"

#include "imaging/probe/ByteOrder.h"
#include "imaging/probe/ImageFileProbe.h"

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

double perMetre(const Resolution& r, double value) {
    return r.unit == Resolution::Unit::Inch ? value / 0.0254 : value * 100;
}

// The JFIF segment right after the start marker, where every encoder puts it: the offset of
// its unit byte, or -1.
qsizetype jfifUnitAt(const QByteArray& data) {
    const auto* d = bytes(data);
    if (data.size() < 20 || d[2] != 0xFF || d[3] != 0xE0 || std::memcmp(d + 6, "JFIF\0", 5) != 0)
        return -1;
    return 13;
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
            return Resolution::stated(Resolution::Unit::Centimetre, be32(d + i + 8) / 100.0,
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
            data.remove(qsizetype(i), qsizetype(length) + 12);
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

std::optional<Resolution> Resolution::stated(Unit unit, double x, double y) {
    // A stated 0 (or a denominator of 0) means nothing; beyond a million dots per inch is no
    // picture's.
    if (!(x > 0 && y > 0 && x < 1e6 && y < 1e6))
        return std::nullopt;
    return Resolution{unit, x, y};
}

std::optional<Resolution> Resolution::read(const QByteArray& encoded) {
    const auto* d = bytes(encoded);
    switch (ImageFileProbe::sniff(encoded)) {
    case Container::Jpeg: {
        const qsizetype unit = jfifUnitAt(encoded);
        if (unit < 0 || (d[unit] != 1 && d[unit] != 2))
            return std::nullopt;
        return stated(d[unit] == 1 ? Unit::Inch : Unit::Centimetre, be16(d + unit + 1),
                      be16(d + unit + 3));
    }
    case Container::Png:
        return readPng(encoded);
    case Container::Tiff:
        return readTiff(encoded);
    case Container::Bmp:
        if (encoded.size() < 46 || le32(d + 14) < 40)
            return std::nullopt;
        return stated(Unit::Centimetre, std::int32_t(le32(d + 38)) / 100.0,
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
