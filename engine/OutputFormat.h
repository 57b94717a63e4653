#pragma once
// The formats outputs can be written in: one value for each encoder of the imaging library,
// with the texts the programs ask of it already in 8-bit form. The library fixes its encoder
// list once, so the values are made once per process and only read afterwards, from any thread.

#include "imaging/GdiPlus.h"

#include <string>
#include <vector>

class OutputFormat {
  public:
    // Every encoder the library lists, in its order (a format's Position() is its place here),
    // fetched at the first call.
    static const std::vector<OutputFormat>& Installed();
    // The first installed format whose MIME type equals mimeType exactly (letter case counts),
    // the text being in the current locale's encoding; null when there is none.
    static const OutputFormat* WithMime(const char* mimeType);
    // The first installed format the command line knows by name, in any letter case: its MIME
    // type, its subtype ("jpeg") or one of its extensions ("jpg"); null when there is none.
    // Formats without a MIME type cannot be named.
    static const OutputFormat* Named(const std::string& name);

    // False for an encoder the library lists without a MIME type.
    bool HasMime() const { return m_hasMime; }
    // Empty when the library gives none or it has no 8-bit form.
    const std::string& Mime() const { return m_mime; }
    // Without the dot, letter case kept ("TIF", "TIFF"), in the library's order.
    const std::vector<std::string>& Extensions() const { return m_extensions; }
    // The one its outputs are named with: the first; empty when there is none.
    const std::string& Extension() const;
    // As the file dialogs take them: "*.TIF;*.TIFF".
    const std::string& Patterns() const { return m_patterns; }
    // Lower case: the subtype of the MIME type, then the extensions.
    const std::vector<std::string>& Names() const { return m_names; }
    // "TIFF"; empty when the library gives none.
    const std::string& Description() const { return m_description; }
    const CLSID& Encoder() const { return m_encoder; }
    int Position() const { return m_position; }

  private:
    OutputFormat(const ImageCodecInfo& codec, int position);
    static std::vector<OutputFormat> Fetch();

    bool m_hasMime = false;
    // Kept as the library gives it, so that lookup by MIME type compares what it always did.
    std::wstring m_wideMime;
    std::string m_mime;
    std::vector<std::string> m_extensions;
    std::string m_patterns;
    std::vector<std::string> m_names;
    std::string m_description;
    CLSID m_encoder{};
    int m_position = -1;
};
