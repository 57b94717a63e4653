#pragma once
// Where the overlay goes on a background of width x height pixels, as a pure function of the
// job's settings. Computed in 64-bit and double precision: every coordinate that fits a
// 32-bit rectangle is exact, and one that does not saturates at INT32_MIN / INT32_MAX.

#include "engine/PlacementChoices.h"
#include "types/WinTypes.h"

struct RunChoices;

RECT ComputePlacement(SizeMode sizeMode, Anchor anchor, INT nSizeX, INT nSizeY, UINT width,
                      UINT height);

// The job's settings that place the overlay, taken from it at one moment: a value that a
// thread of its own (the preview's) may keep while the job changes.
struct PlacementSettings {
    SizeMode sizeMode = SizeMode::Percent;
    Anchor anchor = Anchor::BottomRight;
    INT sizeX = 0;
    INT sizeY = 0;
    // Moves the mark this far away from the edges it is anchored to (none for a centred axis),
    // in pixels, or in percent of the background's side when marginPercent.
    INT marginX = 0;
    INT marginY = 0;
    bool marginPercent = false;

    static PlacementSettings Of(const RunChoices& run);
    // Where the overlay goes on a background of width x height pixels (ComputePlacement).
    RECT On(UINT width, UINT height) const;
    // Where it goes on a copy of such a background drawn at shownWidth x shownHeight: the
    // full-size place carried over, its edges rounded to the nearest pixel, so that a mark that
    // ends at the picture's edge still does. A background without pixels keeps its place.
    RECT OnReduced(UINT width, UINT height, UINT shownWidth, UINT shownHeight) const;
};
