#include "imaging/metadata/Resolution.h"

#include "imaging/probe/ByteOrder.h"

#include <unistd.h>

#include <cmath>
#include <utility>

namespace {

const unsigned char* bytes(const QByteArray& data) {
    return reinterpret_cast<const unsigned char*>(data.constData());
}

// The TIFF's first directory: the positions of its resolution entries (0 when absent).
struct TiffDirectory : ByteOrder {
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

} // namespace

std::optional<Resolution> Resolution::readTiff(const QByteArray& data) {
    const std::optional<TiffDirectory> dir = TiffDirectory::of(data);
    if (!dir || dir->x == 0 || dir->y == 0)
        return std::nullopt;
    // Unit 1 states an aspect ratio only; none stated means inches.
    const std::uint32_t unit = dir->unit != 0 ? dir->u16(bytes(data) + dir->unit + 8) : 2;
    if (unit != 2 && unit != 3)
        return std::nullopt;
    return stated(unit == 2 ? Unit::Inch : Unit::Centimetre, dir->rational(data, dir->x),
                  dir->rational(data, dir->y));
}

void Resolution::writeTiffBytes(QByteArray& data, const std::optional<Resolution>& resolution) {
    const std::optional<TiffDirectory> dir = TiffDirectory::of(data);
    if (!dir)
        return;
    if (resolution && dir->x != 0 && dir->y != 0 && dir->unit != 0) {
        dir->setRational(data, dir->x, resolution->x);
        dir->setRational(data, dir->y, resolution->y);
        put16(data, qsizetype(dir->unit) + 8, resolution->unit == Unit::Inch ? 2 : 3, dir->little);
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
    kept += data.mid(qsizetype(dir->at) + 2 + qsizetype(dir->entries) * 12, 4);
    kept += QByteArray(qsizetype(dir->entries - count) * 12, '\0');
    put16(data, qsizetype(dir->at), std::uint32_t(count), dir->little);
    data.replace(qsizetype(dir->at) + 2, kept.size(), kept);
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
    const ByteOrder order = ByteOrder::ofTiff(bytes(head));
    const bool little = order.little;
    if (order.u16(bytes(head) + 2) != 42)
        return true; // not a file of Qt's writer
    const off_t at = off_t(order.u32(bytes(head) + 4));
    QByteArray count(2, '\0');
    if (!readAt(count, at))
        return false;
    const qsizetype entries = order.u16(bytes(count));
    QByteArray block(entries * 12 + 4, '\0');
    if (!readAt(block, at + 2))
        return false;
    qsizetype x = -1, y = -1, unit = -1;
    for (qsizetype k = 0; k < entries; ++k) {
        const std::uint32_t tag = order.u16(bytes(block) + k * 12);
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
            if (!writeAt(rational, off_t(order.u32(bytes(block) + entry * 12 + 8))))
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
