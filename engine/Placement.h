#pragma once
// Where the overlay goes on a background of width x height pixels, as a pure function of the
// job's settings. Computed in 64-bit and double precision: every coordinate that fits a
// 32-bit rectangle is exact, and one that does not saturates at INT32_MIN / INT32_MAX.

#include "types/WinTypes.h"

// sizeMode and anchor are the decoded dwFlags fields (0-15). A sizeMode other than 1
// (pixels) is percent; anchors 0 and 10-15 are placed like 1 (top-left).
RECT ComputePlacement(DWORD sizeMode, DWORD anchor, INT nSizeX, INT nSizeY, UINT width,
                      UINT height);
