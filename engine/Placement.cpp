#include "engine/Placement.h"

#include "engine/RunChoices.h"
#include "engine/SaturatingCast.h"

#include <cmath>
#include <cstdint>

namespace {

// Percent of a dimension, in the exact double order that gives 29 % of 100 = 28:
// (setting * 0.01) rounded to double, times the dimension rounded to double, truncated.
// |percent * 0.01 * dimension| < 2^31 * 2^32 * 0.01 stays far inside int64.
std::int64_t PercentOf(INT percent, UINT dimension) {
    const double factor = static_cast<double>(percent) * 0.01;
    const double size = factor * static_cast<double>(dimension);
    return static_cast<std::int64_t>(std::trunc(size));
}

// One axis: placement 0 = start, 1 = centre, 2 = end. Integer division truncates toward
// zero as the 32-bit arithmetic it replaces, and the two edges are computed separately.
void PlaceAxis(int placement, std::int64_t size, std::int64_t extent, LONG& low, LONG& high) {
    switch (placement) {
    case 1:
        low = SaturatingCast<LONG>((extent - size) / 2);
        high = SaturatingCast<LONG>((size + extent) / 2);
        break;
    case 2:
        low = SaturatingCast<LONG>(extent - size);
        high = SaturatingCast<LONG>(extent);
        break;
    default:
        low = 0;
        high = SaturatingCast<LONG>(size);
        break;
    }
}

int ColumnOf(Anchor anchor) {
    return (int(anchor) - 1) % 3;
}
int RowOf(Anchor anchor) {
    return (int(anchor) - 1) / 3;
}

} // namespace

RECT ComputePlacement(SizeMode sizeMode, Anchor anchor, INT nSizeX, INT nSizeY, UINT width,
                      UINT height) {
    std::int64_t w = nSizeX;
    std::int64_t h = nSizeY;
    if (sizeMode == SizeMode::Percent) {
        w = PercentOf(nSizeX, width);
        h = PercentOf(nSizeY, height);
    }
    const int column = ColumnOf(anchor);
    const int row = RowOf(anchor);
    RECT rect{0, 0, 0, 0};
    PlaceAxis(column, w, width, rect.left, rect.right);
    PlaceAxis(row, h, height, rect.top, rect.bottom);
    return rect;
}

PlacementSettings PlacementSettings::Of(const RunChoices& run) {
    return PlacementSettings{run.sizeMode, run.anchor,  run.sizeX,        run.sizeY,
                             run.marginX,  run.marginY, run.marginPercent};
}

RECT PlacementSettings::On(UINT width, UINT height) const {
    RECT rect = ComputePlacement(sizeMode, anchor, sizeX, sizeY, width, height);
    if (marginX == 0 && marginY == 0)
        return rect;
    const int column = ColumnOf(anchor);
    const int row = RowOf(anchor);
    // Away from the start edge, toward it from the end, not at all in the middle.
    const auto shift = [&](int placement, INT margin, UINT extent, LONG& low, LONG& high) {
        const std::int64_t by = marginPercent ? PercentOf(margin, extent) : margin;
        const std::int64_t signedBy = placement == 0 ? by : placement == 2 ? -by : 0;
        low = SaturatingCast<LONG>(std::int64_t{low} + signedBy);
        high = SaturatingCast<LONG>(std::int64_t{high} + signedBy);
    };
    shift(column, marginX, width, rect.left, rect.right);
    shift(row, marginY, height, rect.top, rect.bottom);
    return rect;
}

RECT PlacementSettings::OnReduced(UINT width, UINT height, UINT shownWidth,
                                  UINT shownHeight) const {
    const RECT full = On(width, height);
    if (width == 0 || height == 0)
        return full;
    const double sx = double(shownWidth) / width;
    const double sy = double(shownHeight) / height;
    auto at = [](LONG v, double s) { return static_cast<LONG>(std::lround(v * s)); };
    return RECT{at(full.left, sx), at(full.top, sy), at(full.right, sx), at(full.bottom, sy)};
}
