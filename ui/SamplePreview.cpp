#include "ui/SamplePreview.h"

#include "app/framework/UiText.h"
#include "app/framework/WinApp.h"
#include "app/framework/Wnd.h"
#include "engine/BatchJob.h"
#include "engine/DrawingSurface.h"
#include "engine/FileState.h"
#include "engine/ImageFile.h"
#include "engine/RunSettings.h"
#include "engine/StampedItem.h"
#include "engine/TextHelpers.h"
#include "res/Resource.h"

#include <QPainter>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <mutex>

// The overlay of the last picture composed, kept while its file stays as it was: choosing
// another background does not decode it again.
struct CSamplePreview::Overlays {
    std::mutex lock; // a composing thread left behind by Release may still hold it
    std::string path;
    FileState state;
    std::unique_ptr<CImageFile> image;

    const CImageFile* Of(const std::string& wanted) {
        const FileState now = FileState::Of(wanted);
        if (image == nullptr || wanted != path || !(now == state)) {
            image = std::make_unique<CImageFile>();
            // Decoded at its first draw, and kept so.
            image->LoadFromFile(wanted.c_str());
            path = wanted;
            state = now;
        }
        return image.get();
    }
};

CSamplePreview::CSamplePreview() : m_overlays(std::make_shared<Overlays>()) {
    m_work.WhenIdle([this] {
        if (m_owner != nullptr)
            if (QWidget* window = m_owner->GetWidget())
                window->unsetCursor();
    });
}

CSamplePreview::~CSamplePreview() {
    Release();
}

QSize CSamplePreview::ComposedSize(UINT width, UINT height, QSize shown) {
    if (std::uint64_t(width) * height <= kFullSizePixels || shown.isEmpty())
        return QSize(int(width), int(height));
    // The picture's proportions at the box's size, as FitRect shows them: no pixel of the
    // box has less than one of the picture behind it.
    const double scale =
        std::min(1.0, std::max(double(shown.width()) / width, double(shown.height()) / height));
    return QSize(std::max(1, int(std::lround(width * scale))),
                 std::max(1, int(std::lround(height * scale))));
}

CSamplePreview::Result CSamplePreview::Compose(const Request& request, Overlays& overlays) {
    Result result{nullptr, {}, request.overlay};
    if (request.placeholder) {
        result.image.reset(ImageRecord::New());
        if (result.image != nullptr)
            result.image->CreateBitmapFromResource(AfxGetInstanceHandle(), IDB_PREVIEW_PLACEHOLDER);
        return result;
    }

    // The file's header only: its pixels are decoded below, reduced where the box is smaller,
    // upright as the picture is shown.
    ImageRecord source;
    ImageRecord reduced;
    source.CreateBitmapFromFile(request.background.c_str());
    const UINT width = source.Width();
    const UINT height = source.Height();
    const QSize size = ComposedSize(width, height, request.shown);
    if (source.hImage != nullptr && (UINT(size.width()) != width || UINT(size.height()) != height))
        GdipGetImageThumbnail(source.hImage, UINT(size.width()), UINT(size.height()),
                              &reduced.hImage, nullptr, nullptr);
    GpImage* drawn = reduced.hImage != nullptr ? reduced.hImage : source.hImage;

    // An undecodable background has no size, so no bitmap is made either; both drawings then
    // fail and are reported, and the box stays empty.
    std::lock_guard<std::mutex> lock(overlays.lock);
    const CImageFile* overlay = request.overlay.empty() ? nullptr : overlays.Of(request.overlay);
    PreviewStamp stamp = CStampedItem::ComposePreview(drawn, width, height, size.width(),
                                                      size.height(), overlay, request.placement);
    if (stamp.image == nullptr)
        return result;
    for (GpStatus status : {stamp.picture, stamp.mark})
        if (status != Ok)
            result.failures.push_back(status);
    result.image = std::move(stamp.image);
    return result;
}

void CSamplePreview::Rebuild(CWnd& owner, const CBatchJob& job, const char* background,
                             QSize shownSize) {
    m_owner = &owner;
    const Request request{background != nullptr ? background : "", background == nullptr,
                          job.szOverlayPath, PlacementSettings::Of(job.Choices()), shownSize};
    // Busy until the picture is on show; the window still answers meanwhile.
    if (QWidget* window = owner.GetWidget())
        window->setCursor(Qt::BusyCursor);
    const std::uint64_t number =
        m_work.Request([this, request, overlays = m_overlays]() -> NewestWork::Answer {
            auto result = std::make_shared<Result>(Compose(request, *overlays));
            return [this, result] { Show(*result); };
        });
    if (background != nullptr)
        QTimer::singleShot(kBusyDelayMs, &m_timers, [this, number] { ShowBusy(number); });
}

void CSamplePreview::ShowBusy(std::uint64_t number) {
    if (!m_work.Working(number))
        return;
    m_showBusy = true;
    if (m_owner != nullptr)
        m_owner->RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

bool CSamplePreview::Busy() const {
    return m_work.Busy();
}

void CSamplePreview::Show(Result& result) {
    m_image = std::move(result.image);
    m_showBusy = false;
    if (m_owner == nullptr)
        return;
    m_owner->RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    // After the new picture is on show: each message box runs an event loop that may paint.
    for (GpStatus status : result.failures)
        m_owner->MessageBox(GetStatusText(status), result.caption.c_str(), MB_OK);
}

BOOL CSamplePreview::Finish(DWORD milliseconds) {
    return m_work.Finish(milliseconds);
}

BOOL CSamplePreview::Release() {
    const BOOL released = m_work.Release(kReleaseWaitMs);
    m_image.reset();
    return released;
}

void CSamplePreview::Draw(HDC hdc, const RECT& box) const {
    if (m_showBusy && hdc != nullptr) {
        // hDC is the painter open on the box, with its font and text colour.
        auto* painter = reinterpret_cast<QPainter*>(hdc);
        painter->drawText(QRect(box.left, box.top, box.right - box.left, box.bottom - box.top),
                          Qt::AlignCenter | Qt::TextWordWrap, UiText("Preparing preview..."));
        return;
    }
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
