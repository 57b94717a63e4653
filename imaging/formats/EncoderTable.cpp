#include "imaging/formats/EncoderTable.h"

#include "imaging/formats/FormatTable.h"

#include <QImageWriter>

#include <cstring>
#include <cwchar>

namespace {

UINT textBytes(const WCHAR* text) {
    return UINT((std::wcslen(text) + 1) * sizeof(WCHAR));
}

WCHAR* copyText(const WCHAR* text, char** cursor) {
    auto* place = reinterpret_cast<WCHAR*>(*cursor);
    const UINT bytes = textBytes(text);
    std::memcpy(place, text, bytes);
    *cursor += bytes;
    return place;
}

} // namespace

const EncoderTable& EncoderTable::instance() {
    static const EncoderTable table;
    return table;
}

EncoderTable::EncoderTable() {
    const QList<QByteArray> writable = QImageWriter::supportedImageFormats();
    for (const FormatRow* row : FormatTable::rows()) {
        if (!row->writable())
            continue;
        const EncoderEntry& entry = *row;
        // BMP, JPEG and PNG are part of every Qt build; the others come from plugins, or from
        // libraries whose encoders may be missing.
        const bool present = entry.installed != nullptr
                                 ? entry.installed()
                                 : writable.contains(QByteArray(entry.qtFormat));
        if (!present)
            continue;
        m_entries.push_back(entry);
        m_byteSize += UINT(sizeof(ImageCodecInfo)) + textBytes(entry.codecName) +
                      textBytes(entry.formatDescription) + textBytes(entry.filenameExtension) +
                      textBytes(entry.mimeType);
    }
}

const EncoderEntry* EncoderTable::find(const CLSID& clsid) const {
    for (const EncoderEntry& entry : m_entries)
        if (entry.clsid == clsid)
            return &entry;
    return nullptr;
}

void EncoderTable::fill(ImageCodecInfo* records) const {
    char* cursor = reinterpret_cast<char*>(records + m_entries.size());
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        const EncoderEntry& entry = m_entries[i];
        ImageCodecInfo& record = records[i];
        record.Clsid = entry.clsid;
        record.FormatID = entry.formatId;
        record.CodecName = copyText(entry.codecName, &cursor);
        record.DllName = nullptr;
        record.FormatDescription = copyText(entry.formatDescription, &cursor);
        record.FilenameExtension = copyText(entry.filenameExtension, &cursor);
        record.MimeType = copyText(entry.mimeType, &cursor);
        record.Flags = ImageCodecFlagsEncoder | ImageCodecFlagsDecoder |
                       ImageCodecFlagsSupportBitmap | ImageCodecFlagsBuiltin;
        record.Version = 1;
        record.SigCount = 0;
        record.SigSize = 0;
        record.SigPattern = nullptr;
        record.SigMask = nullptr;
    }
}
