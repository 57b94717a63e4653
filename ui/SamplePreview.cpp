// The "Sample" box of the main window: the current background with the overlay stamped on it
// as a run would place it, composed at the background's full size and scaled into the box at
// each paint.

#include "ui/MainDlg.h"

#include "app/framework/WinApp.h"
#include "engine/DrawingSurface.h"
#include "engine/TextHelpers.h"
#include "res/Resource.h"

#include <string>

namespace {

// A failed drawing is reported with the library's text; the caption names the overlay, empty
// while none is chosen.
void ReportDrawFailure(CWnd& owner, const CBatchJob& job, GpStatus status) {
    owner.MessageBox(GetStatusText(status), job.szOverlayPath, MB_OK);
}

} // namespace

void CMainDlg::RebuildPreview() {
    ReleasePreview();

    // The entry with the focus mark; it stays on the first entry until the user moves it.
    std::string background;
    const bool current =
        m_listBackgrounds.GetCount() > 0 &&
        m_listBackgrounds.GetEntryPath(m_listBackgrounds.GetCaretIndex(), background) >= 0;
    if (current) {
        ImageRecord source;
        source.CreateBitmapFromFile(background.c_str());
        const UINT width = source.Width();
        const UINT height = source.Height();

        // Composed aside and shown only when complete: a message box below runs an event loop
        // that may paint the box meanwhile.
        ImageRecordPtr preview(ImageRecord::New());
        if (preview != nullptr) {
            // An undecodable background has no size, so this bitmap is not made either; every
            // drawing below then fails and is reported, and the box stays empty.
            preview->CreateBitmap(static_cast<INT>(width), static_cast<INT>(height),
                                  PixelFormat32bppARGB);
            DrawingSurface surface = DrawingSurface::OnImage(preview->hImage);
            GpStatus status = surface.DrawImage(source.hImage, 0, 0, static_cast<INT>(width),
                                                static_cast<INT>(height));
            if (status != Ok)
                ReportDrawFailure(*this, m_job, status);

            if (m_job.szOverlayPath[0] != '\0') {
                ImageRecord overlay;
                overlay.LoadImageFromFile(m_job.szOverlayPath);
                // The placement reads the first background of the job's list, as a run does.
                m_job.ClearFiles();
                m_job.AddFile(background.c_str());
                RECT place{};
                m_job.GetPlacementRect(place);
                status = surface.DrawImage(overlay.hImage, place.left, place.top,
                                           place.right - place.left, place.bottom - place.top);
                if (status != Ok)
                    ReportDrawFailure(*this, m_job, status);
                m_job.ClearFiles();
            }
            surface.Close();
            m_pPreview = preview.release();
        }
    } else {
        m_pPreview = ImageRecord::New();
        if (m_pPreview != nullptr)
            m_pPreview->CreateBitmapFromResource(AfxGetInstanceHandle(), IDB_PREVIEW_PLACEHOLDER);
    }

    RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

RECT CMainDlg::FitPreviewRect(const RECT& box, UINT width, UINT height) {
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

void CMainDlg::DrawPreview(int idCtl, LPDRAWITEMSTRUCT drawItem) {
    if (idCtl == IDC_PREVIEW && m_pPreview != nullptr && drawItem != nullptr) {
        // Only the picture's rectangle is painted; the rest of the box keeps the dialog's
        // background.
        const RECT target =
            FitPreviewRect(drawItem->rcItem, m_pPreview->Width(), m_pPreview->Height());
        if (target.right > target.left && target.bottom > target.top) {
            DrawingSurface surface = DrawingSurface::OnDeviceContext(drawItem->hDC);
            surface.DrawImage(m_pPreview->hImage, target.left, target.top,
                              target.right - target.left, target.bottom - target.top);
        }
    }
    CDialog::OnDrawItem(idCtl, drawItem);
}
