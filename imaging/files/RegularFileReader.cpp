#include "imaging/files/RegularFileReader.h"

#include "imaging/probe/CameraRawProbe.h"
#include "imaging/probe/ImageFileProbe.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Every file is read this far; a file that holds more is read further only as far as its
// header's picture can need (ImageFileProbe::bytesWorthReading), so a huge file costs at most
// this much memory and time unless its header declares a picture that large.
constexpr qint64 kHeadBytes = qint64(16) << 20;
// A TIFF directory read from elsewhere in the file: 65535 entries of 12 bytes fit.
constexpr qint64 kDirectoryBytes = qint64(1) << 20;

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

// Reads up to length bytes at offset; fewer only at the end of the file.
QByteArray readAt(int fd, std::uint64_t offset, qint64 length) {
    QByteArray bytes(qsizetype(length), Qt::Uninitialized);
    qint64 got = 0;
    while (got < length) {
        const ssize_t n = ::pread(fd, bytes.data() + got, std::size_t(length - got),
                                  off_t(offset + std::uint64_t(got)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += n;
    }
    bytes.truncate(qsizetype(got));
    return bytes;
}

// How far a file larger than its head is worth reading (see ImageFileProbe::bytesWorthReading);
// a TIFF's size may have to be read from a directory that lies further in.
std::uint64_t bytesWorthReading(int fd, const QByteArray& head) {
    ImageFileProbe::Result probed = ImageFileProbe::probe(head);
    // The head shows the damage already: the rest would only cost time and memory.
    if (probed.damaged)
        return 0;
    if (probed.container == ImageFileProbe::Container::Tiff && probed.width == 0) {
        const std::uint64_t at = ImageFileProbe::directoryOffset(head);
        if (at != 0)
            ImageFileProbe::directorySize(head, readAt(fd, at, kDirectoryBytes), &probed.width,
                                          &probed.height);
    }
    return ImageFileProbe::bytesWorthReading(probed);
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

    QByteArray data;
    try {
        data.resize(qsizetype(std::min(std::max(size, qint64(1)), kHeadBytes)));
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    }
    qint64 headLength = 0;
    if (!readFully(fd, data.data(), data.size(), &headLength))
        return statusFromErrno(errno);
    if (headLength == 0)
        return UnknownImageFormat;
    data.truncate(qsizetype(headLength));
    // Tens of megabytes no reader here can show (see CameraRawProbe).
    if (CameraRawProbe::recognises(data.left(CameraRawProbe::kHeadBytes)))
        return UnknownImageFormat;
    if (headLength < kHeadBytes || size <= headLength) {
        *contents = std::move(data);
        return Ok;
    }

    const std::uint64_t worth = bytesWorthReading(fd, data);
    if (ImageFileProbe::sniff(data) == ImageFileProbe::Container::Unknown &&
        std::uint64_t(size) > worth)
        return UnknownImageFormat; // a large video or archive is not read in whole
    const qint64 wanted =
        qint64(std::min(std::uint64_t(size), std::max(worth, std::uint64_t(headLength))));
    if (wanted <= headLength) {
        *contents = std::move(data);
        return Ok;
    }
    try {
        data.resize(qsizetype(wanted));
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    }
    qint64 rest = 0;
    if (!readFully(fd, data.data() + headLength, wanted - headLength, &rest))
        return statusFromErrno(errno);
    // The file may have shrunk since fstat; it may also have grown, which we ignore.
    data.truncate(qsizetype(headLength + rest));
    *contents = std::move(data);
    return Ok;
}
