#pragma once
// The folder a run writes into, opened once: every file of the run is made and named relative
// to this handle, so that a folder renamed, or replaced by a link to another one while the run
// goes on, cannot send the remaining files elsewhere. It also knows the files the run must never
// replace: its own pictures, which an output name in the same folder could otherwise hit.

#include <QByteArray>

#include <cstddef>
#include <mutex>
#include <unordered_set>
#include <utility>

#include <sys/types.h>

class OutputFolder {
  public:
    // A leftover of a killed save on a file system without unnamed files carries this name
    // followed by kTemporaryLetters random letters of kTemporaryAlphabet.
    static constexpr const char* kTemporaryPrefix = ".pictorum-";
    static constexpr int kTemporaryLetters = 12;
    static constexpr char kTemporaryAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    // Every temporary file is created with these permissions (less the umask) and keeps them
    // until the moment before its rename, so that a leftover can be told by them.
    static constexpr mode_t kTemporaryMode = 0600;

    // The process's file creation mask now, read without changing it (umask() can only be read
    // by setting it, which would race with other threads creating files).
    static mode_t creationMask();

    // AtomicFile's error() for a name that holds one of the run's own pictures.
    static constexpr int kWouldReplaceInput = -2;
    // ... and for an existing file this user may not write (no write permission for its owner,
    // or another user's file).
    static constexpr int kExistingFileReadOnly = -3;
    // ... and for a file that records another picture as its source (see kSourceRecord).
    static constexpr int kHoldsAnotherCopy = -4;

    // The extended attributes in which a copy records where it came from, where the file
    // system keeps them: the picture it was made from (its full path), and how it was made.
    // In the file system rather than in the picture's own records, so that the copy's bytes do
    // not depend on where the photo lay, and a published copy does not tell.
    static constexpr const char* kSourceRecord = "user.pictorum.source";
    static constexpr const char* kMadeRecord = "user.pictorum.made";

    // path: the file system's bytes; empty names no folder (handle() is then -1).
    explicit OutputFolder(const QByteArray& path);
    ~OutputFolder();
    OutputFolder(const OutputFolder&) = delete;
    OutputFolder& operator=(const OutputFolder&) = delete;

    // -1 with error() set when the folder could not be opened.
    int handle() const { return m_fd; }
    int error() const { return m_error; }

    // Adds the file at path (the entry itself, and what a link there leads to) to those never
    // replaced. Safe while the run's threads use the folder: a list read while the run goes on
    // protects each picture as it is read.
    void protect(const QByteArray& path);
    bool isProtected(dev_t device, ino_t inode) const;

    // Removes the hidden temporary files that killed runs left behind: those no live writer
    // holds locked and nothing has written for kLeftoverAgeSeconds. Only a file this program
    // could have made counts as one: a regular file with a temporary's name and permissions,
    // this user's, with no other link, and none of the protected files. Returns how many.
    // Makes the folders of relative (a/b/c) inside this one where missing, one step at a time
    // from the handle and never through a link, so that no copy lands outside. 0, or errno.
    int makeFolders(const QByteArray& relative) const;

    static constexpr long kLeftoverAgeSeconds = 60;
    int removeLeftovers() const;

  private:
    int m_fd = -1;
    int m_error = 0;
    struct FileKeyHash {
        std::size_t operator()(const std::pair<dev_t, ino_t>& key) const {
            return std::hash<ino_t>()(key.second) ^ (std::hash<dev_t>()(key.first) << 1);
        }
    };
    mutable std::mutex m_protectedMutex;
    // Hashed rather than ordered: a list of a million pictures holds a million of them.
    std::unordered_set<std::pair<dev_t, ino_t>, FileKeyHash> m_protected;
};
