#pragma once
// The fixed list of encoders, built once at start-up and never changed afterwards, so every
// thread may read it without locking.

#include "imaging/GdiPlus.h"

#include <QByteArray>

#include <vector>

struct EncoderEntry {
    CLSID clsid;
    GUID formatId;
    const WCHAR* codecName;
    const WCHAR* formatDescription;
    const WCHAR* filenameExtension;
    const WCHAR* mimeType;
    const char* qtFormat; // the QImageWriter format name
};

class EncoderTable {
  public:
    static const EncoderTable& instance();

    const std::vector<EncoderEntry>& entries() const { return m_entries; }
    const EncoderEntry* find(const CLSID& clsid) const;
    // Bytes that GdipGetImageEncoders needs: the records, then every text with its terminator.
    UINT byteSize() const { return m_byteSize; }
    // Writes the records and their texts into one buffer of at least byteSize() bytes.
    void fill(ImageCodecInfo* records) const;

  private:
    EncoderTable();
    std::vector<EncoderEntry> m_entries;
    UINT m_byteSize = 0;
};
