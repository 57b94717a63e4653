#include "engine/BatchJob.h"
#include "engine/TextHelpers.h"
#include "imaging/GdiPlus.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>
#include <string>

namespace {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};

// Fetches the library's encoder list afresh, finds the first encoder whose MIME type equals
// mimeType exactly, hands it to found and returns its position; -1 when there is none.
template <class Found> int LookupEncoder(const char* mimeType, Found found) {
    const auto wanted = ToWidePath(mimeType);
    if (!wanted)
        return -1;
    UINT count = 0;
    UINT bytes = 0;
    GdipGetImageEncodersSize(&count, &bytes);
    if (count == 0 || bytes < count * sizeof(ImageCodecInfo))
        return -1;
    std::unique_ptr<void, FreeDeleter> buffer(std::malloc(bytes));
    if (!buffer)
        return -1;
    auto* codecs = static_cast<ImageCodecInfo*>(buffer.get());
    if (GdipGetImageEncoders(count, bytes, codecs) != Ok)
        return -1;
    for (UINT i = 0; i < count; ++i) {
        if (codecs[i].MimeType != nullptr && *wanted == codecs[i].MimeType) {
            found(codecs[i]);
            return static_cast<int>(i);
        }
    }
    return -1;
}

} // namespace

int CBatchJob::FindOutputEncoder(CLSID& classId) const {
    return LookupEncoder(szOutputFormat,
                         [&](const ImageCodecInfo& codec) { classId = codec.Clsid; });
}

int CBatchJob::GetOutputExtension(char* buffer, int length) const {
    return LookupEncoder(szOutputFormat, [&](const ImageCodecInfo& codec) {
        if (codec.FilenameExtension == nullptr || buffer == nullptr || length <= 0)
            return;
        // Only the first pattern counts: "*.TIF;*.TIFF" gives TIF.
        std::wstring patterns(codec.FilenameExtension);
        patterns = patterns.substr(0, patterns.find(L';'));
        const auto text = FromWideText(patterns.c_str());
        if (!text)
            return;
        const std::size_t dot = text->find('.');
        if (dot == std::string::npos)
            return;
        CopyText(buffer, text->c_str() + dot + 1, static_cast<std::size_t>(length));
    });
}
