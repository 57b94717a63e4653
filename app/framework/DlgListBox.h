#pragma once
// The list controls: list boxes and combo boxes.

#include "app/framework/ControlBase.h"

#include <QComboBox>
#include <QListWidget>

#include <vector>

// List boxes. Selection changes made by the user (mouse or keyboard) report LBN_SELCHANGE once
// per input event; changes made by the program report nothing, as on Windows.
class DlgListBox : public QListWidget, public ControlBase {
  public:
    DlgListBox(int id, DWORD style, QWidget* parent);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    // Whether the owner took the key (LBS_WANTKEYBOARDINPUT).
    bool OfferKeyToOwner(const QKeyEvent* event);
    // Set while the focus came from the keyboard, so an empty list can show where it is.
    bool m_keyboardFocus = false;
    struct Snapshot {
        std::vector<int> selected;
        int current;
        bool operator==(const Snapshot&) const = default;
    };
    Snapshot Take() const;
    void ReportIfChanged(const Snapshot& before);
    // Runs handle (the list's own handling of a mouse event) and reports the selection change it
    // made; false when the list is gone by then (a notification may close its dialog).
    template <typename Handle> bool HandleAndReport(Handle handle);
};

class DlgComboBox : public QComboBox, public ControlBase {
  public:
    DlgComboBox(int id, DWORD style, QWidget* parent);
};
