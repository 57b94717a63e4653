#pragma once
// A drawing context of the imaging library, closed when the object goes out of scope, so
// that every path out of the operation that opened it closes it. Settings stay at the
// library's defaults (smooth scaling, alpha blending).

#include "imaging/GdiPlus.h"

class DrawingSurface {
  public:
    // Opens a surface on a bitmap; a null image gives a closed surface with InvalidParameter.
    static DrawingSurface OnImage(GpImage* image);
    // Opens a surface on a device context (the painter of an owner-drawn control).
    static DrawingSurface OnDeviceContext(HDC hdc);

    DrawingSurface(DrawingSurface&& other) noexcept;
    DrawingSurface& operator=(DrawingSurface&& other) noexcept;
    DrawingSurface(const DrawingSurface&) = delete;
    DrawingSurface& operator=(const DrawingSurface&) = delete;
    ~DrawingSurface();

    bool IsOpen() const { return m_hGraphics != nullptr; }
    // The status of opening the surface.
    GpStatus GetOpenStatus() const { return m_openStatus; }
    void Close();

    // Whole image scaled into x, y, width, height. On a closed surface, the status that kept
    // it from opening; a null image gives InvalidParameter.
    GpStatus DrawImage(GpImage* image, INT x, INT y, INT width, INT height);
    // Source rectangle (pixels) of image scaled into the destination rectangle.
    GpStatus DrawImage(GpImage* image, INT dstX, INT dstY, INT dstWidth, INT dstHeight, INT srcX,
                       INT srcY, INT srcWidth, INT srcHeight);

  private:
    DrawingSurface(GpGraphics* graphics, GpStatus status)
        : m_hGraphics(graphics), m_openStatus(status) {}
    GpStatus ClosedStatus() const { return m_openStatus != Ok ? m_openStatus : WrongState; }

    GpGraphics* m_hGraphics = nullptr;
    GpStatus m_openStatus = Ok;
};
