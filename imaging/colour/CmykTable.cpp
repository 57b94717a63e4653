#include "imaging/colour/CmykTable.h"

#include <lcms2.h>

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

// Grid point g lies at byte value 16 g, the last one at 255 (counted as 256: a sixteenth of a
// step at most from where it stands).
constexpr int kStep = 16;

std::uint8_t gridByte(int point) {
    return std::uint8_t(std::min(255, point * kStep));
}

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
    constexpr int kStrideK = 1;
    constexpr int kStrideY = kPoints;
    constexpr int kStrideM = kPoints * kPoints;
    constexpr int kStrideC = kPoints * kPoints * kPoints;
    const std::array<std::uint16_t, 3>* const points = m_points.data();
    for (int row = from; row < to; ++row) {
        uchar* line = first + qsizetype(row) * stride;
        // Neighbours of one colour are common (skies, walls, a flat background): the last
        // pixel's answer is kept.
        std::uint32_t lastInks = 0;
        std::uint32_t lastWord = 0;
        bool known = false;
        for (int x = 0; x < width; ++x) {
            uchar* p = line + std::ptrdiff_t(x) * 4;
            std::uint32_t inks = 0;
            std::memcpy(&inks, p, sizeof(inks));
            if (known && inks == lastInks) {
                std::memcpy(p, &lastWord, sizeof(lastWord));
                continue;
            }
            int f[3] = {p[0] & 15, p[1] & 15, p[2] & 15};
            const int fk = p[3] & 15;
            const int base = (p[0] >> 4) * kStrideC + (p[1] >> 4) * kStrideM +
                             (p[2] >> 4) * kStrideY + (p[3] >> 4) * kStrideK;
            // The tetrahedron of the cube that holds the colour: corners reached by stepping
            // along the axes in the order of their fractions, largest first.
            int axes[3] = {kStrideC, kStrideM, kStrideY};
            if (f[0] < f[1]) {
                std::swap(f[0], f[1]);
                std::swap(axes[0], axes[1]);
            }
            if (f[1] < f[2]) {
                std::swap(f[1], f[2]);
                std::swap(axes[1], axes[2]);
            }
            if (f[0] < f[1]) {
                std::swap(f[0], f[1]);
                std::swap(axes[0], axes[1]);
            }
            const int corners[4] = {base, base + axes[0], base + axes[0] + axes[1],
                                    base + axes[0] + axes[1] + axes[2]};
            const int weights[4] = {kStep - f[0], f[0] - f[1], f[1] - f[2], f[2]};
            int rgb[3] = {0, 0, 0};
            for (int slice = 0; slice < 2; ++slice) {
                const int sliceWeight = slice == 0 ? kStep - fk : fk;
                if (sliceWeight == 0)
                    continue;
                int sum[3] = {0, 0, 0};
                for (int i = 0; i < 4; ++i) {
                    const std::array<std::uint16_t, 3>& point = points[corners[i] + slice];
                    for (int ch = 0; ch < 3; ++ch)
                        sum[ch] += weights[i] * point[std::size_t(ch)];
                }
                for (int ch = 0; ch < 3; ++ch)
                    rgb[ch] += sum[ch] * sliceWeight;
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
