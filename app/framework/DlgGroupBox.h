#pragma once
// The frame of a group of controls, with its title.

#include "app/framework/ControlBase.h"

#include <QGroupBox>

class DlgGroupBox : public QGroupBox, public ControlBase {
  public:
    DlgGroupBox(int id, DWORD style, QWidget* parent);

  protected:
    // Templates place the controls of a group right below the frame's top edge, where a
    // Windows group box draws its title through the line: paint it that way, so the frame
    // does not cut through those controls.
    void paintEvent(QPaintEvent* event) override;
};
