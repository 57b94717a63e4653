#include "imaging/files/OutputFolder.h"

#include <QList>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace {

// The prefix and then only letters of the alphabet, counted in bytes: a name of other
// characters that happens to take as many bytes (UTF-8 letters, a dot) is none of ours.
bool isTemporaryName(const char* name) {
    const std::size_t prefix = std::strlen(OutputFolder::kTemporaryPrefix);
    const std::size_t letters = OutputFolder::kTemporaryLetters;
    return std::strncmp(name, OutputFolder::kTemporaryPrefix, prefix) == 0 &&
           std::strlen(name) == prefix + letters &&
           std::strspn(name + prefix, OutputFolder::kTemporaryAlphabet) == letters;
}

} // namespace

mode_t OutputFolder::creationMask() {
    mode_t mask = 022;
    if (std::FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned value = 0;
        while (std::fgets(line, sizeof line, status))
            if (std::sscanf(line, "Umask: %o", &value) == 1) {
                mask = mode_t(value & 0777);
                break;
            }
        std::fclose(status);
    }
    return mask;
}

OutputFolder::OutputFolder(const QByteArray& path) {
    // O_PATH: the folder only has to be searchable and writable, not readable.
    // No folder named is no folder at all (a run must not write wherever it was started).
    m_fd = path.isEmpty() ? -1 : ::open(path.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (m_fd < 0)
        m_error = path.isEmpty() ? ENOENT : errno;
}

OutputFolder::~OutputFolder() {
    if (m_fd >= 0)
        ::close(m_fd);
}

void OutputFolder::protect(const QByteArray& path) {
    struct stat entry {};
    struct stat target {};
    const bool haveEntry = ::lstat(path.constData(), &entry) == 0;
    const bool haveTarget = ::stat(path.constData(), &target) == 0;
    const std::lock_guard lock(m_protectedMutex);
    if (haveEntry)
        m_protected.emplace(entry.st_dev, entry.st_ino);
    if (haveTarget)
        m_protected.emplace(target.st_dev, target.st_ino);
}

bool OutputFolder::isProtected(dev_t device, ino_t inode) const {
    const std::lock_guard lock(m_protectedMutex);
    return m_protected.count({device, inode}) != 0;
}

int OutputFolder::removeLeftovers() const {
    if (m_fd < 0)
        return 0;
    const int listing = ::openat(m_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0)
        return 0;
    DIR* folder = ::fdopendir(listing);
    if (folder == nullptr) {
        ::close(listing);
        return 0;
    }
    // Only what AtomicFile makes: a file of the same name made by hand, by another program or
    // by another user is theirs. This process's umask stands for the killed run's; a leftover
    // of a run under another one is kept, which errs the safe way.
    const mode_t temporaryMode = kTemporaryMode & ~creationMask();
    // FAT and exFAT store no permissions: every file there shows the mode the disk was mounted
    // with, less the write bits when it is marked read-only, so a save decides no other bit.
    struct statfs disk {};
    const bool storesModes = ::fstatfs(m_fd, &disk) != 0 ||
                             (disk.f_type != MSDOS_SUPER_MAGIC && disk.f_type != EXFAT_SUPER_MAGIC);
    const mode_t decided = storesModes ? 07777 : S_IWUSR;
    const auto couldBeOurs = [&](const struct stat& file) {
        return S_ISREG(file.st_mode) && file.st_uid == ::geteuid() && file.st_nlink == 1 &&
               (file.st_mode & decided) == (temporaryMode & decided) &&
               !isProtected(file.st_dev, file.st_ino);
    };
    int removed = 0;
    while (const dirent* entry = ::readdir(folder)) {
        const char* name = entry->d_name;
        // Looked at before it is opened: opening a device can act on it.
        struct stat first {};
        if (!isTemporaryName(name) || ::fstatat(m_fd, name, &first, AT_SYMLINK_NOFOLLOW) != 0 ||
            !couldBeOurs(first))
            continue;
        const int fd = ::openat(m_fd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        // A writer holds its temporary locked from the moment it exists until it has its name;
        // one that is free to lock belongs to no live run. A file system that cannot lock
        // keeps its files: nothing proves them dead. Some shares lock only on their own host
        // (FUSE without lock support), where another machine's live file looks free: only a
        // file left unwritten for a while is taken for dead.
        struct stat held {
        }, there{};
        if (::fstat(fd, &held) == 0 && couldBeOurs(held) &&
            std::time(nullptr) - held.st_mtim.tv_sec >= kLeftoverAgeSeconds &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            ::fstatat(m_fd, name, &there, AT_SYMLINK_NOFOLLOW) == 0 &&
            there.st_dev == held.st_dev && there.st_ino == held.st_ino &&
            ::unlinkat(m_fd, name, 0) == 0)
            ++removed;
        ::close(fd);
    }
    ::closedir(folder);
    return removed;
}

int OutputFolder::makeFolders(const QByteArray& relative) const {
    if (m_fd < 0)
        return m_error != 0 ? m_error : EBADF;
    int parent = m_fd;
    int error = 0;
    for (const QByteArray& part : relative.split('/')) {
        if (part.isEmpty() || part == ".")
            continue;
        if (part == "..") {
            error = EINVAL;
            break;
        }
        // Another run making the same folder at the same moment is as good as this one.
        if (::mkdirat(parent, part.constData(), 0777) != 0 && errno != EEXIST) {
            error = errno;
            break;
        }
        const int next =
            ::openat(parent, part.constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (parent != m_fd)
            ::close(parent);
        if (next < 0) {
            parent = m_fd;
            error = errno;
            break;
        }
        parent = next;
    }
    if (parent != m_fd)
        ::close(parent);
    return error;
}
