#include "imaging/files/CheckedWriter.h"

CheckedWriter::CheckedWriter(QFileDevice* file, const std::atomic<bool>* abandon)
    : m_file(file), m_abandon(abandon) {
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

bool CheckedWriter::seek(qint64 position) {
    if (!m_file->seek(position)) {
        m_failed = true;
        return false;
    }
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
    const qint64 written = m_file->write(data, size);
    if (written != size) {
        m_failed = true;
        return -1;
    }
    return written;
}
