#include "imaging/files/AtomicFile.h"

#include <QRandomGenerator>
#include <QtGlobal>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <utility>

namespace {

// Tries before giving up on finding a free temporary name; with 62^12 names a clash means
// something else is going on.
constexpr int kNameAttempts = 100;

QByteArray randomTemporaryName() {
    constexpr const char* kLetters = OutputFolder::kTemporaryAlphabet;
    constexpr int kCount = int(sizeof OutputFolder::kTemporaryAlphabet) - 1;
    QByteArray name(AtomicFile::kTemporaryPrefix);
    for (int i = 0; i < AtomicFile::kTemporaryLetters; ++i)
        name += kLetters[QRandomGenerator::global()->bounded(kCount)];
    return name;
}

QByteArray folderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
}

} // namespace

AtomicFile::AtomicFile(QByteArray path) : m_path(std::move(path)) {}

AtomicFile::AtomicFile(QByteArray folder, NameAtCommit)
    : m_path(folder.isEmpty() ? QByteArray(".") : std::move(folder)), m_nameAtCommit(true) {}

AtomicFile::AtomicFile(const OutputFolder& folder, NameAtCommit, QByteArray subfolder)
    : m_path(subfolder.isEmpty() ? QByteArray(".") : std::move(subfolder)), m_folder(&folder),
      m_nameAtCommit(true) {}

AtomicFile::AtomicFile(QByteArray path, const OutputFolder* folder)
    : m_path(std::move(path)), m_folder(folder) {}

AtomicFile::~AtomicFile() {
    cancel();
}

bool AtomicFile::open(Temporary kind) {
    cancel();
    m_error = 0;
    const QByteArray folder = m_nameAtCommit ? m_path : folderOf(m_path);
    // O_PATH: the folder only has to be searchable and writable, not readable.
    const int base = m_folder != nullptr ? m_folder->handle() : AT_FDCWD;
    m_dirFd = ::openat(base, folder.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (m_dirFd < 0)
        return fail(errno);
    // Found now rather than after encoding the whole picture; the rename would refuse it.
    if (!m_nameAtCommit && !takeName(m_path))
        return false;
    // Private until it is named, and with the one mode by which a later run's clean-up tells a
    // killed save's leftover from a user's file; its own permissions come at the rename.
    const int mode = OutputFolder::kTemporaryMode;

    // Unnamed files need a way to be linked in later: /proc, or the capability that
    // AT_EMPTY_PATH asks for.
    // PICTORUM_NAMED_TEMPORARIES=1 asks for named ones everywhere: for a file system that
    // claims unnamed files and mishandles them, and to try the named path on any disk.
    static const bool namedOnly = qEnvironmentVariableIntValue("PICTORUM_NAMED_TEMPORARIES") != 0;
    if (kind == Temporary::UnnamedWherePossible && !namedOnly &&
        (::geteuid() == 0 || ::access("/proc/self/fd", X_OK) == 0))
        m_fd = ::openat(m_dirFd, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
    // Locked before it can ever have a name (it gets one just before the rename).
    if (m_fd >= 0)
        (void)::flock(m_fd, LOCK_EX | LOCK_NB);
    return m_fd >= 0 || createNamed(mode);
}

bool AtomicFile::takeName(const QByteArray& path) {
    m_name = path.mid(path.lastIndexOf('/') + 1);
    if (m_name.isEmpty() || m_name == "." || m_name == "..")
        return fail(EISDIR);
    const int refusal = refusalAtName();
    return refusal == 0 || fail(refusal);
}

int AtomicFile::refusalAtName() {
    struct stat existing {};
    m_nameWasFree = false;
    if (::fstatat(m_dirFd, m_name.constData(), &existing, AT_SYMLINK_NOFOLLOW) != 0) {
        m_nameWasFree = errno == ENOENT;
        return m_nameWasFree ? 0 : errno;
    }
    if (S_ISDIR(existing.st_mode))
        return EISDIR;
    if (m_folder != nullptr && m_folder->isProtected(existing.st_dev, existing.st_ino))
        return OutputFolder::kWouldReplaceInput;
    if (!S_ISREG(existing.st_mode))
        return 0;
    // A file its owner keeps read-only, or another user's file in one's own folder, is not
    // one's to replace, whatever the folder's permissions allow (as cp refuses it too).
    if (existing.st_uid != ::geteuid() || (existing.st_mode & S_IWUSR) == 0)
        return OutputFolder::kExistingFileReadOnly;
    if (!m_replaceOthers && holdsAnotherPicture())
        return OutputFolder::kHoldsAnotherCopy;
    m_keepMode = int(existing.st_mode & 0777);
    return 0;
}

void AtomicFile::setOrigin(QByteArray picture, QByteArray made, bool replaceOthers) {
    m_picture = std::move(picture);
    m_made = std::move(made);
    m_replaceOthers = replaceOthers || m_picture.isEmpty();
}

bool AtomicFile::holdsAnotherPicture() const {
    // Never blocks on what took the name's place since it was looked at (a FIFO).
    const int fd =
        ::openat(m_dirFd, m_name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    QByteArray source(PATH_MAX, '\0');
    const ssize_t size =
        ::fgetxattr(fd, OutputFolder::kSourceRecord, source.data(), std::size_t(source.size()));
    ::close(fd);
    return size >= 0 && source.left(size) != m_picture;
}

template <class Take> bool AtomicFile::takeFreshName(Take take) {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const QByteArray name = randomTemporaryName();
        if (take(name)) {
            m_temporary = name;
            return true;
        }
        if (errno != EEXIST)
            return fail(errno);
    }
    return fail(EEXIST);
}

bool AtomicFile::createNamed(int mode) {
    return takeFreshName([&](const QByteArray& name) {
        m_fd = ::openat(m_dirFd, name.constData(),
                        O_CREAT | O_EXCL | O_RDWR | O_NOFOLLOW | O_CLOEXEC, mode);
        return m_fd >= 0 && lockTemporary(name);
    });
}

bool AtomicFile::lockTemporary(const QByteArray& name) {
    // Another run's clean-up may have found the file in the moment between its creation and
    // the lock, and removed it: then it is given up and another name taken. A file system that
    // cannot lock at all is taken as it is (its clean-up cannot lock either, and keeps it).
    if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        ::close(std::exchange(m_fd, -1));
        errno = EEXIST;
        return false;
    }
    struct stat held {
    }, there{};
    if (::fstat(m_fd, &held) != 0 ||
        ::fstatat(m_dirFd, name.constData(), &there, AT_SYMLINK_NOFOLLOW) != 0 ||
        held.st_dev != there.st_dev || held.st_ino != there.st_ino) {
        ::close(std::exchange(m_fd, -1));
        errno = EEXIST;
        return false;
    }
    return true;
}

bool AtomicFile::linkUnnamed() {
    char procPath[64];
    std::snprintf(procPath, sizeof procPath, "/proc/self/fd/%d", m_fd);
    return takeFreshName([&](const QByteArray& name) {
        int linked = ::linkat(m_fd, "", m_dirFd, name.constData(), AT_EMPTY_PATH);
        if (linked != 0 && errno != EEXIST)
            linked = ::linkat(AT_FDCWD, procPath, m_dirFd, name.constData(), AT_SYMLINK_FOLLOW);
        return linked == 0;
    });
}

bool AtomicFile::commitAtName() {
    return finishCommit();
}

bool AtomicFile::commitAs(const QByteArray& path) {
    if (m_fd < 0)
        return fail(EBADF);
    if (folderOf(path) != m_path)
        return moveTo(path);
    if (!takeName(path))
        return false;
    return finishCommit();
}

bool AtomicFile::moveTo(const QByteArray& path) {
    // The name reaches into another folder (a name template with a slash): a rename cannot
    // cross, so the data is copied into a new file there, which is committed the same way.
    AtomicFile there(path, m_folder);
    there.setOrigin(m_picture, m_made, m_replaceOthers);
    if (!there.open())
        return fail(there.error());
    char buffer[1 << 16];
    for (off_t offset = 0;;) {
        const ssize_t got = ::pread(m_fd, buffer, sizeof buffer, offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return fail(errno);
        if (got == 0)
            break;
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(there.handle(), buffer + done, std::size_t(got - done));
            if (put < 0 && errno == EINTR)
                continue;
            if (put <= 0)
                return fail(put < 0 ? errno : ENOSPC);
            done += put;
        }
        offset += got;
    }
    if (!there.commitAtName())
        return fail(there.error());
    cancel();
    return true;
}

bool AtomicFile::sync() {
    if (m_fd < 0)
        return fail(EBADF);
    if (::fdatasync(m_fd) != 0 && errno != EINVAL && errno != EROFS && errno != ENOSYS &&
        errno != EOPNOTSUPP)
        return fail(errno);
    return true;
}

bool AtomicFile::finishCommit() {
    if (m_fd < 0)
        return fail(EBADF);
    // Kept from the earlier saver, which synced as well: after a crash the name holds either
    // the old file or the whole new one, never an empty new one. File systems that cannot sync
    // say so and are taken as they are.
    if (!sync())
        return false;
    if (m_temporary.isEmpty() && !linkUnnamed())
        return false;
    // A file system without extended attributes keeps the copy without its record; a later
    // run then cannot tell it from another picture's, and treats it as a file of its own.
    if (!m_picture.isEmpty() &&
        ::fsetxattr(m_fd, OutputFolder::kSourceRecord, m_picture.constData(),
                    std::size_t(m_picture.size()), 0) == 0)
        (void)::fsetxattr(m_fd, OutputFolder::kMadeRecord, m_made.constData(),
                          std::size_t(m_made.size()), 0);
    // What any new file would have got, or what the file it replaces had; set this late so
    // that a save killed before its rename leaves a file with a temporary's mode. Not every
    // file system keeps permissions (FAT, some FUSE ones): the file is still good.
    const mode_t mode = m_keepMode >= 0 ? mode_t(m_keepMode) : 0666 & ~OutputFolder::creationMask();
    (void)::fchmod(m_fd, mode);
    // Some file systems (NFS, FUSE) report write errors only when the file is closed. A second
    // descriptor keeps the lock until the rename, so that no clean-up takes the file meanwhile.
    const int lock = ::fcntl(m_fd, F_DUPFD_CLOEXEC, 0);
    const int fd = std::exchange(m_fd, -1);
    const auto release = [&] {
        if (lock >= 0)
            ::close(lock);
    };
    if (::close(fd) != 0 && errno != EINTR) {
        release();
        return fail(errno);
    }
    const bool renamed = renameIntoPlace();
    const int renameError = errno;
    release();
    if (!renamed)
        return fail(renameError);
    m_temporary.clear();
    cancel(); // closes the folder
    return true;
}

bool AtomicFile::renameIntoPlace() {
    const auto rename = [&](unsigned flags) {
        return ::renameat2(m_dirFd, m_temporary.constData(), m_dirFd, m_name.constData(), flags) ==
               0;
    };
    // Two runs naming a copy alike at once (chunks of one list numbered alike) must not both
    // find the name free, and the later one replace the earlier one's copy unseen.
    if (m_replaceOthers || !m_nameWasFree || rename(RENAME_NOREPLACE))
        return m_replaceOthers || !m_nameWasFree ? rename(0) : true;
    if (errno == EINVAL) // a file system that cannot tell
        return rename(0);
    if (errno != EEXIST)
        return false;
    if (const int refusal = refusalAtName(); refusal != 0) {
        errno = refusal;
        return false;
    }
    return rename(0);
}

void AtomicFile::cancel() {
    if (m_fd >= 0)
        ::close(std::exchange(m_fd, -1));
    removeTemporary();
    if (m_dirFd >= 0)
        ::close(std::exchange(m_dirFd, -1));
    m_keepMode = -1;
}

bool AtomicFile::fail(int error) {
    if (m_error == 0)
        m_error = error;
    cancel();
    return false;
}

void AtomicFile::removeTemporary() {
    if (!m_temporary.isEmpty() && m_dirFd >= 0)
        ::unlinkat(m_dirFd, m_temporary.constData(), 0);
    m_temporary.clear();
}
