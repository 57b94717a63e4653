#include "imaging/png/PngTransparencyKey.h"

#include "imaging/probe/ByteOrder.h"

#include <cstring>

std::optional<QRgba64> PngTransparencyKey::takeDeepRgbKey(QByteArray* png) {
    const auto* d = reinterpret_cast<const unsigned char*>(png->constData());
    const std::size_t n = std::size_t(png->size());
    if (n < 33 || std::memcmp(d, "\x89PNG\r\n\x1A\n", 8) != 0 ||
        std::memcmp(d + 12, "IHDR", 4) != 0 || d[24] != 16 || d[25] != 2)
        return std::nullopt;
    // The key precedes the image data.
    for (std::size_t i = 8; i + 12 <= n;) {
        const std::size_t length = be32(d + i);
        if (length > n - i - 12 || std::memcmp(d + i + 4, "IDAT", 4) == 0)
            break;
        if (std::memcmp(d + i + 4, "tRNS", 4) == 0 && length == 6) {
            const QRgba64 key =
                QRgba64::fromRgba64(quint16(be16(d + i + 8)), quint16(be16(d + i + 10)),
                                    quint16(be16(d + i + 12)), 0xFFFF);
            png->remove(qsizetype(i), qsizetype(length) + 12);
            return key;
        }
        i += 12 + length;
    }
    return std::nullopt;
}

QImage PngTransparencyKey::apply(QImage image, QRgba64 key) {
    if (image.format() != QImage::Format_RGBX64)
        return image;
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgba64*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (line[x] == key)
                line[x].setAlpha(0);
        }
    }
    image.reinterpretAsFormat(QImage::Format_RGBA64);
    return image;
}
