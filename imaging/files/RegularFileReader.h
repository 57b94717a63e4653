#pragma once
// Reads a regular file into memory, refusing anything that could block or never end. A file
// is read only as far as the picture its header declares can need (see
// ImageFileProbe::bytesWorthReading); what lies beyond is left unread.

#include "imaging/GdiPlus.h"

#include <QByteArray>

class RegularFileReader {
  public:
    // path: the file system's bytes. FileNotFound for a missing file or path, AccessDenied for
    // an unreadable file or a folder, Win32Error for FIFOs, devices, sockets and read errors,
    // UnknownImageFormat for a huge file that does not start like a picture.
    static GpStatus read(const QByteArray& path, QByteArray* contents);
};
