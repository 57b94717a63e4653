// The placeholder is set pixel by pixel: it must look the same wherever it is built, with pure
// colours and no smoothing.

#include "res/artwork/Artwork.h"

#include <cstdlib>

QImage DrawPreviewPlaceholder(const QColor& ground, const QColor& line) {
    constexpr int kSize = 64;
    QImage image(kSize, kSize, QImage::Format_RGB888);
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            // Pixel centres within half a diagonal step of either diagonal: each line is three
            // pixels across a row, about two pixels wide measured across the line.
            const bool onFalling = std::abs(x - y) <= 1;
            const bool onRising = std::abs(x + y - (kSize - 1)) <= 1;
            image.setPixelColor(x, y, onFalling || onRising ? line : ground);
        }
    }
    return image;
}
