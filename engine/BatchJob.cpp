#include "engine/BatchJob.h"

#include "engine/ImageFile.h"
#include "engine/OutputFormat.h"
#include "engine/OutputNaming.h"
#include "engine/Placement.h"
#include "engine/RunChoices.h"
#include "engine/TextHelpers.h"

CBatchJob::CBatchJob(HWND hProgressWnd)
    : hProgressWnd(hProgressWnd), bRunning(1), nSerial(0),
      dwFlags(MakeJobFlags(SizeModePercent, 9)), nSizeX(100), nSizeY(100) {
    CopyText(szOverlayPath, "");
    CopyText(szOutputDir, "");
    CopyText(szOutputFormat, "image/tiff");
    CopyText(szNameTemplate, "###");
}

CBatchJob::~CBatchJob() {
    ClearFiles();
}

void CBatchJob::AddFile(const char* path) {
    if (path != nullptr)
        fileList.emplace_back(path);
}

void CBatchJob::PopFile() {
    if (!fileList.empty())
        fileList.pop_front();
}

void CBatchJob::ClearFiles() {
    while (!fileList.empty())
        fileList.pop_front();
}

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

bool TakeRunningNumber(std::int32_t& next, bool& spent, std::int32_t& number) {
    if (spent)
        return false;
    number = next;
    if (next == INT32_MAX)
        spent = true;
    else
        ++next;
    return true;
}

bool CBatchJob::TakeSerial(std::int32_t& number) {
    return TakeRunningNumber(nSerial, bSerialSpent, number);
}

void CBatchJob::MakeOutputPath(char* buffer, int length) {
    std::int32_t number = 0;
    if (TakeSerial(number)) {
        MakeOutputPathFor(number, buffer, length);
    } else if (buffer != nullptr && length > 0) {
        buffer[0] = '\0';
    }
}

void CBatchJob::GetPlacementRect(RECT& rect) const {
    CImageFile background;
    if (!fileList.empty())
        background.LoadFromFile(fileList.front().c_str());
    rect = PlacementSettings::Of(Choices()).On(background.Width(), background.Height());
}
