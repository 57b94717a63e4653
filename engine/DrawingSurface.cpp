#include "engine/DrawingSurface.h"

#include <utility>

namespace {

// A context handed back together with an error is released at once, never drawn on.
GpGraphics* KeptOnSuccess(GpStatus status, GpGraphics* graphics) {
    if (status != Ok && graphics != nullptr) {
        GdipDeleteGraphics(graphics);
        return nullptr;
    }
    return graphics;
}

} // namespace

DrawingSurface DrawingSurface::OnImage(GpImage* image) {
    if (image == nullptr)
        return DrawingSurface(nullptr, InvalidParameter);
    GpGraphics* graphics = nullptr;
    const GpStatus status = GdipGetImageGraphicsContext(image, &graphics);
    return DrawingSurface(KeptOnSuccess(status, graphics), status);
}

DrawingSurface DrawingSurface::OnDeviceContext(HDC hdc) {
    if (hdc == nullptr)
        return DrawingSurface(nullptr, InvalidParameter);
    GpGraphics* graphics = nullptr;
    const GpStatus status = GdipCreateFromHDC(hdc, &graphics);
    return DrawingSurface(KeptOnSuccess(status, graphics), status);
}

DrawingSurface::DrawingSurface(DrawingSurface&& other) noexcept
    : m_hGraphics(std::exchange(other.m_hGraphics, nullptr)), m_openStatus(other.m_openStatus) {}

DrawingSurface& DrawingSurface::operator=(DrawingSurface&& other) noexcept {
    if (this != &other) {
        Close();
        m_hGraphics = std::exchange(other.m_hGraphics, nullptr);
        m_openStatus = other.m_openStatus;
    }
    return *this;
}

DrawingSurface::~DrawingSurface() {
    Close();
}

void DrawingSurface::Close() {
    if (m_hGraphics != nullptr) {
        GdipDeleteGraphics(m_hGraphics);
        m_hGraphics = nullptr;
    }
}

GpStatus DrawingSurface::DrawImage(GpImage* image, INT x, INT y, INT width, INT height) {
    if (m_hGraphics == nullptr)
        return ClosedStatus();
    if (image == nullptr)
        return InvalidParameter;
    return GdipDrawImageRectI(m_hGraphics, image, x, y, width, height);
}

GpStatus DrawingSurface::DrawImage(GpImage* image, INT dstX, INT dstY, INT dstWidth, INT dstHeight,
                                   INT srcX, INT srcY, INT srcWidth, INT srcHeight) {
    if (m_hGraphics == nullptr)
        return ClosedStatus();
    if (image == nullptr)
        return InvalidParameter;
    return GdipDrawImageRectRectI(m_hGraphics, image, dstX, dstY, dstWidth, dstHeight, srcX, srcY,
                                  srcWidth, srcHeight, UnitPixel, nullptr, nullptr, nullptr);
}
