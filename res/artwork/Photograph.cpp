// A landscape photograph with a white border: what the program stamps.

#include "res/artwork/Artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

void PaintPhotograph(QPainter& p) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF card(-92, -74, 184, 148);

    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 60));
    p.drawRoundedRect(card.translated(3, 6), 10, 10);

    p.setBrush(QColor(0xFB, 0xFA, 0xF6));
    QPen edge(QColor(0x9A, 0xA3, 0xAE));
    edge.setWidthF(2.0);
    p.setPen(edge);
    p.drawRoundedRect(card, 10, 10);

    const QRectF picture = card.adjusted(12, 12, -12, -12);
    p.setClipRect(picture, Qt::IntersectClip);
    QLinearGradient sky(picture.topLeft(), picture.bottomLeft());
    sky.setColorAt(0.0, QColor(0x4F, 0x9F, 0xE0));
    sky.setColorAt(1.0, QColor(0xC9, 0xE7, 0xFA));
    p.setPen(Qt::NoPen);
    p.setBrush(sky);
    p.drawRect(picture);

    p.setBrush(QColor(0xFF, 0xCF, 0x40));
    p.drawEllipse(QPointF(picture.left() + 44, picture.top() + 34), 16, 16);

    QPainterPath far;
    far.moveTo(picture.left(), picture.bottom());
    far.lineTo(picture.left(), picture.top() + 90);
    far.lineTo(picture.left() + 58, picture.top() + 40);
    far.lineTo(picture.left() + 100, picture.top() + 78);
    far.lineTo(picture.left() + 124, picture.top() + 58);
    far.lineTo(picture.right(), picture.top() + 96);
    far.lineTo(picture.right(), picture.bottom());
    far.closeSubpath();
    p.setBrush(QColor(0x3E, 0x8E, 0x72));
    p.drawPath(far);

    QPainterPath near;
    near.moveTo(picture.left(), picture.bottom());
    near.lineTo(picture.left(), picture.top() + 104);
    near.quadTo(picture.left() + 70, picture.top() + 78, picture.right(), picture.top() + 108);
    near.lineTo(picture.right(), picture.bottom());
    near.closeSubpath();
    p.setBrush(QColor(0x2B, 0x6A, 0x55));
    p.drawPath(near);
    p.restore();
}
