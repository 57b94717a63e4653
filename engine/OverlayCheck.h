#pragma once
// Whether a picture can be stamped onto backgrounds: the one rule for every program that takes
// an overlay. Each program answers a refusal in its own way.

#include "engine/ImageFile.h"

#include <string>

enum class OverlayProblem {
    None,
    // The path does not fit the batch record's MAX_PATH bytes: a cut path names another file.
    TooLong,
    // The file is missing, unreadable or not a picture the library reads (see the status).
    NotOpened,
    // The library reads it, but not as a raster bitmap.
    NotBitmap,
    // Its header reads, its pixels do not decode.
    Damaged,
};

// How far the check reads: the header only (a quick answer while the user chooses; a run then
// finds damaged pixels item by item) or every pixel (what a run draws from).
enum class OverlayDepth { Header, Pixels };

// Loads path into overlay (emptied first) and checks it that far. On a problem overlay is left
// empty; status (optional) receives the library's answer to the load.
OverlayProblem CheckOverlay(const std::string& path, OverlayDepth depth, CImageFile& overlay,
                            GpStatus* status = nullptr);

// The problem in the words the command line prints after the overlay's name ("no such file",
// "damaged picture data", ...); status is the one CheckOverlay gave.
std::string OverlayProblemText(OverlayProblem problem, const std::string& path, GpStatus status);
