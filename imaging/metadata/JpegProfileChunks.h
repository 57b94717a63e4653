#pragma once
// A JPEG stores its colour profile in APP2 segments of at most 64 kB each, every one numbered
// "n of N". exiv2 joins whatever it finds, and throws on some sequences, which took the
// picture's other records with it: a photograph with a badly chunked profile lost its Artist
// and Copyright without a word. The chunks are judged here first.

#include <QByteArray>

struct JpegProfileChunks {
    // Whether encoded is a JPEG whose profile chunks are damaged: repeated, missing or out of
    // order, or joined into less than the profile declares. False for a whole
    // profile, for a JPEG without one, and for other files.
    static bool damaged(const QByteArray& encoded);
    // The file without its profile segments (everything else byte for byte).
    static QByteArray withoutProfile(const QByteArray& encoded);
};
