#pragma once
// A write-only device in front of a file that remembers every write that did not go through
// completely. Qt's TIFF and WebP writers ignore short writes (a full disk) and report success;
// written through this device, the saver still sees them. Seeking is passed on, so writers
// that go back to patch headers work as on the file itself.

#include <QFileDevice>
#include <QIODevice>

#include <atomic>

class CheckedWriter : public QIODevice {
  public:
    // file: open for writing, unbuffered, so that nothing waits in a buffer to fail later.
    // abandon: once set, every further write fails, which ends the encoder writing through
    // this device early (work that is no longer wanted).
    explicit CheckedWriter(QFileDevice* file, const std::atomic<bool>* abandon = nullptr);
    bool failed() const { return m_failed; }
    // The system's errno for the first write or seek that failed (ENOSPC, EFBIG, EIO, ...); 0
    // when none failed or the writer was abandoned.
    int error() const { return m_error; }

    bool isSequential() const override { return false; }
    bool seek(qint64 position) override;
    qint64 size() const override;

  protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

  private:
    QFileDevice* m_file;
    const std::atomic<bool>* m_abandon;
    bool m_failed = false;
    int m_error = 0;
    bool fail(int error);
};
