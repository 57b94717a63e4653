#include "imaging/files/CheckedWriter.h"

#include <cerrno>

CheckedWriter::CheckedWriter(QFileDevice* file, const std::atomic<bool>* abandon)
    : m_file(file), m_abandon(abandon) {
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

bool CheckedWriter::fail(int error) {
    // Qt keeps only its own text of the failure; errno still holds the system's code, which
    // tells a full disk from a file-size limit or a failing drive. A short write that set none
    // is the disk's doing all the same.
    if (!m_failed)
        m_error = error != 0 ? error : EIO;
    m_failed = true;
    return false;
}

bool CheckedWriter::seek(qint64 position) {
    errno = 0;
    if (!m_file->seek(position))
        return fail(errno);
    return QIODevice::seek(position);
}

qint64 CheckedWriter::size() const {
    return m_file->size();
}

qint64 CheckedWriter::readData(char*, qint64) {
    return -1; // write-only
}

qint64 CheckedWriter::writeData(const char* data, qint64 size) {
    if (m_abandon != nullptr && m_abandon->load(std::memory_order_relaxed)) {
        m_failed = true;
        return -1;
    }
    errno = 0;
    const qint64 written = m_file->write(data, size);
    if (written != size) {
        fail(errno);
        return -1;
    }
    return written;
}
