#include "ui/SamplePreview.h"

#include "app/framework/UiText.h"
#include "app/framework/WinApp.h"
#include "app/framework/Wnd.h"
#include "engine/BatchJob.h"
#include "engine/DrawingSurface.h"
#include "engine/RunSettings.h"
#include "engine/StampedItem.h"
#include "engine/TextHelpers.h"
#include "res/Resource.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QMetaObject>
#include <QPainter>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cmath>

namespace {

// A file larger than this is not held whole: it is decoded as it is read.
constexpr qint64 kWholeFileBytes = qint64{64} * 1024 * 1024;

// A large file read as a stream and reduced as it is decoded, where its reader can: the
// reduced picture in 32-bit pixels and the full picture's upright size. Its colour profile is
// not read (the picture is shown as an untagged one). False when the reader cannot.
bool ReadStreamed(const std::string& path, QSize shown, QImage& reduced, QSize& full) {
    const QString name = QFile::decodeName(QByteArray::fromStdString(path));
    if (QFileInfo(name).size() <= kWholeFileBytes)
        return false;
    QImageReader reader(name);
    reader.setAutoTransform(true);
    full = reader.size();
    if (!full.isValid() || !reader.supportsOption(QImageIOHandler::ScaledSize))
        return false;
    const bool sideways = reader.transformation() & QImageIOHandler::TransformationRotate90;
    if (sideways)
        full.transpose();
    const QSize size = CSamplePreview::ComposedSize(UINT(full.width()), UINT(full.height()), shown);
    reader.setScaledSize(sideways ? size.transposed() : size);
    reduced = reader.read().convertToFormat(QImage::Format_ARGB32);
    if (reduced.size() != size)
        reduced = reduced.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return !reduced.isNull();
}

} // namespace

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

CSamplePreview::Result CSamplePreview::Compose(const Request& request) {
    Result result{request.number, nullptr, {}, request.overlay};
    if (request.placeholder) {
        result.image.reset(ImageRecord::New());
        if (result.image != nullptr)
            result.image->CreateBitmapFromResource(AfxGetInstanceHandle(), IDB_PREVIEW_PLACEHOLDER);
        return result;
    }

    // Pixels read as a stream outlive the bitmap drawn from them.
    QImage streamed;
    ImageRecord source;
    ImageRecord reduced;
    QSize full;
    UINT width = 0, height = 0;
    if (ReadStreamed(request.background, request.shown, streamed, full)) {
        width = UINT(full.width());
        height = UINT(full.height());
        GdipCreateBitmapFromScan0(streamed.width(), streamed.height(), INT(streamed.bytesPerLine()),
                                  PixelFormat32bppARGB, streamed.bits(), &reduced.hImage);
    } else {
        // The file's header only: its pixels are decoded below, reduced where the box is
        // smaller.
        source.CreateBitmapFromFile(request.background.c_str());
        width = source.Width();
        height = source.Height();
    }
    const QSize size = ComposedSize(width, height, request.shown);
    if (source.hImage != nullptr && (UINT(size.width()) != width || UINT(size.height()) != height))
        GdipGetImageThumbnail(source.hImage, UINT(size.width()), UINT(size.height()),
                              &reduced.hImage, nullptr, nullptr);
    GpImage* drawn = reduced.hImage != nullptr ? reduced.hImage : source.hImage;

    // An undecodable background has no size, so no bitmap is made either; both drawings then
    // fail and are reported, and the box stays empty.
    CImageFile overlay;
    if (!request.overlay.empty())
        overlay.LoadFromFile(request.overlay.c_str());
    PreviewStamp stamp = CStampedItem::ComposePreview(
        drawn, width, height, size.width(), size.height(),
        request.overlay.empty() ? nullptr : &overlay, request.placement);
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
    std::unique_lock<std::mutex> lock(m_lock);
    m_owner = &owner;
    m_next =
        Request{++m_requested,     background != nullptr ? background : "", background == nullptr,
                job.szOverlayPath, PlacementSettings::Of(job.Choices()),    shownSize};
    m_stop = false;
    // Busy until the picture is on show; the window still answers meanwhile.
    if (QWidget* window = owner.GetWidget())
        window->setCursor(Qt::BusyCursor);
    if (!m_thread.joinable())
        m_thread = std::thread([this] { Work(); });
    m_changed.notify_all();
    if (background != nullptr)
        QTimer::singleShot(kBusyDelayMs, &m_receiver,
                           [this, number = m_requested] { ShowBusy(number); });
}

void CSamplePreview::ShowBusy(std::uint64_t number) {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (number != m_requested || !(m_composing || m_next.has_value()))
            return;
    }
    m_showBusy = true;
    if (m_owner != nullptr)
        m_owner->RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void CSamplePreview::Work() {
    std::unique_lock<std::mutex> lock(m_lock);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stop || m_next.has_value(); });
        if (m_stop)
            return;
        const Request request = std::move(*m_next);
        m_next.reset();
        m_composing = true;
        lock.unlock();
        Result result = Compose(request);
        lock.lock();
        m_composing = false;
        // Only the newest request's picture is shown; an older one would flash by.
        if (result.number == m_requested) {
            m_done = std::move(result);
            QMetaObject::invokeMethod(
                &m_receiver, [this] { TakeFinished(*m_owner); }, Qt::QueuedConnection);
        }
        m_changed.notify_all();
    }
}

bool CSamplePreview::Busy() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_composing || m_next.has_value() || m_done.has_value();
}

void CSamplePreview::TakeFinished(CWnd& owner) {
    std::optional<Result> done;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        done.swap(m_done);
    }
    if (!Busy())
        if (QWidget* window = owner.GetWidget())
            window->unsetCursor();
    if (!done.has_value())
        return;
    m_image = std::move(done->image);
    m_showBusy = false;
    owner.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    // After the new picture is on show: each message box runs an event loop that may paint.
    for (GpStatus status : done->failures)
        owner.MessageBox(GetStatusText(status), done->caption.c_str(), MB_OK);
}

BOOL CSamplePreview::Finish(DWORD milliseconds) {
    {
        std::unique_lock<std::mutex> lock(m_lock);
        const bool idle = m_changed.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] {
            return !m_composing && !m_next.has_value();
        });
        if (!idle)
            return FALSE;
    }
    if (m_owner != nullptr)
        TakeFinished(*m_owner);
    return TRUE;
}

BOOL CSamplePreview::Release() {
    BOOL released = TRUE;
    if (m_thread.joinable()) {
        std::unique_lock<std::mutex> lock(m_lock);
        m_next.reset();
        m_stop = true;
        m_changed.notify_all();
        released = m_changed.wait_for(lock, std::chrono::milliseconds(kReleaseWaitMs),
                                      [this] { return !m_composing; });
        lock.unlock();
        if (released)
            m_thread.join();
        else
            m_thread.detach();
    }
    std::lock_guard<std::mutex> lock(m_lock);
    m_done.reset();
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
