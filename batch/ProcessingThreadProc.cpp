#include "batch/ProcessingThreadProc.h"

#include "app/framework/MessageTarget.h"
#include "batch/BatchMessages.h"
#include "engine/BatchJob.h"
#include "engine/ImageFile.h"
#include "engine/MachineShare.h"
#include "engine/OverlayCheck.h"
#include "engine/StampPipeline.h"
#include "engine/TextHelpers.h"

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

namespace {

// The window is read anew for every send: the job's owner may hand the run to another one.
void Report(const CBatchJob& job, UINT message, const char* text = nullptr) {
    SendMessage(job.hProgressWnd, message, 0, reinterpret_cast<LPARAM>(text));
}

int PicturesAtOnce() {
    return std::min(UsableCpuCount(), 64);
}

std::atomic<int> g_picturesAtOnce{0};

} // namespace

void SetProcessingPicturesAtOnce(int pictures) {
    g_picturesAtOnce = pictures;
}

UINT ProcessingThreadProc(void* pJob) {
    auto* job = static_cast<CBatchJob*>(pJob);
    if (job == nullptr)
        return 0;

    Report(*job, WM_BATCH_START);

    // An overlay that does not load or decode is left empty; every compose then fails and says
    // so. Every thread of the pipeline draws from it, so it is decoded once here.
    CImageFile overlay;
    CheckOverlay(job->szOverlayPath, OverlayDepth::Pixels, overlay);

    // The pictures after the one in progress are loaded, stamped and encoded ahead, each into
    // a file without a name; an item takes its number and name only in its own turn, so the
    // log, the numbers and the files are those of one picture after another. A cancel throws
    // away whatever was done ahead. The pipeline reads the paths in the job's list, which keeps
    // each entry until its item is reported: the list is not held a second time.
    const int atOnce = g_picturesAtOnce.load();
    CStampPipeline pipeline(RunSettings::FromJob(*job, {atOnce > 0 ? atOnce : PicturesAtOnce()}),
                            overlay,
                            [job](std::int32_t& number) { return job->TakeSerial(number); });
    std::vector<PipelineItem> items;
    items.reserve(job->fileList.size());
    for (const std::string& path : job->fileList)
        items.push_back(PipelineItem{{}, static_cast<std::int64_t>(items.size()), &path});

    // Set once the run flag is found cleared: the pipeline then finishes no further item. A
    // cancel that comes while an item is under way lets that one finish and be written; its
    // outcome is still reported (the dialog answers reports while it waits for this thread),
    // so that its line says what became of it and the next run does not stamp it again.
    std::atomic<bool> stop{false};
    const auto send = [&](UINT message, const char* text = nullptr) {
        if (!job->IsRunning()) {
            stop = true;
            return false;
        }
        Report(*job, message, text);
        return true;
    };
    // The item under way is the first entry of the list: it stays first until it is reported,
    // and only this thread changes the list.
    char itemName[MAX_PATH] = {};
    bool named = false; // the item under way has its line in the log
    const auto begin = [&](const PipelineItem& item) {
        CopyText(itemName, FileNameOrPath(item.Path().c_str()).c_str());
        named = send(WM_BATCH_NEXTITEM) && send(WM_BATCH_ITEMNAME, itemName);
        if (named)
            send(WM_BATCH_ITEMSTATUS, kStatusWorking);
    };
    // An item that loaded and stamped has used up a running number, even if its save failed.
    const auto report = [&](const PipelineReport& done) {
        if (!job->IsRunning()) {
            stop = true;
            // Without its line the outcome would land on another item's.
            if (!named)
                return;
        }
        Report(*job, WM_BATCH_ITEMSTATUS, ItemOutcomeText(done.outcome));
        job->PopFile();
    };
    pipeline.Run(std::move(items), report, stop, begin);

    if (job->IsRunning())
        Report(*job, WM_BATCH_DONE);
    return 0;
}
