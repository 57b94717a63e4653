// Bitmap 129: the logo on the about box's button, which leads to the maker's web site.

#include "res/artwork/Artwork.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>

QImage DrawAboutLogo(double scale, bool dark) {
    QImage image(qRound(200 * scale), qRound(100 * scale), QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    // Drawn in points: every scale shows the same figure with its own pixels.
    p.scale(scale, scale);

    // On a dark desktop a cream card glares beside the dialog: the same card in the
    // evening, with the ink turned light.
    QLinearGradient paper(0, 0, 0, 100);
    paper.setColorAt(0.0, dark ? QColor(0x3A, 0x36, 0x31) : QColor(0xFF, 0xFD, 0xF8));
    paper.setColorAt(1.0, dark ? QColor(0x2A, 0x26, 0x22) : QColor(0xF1, 0xE6, 0xD2));
    p.fillRect(QRectF(0, 0, 200, 100), paper);

    PaintSeal(p, QPointF(40, 50), 30);

    // The name takes the largest size that still leaves a margin at the right edge.
    const QString text = QStringLiteral("Pictorum");
    QFont name(QStringLiteral("DejaVu Serif"));
    name.setBold(true);
    name.setHintingPreference(QFont::PreferNoHinting);
    int pixelSize = 26;
    for (; pixelSize > 10; --pixelSize) {
        name.setPixelSize(pixelSize);
        if (QFontMetricsF(name).horizontalAdvance(text) <= 200 - 80 - 8) {
            break;
        }
    }
    p.setFont(name);
    p.setPen(dark ? QColor(0xF3, 0xEC, 0xDE) : QColor(0x1B, 0x2A, 0x41));
    p.drawText(QPointF(80, 54), text);

    QFont maker(QStringLiteral("DejaVu Sans"));
    maker.setPixelSize(12);
    maker.setHintingPreference(QFont::PreferNoHinting);
    p.setFont(maker);
    p.setPen(dark ? QColor(0xCF, 0xB9, 0x9A) : QColor(0x7A, 0x63, 0x4C));
    p.drawText(QPointF(82, 72), QStringLiteral("by Tollerby"));
    p.end();
    return image.convertToFormat(QImage::Format_RGB888);
}
