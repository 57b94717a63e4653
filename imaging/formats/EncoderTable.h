#pragma once
// The fixed list of encoders, built once at start-up and never changed afterwards, so every
// thread may read it without locking.

#include "imaging/GdiPlus.h"
#include "imaging/formats/FormatRow.h"

#include <QByteArray>

#include <vector>

// An encoder is the row of the format it writes.
using EncoderEntry = FormatRow;

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
