#pragma once
// The Qt widgets behind the controls of a dialog template. Each carries its control id and
// style and reports the Windows notification codes to its dialog through one callback, so the
// rest of the framework sees controls, not widgets.

#include "app/framework/WinUser.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include <functional>
#include <vector>

class QPainter;

// What every control widget knows about itself.
class ControlBase {
  public:
    using Notify = std::function<void(int id, UINT code)>;

    ControlBase(int id, DWORD style) : m_id(id), m_style(style) {}
    virtual ~ControlBase() = default;
    ControlBase(const ControlBase&) = delete;
    ControlBase& operator=(const ControlBase&) = delete;

    int ControlId() const { return m_id; }
    DWORD Style() const { return m_style; }
    void SetNotify(Notify notify) { m_notify = std::move(notify); }
    void SendNotify(UINT code) const {
        if (m_notify)
            m_notify(m_id, code);
    }
    // Messages a control sends its owner (WM_VKEYTOITEM); 0 while the control has no owner.
    using OwnerSend = std::function<LRESULT(UINT message, WPARAM wParam, LPARAM lParam)>;
    void SetOwnerSend(OwnerSend send) { m_ownerSend = std::move(send); }
    LRESULT SendToOwner(UINT message, WPARAM wParam, LPARAM lParam) const {
        return m_ownerSend ? m_ownerSend(message, wParam, lParam) : 0;
    }

    // The text as the program set it (buttons whose text the framework wrapped keep the
    // original here).
    QString m_windowText;
    // The handle last given with SetIcon / SetBitmap, returned by GetIcon / GetBitmap.
    HICON m_hIcon = nullptr;
    HBITMAP m_hBitmap = nullptr;

  private:
    int m_id;
    DWORD m_style;
    Notify m_notify;
    OwnerSend m_ownerSend;
};

// The control record of a widget made by the framework, or null.
ControlBase* ControlOf(const QWidget* widget);

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

class DlgGroupBox : public QGroupBox, public ControlBase {
  public:
    DlgGroupBox(int id, DWORD style, QWidget* parent);

  protected:
    // Templates place the controls of a group right below the frame's top edge, where a
    // Windows group box draws its title through the line: paint it that way, so the frame
    // does not cut through those controls.
    void paintEvent(QPaintEvent* event) override;
};

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
};

class DlgComboBox : public QComboBox, public ControlBase {
  public:
    DlgComboBox(int id, DWORD style, QWidget* parent);
};

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

// The text of a control or dialog as WM_SETTEXT would set it: a dialog's title, a button's or
// static's label (with '&' marking the mnemonic unless SS_NOPREFIX), a group box's title, an
// edit's contents (reported as WM_SETTEXT reports it).
void SetControlText(QWidget* widget, const QString& text);
// WCAG's contrast ratio of two opaque colours: 1 for equal ones, 21 for black on white.
double ContrastRatio(const QColor& a, const QColor& b);

// A text with its mnemonic marks taken out: "&Go!" is "Go!", "&&" stands for one '&'.
QString StripMnemonic(const QString& text);
QString ControlText(const QWidget* widget);
