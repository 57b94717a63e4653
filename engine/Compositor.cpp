#include "engine/DrawingSurface.h"
#include "engine/ImageFile.h"
#include "engine/SaturatingCast.h"
#include "imaging/ImageFacts.h"
#include "imaging/InPlaceDrawing.h"
#include "imaging/ReducedMark.h"

#include <cstdint>
#include <memory>

namespace {

// Pixel format of the composed picture: formats a drawing surface cannot draw into well
// (indexed, 16-bit grey, 1-bit alpha, unknown) become 32-bit ARGB; the others are kept.
PixelFormat ComposedFormat(PixelFormat background) {
    switch (background) {
    case PixelFormatUndefined:
    case PixelFormat1bppIndexed:
    case PixelFormat4bppIndexed:
    case PixelFormat8bppIndexed:
    case PixelFormat16bppGrayScale:
    case PixelFormat16bppARGB1555:
        return PixelFormat32bppARGB;
    default:
        return background;
    }
}

// Extent between two 32-bit edges; saturated, as the difference may not fit 32 bits.
INT Extent(LONG low, LONG high) {
    return SaturatingCast<INT>(static_cast<std::int64_t>(high) - low);
}

} // namespace

bool CImageFile::ComposeOverlay(const CImageFile& overlay, const RECT& sourceRect,
                                const RECT& destRect) {
    if (m_pRecord == nullptr || overlay.m_pRecord == nullptr)
        return false;

    const PixelFormat format = ComposedFormat(GetPixelFormat());
    // Called once the background is decoded, whose profile (settled by decoding) says what
    // space the overlay goes into.
    const INT destWidth = Extent(destRect.left, destRect.right);
    const INT destHeight = Extent(destRect.top, destRect.bottom);
    const bool wholeOverlay = sourceRect.left == 0 && sourceRect.top == 0 &&
                              sourceRect.right == SaturatingCast<LONG>(overlay.Width()) &&
                              sourceRect.bottom == SaturatingCast<LONG>(overlay.Height());
    const auto drawOverlay = [&](DrawingSurface& surface) {
        // The whole overlay, drawn smaller than it is, goes on as a copy reduced to that size:
        // scaling alone would skip pixels of its thin lines.
        if (wholeOverlay) {
            const std::shared_ptr<GpImage> mark = ReducedMark::overlayFor(
                overlay.m_pRecord->hImage, m_pRecord->hImage, destWidth, destHeight);
            return surface.DrawImage(mark.get(), destRect.left, destRect.top, destWidth,
                                     destHeight);
        }
        GpImage* mark = ImageFacts::overlayFor(overlay.m_pRecord->hImage, m_pRecord->hImage);
        return surface.DrawImage(mark, destRect.left, destRect.top, destWidth, destHeight,
                                 sourceRect.left, sourceRect.top,
                                 Extent(sourceRect.left, sourceRect.right),
                                 Extent(sourceRect.top, sourceRect.bottom));
    };
    // Most photographs decode into exactly what the new bitmap would hold: the overlay then goes
    // on the picture itself, which saves copying every pixel (72 MB for 24 MP) into a second
    // buffer of that size. The drawing fails, if at all, before it touches a pixel.
    if (InPlaceDrawing::matchesNewBitmap(m_pRecord->hImage, format)) {
        DrawingSurface surface = DrawingSurface::OnImage(m_pRecord->hImage);
        return drawOverlay(surface) == Ok;
    }

    const INT width = SaturatingCast<INT>(Width());
    const INT height = SaturatingCast<INT>(Height());

    ImageRecordPtr composed(ImageRecord::New());
    if (!composed)
        return false;
    composed->CreateBitmap(width, height, format);

    GpStatus status;
    {
        DrawingSurface surface = DrawingSurface::OnImage(composed->hImage);
        status = surface.DrawImage(m_pRecord->hImage, 0, 0, width, height);
        if (status == Ok)
            status = drawOverlay(surface);
    }
    if (status != Ok)
        return false;

    // The copy stands for the photograph: its files state what the photograph's did.
    ImageFacts::carry(m_pRecord->hImage, composed->hImage);
    ImageRecord::Delete(m_pRecord);
    m_pRecord = composed.release();
    return true;
}

bool CImageFile::DecodeNow() const {
    if (m_pRecord == nullptr)
        return false;
    // Drawing one pixel of the picture is the library's way to have all of it decoded. The
    // pixel is drawn into the format that ComposeOverlay will draw the whole picture into, so
    // that the decoder writes that layout (a JPEG's 24-bit rows) and the stamp copies rows
    // instead of converting every pixel: a quarter of a 24 MP JPEG's stamping time, and a
    // quarter less memory.
    ImageRecordPtr probe(ImageRecord::New());
    if (!probe || probe->CreateBitmap(1, 1, ComposedFormat(GetPixelFormat())) != Ok)
        return false;
    DrawingSurface surface = DrawingSurface::OnImage(probe->hImage);
    return surface.DrawImage(m_pRecord->hImage, 0, 0, 1, 1, 0, 0, 1, 1) == Ok;
}
