#pragma once
// What the user chooses about the overlay's size and place, as values of their own: the job
// keeps them in its flags word, the command line and a run's settings as these.

#include "types/WinTypes.h"

#include <cstdint>

// How the overlay's size is given, and the cell of the 3 x 3 grid it is anchored to, row by
// row. The values are those of the job's flags word, which the dialogs store.
enum class SizeMode : std::uint8_t { Pixels = 1, Percent = 2 };
enum class Anchor : std::uint8_t {
    TopLeft = 1,
    Top,
    TopRight,
    Left,
    Centre,
    Right,
    BottomLeft,
    Bottom,
    BottomRight
};

// The job's flags-word fields (0-15) as choices: a size mode other than pixels counts as
// percent, and an anchor outside 1-9 as top left, as the job has always placed them.
SizeMode SizeModeOfField(DWORD field);
Anchor AnchorOfField(DWORD field);

// The overlay's size, and choosing an overlay: that starts from its own size in pixels.
struct OverlaySize {
    SizeMode mode = SizeMode::Percent;
    std::int32_t x = 100;
    std::int32_t y = 100;

    static OverlaySize OwnOf(UINT width, UINT height);
};
