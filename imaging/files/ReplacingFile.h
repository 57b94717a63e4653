#pragma once
// A new file that replaces whatever stands at a name given when it is made (see AtomicFile).

#include "imaging/files/AtomicFile.h"

#include <QByteArray>

#include <utility>

class ReplacingFile : public AtomicFile {
  public:
    // path: the file system's bytes, a folder part (optional) and the name.
    explicit ReplacingFile(QByteArray path) : AtomicFile(std::move(path)) {}

    // Puts the data on disk and renames the file over the name. On failure the temporary file
    // is removed and the old entry stays.
    bool commit() { return commitAtName(); }
};
