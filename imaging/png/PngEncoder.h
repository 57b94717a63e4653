#pragma once
// The PNG encoder for 8-bit colour pictures, the kind every stamped photograph is.
//
// Qt's writer (libpng) tries all five row filters on every row and deflates on one thread:
// about 1.1 s of CPU for a 24 MP picture at zlib level 1. This one picks one filter per
// segment of rows (8 MB) by deflating the segment's first rows with each, and deflates the
// segments on several threads, joined into one zlib stream (each segment but the last ends on a
// byte boundary with a sync flush; the checksums are combined). The pixels are those Qt's
// writer stores; only the compressed bytes differ. Pictures of other kinds (grey, indexed,
// 16-bit, with a colour space, texts or an offset) are left to Qt's writer.

#include <QIODevice>
#include <QImage>

class PngEncoder {
  public:
    // Whether encode takes this picture.
    static bool handles(const QImage& image);
    // Writes the whole file to device; false when a write fails or zlib fails.
    static bool encode(const QImage& image, int level, QIODevice* device);
};
