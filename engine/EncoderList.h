#pragma once
// The imaging library's encoder list in a buffer of its own: the records and the texts they
// point to stay valid for as long as the list exists, and go with it. The library must be
// running when a list is made.

#include "imaging/GdiPlus.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

class EncoderList {
  public:
    // Fetches the list afresh. A list the library cannot describe or hand over is empty.
    EncoderList();
    EncoderList(const EncoderList&) = delete;
    EncoderList& operator=(const EncoderList&) = delete;

    UINT Count() const { return m_count; }
    bool IsEmpty() const { return m_count == 0; }
    const ImageCodecInfo& operator[](UINT index) const { return Records()[index]; }
    const ImageCodecInfo* begin() const { return Records(); }
    const ImageCodecInfo* end() const { return Records() + m_count; }

    // Position of the first encoder whose MIME type equals mimeType exactly (letter case
    // counts); -1 when there is none. The 8-bit form is text in the current locale's encoding;
    // text that does not convert names no encoder.
    int Find(const WCHAR* mimeType) const;
    int Find(const char* mimeType) const;

  private:
    const ImageCodecInfo* Records() const {
        return reinterpret_cast<const ImageCodecInfo*>(m_buffer.get());
    }

    std::unique_ptr<std::byte[]> m_buffer;
    UINT m_count = 0;
};

// The file extensions an encoder's FilenameExtension lists ("*.TIF;*.TIFF" gives TIF and TIFF),
// without the dot, letter case kept, in the list's order: the first is the one its outputs are
// named with. None when the encoder has no such text or it does not convert to 8-bit text.
std::vector<std::string> EncoderExtensions(const ImageCodecInfo& codec);

// Those extensions as the file dialogs' patterns take them: "*.TIF;*.TIFF".
std::string EncoderPatterns(const ImageCodecInfo& codec);
