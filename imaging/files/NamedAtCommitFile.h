#pragma once
// A new file whose name is known only when it is committed (see AtomicFile): until then the
// data has no name at all, or a hidden one.

#include "imaging/files/AtomicFile.h"
#include "imaging/files/OutputFolder.h"

#include <QByteArray>

#include <utility>

class NamedAtCommitFile : public AtomicFile {
  public:
    // folder: where it will stand (empty: the working folder).
    explicit NamedAtCommitFile(QByteArray folder) : AtomicFile(std::move(folder), NameAtCommit{}) {}
    // In a run's output folder, opened once for the whole run: names at commit are relative to
    // it (which must outlive this file). subfolder: a folder inside it, which must exist
    // (OutputFolder::makeFolders), where the file waits and is to be named.
    explicit NamedAtCommitFile(const OutputFolder& folder, QByteArray subfolder = {})
        : AtomicFile(folder, NameAtCommit{}, std::move(subfolder)) {}

    // Puts the data on disk and renames the file to path: the folder given above, a slash and
    // the name; a name in another folder gets a copy made there. A folder at the name is
    // refused (EISDIR). On failure the temporary file is removed and the old entry stays.
    bool commit(const QByteArray& path) { return commitAs(path); }
    using AtomicFile::setOrigin;
};
