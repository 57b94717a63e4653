#include "imaging/probe/ImageFileProbe.h"

#include "imaging/probe/ByteOrder.h"

#include <algorithm>
#include <cstring>

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

// ICO has no magic number: these are the checks Qt's reader makes on the directory and its
// first entry before it takes a file for an icon.
bool ImageFileProbe::looksLikeIco(const QByteArray& head) {
    if (head.size() < 22)
        return false;
    const auto* d = reinterpret_cast<const unsigned char*>(head.constData());
    const std::uint32_t type = le16(d + 2);
    if (le16(d) != 0 || (type != 1 && type != 2) || le16(d + 4) == 0 || d[9] != 0)
        return false;
    const bool cursor = type == 2;
    return (cursor || (le16(d + 10) <= 1 && le16(d + 12) <= 32)) && le32(d + 14) >= 40;
}
