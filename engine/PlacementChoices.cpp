#include "engine/PlacementChoices.h"

#include "engine/SaturatingCast.h"

SizeMode SizeModeOfField(DWORD field) {
    return field == DWORD(SizeMode::Pixels) ? SizeMode::Pixels : SizeMode::Percent;
}

Anchor AnchorOfField(DWORD field) {
    return field >= 1 && field <= 9 ? Anchor(field) : Anchor::TopLeft;
}

OverlaySize OverlaySize::OwnOf(UINT width, UINT height) {
    return {SizeMode::Pixels, SaturatingCast<std::int32_t>(std::uint64_t{width}),
            SaturatingCast<std::int32_t>(std::uint64_t{height})};
}
