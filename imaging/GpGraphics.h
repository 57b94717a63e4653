#pragma once
// A drawing surface: a QPainter either on a bitmap of the library (owned) or handed in by the
// window framework as a device context (borrowed).

#include "imaging/GdiPlus.h"

#include <QPainter>
#include <QRectF>

#include <memory>

struct GpGraphics {
    // Opens a painter on the bitmap's pixels with the library's defaults.
    static GpStatus onImage(GpImage* target, GpGraphics** graphics);
    static GpStatus onPainter(QPainter* painter, GpGraphics** graphics);
    ~GpGraphics();

    // Draws the source rectangle of the image (image pixels) scaled into the destination.
    // Both are clipped first: to the image, then to what the surface can show, and only the
    // visible part is drawn, so huge or far-off rectangles cost nothing.
    GpStatus drawImage(GpImage* image, const QRectF& destination, const QRectF& source);

    // Called when the target bitmap goes away before its surface: drawing then fails.
    void detachTarget();

  private:
    QRectF visibleArea() const;
    bool replacesEveryPixel(const QImage& pixels, const QRectF& shown, const QRectF& part) const;

    QPainter* m_painter = nullptr;
    std::unique_ptr<QPainter> m_ownPainter;
    GpImage* m_target = nullptr;
};
