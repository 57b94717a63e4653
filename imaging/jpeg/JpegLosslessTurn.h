#pragma once
// A JPEG turned upright without decoding it. A phone stores a portrait sideways and says in its
// Exif records which way to turn it; turning the picture's 8x8 blocks instead of its pixels
// (each block moved, its coefficients transposed and every other one negated, as a lossless
// rotation does) gives the same blocks a camera held upright would have stored, so the portrait
// is stamped as losslessly as a landscape photograph.
//
// Only when no block changes its place in the MCU grid's partial edge: a turn that would move
// a partial MCU from the right or bottom edge into the picture cannot be done without losing
// those pixels, and such a picture is decoded whole instead.

#include <QByteArray>

#include <optional>

class JpegLosslessTurn {
  public:
    // encoded shown turned by turn (Qt's QImageIOHandler::Transformations bits: mirror and flip
    // first, then a quarter turn clockwise), as a JPEG of its own sampling (transposed with it),
    // quantisation tables, progression and restart interval, its Huffman tables optimised, and
    // no records: the caller writes those. Nothing when the turn cannot be done losslessly or
    // the file is not an 8-bit JPEG. Throws JpegSession::Failed when libjpeg refuses or warns
    // about the file.
    static std::optional<QByteArray> upright(const QByteArray& encoded, int turn);
};
