// The job read as a run reads it: its choices, the output encoder and the output paths.
#include "engine/BatchJob.h"
#include "engine/RunSettings.h"
#include "engine/TextHelpers.h"

int CBatchJob::FindOutputEncoder(CLSID& classId) const {
    const RunSettings settings = RunSettings::FromJob(*this);
    if (settings.Encoder() != nullptr)
        classId = *settings.Encoder();
    return settings.EncoderPosition();
}

int CBatchJob::GetOutputExtension(char* buffer, int length) const {
    const RunSettings settings = RunSettings::FromJob(*this);
    if (!settings.Extension().empty() && buffer != nullptr && length > 0)
        CopyText(buffer, settings.Extension().c_str(), static_cast<std::size_t>(length));
    return settings.EncoderPosition();
}

RunChoices CBatchJob::Choices() const {
    RunChoices choices;
    choices.overlayPath = szOverlayPath;
    choices.sizeMode = GetSizeMode();
    choices.sizeX = nSizeX;
    choices.sizeY = nSizeY;
    choices.anchor = GetOverlayAnchor();
    choices.outputDir = szOutputDir;
    choices.mimeType = szOutputFormat;
    choices.nameTemplate = szNameTemplate;
    choices.firstNumber = nSerial;
    return choices;
}

void CBatchJob::MakeOutputPathFor(std::int32_t number, char* buffer, int length) const {
    if (buffer == nullptr || length <= 0)
        return;
    // A cut path would name a different file: write none rather than that one.
    const std::string path =
        RunSettings::FromJob(*this).OutputPath(number, static_cast<std::size_t>(length));
    CopyText(buffer, path.c_str(), static_cast<std::size_t>(length));
}
