#pragma once
// The progress bar control.

#include "app/framework/ControlBase.h"

#include <QProgressBar>

// Progress bars with the 32-bit range of the common control. An empty range (low == high)
// shows an empty bar rather than Qt's busy indicator.
class DlgProgressBar : public QProgressBar, public ControlBase {
  public:
    DlgProgressBar(int id, DWORD style, QWidget* parent);
    void SetRange32(int low, int high);
    void GetRange32(int& low, int& high) const;
    int SetPos(int pos); // returns the previous position
    int GetPos() const { return m_pos; }

  private:
    int m_low = 0;
    int m_high = 100;
    int m_pos = 0;
};
