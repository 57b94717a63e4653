#include "imaging/AtomicFile.h"

#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

// Tries before giving up on finding a free temporary name; with 62^12 names a clash means
// something else is going on.
constexpr int kNameAttempts = 100;

QByteArray randomTemporaryName() {
    static constexpr char kLetters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray name(AtomicFile::kTemporaryPrefix);
    for (int i = 0; i < 12; ++i)
        name += kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters) - 1)];
    return name;
}

} // namespace

AtomicFile::AtomicFile(QByteArray path) : m_path(std::move(path)) {}

AtomicFile::~AtomicFile() {
    cancel();
}

bool AtomicFile::open(Temporary kind) {
    cancel();
    m_error = 0;
    const qsizetype slash = m_path.lastIndexOf('/');
    const QByteArray folder = slash < 0    ? QByteArray(".")
                              : slash == 0 ? QByteArray("/")
                                           : m_path.left(slash);
    m_name = m_path.mid(slash + 1);
    if (m_name.isEmpty() || m_name == "." || m_name == "..")
        return fail(EISDIR);
    // O_PATH: the folder only has to be searchable and writable, not readable.
    m_dirFd = ::open(folder.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (m_dirFd < 0)
        return fail(errno);

    struct stat existing {};
    if (::fstatat(m_dirFd, m_name.constData(), &existing, AT_SYMLINK_NOFOLLOW) == 0) {
        // Found now rather than after encoding the whole picture; the rename would refuse it.
        if (S_ISDIR(existing.st_mode))
            return fail(EISDIR);
        if (S_ISREG(existing.st_mode))
            m_keepMode = int(existing.st_mode & 0777);
    } else if (errno != ENOENT) {
        return fail(errno);
    }
    // A file that will take an existing one's permissions stays private until it has them.
    const int mode = m_keepMode >= 0 ? 0600 : 0666;

    // Unnamed files need a way to be linked in later: /proc, or the capability that
    // AT_EMPTY_PATH asks for.
    if (kind == Temporary::UnnamedWherePossible &&
        (::geteuid() == 0 || ::access("/proc/self/fd", X_OK) == 0))
        m_fd = ::openat(m_dirFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    if (m_fd < 0 && !createNamed(mode))
        return false;
    // Not every file system keeps permissions (FAT, some FUSE ones): the file is still good.
    if (m_keepMode >= 0)
        (void)::fchmod(m_fd, mode_t(m_keepMode));
    return true;
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
                        O_CREAT | O_EXCL | O_WRONLY | O_NOFOLLOW | O_CLOEXEC, mode);
        return m_fd >= 0;
    });
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

bool AtomicFile::commit() {
    if (m_fd < 0)
        return fail(EBADF);
    // Kept from the earlier saver, which synced as well: after a crash the name holds either
    // the old file or the whole new one, never an empty new one. File systems that cannot sync
    // say so and are taken as they are.
    if (::fdatasync(m_fd) != 0 && errno != EINVAL && errno != EROFS && errno != ENOSYS &&
        errno != EOPNOTSUPP)
        return fail(errno);
    if (m_temporary.isEmpty() && !linkUnnamed())
        return false;
    // Some file systems (NFS, FUSE) report write errors only when the file is closed.
    const int fd = std::exchange(m_fd, -1);
    if (::close(fd) != 0 && errno != EINTR)
        return fail(errno);
    if (::renameat(m_dirFd, m_temporary.constData(), m_dirFd, m_name.constData()) != 0)
        return fail(errno);
    m_temporary.clear();
    cancel(); // closes the folder
    return true;
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
