// The job read as a run reads it: its choices, the output encoder and the output paths, the
// format looked up among the installed ones and the path named as RunSettings names it.
#include "engine/BatchJob.h"
#include "engine/OutputFormat.h"
#include "engine/OutputNaming.h"
#include "engine/RunSettings.h"
#include "engine/TextHelpers.h"

int CBatchJob::FindOutputEncoder(CLSID& classId) const {
    const OutputFormat* format = OutputFormat::WithMime(szOutputFormat);
    if (format == nullptr)
        return -1;
    classId = format->Encoder();
    return format->Position();
}

int CBatchJob::GetOutputExtension(char* buffer, int length) const {
    const OutputFormat* format = OutputFormat::WithMime(szOutputFormat);
    if (format == nullptr)
        return -1;
    if (!format->Extension().empty() && buffer != nullptr && length > 0)
        CopyText(buffer, format->Extension().c_str(), static_cast<std::size_t>(length));
    return format->Position();
}

RunChoices CBatchJob::Choices() const {
    RunChoices choices;
    choices.overlayPath = szOverlayPath;
    choices.sizeMode = SizeModeOfField(GetSizeMode());
    choices.sizeX = nSizeX;
    choices.sizeY = nSizeY;
    choices.anchor = AnchorOfField(GetOverlayAnchor());
    choices.outputDir = szOutputDir;
    choices.mimeType = szOutputFormat;
    choices.nameTemplate = szNameTemplate;
    choices.firstNumber = nSerial;
    return choices;
}

void CBatchJob::SizeToOverlay(UINT width, UINT height) {
    const OverlaySize size = OverlaySize::OwnOf(width, height);
    SetSizeMode(DWORD(size.mode));
    nSizeX = size.x;
    nSizeY = size.y;
}

void CBatchJob::MakeOutputPathFor(std::int32_t number, char* buffer, int length) const {
    if (buffer == nullptr || length <= 0)
        return;
    const OutputFormat* format = OutputFormat::WithMime(szOutputFormat);
    // A cut path would name a different file: write none rather than that one.
    const std::string path = OutputPathFor(szOutputDir, szNameTemplate, number,
                                           format != nullptr ? format->Extension() : std::string(),
                                           static_cast<std::size_t>(length));
    CopyText(buffer, path.c_str(), static_cast<std::size_t>(length));
}
