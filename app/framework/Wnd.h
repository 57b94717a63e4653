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

    void SetWindowText(const char* text);
    void SetWindowText(const std::string& text) { SetWindowText(text.c_str()); }
    void GetWindowText(std::string& text) const;
    std::string GetWindowTextString() const;

    // Returns nonzero when the window was disabled before.
    BOOL EnableWindow(BOOL enable = TRUE);
    BOOL IsWindowEnabled() const;
    void SetFocus();
    // What a screen reader calls the window (a picture whose content changes, say).
    void SetAccessibleName(const std::string& name);

    // With RDW_UPDATENOW paints at once, with RDW_INVALIDATE alone marks for a later paint.
    BOOL RedrawWindow(const RECT* rect = nullptr, void* region = nullptr,
                      UINT flags = RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);

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

class CButton : public CWnd {
  public:
    using CWnd::CWnd;
    void SetCheck(int check);
    int GetCheck() const;
    HICON SetIcon(HICON icon);
    HICON GetIcon() const;
    HBITMAP SetBitmap(HBITMAP bitmap);
};

class CEdit : public CWnd {
  public:
    using CWnd::CWnd;
    // Windows EM_SETSEL: start -1 removes the selection, end -1 means the end of the text;
    // the caret goes to end; positions beyond the text are limited to its length.
    void SetSel(int start, int end, BOOL noScroll = FALSE);
    void GetSel(int& start, int& end) const;
    // Replaces the selection (or inserts at the caret); reports EN_UPDATE and EN_CHANGE when
    // the text changes.
    void ReplaceSel(const char* text, BOOL canUndo = FALSE);
    // The caret stays in view by itself; kept for EM_SCROLLCARET.
    void ScrollCaret() {}
};

class CComboBox : public CWnd {
  public:
    using CWnd::CWnd;
    int AddString(const char* text);
    void ResetContent();
    int GetCount() const;
    int GetCurSel() const;
    int SetCurSel(int index); // -1 clears; CB_ERR for an index out of range
    int SetItemData(int index, DWORD_PTR data);
    DWORD_PTR GetItemData(int index) const;
    int SetItemDataPtr(int index, void* data);
    void* GetItemDataPtr(int index) const;
    void GetLBText(int index, std::string& text) const;
};

class CProgressCtrl : public CWnd {
  public:
    using CWnd::CWnd;
    void SetRange32(int lower, int upper);
    void GetRange(int& lower, int& upper) const;
    int SetPos(int pos); // returns the previous position
    int GetPos() const;
};
