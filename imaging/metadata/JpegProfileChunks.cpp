#include "imaging/metadata/JpegProfileChunks.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

constexpr char kIdentifier[] = "ICC_PROFILE";                         // with its NUL: 12 bytes
constexpr qsizetype kChunkHeader = qsizetype(sizeof kIdentifier) + 2; // + number, count

struct Chunk {
    qsizetype start = 0;  // the segment's marker
    qsizetype length = 0; // marker and segment
    int number = 0;
    int count = 0;
};

// The profile segments before the first scan, in file order; the markers are walked by their
// lengths, as a decoder does.
std::vector<Chunk> chunksOf(const QByteArray& encoded) {
    std::vector<Chunk> chunks;
    const auto* d = reinterpret_cast<const unsigned char*>(encoded.constData());
    const qsizetype size = encoded.size();
    if (size < 4 || d[0] != 0xFF || d[1] != 0xD8)
        return chunks;
    qsizetype at = 2;
    while (at + 4 <= size && d[at] == 0xFF) {
        const unsigned char marker = d[at + 1];
        if (marker == 0xFF) { // fill byte
            ++at;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9)
            break;
        const qsizetype length = (qsizetype(d[at + 2]) << 8) | d[at + 3];
        if (length < 2 || at + 2 + length > size)
            break;
        if (marker == 0xE2 && length - 2 >= kChunkHeader &&
            std::memcmp(d + at + 4, kIdentifier, sizeof kIdentifier) == 0)
            chunks.push_back(
                {at, length + 2, d[at + 4 + sizeof kIdentifier], d[at + 5 + sizeof kIdentifier]});
        at += 2 + length;
    }
    return chunks;
}

} // namespace

bool JpegProfileChunks::damaged(const QByteArray& encoded) {
    const std::vector<Chunk> chunks = chunksOf(encoded);
    if (chunks.empty())
        return false;
    QByteArray joined;
    for (std::size_t k = 0; k < chunks.size(); ++k) {
        const Chunk& c = chunks[k];
        if (c.count != int(chunks.size()) || c.number != int(k) + 1)
            return true;
        joined.append(encoded.constData() + c.start + 4 + kChunkHeader,
                      c.length - 4 - kChunkHeader);
    }
    // A profile starts with its own size and a 128-byte header; one cut short is not the
    // profile it says (writers may pad the last chunk, which is harmless).
    if (joined.size() < 128)
        return true;
    const auto* p = reinterpret_cast<const unsigned char*>(joined.constData());
    const std::uint32_t declared = (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) |
                                   (std::uint32_t(p[2]) << 8) | std::uint32_t(p[3]);
    return declared < 128 || declared > std::uint32_t(joined.size());
}

QByteArray JpegProfileChunks::withoutProfile(const QByteArray& encoded) {
    QByteArray rest = encoded;
    const std::vector<Chunk> chunks = chunksOf(encoded);
    for (auto c = chunks.rbegin(); c != chunks.rend(); ++c)
        rest.remove(c->start, c->length);
    return rest;
}
