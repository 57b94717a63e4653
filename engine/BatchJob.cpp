#include "engine/BatchJob.h"

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
