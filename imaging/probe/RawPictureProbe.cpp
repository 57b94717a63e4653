#include "imaging/probe/RawPictureProbe.h"

#include "imaging/probe/ByteOrder.h"

#include <QRegularExpression>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <optional>

namespace {

// Reads the next decimal number of a PNM header, skipping blanks and # comments.
std::optional<std::uint64_t> pnmNumber(const QByteArray& data, qsizetype& at) {
    for (;;) {
        while (at < data.size() && std::isspace(static_cast<unsigned char>(data[at])))
            ++at;
        if (at < data.size() && data[at] == '#') {
            while (at < data.size() && data[at] != '\n')
                ++at;
            continue;
        }
        break;
    }
    std::uint64_t value = 0;
    const qsizetype start = at;
    while (at < data.size() && std::isdigit(static_cast<unsigned char>(data[at])) &&
           at - start < 12)
        value = value * 10 + std::uint64_t(data[at++] - '0');
    if (at == start)
        return std::nullopt;
    return value;
}

// The bytes after the header, and those the picture needs at the least; nothing when this is
// no PNM file or its header cannot be read (its reader then refuses it on its own).
bool pnmCutShort(const QByteArray& data) {
    if (data.size() < 3 || data[0] != 'P' || data[1] < '1' || data[1] > '6' ||
        !std::isspace(static_cast<unsigned char>(data[2])))
        return false;
    const int kind = data[1] - '0';
    qsizetype at = 2;
    const auto width = pnmNumber(data, at);
    const auto height = pnmNumber(data, at);
    const bool bitmap = kind == 1 || kind == 4;
    const auto maxval = bitmap ? std::optional<std::uint64_t>(1) : pnmNumber(data, at);
    if (!width || !height || !maxval)
        return false;
    const std::uint64_t channels = kind == 3 || kind == 6 ? 3 : 1;
    const std::uint64_t samples = *width * *height * channels;
    if (samples == 0)
        return false;
    const std::uint64_t left = std::uint64_t(data.size() - at);
    std::uint64_t needed = 0;
    if (kind == 4)
        needed = (*width + 7) / 8 * *height;
    else if (kind >= 5)
        needed = samples * (*maxval > 255 ? 2 : 1);
    else if (kind == 1)
        needed = samples; // one digit a pixel, no blanks needed
    else
        needed = samples * 2 - 1; // a digit and a blank a sample
    return left < needed;
}

// "#define name_width W" and "#define name_height H", then hexadecimal bytes ("0x00,").
bool xbmCutShort(const QByteArray& data) {
    if (!data.startsWith("#define"))
        return false;
    static const QRegularExpression width("#define\\s+\\S*_width\\s+(\\d{1,9})");
    static const QRegularExpression height("#define\\s+\\S*_height\\s+(\\d{1,9})");
    const QString head = QString::fromLatin1(data.left(1024));
    const auto w = width.match(head), h = height.match(head);
    const qsizetype brace = data.indexOf('{');
    if (!w.hasMatch() || !h.hasMatch() || brace < 0)
        return false;
    const std::uint64_t bytes = (w.captured(1).toULongLong() + 7) / 8 * h.captured(1).toULongLong();
    // "0x0" and a separator at the least for each byte.
    return std::uint64_t(data.size() - brace) < bytes * 4;
}

// "/* XPM */", then the values string "W H colours characters-per-pixel".
bool xpmCutShort(const QByteArray& data) {
    if (!data.startsWith("/* XPM */"))
        return false;
    static const QRegularExpression values(
        "\"\\s*(\\d{1,9})\\s+(\\d{1,9})\\s+(\\d{1,9})\\s+(\\d{1,2})");
    const auto m = values.match(QString::fromLatin1(data.left(4096)));
    if (!m.hasMatch())
        return false;
    const std::uint64_t pixels = m.captured(1).toULongLong() * m.captured(2).toULongLong();
    return std::uint64_t(data.size()) <
           pixels * std::max<std::uint64_t>(m.captured(4).toULongLong(), 1);
}

// A TGA header (no magic number: the checks its reader makes) of an uncompressed picture.
bool tgaCutShort(const QByteArray& data) {
    if (data.size() < 18)
        return false;
    const auto* d = reinterpret_cast<const unsigned char*>(data.constData());
    const unsigned idLength = d[0], mapType = d[1], type = d[2], depth = d[16];
    if (mapType > 1 || (type != 1 && type != 2 && type != 3) ||
        (depth != 8 && depth != 15 && depth != 16 && depth != 24 && depth != 32))
        return false;
    const std::uint64_t mapBytes = mapType == 1 ? std::uint64_t(le16(d + 5)) * ((d[7] + 7) / 8) : 0;
    const std::uint64_t width = le16(d + 12), height = le16(d + 14);
    const std::uint64_t needed = 18 + idLength + mapBytes + width * height * ((depth + 7) / 8);
    return std::uint64_t(data.size()) < needed;
}

} // namespace

bool RawPictureProbe::cutShort(const QByteArray& data) {
    return pnmCutShort(data) || xbmCutShort(data) || xpmCutShort(data) || tgaCutShort(data);
}
