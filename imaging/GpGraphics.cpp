#include "imaging/GpGraphics.h"

#include "imaging/GpImage.h"
#include "imaging/ImageAllocator.h"
#include "imaging/PixelFormatMap.h"

#include <QPaintDevice>
#include <QRgba64>
#include <QTransform>

#include <new>

namespace {

// Formats the raster engine cannot paint on; such decoded pixels are widened first.
bool needsWideningForPainting(QImage::Format format) {
    switch (format) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
    case QImage::Format_Indexed8:
    case QImage::Format_Alpha8:
    case QImage::Format_Grayscale8:
    case QImage::Format_Grayscale16:
        return true;
    default:
        return false;
    }
}

// A premultiplied copy of part of a straight-alpha 64-bit picture. Qt's own premultiplication of
// that format (in drawing and in convertToFormat) multiplies the alpha by itself as well, which
// drew 16-bit pictures with transparency as stripes of wrong colours; its per-pixel arithmetic
// is right, so the copy is made with that.
QImage premultipliedDeep(const QImage& straight, const QRect& area) {
    QImage copy = ImageAllocator::allocate(area.size(), QImage::Format_RGBA64_Premultiplied,
                                           ImageAllocator::Contents::Undefined);
    if (copy.isNull())
        return copy;
    for (int y = 0; y < area.height(); ++y) {
        const auto* from =
            reinterpret_cast<const QRgba64*>(straight.constScanLine(area.y() + y)) + area.x();
        auto* to = reinterpret_cast<QRgba64*>(copy.scanLine(y));
        for (int x = 0; x < area.width(); ++x)
            to[x] = from[x].premultiplied();
    }
    return copy;
}

} // namespace

GpStatus GpGraphics::onImage(GpImage* target, GpGraphics** graphics) {
    if (!target || !graphics)
        return InvalidParameter;
    if (!PixelFormatMap::canDrawOn(target->pixelFormat))
        return OutOfMemory; // what the Windows library answers for indexed and 16-bit grey
    if (target->graphics)
        return ObjectBusy;
    const GpStatus decoded = target->prepareForPainting();
    if (decoded != Ok)
        return decoded;
    if (needsWideningForPainting(target->pixels.format())) {
        target->clearNow();
        QImage::Format wide = PixelFormatMap::storageFormat(target->pixelFormat);
        if (wide == QImage::Format_Invalid || needsWideningForPainting(wide))
            wide = QImage::Format_ARGB32_Premultiplied;
        QImage widened = target->pixels.convertToFormat(wide);
        if (widened.isNull())
            return OutOfMemory;
        target->pixels = std::move(widened);
    }
    auto* result = new (std::nothrow) GpGraphics;
    if (!result)
        return OutOfMemory;
    result->m_ownPainter = std::make_unique<QPainter>();
    if (!result->m_ownPainter->begin(&target->pixels)) {
        delete result;
        return GenericError;
    }
    result->m_painter = result->m_ownPainter.get();
    // The library's defaults: blend over what is there, scale bilinearly.
    result->m_painter->setCompositionMode(QPainter::CompositionMode_SourceOver);
    result->m_painter->setRenderHint(QPainter::SmoothPixmapTransform, true);
    result->m_target = target;
    target->graphics = result;
    *graphics = result;
    return Ok;
}

GpStatus GpGraphics::onPainter(QPainter* painter, GpGraphics** graphics) {
    if (!painter || !graphics || !painter->isActive())
        return InvalidParameter;
    auto* result = new (std::nothrow) GpGraphics;
    if (!result)
        return OutOfMemory;
    result->m_painter = painter;
    *graphics = result;
    return Ok;
}

GpGraphics::~GpGraphics() {
    if (m_ownPainter && m_ownPainter->isActive())
        m_ownPainter->end();
    if (m_target)
        m_target->graphics = nullptr;
}

void GpGraphics::detachTarget() {
    if (m_ownPainter && m_ownPainter->isActive())
        m_ownPainter->end();
    m_painter = nullptr;
    m_target = nullptr;
}

bool GpGraphics::replacesEveryPixel(const QImage& pixels, const QRectF& shown,
                                    const QRectF& part) const {
    // An opaque picture drawn one to one onto whole pixels of the entire bitmap: source-over
    // then writes every pixel with the picture's own, whatever the bitmap held.
    return !pixels.hasAlphaChannel() && shown == visibleArea() && shown.size() == part.size() &&
           shown.toRect() == shown && part.toRect() == part;
}

QRectF GpGraphics::visibleArea() const {
    if (m_target)
        return QRectF(0, 0, m_target->pixels.width(), m_target->pixels.height());
    // A borrowed painter may carry a transform and a clip: take the device's area back into
    // the painter's coordinates, with a pixel to spare for edge smoothing.
    const QPaintDevice* device = m_painter->device();
    if (!device)
        return QRectF();
    bool invertible = false;
    const QTransform toLogical = m_painter->combinedTransform().inverted(&invertible);
    if (!invertible)
        return QRectF();
    // The transform carries the screen's scale from points to device pixels. Pictures and
    // images give their size in device pixels, but a widget gives it in points: without this
    // a widget on a screen of scale 2 would be clipped to its top-left quarter.
    QSizeF pixels(device->width(), device->height());
    if (device->devType() == QInternal::Widget)
        pixels *= device->devicePixelRatio();
    QRectF area = toLogical.mapRect(QRectF(-1, -1, pixels.width() + 2, pixels.height() + 2));
    if (m_painter->hasClipping())
        area = area.intersected(m_painter->clipBoundingRect().adjusted(-1, -1, 1, 1));
    return area;
}

GpStatus GpGraphics::drawImage(GpImage* image, const QRectF& destination, const QRectF& source) {
    if (!image)
        return InvalidParameter;
    if (!m_painter)
        return WrongState; // the bitmap under this surface is gone
    if (destination.width() <= 0 || destination.height() <= 0 || source.width() <= 0 ||
        source.height() <= 0)
        return Ok;
    // A picture decoded for this drawing is decoded in the layout of the bitmap it lands on,
    // where its decoder can: the raster engine copies rows of the same layout.
    const GpStatus decoded =
        image->decode(m_target ? m_target->pixels.format() : QImage::Format_Invalid);
    if (decoded != Ok)
        return decoded;

    QImage pixels = image->pixels; // shallow
    // Only the part of the source that exists in the image, and where it lands.
    const QRectF from = source.intersected(QRectF(0, 0, pixels.width(), pixels.height()));
    if (from.isEmpty())
        return Ok;
    const double scaleX = destination.width() / source.width();
    const double scaleY = destination.height() / source.height();
    const QRectF landing(destination.x() + (from.x() - source.x()) * scaleX,
                         destination.y() + (from.y() - source.y()) * scaleY, from.width() * scaleX,
                         from.height() * scaleY);
    // Only the part that the surface shows, and the source part that maps onto it.
    const QRectF shown = landing.intersected(visibleArea());
    if (shown.isEmpty())
        return Ok;
    QRectF part(from.x() + (shown.x() - landing.x()) / scaleX,
                from.y() + (shown.y() - landing.y()) / scaleY, shown.width() / scaleX,
                shown.height() / scaleY);

    const bool straightDeep = pixels.format() == QImage::Format_RGBA64;
    if (image == m_target || straightDeep) {
        // Drawing a bitmap onto itself, or a straight 64-bit one (see premultipliedDeep): read
        // from a copy of the needed part.
        const QRect needed = part.toAlignedRect().intersected(pixels.rect());
        pixels = straightDeep ? premultipliedDeep(pixels, needed) : pixels.copy(needed);
        if (pixels.isNull())
            return OutOfMemory;
        part.translate(-needed.topLeft());
    }
    // No shortcut for unscaled opaque pictures: the raster engine already blits them as a
    // (multi-threaded) copy, measured as fast as or faster than copying rows here.
    if (m_ownPainter) {
        if (m_target->clearPending()) {
            if (replacesEveryPixel(pixels, shown, part))
                m_target->coverWithoutClearing();
            else
                m_target->clearNow();
        }
        m_painter->drawImage(shown, pixels, part);
        return Ok;
    }
    m_painter->save();
    m_painter->setCompositionMode(QPainter::CompositionMode_SourceOver);
    m_painter->setRenderHint(QPainter::SmoothPixmapTransform, true);
    m_painter->drawImage(shown, pixels, part);
    m_painter->restore();
    return Ok;
}
