#include "app/framework/DlgGroupBox.h"

#include <QPainter>

DlgGroupBox::DlgGroupBox(int id, DWORD style, QWidget* parent)
    : QGroupBox(parent), ControlBase(id, style) {
    // A frame never takes clicks from the controls drawn inside it.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

void DlgGroupBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QFontMetrics metrics(font());
    const QString text = title();
    const int lineY = metrics.height() / 2;
    const QRect frame(0, lineY, width() - 1, height() - lineY - 1);

    const QColor dark = palette().color(QPalette::Mid);
    const QColor light = palette().color(QPalette::Light);
    // An etched frame: a dark line with a light one beside it, each one device pixel wide
    // (cosmetic pens), so that at fractional scales they stay crisp and touch without a gap.
    const qreal pixel = 1.0 / devicePixelRatioF();
    painter.setPen(QPen(light, 0));
    painter.drawRect(QRectF(frame).translated(pixel, pixel));
    painter.setPen(QPen(dark, 0));
    painter.drawRect(QRectF(frame));

    if (text.isEmpty())
        return;
    const int textX = metrics.averageCharWidth();
    const int textWidth = metrics.horizontalAdvance(text) + metrics.averageCharWidth() / 2;
    const QRect textRect(textX, 0, textWidth, metrics.height());
    painter.fillRect(textRect, palette().color(QPalette::Window));
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic, text);
}
