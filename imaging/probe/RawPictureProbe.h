#pragma once
// Pictures stored as plain samples or text (PBM/PGM/PPM, XBM, XPM, uncompressed TGA) whose
// headers declare a size their data cannot fill. Their readers make the declared picture
// first and fill it from whatever data there is, so a file of a few bytes could cost a
// picture of hundreds of megapixels: such a file is refused as cut short, before any pixel
// memory exists.

#include <QByteArray>

class RawPictureProbe {
  public:
    // True when data is one of these formats and holds less than its declared picture needs
    // at the least (the densest encoding the format allows).
    static bool cutShort(const QByteArray& data);
};
