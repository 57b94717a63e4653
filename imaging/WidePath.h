#pragma once
// Wide-character paths as the library's callers pass them, turned into the file system's bytes.

#include "types/WinTypes.h"

#include <QByteArray>

class WidePath {
  public:
    // Converts with the current C locale (wcrtomb). False for a null pointer or a character
    // that the locale cannot express: such a name cannot exist on this file system.
    static bool toLocalBytes(const WCHAR* path, QByteArray* bytes);
};
