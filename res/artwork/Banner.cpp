// Bitmap 132: the banner across the top of the main window.

#include "res/artwork/Artwork.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>

namespace {

QFont TextFont(const char* family, int pixelSize, bool bold) {
    QFont font(QString::fromLatin1(family));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

} // namespace

QImage DrawBanner(double scale) {
    QImage image(qRound(400 * scale), qRound(85 * scale), QImage::Format_RGB32);
    // At a scale where 85 points are no whole number of pixels (127.5 at 1.5) the last row is
    // only partly inside the drawing: it belongs to the gold rule, which runs to the picture's
    // real bottom, never to whatever the memory held.
    const double bottom = image.height() / scale;
    image.fill(QColor(0xC9, 0xA2, 0x4B));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    // Drawn in points: every scale shows the same figure with its own pixels.
    p.scale(scale, scale);

    QLinearGradient night(0, 0, 400, 85);
    night.setColorAt(0.0, QColor(0x17, 0x24, 0x38));
    night.setColorAt(1.0, QColor(0x2A, 0x47, 0x6B));
    p.fillRect(QRectF(0, 0, 400, 82), night);
    // A thin gold rule along the bottom edge closes the banner off from the dialog below.
    p.fillRect(QRectF(0, 82, 400, bottom - 82), QColor(0xC9, 0xA2, 0x4B));

    // Three stamped photographs fanned out at the right.
    const struct { double x, y, angle; } kCards[] = {{330, 44, -14}, {348, 40, 4}, {366, 44, 18}};
    for (const auto& card : kCards) {
        p.save();
        p.translate(card.x, card.y);
        p.rotate(card.angle);
        p.scale(0.25, 0.25);
        PaintPhotograph(p);
        p.restore();
    }
    p.save();
    p.translate(366, 44);
    p.rotate(18);
    PaintSeal(p, QPointF(12, 8), 10);
    p.restore();

    PaintSeal(p, QPointF(46, 41), 32);

    p.setPen(QColor(0xF6, 0xEB, 0xD9));
    p.setFont(TextFont("DejaVu Serif", 34, true));
    p.drawText(QPointF(90, 47), QStringLiteral("Pictorum"));
    p.setPen(QColor(0xA9, 0xBC, 0xD3));
    p.setFont(TextFont("DejaVu Sans", 13, false));
    p.drawText(QPointF(92, 68), QStringLiteral("Stamp one picture onto many"));
    p.end();
    return image.convertToFormat(QImage::Format_RGB888);
}
