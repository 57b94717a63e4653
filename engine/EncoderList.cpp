#include "engine/EncoderList.h"

#include "imaging/files/LocaleText.h"

#include <cwchar>

EncoderList::EncoderList() {
    UINT count = 0;
    UINT bytes = 0;
    if (GdipGetImageEncodersSize(&count, &bytes) != Ok || count == 0 ||
        bytes < count * sizeof(ImageCodecInfo))
        return;
    std::unique_ptr<std::byte[]> buffer(new std::byte[bytes]);
    if (GdipGetImageEncoders(count, bytes, reinterpret_cast<ImageCodecInfo*>(buffer.get())) != Ok)
        return;
    m_buffer = std::move(buffer);
    m_count = count;
}

int EncoderList::Find(const WCHAR* mimeType) const {
    if (mimeType == nullptr)
        return -1;
    for (UINT i = 0; i < m_count; ++i) {
        const WCHAR* own = Records()[i].MimeType;
        if (own != nullptr && std::wcscmp(own, mimeType) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

int EncoderList::Find(const char* mimeType) const {
    const auto wide = ToWidePath(mimeType);
    return wide ? Find(wide->c_str()) : -1;
}

std::vector<std::string> EncoderExtensions(const ImageCodecInfo& codec) {
    std::vector<std::string> extensions;
    if (codec.FilenameExtension == nullptr)
        return extensions;
    const std::string patterns = FromWideText(codec.FilenameExtension).value_or(std::string());
    std::size_t from = 0;
    while (from < patterns.size()) {
        std::size_t to = patterns.find(';', from);
        if (to == std::string::npos)
            to = patterns.size();
        const std::string pattern = patterns.substr(from, to - from);
        const std::size_t dot = pattern.rfind('.');
        if (dot != std::string::npos)
            extensions.push_back(pattern.substr(dot + 1));
        from = to + 1;
    }
    return extensions;
}

std::string EncoderPatterns(const ImageCodecInfo& codec) {
    std::string patterns;
    for (const std::string& extension : EncoderExtensions(codec))
        patterns += (patterns.empty() ? "*." : ";*.") + extension;
    return patterns;
}
