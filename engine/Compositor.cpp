#include "engine/Compositor.h"

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

ImageRecordPtr Compositor::NewCanvas(GpImage* picture, INT width, INT height, PixelFormat format,
                                     GpStatus& status) {
    ImageRecordPtr canvas(ImageRecord::New());
    status = OutOfMemory;
    if (!canvas)
        return canvas;
    // A picture without a size gives no bitmap; the drawing below then says why.
    canvas->CreateBitmap(width, height, format);
    DrawingSurface surface = DrawingSurface::OnImage(canvas->hImage);
    status = surface.DrawImage(picture, 0, 0, width, height);
    return canvas;
}

GpStatus Compositor::DrawMark(GpImage* canvas, GpImage* overlay, const GpImage* picture,
                              const RECT& sourceRect, const RECT& destRect) {
    const INT destWidth = Extent(destRect.left, destRect.right);
    const INT destHeight = Extent(destRect.top, destRect.bottom);
    UINT overlayWidth = 0, overlayHeight = 0;
    if (overlay != nullptr) {
        GdipGetImageWidth(overlay, &overlayWidth);
        GdipGetImageHeight(overlay, &overlayHeight);
    }
    const bool wholeOverlay = sourceRect.left == 0 && sourceRect.top == 0 &&
                              sourceRect.right == SaturatingCast<LONG>(overlayWidth) &&
                              sourceRect.bottom == SaturatingCast<LONG>(overlayHeight);
    DrawingSurface surface = DrawingSurface::OnImage(canvas);
    if (wholeOverlay) {
        const std::shared_ptr<GpImage> mark =
            ReducedMark::overlayFor(overlay, picture, destWidth, destHeight);
        return surface.DrawImage(mark.get(), destRect.left, destRect.top, destWidth, destHeight);
    }
    GpImage* mark = ImageFacts::overlayFor(overlay, picture);
    return surface.DrawImage(
        mark, destRect.left, destRect.top, destWidth, destHeight, sourceRect.left, sourceRect.top,
        Extent(sourceRect.left, sourceRect.right), Extent(sourceRect.top, sourceRect.bottom));
}

bool CImageFile::ComposeOverlay(const CImageFile& overlay, const RECT& sourceRect,
                                const RECT& destRect) {
    if (m_pRecord == nullptr || overlay.m_pRecord == nullptr)
        return false;
    // Called once the background is decoded, whose profile (settled by decoding) says what
    // space the overlay goes into.
    GpImage* picture = m_pRecord->hImage;
    const PixelFormat format = ComposedFormat(GetPixelFormat());
    // Most photographs decode into exactly what the new bitmap would hold: the overlay then goes
    // on the picture itself, which saves copying every pixel (72 MB for 24 MP) into a second
    // buffer of that size. The drawing fails, if at all, before it touches a pixel.
    if (InPlaceDrawing::matchesNewBitmap(picture, format))
        return Compositor::DrawMark(picture, overlay.m_pRecord->hImage, picture, sourceRect,
                                    destRect) == Ok;

    GpStatus status = Ok;
    ImageRecordPtr composed = Compositor::NewCanvas(picture, SaturatingCast<INT>(Width()),
                                                    SaturatingCast<INT>(Height()), format, status);
    if (!composed || status != Ok ||
        Compositor::DrawMark(composed->hImage, overlay.m_pRecord->hImage, picture, sourceRect,
                             destRect) != Ok)
        return false;

    // The copy stands for the photograph: its files state what the photograph's did.
    ImageFacts::carry(picture, composed->hImage);
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
