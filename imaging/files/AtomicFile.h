#pragma once
// A new file that takes the place of whatever stands at a name in one step. The data goes into
// a temporary file created exclusively in the target's own folder; commit() renames it over the
// name, which replaces the entry itself (a file, a symbolic link, a FIFO) and never follows it,
// so nothing outside that folder is opened for writing. Until then, and after any failure, the
// old entry is untouched and no temporary file is left behind.
//
// The temporary file is unnamed (O_TMPFILE) where the file system allows it, so that even a
// killed process leaves nothing; elsewhere it is a hidden name starting with kTemporaryPrefix,
// held locked (flock) while it lives, so that the next run into the folder can tell a killed
// save's leftover from a live one (OutputFolder::removeLeftovers).
//
// An existing regular file is replaced only when this user may write it: its owner, with write
// permission. Files made relative to an OutputFolder never replace the pictures it protects.

#include "imaging/files/OutputFolder.h"

#include <QByteArray>

// The part both kinds share: ReplacingFile takes a name given when it is made, and
// NamedAtCommitFile one given only at its commit.
class AtomicFile {
  public:
    static constexpr const char* kTemporaryPrefix = OutputFolder::kTemporaryPrefix;
    static constexpr int kTemporaryLetters = OutputFolder::kTemporaryLetters;

    enum class Temporary { UnnamedWherePossible, Named };

    ~AtomicFile(); // cancels an uncommitted file
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file, with OutputFolder::kTemporaryMode less the umask until the
    // commit. New files get 0666 less the umask, as any created file does; when a regular file
    // already has the name, its permissions carry over. false with error() set when the folder
    // cannot be opened or written, or a folder has the name.
    bool open(Temporary kind = Temporary::UnnamedWherePossible);
    // The temporary file's descriptor, open for reading and writing; -1 when not open.
    int handle() const { return m_fd; }
    // Puts the data written so far on disk (commit does so too; a file that waits for its name
    // can be synced while it waits). On failure the temporary file is removed.
    bool sync();
    // Drops the temporary file.
    void cancel();
    // Drops it because writing its data failed with the system's error (errno), which error()
    // then tells, unless an earlier failure already does.
    void cancel(int error) { fail(error); }
    // errno of the first failure, or one of OutputFolder's own codes.
    int error() const { return m_error; }

  protected:
    // path: the file system's bytes, a folder part (optional) and the name.
    explicit AtomicFile(QByteArray path);
    // A file whose name is known only when it is committed: folder is where it will stand
    // (empty: the working folder). Until then the data has no name at all (or a hidden one).
    struct NameAtCommit {};
    AtomicFile(QByteArray folder, NameAtCommit);
    // The same in a run's output folder, opened once for the whole run: names at commit are
    // relative to it (which must outlive this file). subfolder: a folder inside it, which must
    // exist (OutputFolder::makeFolders), where the file waits and is to be named.
    AtomicFile(const OutputFolder& folder, NameAtCommit, QByteArray subfolder);

    // Puts the data on disk and renames the file over the name given when it was made. On
    // failure the temporary file is removed and the old entry stays.
    bool commitAtName();
    // The same for a file made with NameAtCommit: path is the folder given then, a slash and
    // the name; a name in another folder gets a copy made there. A folder at the name is
    // refused (EISDIR).
    bool commitAs(const QByteArray& path);

    // Which picture the file is a copy of, and how it was made: recorded with the file at its
    // commit (OutputFolder::kSourceRecord, kMadeRecord) where the file system keeps extended
    // attributes. The commit then refuses (kHoldsAnotherCopy) a file at the name that records
    // another picture, unless replaceOthers; and a name that was free when it was taken is never
    // taken over from a file another process put there meanwhile without that check.
    void setOrigin(QByteArray picture, QByteArray made, bool replaceOthers);

  private:
    bool fail(int error);
    bool takeName(const QByteArray& path);
    // 0 when the entry at m_name may be replaced (or there is none), else the error to refuse
    // it with; notes what the replacement keeps of it.
    int refusalAtName();
    bool holdsAnotherPicture() const;
    bool renameIntoPlace();
    bool finishCommit();
    bool moveTo(const QByteArray& path);
    AtomicFile(QByteArray path, const OutputFolder* folder);
    bool createNamed(int mode);
    // Locks the new temporary file as live; false when it was taken from under us first.
    bool lockTemporary(const QByteArray& name);
    bool linkUnnamed();
    // Offers fresh random names to take until it accepts one, which becomes the temporary
    // file's name, or fails for another reason than the name being in use.
    template <class Take> bool takeFreshName(Take take);
    void removeTemporary();

    QByteArray m_path;
    QByteArray m_name;      // last component of m_path
    QByteArray m_temporary; // the temporary file's name in the folder, empty while unnamed
    const OutputFolder* m_folder = nullptr; // m_path is relative to it when set
    int m_dirFd = -1;
    int m_fd = -1;
    int m_keepMode = -1; // permissions of the regular file being replaced
    bool m_nameAtCommit = false;
    bool m_nameWasFree = false;
    int m_error = 0;
    QByteArray m_picture; // setOrigin's; empty: no record
    QByteArray m_made;
    bool m_replaceOthers = true;
};
