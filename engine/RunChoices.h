#pragma once

#include "engine/PlacementChoices.h"
#include "types/WinTypes.h"

#include <cstdint>
#include <string>

// What the user chose, as the job and the command line hold it.
struct RunChoices {
    std::string overlayPath;
    SizeMode sizeMode = SizeMode::Percent;
    std::int32_t sizeX = 100;
    std::int32_t sizeY = 100;
    Anchor anchor = Anchor::BottomRight;
    std::string outputDir;
    // The output encoder's MIME type, exactly (letter case counts).
    std::string mimeType = "image/tiff";
    std::string nameTemplate = "###";
    std::int32_t firstNumber = 0;
    // The mark's opacity in percent (its own alpha times this; the overlay is faded by whoever
    // loads it for the run, CImageFile::Fade), and its distance from the
    // edges it is anchored to, in pixels or in percent of each picture. The windowed program
    // sets neither: fully opaque, at the edges.
    int opacity = 100;
    std::int32_t marginX = 0;
    std::int32_t marginY = 0;
    bool marginPercent = false;

    // Choosing an overlay of width x height pixels: its own size, in pixels; the anchor stays.
    void SizeToOverlay(UINT width, UINT height) { SetSize(OverlaySize::OwnOf(width, height)); }
    void SetSize(const OverlaySize& size) {
        sizeMode = size.mode;
        sizeX = size.x;
        sizeY = size.y;
    }
};
