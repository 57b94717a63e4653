#pragma once
// The transparency key of 16-bit RGB PNG pictures. Qt's PNG reader (6.4) reads such a picture's
// rows as if each pixel already had four channels when a tRNS chunk is present, which scrambles
// it; without the chunk it reads them right. So the chunk is taken out before Qt reads the
// file, and the keyed colour is made transparent afterwards.

#include <QByteArray>
#include <QImage>
#include <QRgba64>

#include <optional>

class PngTransparencyKey {
  public:
    // For a 16-bit RGB PNG with a transparency key: removes the tRNS chunk from png and
    // returns the key (alpha 0xFFFF). Any other data is left as it is.
    static std::optional<QRgba64> takeDeepRgbKey(QByteArray* png);
    // Pixels of exactly the key's colour become transparent. image: as Qt decodes a 16-bit RGB
    // PNG (Format_RGBX64); the result is Format_RGBA64. Other formats are returned unchanged.
    static QImage apply(QImage image, QRgba64 key);
};
