#pragma once
// The static controls: texts, pictures and owner-drawn statics.

#include "app/framework/ControlBase.h"

#include <QLabel>

#include <functional>

class QPainter;

// Static texts and pictures; with SS_NOTIFY a click reports STN_CLICKED.
class DlgLabel : public QLabel, public ControlBase {
  public:
    DlgLabel(int id, DWORD style, QWidget* parent);

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

// An owner-drawn static: every paint asks the owner to draw through a QPainter, in device
// pixels (the rectangle given is the control's size times the screen's scale).
class DlgOwnerDraw : public QWidget, public ControlBase {
  public:
    using Draw = std::function<void(int id, QPainter* painter, const QRect& rect)>;
    DlgOwnerDraw(int id, DWORD style, QWidget* parent);
    void SetDraw(Draw draw) { m_draw = std::move(draw); }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    Draw m_draw;
};
