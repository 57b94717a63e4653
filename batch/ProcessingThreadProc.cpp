#include "batch/ProcessingThreadProc.h"

#include "app/framework/MessageTarget.h"
#include "batch/BatchMessages.h"
#include "engine/BatchJob.h"
#include "engine/ImageFile.h"
#include "engine/MachineShare.h"
#include "engine/StampPipeline.h"
#include "engine/TextHelpers.h"

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

namespace {

const char* const kStatusWorking = " ... ";

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

    // A failed load leaves the overlay empty; every compose then fails and says so. Every
    // thread of the pipeline draws from it, so it is decoded once here; one that does not
    // decode is let go, which fails every compose the same way.
    CImageFile overlay;
    if (overlay.LoadFromFile(job->szOverlayPath) && !overlay.DecodeNow())
        overlay.Release();

    // The pictures after the one in progress are loaded, stamped and encoded ahead, each into
    // a file without a name; an item takes its number and name only in its own turn below, so
    // the log, the numbers and the files are those of one picture after another. A cancel
    // throws away whatever was done ahead.
    const int atOnce = g_picturesAtOnce.load();
    CStampPipeline pipeline(*job, overlay, {atOnce > 0 ? atOnce : PicturesAtOnce()});
    std::vector<PipelineItem> items;
    items.reserve(job->fileList.size());
    for (const std::string& path : job->fileList)
        items.push_back(PipelineItem{path, static_cast<std::int64_t>(items.size())});
    pipeline.Start(std::move(items));

    char itemName[MAX_PATH] = {};
    while (!job->fileList.empty()) {
        // Only this thread changes the list, so the reference holds until PopFile.
        const std::string& path = job->fileList.front();

        if (!job->IsRunning())
            break;
        Report(*job, WM_BATCH_NEXTITEM);

        CopyText(itemName, FileNameOrPath(path.c_str()).c_str());

        if (!job->IsRunning())
            break;
        Report(*job, WM_BATCH_ITEMNAME, itemName);

        if (!job->IsRunning())
            break;
        Report(*job, WM_BATCH_ITEMSTATUS, kStatusWorking);

        // Uses up a running number when the item loaded and stamped, even if its save fails.
        const ItemOutcome outcome = pipeline.Finish().outcome;

        if (!job->IsRunning())
            break;
        Report(*job, WM_BATCH_ITEMSTATUS, ItemOutcomeText(outcome));
        job->PopFile();
    }
    pipeline.Stop();

    if (job->IsRunning())
        Report(*job, WM_BATCH_DONE);
    return 0;
}
