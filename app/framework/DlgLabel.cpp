#include "app/framework/DlgLabel.h"

#include <QMouseEvent>
#include <QPainter>

DlgLabel::DlgLabel(int id, DWORD style, QWidget* parent) : QLabel(parent), ControlBase(id, style) {}

void DlgLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        SendNotify(STN_CLICKED);
    QLabel::mouseReleaseEvent(event);
}

void DlgLabel::mouseDoubleClickEvent(QMouseEvent* event) {
    SendNotify(STN_DBLCLK);
    QLabel::mouseDoubleClickEvent(event);
}

DlgOwnerDraw::DlgOwnerDraw(int id, DWORD style, QWidget* parent)
    : QWidget(parent), ControlBase(id, style) {}

void DlgOwnerDraw::paintEvent(QPaintEvent*) {
    if (!m_draw)
        return;
    // The owner draws in device pixels, as a Windows program that knows the screen's scale
    // does: a picture scaled into the control then has every pixel the screen offers, and its
    // edges fall on whole pixels at fractional scales too. What it leaves untouched stays
    // transparent and shows the dialog beneath.
    const qreal ratio = devicePixelRatioF();
    QImage canvas(qRound(width() * ratio), qRound(height() * ratio),
                  QImage::Format_ARGB32_Premultiplied);
    if (canvas.isNull())
        return;
    canvas.fill(Qt::transparent);
    {
        QPainter owner(&canvas);
        m_draw(ControlId(), &owner, canvas.rect());
    }
    canvas.setDevicePixelRatio(ratio);
    QPainter painter(this);
    painter.drawImage(QPointF(0, 0), canvas);
}

void DlgOwnerDraw::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        SendNotify(STN_CLICKED);
    QWidget::mouseReleaseEvent(event);
}
