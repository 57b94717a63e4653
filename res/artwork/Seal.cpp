// The seal motif shared by the icon, the banner and the about logo.

#include "res/artwork/Artwork.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// A disc whose edge rises and falls like pressed wax.
QPainterPath ScallopedDisc(const QPointF& centre, double radius, int lobes) {
    QPainterPath path;
    constexpr int kSteps = 360;
    for (int i = 0; i <= kSteps; ++i) {
        const double a = 2.0 * std::numbers::pi * i / kSteps;
        const double r = radius * (0.95 + 0.05 * std::cos(lobes * a));
        const QPointF pt(centre.x() + r * std::cos(a), centre.y() + r * std::sin(a));
        if (i == 0) {
            path.moveTo(pt);
        } else {
            path.lineTo(pt);
        }
    }
    path.closeSubpath();
    return path;
}

} // namespace

void PaintSeal(QPainter& painter, const QPointF& centre, double radius) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);

    // A soft shadow below and to the right lifts the seal off what it is stamped on.
    if (radius >= 12) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0, 50));
        painter.drawPath(ScallopedDisc(centre + QPointF(radius * 0.04, radius * 0.07), radius, 18));
    }

    QRadialGradient wax(centre - QPointF(radius * 0.35, radius * 0.4), radius * 1.5);
    wax.setColorAt(0.0, QColor(0xD9, 0x3F, 0x3A));
    wax.setColorAt(0.6, QColor(0xB0, 0x1E, 0x27));
    wax.setColorAt(1.0, QColor(0x7A, 0x10, 0x1A));
    painter.setPen(Qt::NoPen);
    painter.setBrush(wax);
    painter.drawPath(ScallopedDisc(centre, radius, radius >= 12 ? 18 : 12));

    if (radius < 7) {
        painter.restore();
        return; // too small for anything inside to read
    }

    const QColor cream(0xF6, 0xEB, 0xD9);
    if (radius >= 14) {
        QPen ring(cream);
        ring.setWidthF(radius * 0.05);
        painter.setPen(ring);
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(centre, radius * 0.74, radius * 0.74);
    }

    QFont font("DejaVu Serif");
    font.setBold(true);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(radius * 1.05))));
    QPainterPath letter;
    letter.addText(0, 0, font, QStringLiteral("P"));
    const QRectF box = letter.boundingRect();
    letter.translate(centre - box.center());
    painter.setPen(Qt::NoPen);
    painter.setBrush(cream);
    painter.drawPath(letter);
    painter.restore();
}
