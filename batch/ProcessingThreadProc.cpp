#include "batch/ProcessingThreadProc.h"

#include "app/framework/MessageTarget.h"
#include "batch/BatchMessages.h"
#include "engine/BatchJob.h"
#include "engine/ImageFile.h"
#include "engine/Placement.h"
#include "engine/TextHelpers.h"

#include <limits>
#include <string>

namespace {

const char* const kStatusWorking = " ... ";
const char* const kStatusOpenFailed = "Error : Could not open";
const char* const kStatusComposeFailed = "Error : Could not copy image";
const char* const kStatusSaveFailed = "Error : Could not save";
const char* const kStatusDone = "Done";

// The window is read anew for every send: the job's owner may hand the run to another one.
void Report(const CBatchJob& job, UINT message, const char* text = nullptr) {
    SendMessage(job.hProgressWnd, message, 0, reinterpret_cast<LPARAM>(text));
}

LONG ToLong(UINT value) {
    return value > static_cast<UINT>(std::numeric_limits<LONG>::max())
               ? std::numeric_limits<LONG>::max()
               : static_cast<LONG>(value);
}

// Stamps, names and saves the loaded background; the outcome text for the log.
const char* StampAndSave(CBatchJob& job, CImageFile& background, const CImageFile& overlay,
                         char (&outputPath)[MAX_PATH]) {
    // Sizes come from the pictures this item actually holds, not from their files read once
    // more: a file deleted or rewritten since it was loaded would otherwise give a 0 x 0 or a
    // foreign size, and the stamp would silently be missing or cut while the item says "Done".
    // The entry in progress still stays first until the item is finished.
    const RECT destRect = ComputePlacement(job.GetSizeMode(), job.GetOverlayAnchor(), job.nSizeX,
                                           job.nSizeY, background.Width(), background.Height());
    const RECT sourceRect{0, 0, ToLong(overlay.Width()), ToLong(overlay.Height())};
    if (!background.ComposeOverlay(overlay, sourceRect, destRect))
        return kStatusComposeFailed;

    CLSID encoder{};
    const bool haveEncoder = job.FindOutputEncoder(encoder) >= 0;
    // Uses up a running number even when the save then fails.
    job.MakeOutputPath(outputPath, MAX_PATH);
    // An empty path means the full name did not fit: writing a shortened one would hit a
    // different file.
    if (!haveEncoder || outputPath[0] == '\0')
        return kStatusSaveFailed;
    return background.SaveToFile(outputPath, encoder) ? kStatusDone : kStatusSaveFailed;
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

        CImageFile background;
        const char* outcome = kStatusOpenFailed;
        if (background.LoadFromFile(path.c_str()))
            outcome = StampAndSave(*job, background, overlay, outputPath);

        if (!job->IsRunning())
            break;
        Report(*job, WM_BATCH_ITEMSTATUS, outcome);
        background.Release();
        job->PopFile();
    }

    if (job->IsRunning())
        Report(*job, WM_BATCH_DONE);
    return 0;
}
