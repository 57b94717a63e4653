#include "imaging/files/OutputFolder.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

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
    struct stat info {};
    if (::lstat(path.constData(), &info) == 0)
        m_protected.emplace(info.st_dev, info.st_ino);
    if (::stat(path.constData(), &info) == 0)
        m_protected.emplace(info.st_dev, info.st_ino);
}

bool OutputFolder::isProtected(dev_t device, ino_t inode) const {
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
    const std::size_t prefix = std::strlen(kTemporaryPrefix);
    int removed = 0;
    while (const dirent* entry = ::readdir(folder)) {
        const char* name = entry->d_name;
        if (std::strncmp(name, kTemporaryPrefix, prefix) != 0 ||
            std::strlen(name) != prefix + kTemporaryLetters)
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
        if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) &&
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
