#pragma once
// CWnd: a small handle on one window or control of a dialog. It refers to the widget weakly:
// once the widget is gone every operation does nothing and reports failure (0, FALSE, empty).
// Text is 8-bit in the locale's encoding (UTF-8); edit positions count characters.

#include "app/framework/MessageMap.h"

#include <QPointer>
#include <QWidget>

#include <string>

class CWnd : public CCmdTarget {
  public:
    CWnd() = default;
    explicit CWnd(QWidget* widget) : m_widget(widget) {}
    ~CWnd() override = default;

    // Binding to a widget (DDX_Control does this for members).
    void Attach(QWidget* widget) { m_widget = widget; }
    QWidget* Detach();
    QWidget* GetWidget() const { return m_widget.data(); }
    bool IsBound() const { return !m_widget.isNull(); }

    int GetDlgCtrlID() const;

    void SetWindowText(const char* text);
    void SetWindowText(const std::string& text) { SetWindowText(text.c_str()); }
    // Copies at most maxCount - 1 bytes and a NUL; returns the bytes copied.
    int GetWindowText(char* buffer, int maxCount) const;
    void GetWindowText(std::string& text) const;
    std::string GetWindowTextString() const;
    int GetWindowTextLength() const;

    // Returns nonzero when the window was disabled before.
    BOOL EnableWindow(BOOL enable = TRUE);
    BOOL IsWindowEnabled() const;
    // Returns nonzero when the window was visible before.
    BOOL ShowWindow(int cmdShow);
    BOOL IsWindowVisible() const;
    void SetFocus();
    BOOL HasFocus() const;

    void GetClientRect(RECT* rect) const;
    void GetWindowRect(RECT* rect) const;

    // Invalidate marks for a later paint; UpdateWindow and RedrawWindow with RDW_UPDATENOW
    // paint at once.
    void Invalidate(BOOL erase = TRUE);
    void UpdateWindow();
    BOOL RedrawWindow(const RECT* rect = nullptr, void* region = nullptr,
                      UINT flags = RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);

    // Control messages (EM_, BM_, CB_, LB_, PBM_, WM_SETTEXT/GETTEXT) on a control; dialogs
    // send their own messages through CDialog::SendMessage.
    virtual LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

    // A message box owned by this window (see MessageBox.h).
    int MessageBox(const char* text, const char* caption = nullptr, UINT type = MB_OK);

    // Handlers with framework defaults, for ON_WM_DRAWITEM(), ON_WM_DROPFILES() and
    // ON_WM_DESTROY(): the defaults do nothing (a drop's data is released by the framework).
    void OnDrawItem(int idCtl, LPDRAWITEMSTRUCT drawItem);
    void OnDropFiles(HDROP drop);
    void OnDestroy();

  protected:
    QPointer<QWidget> m_widget;
};

// The control wrappers: what each kind of control offers. GetDlgItem returns an object of the
// class that matches the control, so a cast of its result to that class is sound.

class CStatic : public CWnd {
  public:
    using CWnd::CWnd;
    HICON SetIcon(HICON icon);
    HICON GetIcon() const;
    HBITMAP SetBitmap(HBITMAP bitmap);
    HBITMAP GetBitmap() const;
};

class CButton : public CWnd {
  public:
    using CWnd::CWnd;
    void SetCheck(int check);
    int GetCheck() const;
    HICON SetIcon(HICON icon);
    HICON GetIcon() const;
    HBITMAP SetBitmap(HBITMAP bitmap);
    HBITMAP GetBitmap() const;
    // Clicks the button as the user would (reports BN_CLICKED).
    void Click();
};

class CEdit : public CWnd {
  public:
    using CWnd::CWnd;
    // Windows EM_SETSEL: start -1 removes the selection, end -1 means the end of the text;
    // the caret goes to end; positions beyond the text are limited to its length.
    void SetSel(int start, int end, BOOL noScroll = FALSE);
    void SetSel(DWORD selection, BOOL noScroll = FALSE);
    void GetSel(int& start, int& end) const;
    DWORD GetSel() const; // start in the low word, end in the high word
    // Replaces the selection (or inserts at the caret); reports EN_UPDATE and EN_CHANGE when
    // the text changes.
    void ReplaceSel(const char* text, BOOL canUndo = FALSE);
    BOOL SetReadOnly(BOOL readOnly = TRUE);
    // The caret stays in view by itself; kept for EM_SCROLLCARET.
    void ScrollCaret() {}
};

class CComboBox : public CWnd {
  public:
    using CWnd::CWnd;
    int AddString(const char* text);
    int InsertString(int index, const char* text);
    int DeleteString(int index);
    void ResetContent();
    int GetCount() const;
    int GetCurSel() const;
    int SetCurSel(int index); // -1 clears; CB_ERR for an index out of range
    int SetItemData(int index, DWORD_PTR data);
    DWORD_PTR GetItemData(int index) const;
    int SetItemDataPtr(int index, void* data);
    void* GetItemDataPtr(int index) const;
    int GetLBText(int index, char* buffer) const; // buffer must hold GetLBTextLen + 1
    void GetLBText(int index, std::string& text) const;
    int GetLBTextLen(int index) const;
};

class CProgressCtrl : public CWnd {
  public:
    using CWnd::CWnd;
    void SetRange32(int lower, int upper);
    void SetRange(short lower, short upper) { SetRange32(lower, upper); }
    void GetRange(int& lower, int& upper) const;
    int SetPos(int pos); // returns the previous position
    int GetPos() const;
    int OffsetPos(int delta);
};
