#include "imaging/probe/ImageFileProbe.h"

#include "imaging/probe/ByteOrder.h"

#include <cstring>

ImageFileProbe::Result ImageFileProbe::probePng(const QByteArray& data) {
    const auto* d = reinterpret_cast<const unsigned char*>(data.constData());
    const std::size_t n = std::size_t(data.size());
    Result r;
    r.container = Container::Png;
    r.lossless = true;
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
