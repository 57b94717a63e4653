#include "imaging/probe/ImageFileProbe.h"

#include "imaging/probe/ByteOrder.h"

ImageFileProbe::Result ImageFileProbe::probeBmp(const QByteArray& data) {
    const auto* d = reinterpret_cast<const unsigned char*>(data.constData());
    const std::size_t n = std::size_t(data.size());
    Result r;
    r.container = Container::Bmp;
    r.lossless = true;
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
