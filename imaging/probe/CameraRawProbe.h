#pragma once
// A camera's raw sensor data (DNG, CR2, CR3, NEF, ARW, ORF, RW2, RAF, ...) is no picture to
// stamp: it has to be developed first. Many are TIFF files whose first directory holds a small
// preview or nothing a TIFF reader can show, so they would be refused with the reader's own
// text, called damaged, or stamped as a thumbnail. Told by the header alone.

#include <QByteArray>

class CameraRawProbe {
  public:
    // True when head (the file's first bytes; a megabyte holds every directory that tells) is
    // a camera raw file.
    static bool recognises(const QByteArray& head);
    // How much of a file recognises() needs.
    static constexpr qsizetype kHeadBytes = qsizetype(1) << 20;
};
