#include "imaging/probe/ImageFileProbe.h"

#include "imaging/probe/ByteOrder.h"

#include <algorithm>
#include <cstring>

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
