// Icons 133 to 141, one per anchor cell. Each figure is drawn for the top-left, top or centre
// cell and turned about the icon's centre for the others, so the nine stay consistent.

#include "res/artwork/Artwork.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {

// Drawn in a 32-unit square.
void PaintArrow(QPainter& p, QPointF from, QPointF tip, const QColor& ink) {
    const QLineF shaft(from, tip);
    const double headLength = 8.0;
    const double headHalfWidth = 5.0;
    const QPointF unit = (tip - from) / shaft.length();
    const QPointF normal(-unit.y(), unit.x());
    const QPointF base = tip - unit * headLength;

    QPen pen(ink);
    pen.setWidthF(3.0);
    pen.setCapStyle(Qt::FlatCap);
    p.setPen(pen);
    p.drawLine(from, base + unit * 0.5);

    QPainterPath head;
    head.moveTo(tip);
    head.lineTo(base + normal * headHalfWidth);
    head.lineTo(base - normal * headHalfWidth);
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawPath(head);
}

void PaintCornerFigure(QPainter& p, const QColor& ink) {
    // The bracket hugs the top-left corner; the arrow runs up the diagonal into it.
    QPainterPath bracket;
    bracket.addRect(3, 3, 15, 3);
    bracket.addRect(3, 6, 3, 12);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawPath(bracket);
    PaintArrow(p, QPointF(27, 27), QPointF(9.5, 9.5), ink);
}

void PaintEdgeFigure(QPainter& p, const QColor& ink) {
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawRect(QRectF(5, 3, 22, 3));
    PaintArrow(p, QPointF(16, 29), QPointF(16, 9), ink);
}

void PaintCentreFigure(QPainter& p, const QColor& ink) {
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawEllipse(QPointF(16, 16), 6.5, 6.5);
}

} // namespace

int AnchorIconId(int anchor) {
    // Rows from the top left, as the options dialog numbers its cells.
    constexpr int kIds[] = {137, 141, 138, 135, 140, 136, 133, 134, 139};
    return anchor >= 1 && anchor <= 9 ? kIds[anchor - 1] : 0;
}

QImage DrawAnchorIcon(int anchor, int size, const QColor& ink) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (anchor < 1 || anchor > 9) {
        return image;
    }
    const int row = (anchor - 1) / 3;
    const int column = (anchor - 1) % 3;

    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    p.translate(16, 16);
    if (row == 1 && column == 1) {
        p.translate(-16, -16);
        PaintCentreFigure(p, ink);
    } else {
        // Quarter turns clockwise that carry the top-left (corner) or top (edge) figure to
        // this cell.
        static constexpr int kCornerTurns[3][3] = {{0, 0, 1}, {0, 0, 0}, {3, 0, 2}};
        static constexpr int kEdgeTurns[3][3] = {{0, 0, 0}, {3, 0, 1}, {0, 2, 0}};
        const bool corner = row != 1 && column != 1;
        const int turns = corner ? kCornerTurns[row][column] : kEdgeTurns[row][column];
        p.rotate(90.0 * turns);
        p.translate(-16, -16);
        if (corner) {
            PaintCornerFigure(p, ink);
        } else {
            PaintEdgeFigure(p, ink);
        }
    }
    p.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}
