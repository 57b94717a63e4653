#include "batch/ProcessingThreadProc.h"

#include "app/framework/MessageTarget.h"
#include "batch/BatchMessages.h"
#include "engine/BatchJob.h"
#include "engine/ImageFile.h"
#include "engine/StampedItem.h"
#include "engine/TextHelpers.h"

#include <string>

namespace {

const char* const kStatusWorking = " ... ";

// The window is read anew for every send: the job's owner may hand the run to another one.
void Report(const CBatchJob& job, UINT message, const char* text = nullptr) {
    SendMessage(job.hProgressWnd, message, 0, reinterpret_cast<LPARAM>(text));
}

// Stamps, names and saves one background; the outcome for the log.
ItemOutcome StampAndSave(CBatchJob& job, CStampedItem& item, const char* path,
                         const CImageFile& overlay, char (&outputPath)[MAX_PATH]) {
    const ItemOutcome composed = item.LoadAndCompose(job, path, overlay);
    if (composed != ItemOutcome::Done)
        return composed;
    CLSID encoder{};
    const bool haveEncoder = job.FindOutputEncoder(encoder) >= 0;
    // Uses up a running number even when the save then fails.
    job.MakeOutputPath(outputPath, MAX_PATH);
    return item.Save(outputPath, haveEncoder ? &encoder : nullptr);
}

} // namespace

UINT ProcessingThreadProc(void* pJob) {
    auto* job = static_cast<CBatchJob*>(pJob);
    if (job == nullptr)
        return 0;

    Report(*job, WM_BATCH_START);

    // A failed load leaves the overlay empty; every compose then fails and says so.
    CImageFile overlay;
    overlay.LoadFromFile(job->szOverlayPath);

    char itemName[MAX_PATH] = {};
    char outputPath[MAX_PATH] = {};
    while (!job->fileList.empty()) {
        // Only this thread changes the list, so the reference holds until PopFile.
        const std::string& path = job->fileList.front();

        if (!job->IsRunning())
            break;
        Report(*job, WM_BATCH_NEXTITEM);

        // A path without a folder part is its own name.
        if (!FileNameOfPath(path.c_str(), itemName, MAX_PATH))
            CopyText(itemName, path.c_str());

        if (!job->IsRunning())
            break;
        Report(*job, WM_BATCH_ITEMNAME, itemName);

        if (!job->IsRunning())
            break;
        Report(*job, WM_BATCH_ITEMSTATUS, kStatusWorking);

        CStampedItem item;
        const ItemOutcome outcome = StampAndSave(*job, item, path.c_str(), overlay, outputPath);

        if (!job->IsRunning())
            break;
        Report(*job, WM_BATCH_ITEMSTATUS, ItemOutcomeText(outcome));
        item.Release();
        job->PopFile();
    }

    if (job->IsRunning())
        Report(*job, WM_BATCH_DONE);
    return 0;
}
