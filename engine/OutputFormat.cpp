#include "engine/BatchJob.h"
#include "engine/EncoderList.h"
#include "engine/TextHelpers.h"

#include <string>

int CBatchJob::FindOutputEncoder(CLSID& classId) const {
    const EncoderList encoders;
    const int position = encoders.Find(szOutputFormat);
    if (position >= 0)
        classId = encoders[static_cast<UINT>(position)].Clsid;
    return position;
}

int CBatchJob::GetOutputExtension(char* buffer, int length) const {
    const EncoderList encoders;
    const int position = encoders.Find(szOutputFormat);
    if (position < 0)
        return position;
    const ImageCodecInfo& codec = encoders[static_cast<UINT>(position)];
    if (codec.FilenameExtension == nullptr || buffer == nullptr || length <= 0)
        return position;
    // Only the first pattern counts: "*.TIF;*.TIFF" gives TIF.
    std::wstring patterns(codec.FilenameExtension);
    patterns = patterns.substr(0, patterns.find(L';'));
    const auto text = FromWideText(patterns.c_str());
    if (!text)
        return position;
    const std::size_t dot = text->find('.');
    if (dot != std::string::npos)
        CopyText(buffer, text->c_str() + dot + 1, static_cast<std::size_t>(length));
    return position;
}
