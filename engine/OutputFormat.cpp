#include "engine/OutputFormat.h"

#include "engine/EncoderList.h"
#include "engine/TextHelpers.h"
#include "imaging/files/LocaleText.h"

#include <algorithm>

OutputFormat::OutputFormat(const ImageCodecInfo& codec, int position)
    : m_hasMime(codec.MimeType != nullptr), m_extensions(EncoderExtensions(codec)),
      m_patterns(EncoderPatterns(codec)), m_encoder(codec.Clsid), m_position(position) {
    if (m_hasMime) {
        m_wideMime = codec.MimeType;
        m_mime = FromWideText(codec.MimeType).value_or(std::string());
        const std::size_t slash = m_mime.find('/');
        if (slash != std::string::npos)
            m_names.push_back(Lower(m_mime.substr(slash + 1)));
    }
    for (const std::string& extension : m_extensions)
        m_names.push_back(Lower(extension));
    if (codec.FormatDescription != nullptr)
        m_description = FromWideText(codec.FormatDescription).value_or(std::string());
}

std::vector<OutputFormat> OutputFormat::Fetch() {
    const EncoderList encoders;
    std::vector<OutputFormat> formats;
    formats.reserve(encoders.Count());
    for (UINT i = 0; i < encoders.Count(); ++i)
        formats.push_back(OutputFormat(encoders[i], static_cast<int>(i)));
    return formats;
}

const std::vector<OutputFormat>& OutputFormat::Installed() {
    // The library's encoder list is fixed at its first use, so this one is too.
    static const std::vector<OutputFormat> formats = Fetch();
    return formats;
}

const OutputFormat* OutputFormat::WithMime(const char* mimeType) {
    const auto wide = ToWidePath(mimeType);
    if (!wide)
        return nullptr;
    for (const OutputFormat& format : Installed())
        if (format.m_hasMime && format.m_wideMime == *wide)
            return &format;
    return nullptr;
}

const OutputFormat* OutputFormat::Named(const std::string& name) {
    const std::string lower = Lower(name);
    for (const OutputFormat& format : Installed()) {
        if (!format.m_hasMime)
            continue;
        if (lower == Lower(format.m_mime) ||
            std::find(format.m_names.begin(), format.m_names.end(), lower) != format.m_names.end())
            return &format;
    }
    return nullptr;
}

const std::string& OutputFormat::Extension() const {
    static const std::string none;
    return m_extensions.empty() ? none : m_extensions.front();
}
