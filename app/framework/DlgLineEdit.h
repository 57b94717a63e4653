#pragma once
// The edit control.

#include "app/framework/ControlBase.h"

#include <QLineEdit>

// One-line edits. Every change of the text reports EN_UPDATE and then EN_CHANGE synchronously,
// before the edit repaints, whether the user or the program changed it.
class DlgLineEdit : public QLineEdit, public ControlBase {
  public:
    DlgLineEdit(int id, DWORD style, QWidget* parent);

    // Sets the text as WM_SETTEXT does: the selection goes to the start, then EN_UPDATE and
    // EN_CHANGE are reported, also when the new text equals the old one.
    void SetTextAsWindows(const QString& text);

  protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    void ReportChange();
    int m_quiet = 0;
};
