// Icon 128: a photograph with the program's seal pressed onto its corner. Drawn in a 256-unit
// square and scaled, so every size comes from the same figure rather than from shrinking pixels.

#include "res/artwork/Artwork.h"

#include <QPainter>

QImage DrawApplicationIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.scale(size / 256.0, size / 256.0);
    p.save();
    p.translate(112, 112);
    p.rotate(-8);
    PaintPhotograph(p);
    p.restore();
    // The seal's radius in pixels decides how much detail it carries.
    p.save();
    p.resetTransform();
    const double scale = size / 256.0;
    PaintSeal(p, QPointF(182 * scale, 180 * scale), 66 * scale);
    p.restore();
    p.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}
