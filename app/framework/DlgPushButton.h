#pragma once
// The button controls: push buttons, radio buttons and check boxes, each reporting BN_CLICKED.

#include "app/framework/ControlBase.h"

#include <QCheckBox>
#include <QColor>
#include <QPushButton>
#include <QRadioButton>

// Push buttons, also push-like radio buttons and check boxes. A button that is not automatic
// reports its click but leaves its check state to the program.
class DlgPushButton : public QPushButton, public ControlBase {
  public:
    DlgPushButton(int id, DWORD style, bool manualCheck, QWidget* parent);

  protected:
    void nextCheckState() override;
    // A pressed push-like cell must read as chosen at a glance; the style's own sunken look
    // is barely visible on small icon buttons.
    void paintEvent(QPaintEvent* event) override;

  private:
    bool m_manualCheck;
};

class DlgRadioButton : public QRadioButton, public ControlBase {
  public:
    DlgRadioButton(int id, DWORD style, bool manualCheck, QWidget* parent);

  protected:
    void nextCheckState() override;

  private:
    bool m_manualCheck;
};

class DlgCheckBox : public QCheckBox, public ControlBase {
  public:
    DlgCheckBox(int id, DWORD style, bool manualCheck, QWidget* parent);

  protected:
    void nextCheckState() override;

  private:
    bool m_manualCheck;
};

// WCAG's contrast ratio of two opaque colours: 1 for equal ones, 21 for black on white.
double ContrastRatio(const QColor& a, const QColor& b);
