#include "imaging/colour/CmykTable.h"

#include <lcms2.h>

#include <algorithm>
#include <cstring>

namespace {

// Grid point g lies at byte value 16 g, the last one at 255 (counted as 256: a sixteenth of a
// step at most from where it stands).
constexpr int kStep = 16;

std::uint8_t gridByte(int point) {
    return std::uint8_t(std::min(255, point * kStep));
}

// The order of the three fractions, largest first, for each outcome of comparing them
// pairwise (cyan >= magenta, magenta >= yellow, cyan >= yellow); two outcomes cannot happen.
struct Tetrahedron {
    std::uint8_t axes[3];
};
constexpr Tetrahedron kTetrahedra[8] = {{{2, 1, 0}}, {{0, 1, 2}}, {{1, 2, 0}}, {{1, 0, 2}},
                                        {{2, 0, 1}}, {{0, 2, 1}}, {{0, 1, 2}}, {{0, 1, 2}}};

} // namespace

std::optional<CmykTable> CmykTable::of(void* transform) {
    if (transform == nullptr)
        return std::nullopt;
    CmykTable table;
    constexpr int kCount = kPoints * kPoints * kPoints * kPoints;
    std::vector<std::uint8_t> inks;
    inks.reserve(std::size_t(kCount) * 4);
    for (int c = 0; c < kPoints; ++c)
        for (int m = 0; m < kPoints; ++m)
            for (int y = 0; y < kPoints; ++y)
                for (int k = 0; k < kPoints; ++k)
                    inks.insert(inks.end(), {gridByte(c), gridByte(m), gridByte(y), gridByte(k)});
    table.m_points.resize(std::size_t(kCount));
    cmsDoTransform(transform, inks.data(), table.m_points.data(), cmsUInt32Number(kCount));
    return table;
}

void CmykTable::convert(uchar* first, qsizetype stride, int width, int from, int to) const {
    constexpr int kStrides[3] = {kPoints * kPoints * kPoints, kPoints * kPoints, kPoints};
    const std::array<std::uint16_t, 3>* const points = m_points.data();
    for (int row = from; row < to; ++row) {
        uchar* line = first + qsizetype(row) * stride;
        std::uint32_t lastInks = 0;
        std::uint32_t lastWord = 0;
        // Neighbours of one colour are common (skies, walls, a flat background): the last
        // pixel's answer is kept.
        bool known = false;
        for (int x = 0; x < width; ++x) {
            uchar* p = line + std::ptrdiff_t(x) * 4;
            std::uint32_t inks = 0;
            std::memcpy(&inks, p, sizeof(inks));
            if (known && inks == lastInks) {
                std::memcpy(p, &lastWord, sizeof(lastWord));
                continue;
            }
            const int f[3] = {p[0] & 15, p[1] & 15, p[2] & 15};
            const int fk = p[3] & 15;
            const std::array<std::uint16_t, 3>* base =
                points + ((p[0] >> 4) * kStrides[0] + (p[1] >> 4) * kStrides[1] +
                          (p[2] >> 4) * kStrides[2] + (p[3] >> 4));
            // Without branches: on a photograph the order of the fractions is a coin toss.
            const Tetrahedron& t =
                kTetrahedra[(f[0] >= f[1]) << 2 | (f[1] >= f[2]) << 1 | (f[0] >= f[2])];
            const int f0 = f[t.axes[0]], f1 = f[t.axes[1]], f2 = f[t.axes[2]];
            const int s0 = kStrides[t.axes[0]];
            const int s1 = s0 + kStrides[t.axes[1]];
            const int s2 = s1 + kStrides[t.axes[2]];
            const int weights[4] = {kStep - f0, f0 - f1, f1 - f2, f2};
            const int offsets[4] = {0, s0, s1, s2};
            int rgb[3] = {0, 0, 0};
            for (int i = 0; i < 4; ++i) {
                const std::array<std::uint16_t, 3>& below = base[offsets[i]];
                const std::array<std::uint16_t, 3>& above = base[offsets[i] + 1];
                for (int ch = 0; ch < 3; ++ch)
                    rgb[ch] += weights[i] * ((kStep - fk) * below[std::size_t(ch)] +
                                             fk * above[std::size_t(ch)]);
            }
            // rgb holds 16-bit values times 16 x 16; 8 bits from them, rounded.
            constexpr int kScale = kStep * kStep * 257;
            const auto level = [](int value) {
                return uint(std::min(255, (value + kScale / 2) / kScale));
            };
            const uint word =
                0xFF000000u | level(rgb[0]) << 16 | level(rgb[1]) << 8 | level(rgb[2]);
            std::memcpy(p, &word, sizeof(word));
            lastInks = inks;
            lastWord = word;
            known = true;
        }
    }
}
