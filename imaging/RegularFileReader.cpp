#include "imaging/RegularFileReader.h"

#include "imaging/ImageFileProbe.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A file larger than this cannot hold a picture within the pixel limit (the limit at 8 bytes
// per pixel uncompressed, plus room for headers and metadata).
constexpr qint64 kMaxFileBytes = qint64(kMaxImagePixels) * 8 + (qint64(64) << 20);
// Files that do not start like one of the main containers are handed to Qt's own detection
// only up to this size, so a large video or archive is not read in whole.
constexpr qint64 kMaxUnknownFileBytes = qint64(256) << 20;

GpStatus statusFromErrno(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return FileNotFound;
    case EACCES:
    case EPERM:
    case EISDIR:
        return AccessDenied;
    case ENOMEM:
        return OutOfMemory;
    default:
        return Win32Error;
    }
}

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }

  private:
    int m_fd;
};

// Reads up to length bytes at the current position; fewer only at the end of the file.
bool readFully(int fd, char* buffer, qint64 length, qint64* got) {
    *got = 0;
    while (*got < length) {
        const ssize_t n = ::read(fd, buffer + *got, std::size_t(length - *got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        *got += n;
    }
    return true;
}

} // namespace

GpStatus RegularFileReader::read(const QByteArray& path, QByteArray* contents) {
    if (path.isEmpty())
        return FileNotFound;
    // O_NONBLOCK: opening a FIFO without a writer must not wait; the type check below then
    // refuses it. Regular files ignore the flag.
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return statusFromErrno(errno);
    FileDescriptor file(fd);
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return statusFromErrno(errno);
    if (S_ISDIR(info.st_mode))
        return AccessDenied;
    if (!S_ISREG(info.st_mode))
        return Win32Error;
    const qint64 size = info.st_size;
    if (size > kMaxFileBytes)
        return OutOfMemory;

    char head[16] = {};
    qint64 headLength = 0;
    if (!readFully(fd, head, qint64(sizeof head), &headLength))
        return statusFromErrno(errno);
    if (headLength == 0)
        return UnknownImageFormat;
    if (size > kMaxUnknownFileBytes &&
        ImageFileProbe::sniff(QByteArray(head, qsizetype(headLength))) ==
            ImageFileProbe::Container::Unknown)
        return UnknownImageFormat;

    QByteArray data;
    try {
        data.resize(qsizetype(size > headLength ? size : headLength));
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    }
    std::memcpy(data.data(), head, std::size_t(headLength));
    qint64 rest = 0;
    if (!readFully(fd, data.data() + headLength, data.size() - headLength, &rest))
        return statusFromErrno(errno);
    // The file may have shrunk since fstat; it may also have grown, which we ignore.
    data.truncate(qsizetype(headLength + rest));
    *contents = std::move(data);
    return Ok;
}
