#include "ui/SamplePreview.h"

#include "app/framework/WinApp.h"
#include "app/framework/Wnd.h"
#include "engine/BatchJob.h"
#include "engine/DrawingSurface.h"
#include "engine/TextHelpers.h"
#include "imaging/ImageFacts.h"
#include "imaging/ReducedMark.h"
#include "res/Resource.h"

namespace {

// A failed drawing is reported with the library's text; the caption names the overlay, empty
// while none is chosen.
void ReportDrawFailure(CWnd& owner, const CBatchJob& job, GpStatus status) {
    owner.MessageBox(GetStatusText(status), job.szOverlayPath, MB_OK);
}

} // namespace

void CSamplePreview::Rebuild(CWnd& owner, CBatchJob& job, const char* background) {
    Release();
    if (background == nullptr) {
        m_image.reset(ImageRecord::New());
        if (m_image != nullptr)
            m_image->CreateBitmapFromResource(AfxGetInstanceHandle(), IDB_PREVIEW_PLACEHOLDER);
        return;
    }

    ImageRecord source;
    source.CreateBitmapFromFile(background);
    const UINT width = source.Width();
    const UINT height = source.Height();

    // Composed aside and shown only when complete: a message box below runs an event loop
    // that may paint the box meanwhile.
    ImageRecordPtr preview(ImageRecord::New());
    if (preview == nullptr)
        return;
    // An undecodable background has no size, so this bitmap is not made either; every drawing
    // below then fails and is reported, and the box stays empty.
    preview->CreateBitmap(static_cast<INT>(width), static_cast<INT>(height), PixelFormat32bppARGB);
    DrawingSurface surface = DrawingSurface::OnImage(preview->hImage);
    GpStatus status =
        surface.DrawImage(source.hImage, 0, 0, static_cast<INT>(width), static_cast<INT>(height));
    if (status != Ok)
        ReportDrawFailure(owner, job, status);

    if (job.szOverlayPath[0] != '\0') {
        ImageRecord overlay;
        overlay.LoadImageFromFile(job.szOverlayPath);
        // The placement reads the first background of the job's list, as a run does.
        job.ClearFiles();
        job.AddFile(background);
        RECT place{};
        job.GetPlacementRect(place);
        // Drawn in the background's colour space and reduced to its size, as a run draws it.
        const INT width = place.right - place.left;
        const INT height = place.bottom - place.top;
        status = surface.DrawImage(
            ReducedMark::overlayFor(overlay.hImage, source.hImage, width, height).get(), place.left,
            place.top, width, height);
        if (status != Ok)
            ReportDrawFailure(owner, job, status);
        job.ClearFiles();
    }
    surface.Close();
    ImageFacts::showAsSrgb(preview->hImage, source.hImage);
    m_image = std::move(preview);
}

void CSamplePreview::Draw(HDC hdc, const RECT& box) const {
    if (m_image == nullptr)
        return;
    const RECT target = FitRect(box, m_image->Width(), m_image->Height());
    if (target.right > target.left && target.bottom > target.top) {
        DrawingSurface surface = DrawingSurface::OnDeviceContext(hdc);
        surface.DrawImage(m_image->hImage, target.left, target.top, target.right - target.left,
                          target.bottom - target.top);
    }
}

RECT CSamplePreview::FitRect(const RECT& box, UINT width, UINT height) {
    // A preview without pixels (its background could not be decoded) has no proportions.
    if (width == 0 || height == 0)
        return RECT{0, 0, 0, 0};
    const LONG boxWidth = box.right - box.left;
    const LONG boxHeight = box.bottom - box.top;
    const double ratio = static_cast<double>(width) / static_cast<double>(height);
    if (ratio < 1.0) {
        const auto shown = static_cast<LONG>(boxHeight * ratio);
        const LONG x1 = (box.right - shown - box.left) / 2;
        const LONG x2 = (shown + box.right - box.left) / 2;
        return RECT{x1, 0, x2, boxHeight};
    }
    const auto shown = static_cast<LONG>(boxWidth / ratio);
    const LONG y1 = (box.bottom - shown - box.top) / 2;
    const LONG y2 = (shown + box.bottom - box.top) / 2;
    return RECT{0, y1, boxWidth, y2};
}
