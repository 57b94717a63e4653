#include "app/framework/Wnd.h"

#include "app/framework/ControlWidgets.h"
#include "app/framework/ListBox.h"
#include "app/framework/MessageBox.h"
#include "app/framework/ResourceImages.h"

#include <QApplication>

#include <algorithm>
#include <cstring>

namespace {
QString FromText(const char* text) {
    return QString::fromLocal8Bit(text != nullptr ? text : "");
}

int CopyOut(const QByteArray& bytes, char* buffer, int maxCount) {
    if (buffer == nullptr || maxCount <= 0)
        return 0;
    const int n = std::min<int>(static_cast<int>(bytes.size()), maxCount - 1);
    std::memcpy(buffer, bytes.constData(), static_cast<size_t>(n));
    buffer[n] = '\0';
    return n;
}

RECT ToRect(const QRect& r) {
    return RECT{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}
} // namespace

QWidget* CWnd::Detach() {
    QWidget* widget = m_widget.data();
    m_widget.clear();
    return widget;
}

int CWnd::GetDlgCtrlID() const {
    const ControlBase* control = ControlOf(m_widget.data());
    return control != nullptr ? control->ControlId() : 0;
}

void CWnd::SetWindowText(const char* text) {
    SetControlText(m_widget.data(), FromText(text));
}

int CWnd::GetWindowText(char* buffer, int maxCount) const {
    return CopyOut(ControlText(m_widget.data()).toLocal8Bit(), buffer, maxCount);
}

void CWnd::GetWindowText(std::string& text) const {
    text = GetWindowTextString();
}

std::string CWnd::GetWindowTextString() const {
    return ControlText(m_widget.data()).toLocal8Bit().toStdString();
}

int CWnd::GetWindowTextLength() const {
    return static_cast<int>(ControlText(m_widget.data()).toLocal8Bit().size());
}

BOOL CWnd::EnableWindow(BOOL enable) {
    if (!m_widget)
        return FALSE;
    const bool wasDisabled = m_widget->testAttribute(Qt::WA_Disabled);
    m_widget->setEnabled(enable != FALSE);
    return wasDisabled ? TRUE : FALSE;
}

BOOL CWnd::IsWindowEnabled() const {
    return m_widget && !m_widget->testAttribute(Qt::WA_Disabled) ? TRUE : FALSE;
}

BOOL CWnd::ShowWindow(int cmdShow) {
    if (!m_widget)
        return FALSE;
    const bool wasVisible = !m_widget->isHidden();
    m_widget->setVisible(cmdShow != SW_HIDE);
    return wasVisible ? TRUE : FALSE;
}

BOOL CWnd::IsWindowVisible() const {
    return m_widget && m_widget->isVisible() ? TRUE : FALSE;
}

void CWnd::SetFocus() {
    if (m_widget)
        m_widget->setFocus(Qt::OtherFocusReason);
}

BOOL CWnd::HasFocus() const {
    return m_widget && QApplication::focusWidget() == m_widget ? TRUE : FALSE;
}

void CWnd::GetClientRect(RECT* rect) const {
    if (rect == nullptr)
        return;
    if (!m_widget) {
        *rect = RECT{0, 0, 0, 0};
        return;
    }
    QSize size = m_widget->size();
    if (auto* frame = qobject_cast<QFrame*>(m_widget.data()))
        size = frame->contentsRect().size();
    *rect = RECT{0, 0, size.width(), size.height()};
}

void CWnd::GetWindowRect(RECT* rect) const {
    if (rect == nullptr)
        return;
    if (!m_widget) {
        *rect = RECT{0, 0, 0, 0};
        return;
    }
    if (m_widget->isWindow()) {
        *rect = ToRect(m_widget->frameGeometry());
        return;
    }
    *rect = ToRect(QRect(m_widget->mapToGlobal(QPoint(0, 0)), m_widget->size()));
}

void CWnd::Invalidate(BOOL) {
    if (m_widget)
        m_widget->update();
}

void CWnd::UpdateWindow() {
    if (m_widget)
        m_widget->repaint();
}

BOOL CWnd::RedrawWindow(const RECT* rect, void*, UINT flags) {
    if (!m_widget)
        return FALSE;
    const QRect area = rect != nullptr ? QRect(rect->left, rect->top, rect->right - rect->left,
                                               rect->bottom - rect->top)
                                       : m_widget->rect();
    if ((flags & RDW_UPDATENOW) != 0)
        m_widget->repaint(area);
    else if ((flags & RDW_INVALIDATE) != 0)
        m_widget->update(area);
    return TRUE;
}

int CWnd::MessageBox(const char* text, const char* caption, UINT type) {
    return ShowMessageBox(m_widget.data(), text, caption, type);
}

void CWnd::OnDrawItem(int, LPDRAWITEMSTRUCT) {}
void CWnd::OnDropFiles(HDROP) {}
void CWnd::OnDestroy() {}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    QWidget* w = m_widget.data();
    if (w == nullptr)
        return 0;
    switch (message) {
    case WM_SETTEXT:
        SetWindowText(reinterpret_cast<const char*>(lParam));
        return TRUE;
    case WM_GETTEXT:
        return GetWindowText(reinterpret_cast<char*>(lParam), static_cast<int>(wParam));
    case WM_GETTEXTLENGTH:
        return GetWindowTextLength();
    case EM_GETSEL: {
        int start = 0;
        int end = 0;
        CEdit(w).GetSel(start, end);
        if (wParam != 0)
            *reinterpret_cast<DWORD*>(wParam) = static_cast<DWORD>(start);
        if (lParam != 0)
            *reinterpret_cast<DWORD*>(lParam) = static_cast<DWORD>(end);
        return static_cast<LRESULT>(MAKELPARAM(start, end) & 0xFFFFFFFF);
    }
    case EM_SETSEL:
        CEdit(w).SetSel(static_cast<int>(static_cast<LONG_PTR>(wParam)), static_cast<int>(lParam));
        return 0;
    case EM_SCROLLCARET:
        return TRUE;
    case EM_REPLACESEL:
        CEdit(w).ReplaceSel(reinterpret_cast<const char*>(lParam), static_cast<BOOL>(wParam));
        return 0;
    case EM_SETREADONLY:
        return CEdit(w).SetReadOnly(static_cast<BOOL>(wParam));
    case BM_GETCHECK:
        return CButton(w).GetCheck();
    case BM_SETCHECK:
        CButton(w).SetCheck(static_cast<int>(wParam));
        return 0;
    case BM_CLICK:
        CButton(w).Click();
        return 0;
    case BM_GETIMAGE:
        return wParam == IMAGE_ICON ? reinterpret_cast<LRESULT>(CButton(w).GetIcon())
                                    : reinterpret_cast<LRESULT>(CButton(w).GetBitmap());
    case BM_SETIMAGE:
        return wParam == IMAGE_ICON
                   ? reinterpret_cast<LRESULT>(CButton(w).SetIcon(reinterpret_cast<HICON>(lParam)))
                   : reinterpret_cast<LRESULT>(
                         CButton(w).SetBitmap(reinterpret_cast<HBITMAP>(lParam)));
    case CB_ADDSTRING:
        return CComboBox(w).AddString(reinterpret_cast<const char*>(lParam));
    case CB_DELETESTRING:
        return CComboBox(w).DeleteString(static_cast<int>(wParam));
    case CB_GETCOUNT:
        return CComboBox(w).GetCount();
    case CB_GETCURSEL:
        return CComboBox(w).GetCurSel();
    case CB_GETLBTEXT:
        return CComboBox(w).GetLBText(static_cast<int>(wParam), reinterpret_cast<char*>(lParam));
    case CB_GETLBTEXTLEN:
        return CComboBox(w).GetLBTextLen(static_cast<int>(wParam));
    case CB_RESETCONTENT:
        CComboBox(w).ResetContent();
        return CB_OKAY;
    case CB_SETCURSEL:
        return CComboBox(w).SetCurSel(static_cast<int>(static_cast<LONG_PTR>(wParam)));
    case CB_GETITEMDATA:
        return static_cast<LRESULT>(CComboBox(w).GetItemData(static_cast<int>(wParam)));
    case CB_SETITEMDATA:
        return CComboBox(w).SetItemData(static_cast<int>(wParam), static_cast<DWORD_PTR>(lParam));
    case LB_ADDSTRING:
        return CListBox(w).AddString(reinterpret_cast<const char*>(lParam));
    case LB_INSERTSTRING:
        return CListBox(w).InsertString(static_cast<int>(static_cast<LONG_PTR>(wParam)),
                                        reinterpret_cast<const char*>(lParam));
    case LB_DELETESTRING:
        return CListBox(w).DeleteString(static_cast<int>(wParam));
    case LB_RESETCONTENT:
        CListBox(w).ResetContent();
        return 0;
    case LB_SETSEL:
        return CListBox(w).SetSel(static_cast<int>(lParam), static_cast<BOOL>(wParam));
    case LB_SETCURSEL:
        return CListBox(w).SetCurSel(static_cast<int>(static_cast<LONG_PTR>(wParam)));
    case LB_GETSEL:
        return CListBox(w).GetSel(static_cast<int>(wParam));
    case LB_GETCURSEL:
        return CListBox(w).GetCurSel();
    case LB_GETTEXT:
        return CListBox(w).GetText(static_cast<int>(wParam), reinterpret_cast<char*>(lParam));
    case LB_GETTEXTLEN:
        return CListBox(w).GetTextLen(static_cast<int>(wParam));
    case LB_GETCOUNT:
        return CListBox(w).GetCount();
    case LB_FINDSTRING:
        return CListBox(w).FindString(static_cast<int>(static_cast<LONG_PTR>(wParam)),
                                      reinterpret_cast<const char*>(lParam));
    case LB_GETSELCOUNT:
        return CListBox(w).GetSelCount();
    case LB_GETSELITEMS:
        return CListBox(w).GetSelItems(static_cast<int>(wParam), reinterpret_cast<LPINT>(lParam));
    case LB_GETITEMDATA:
        return static_cast<LRESULT>(CListBox(w).GetItemData(static_cast<int>(wParam)));
    case LB_SETITEMDATA:
        return CListBox(w).SetItemData(static_cast<int>(wParam), static_cast<DWORD_PTR>(lParam));
    case LB_SETCARETINDEX:
        return CListBox(w).SetCaretIndex(static_cast<int>(wParam));
    case LB_GETCARETINDEX:
        return CListBox(w).GetCaretIndex();
    case PBM_SETPOS:
        return CProgressCtrl(w).SetPos(static_cast<int>(wParam));
    case PBM_SETRANGE32:
        CProgressCtrl(w).SetRange32(static_cast<int>(wParam), static_cast<int>(lParam));
        return 0;
    case PBM_GETPOS:
        return CProgressCtrl(w).GetPos();
    default:
        return 0;
    }
}

// CStatic

HICON CStatic::SetIcon(HICON icon) {
    auto* label = qobject_cast<QLabel*>(m_widget.data());
    ControlBase* control = ControlOf(m_widget.data());
    if (label == nullptr || control == nullptr)
        return nullptr;
    HICON previous = control->m_hIcon;
    control->m_hIcon = icon;
    label->setPixmap(IconOfHandle(icon).pixmap(32, 32));
    return previous;
}

HICON CStatic::GetIcon() const {
    const ControlBase* control = ControlOf(m_widget.data());
    return control != nullptr ? control->m_hIcon : nullptr;
}

HBITMAP CStatic::SetBitmap(HBITMAP bitmap) {
    auto* label = qobject_cast<QLabel*>(m_widget.data());
    ControlBase* control = ControlOf(m_widget.data());
    if (label == nullptr || control == nullptr)
        return nullptr;
    HBITMAP previous = control->m_hBitmap;
    control->m_hBitmap = bitmap;
    label->setPixmap(PixmapOfHandle(bitmap));
    return previous;
}

HBITMAP CStatic::GetBitmap() const {
    const ControlBase* control = ControlOf(m_widget.data());
    return control != nullptr ? control->m_hBitmap : nullptr;
}

// CButton

void CButton::SetCheck(int check) {
    if (auto* box = qobject_cast<QCheckBox*>(m_widget.data())) {
        box->setCheckState(check == BST_CHECKED         ? Qt::Checked
                           : check == BST_INDETERMINATE ? Qt::PartiallyChecked
                                                        : Qt::Unchecked);
        return;
    }
    if (auto* button = qobject_cast<QAbstractButton*>(m_widget.data())) {
        if (button->isCheckable())
            button->setChecked(check == BST_CHECKED);
    }
}

int CButton::GetCheck() const {
    if (auto* box = qobject_cast<const QCheckBox*>(m_widget.data())) {
        const Qt::CheckState state = box->checkState();
        return state == Qt::Checked            ? BST_CHECKED
               : state == Qt::PartiallyChecked ? BST_INDETERMINATE
                                               : BST_UNCHECKED;
    }
    auto* button = qobject_cast<const QAbstractButton*>(m_widget.data());
    return button != nullptr && button->isChecked() ? BST_CHECKED : BST_UNCHECKED;
}

HICON CButton::SetIcon(HICON icon) {
    auto* button = qobject_cast<QAbstractButton*>(m_widget.data());
    ControlBase* control = ControlOf(m_widget.data());
    if (button == nullptr || control == nullptr)
        return nullptr;
    HICON previous = control->m_hIcon;
    control->m_hIcon = icon;
    const QIcon qicon = IconOfHandle(icon);
    button->setIcon(qicon);
    button->setIconSize(ButtonIconSize(qicon, button->size()));
    return previous;
}

HICON CButton::GetIcon() const {
    const ControlBase* control = ControlOf(m_widget.data());
    return control != nullptr ? control->m_hIcon : nullptr;
}

HBITMAP CButton::SetBitmap(HBITMAP bitmap) {
    auto* button = qobject_cast<QAbstractButton*>(m_widget.data());
    ControlBase* control = ControlOf(m_widget.data());
    if (button == nullptr || control == nullptr)
        return nullptr;
    HBITMAP previous = control->m_hBitmap;
    control->m_hBitmap = bitmap;
    const QPixmap pixmap = PixmapOfHandle(bitmap);
    button->setIcon(QIcon(pixmap));
    button->setIconSize(pixmap.deviceIndependentSize().toSize());
    return previous;
}

HBITMAP CButton::GetBitmap() const {
    const ControlBase* control = ControlOf(m_widget.data());
    return control != nullptr ? control->m_hBitmap : nullptr;
}

void CButton::Click() {
    if (auto* button = qobject_cast<QAbstractButton*>(m_widget.data()))
        button->click();
}

// CEdit

void CEdit::SetSel(int start, int end, BOOL) {
    auto* edit = qobject_cast<QLineEdit*>(m_widget.data());
    if (edit == nullptr)
        return;
    const int length = static_cast<int>(edit->text().size());
    if (start == -1) {
        edit->deselect();
        return;
    }
    if (start < 0 || start > length)
        start = length;
    if (end < 0 || end > length)
        end = length;
    if (start == end) {
        edit->deselect();
        edit->setCursorPosition(end);
        return;
    }
    // The caret goes to end, the anchor stays at start, as EM_SETSEL leaves them.
    edit->setSelection(start, end - start);
}

void CEdit::SetSel(DWORD selection, BOOL noScroll) {
    SetSel(static_cast<short>(LOWORD(selection)), static_cast<short>(HIWORD(selection)), noScroll);
}

void CEdit::GetSel(int& start, int& end) const {
    auto* edit = qobject_cast<const QLineEdit*>(m_widget.data());
    if (edit == nullptr) {
        start = end = 0;
        return;
    }
    if (edit->hasSelectedText()) {
        start = static_cast<int>(edit->selectionStart());
        end = static_cast<int>(edit->selectionEnd());
    } else {
        start = end = edit->cursorPosition();
    }
}

DWORD CEdit::GetSel() const {
    int start = 0;
    int end = 0;
    GetSel(start, end);
    return static_cast<DWORD>(MAKELPARAM(static_cast<UINT>(start), static_cast<UINT>(end)));
}

void CEdit::ReplaceSel(const char* text, BOOL) {
    if (auto* edit = qobject_cast<QLineEdit*>(m_widget.data()))
        edit->insert(FromText(text));
}

BOOL CEdit::SetReadOnly(BOOL readOnly) {
    auto* edit = qobject_cast<QLineEdit*>(m_widget.data());
    if (edit == nullptr)
        return FALSE;
    edit->setReadOnly(readOnly != FALSE);
    return TRUE;
}

// CComboBox

namespace {
QComboBox* Combo(const QPointer<QWidget>& w) {
    return qobject_cast<QComboBox*>(w.data());
}
bool InRange(const QComboBox* c, int index) {
    return index >= 0 && index < c->count();
}
} // namespace

int CComboBox::AddString(const char* text) {
    QComboBox* c = Combo(m_widget);
    if (c == nullptr)
        return CB_ERR;
    c->addItem(FromText(text));
    return c->count() - 1;
}

int CComboBox::InsertString(int index, const char* text) {
    QComboBox* c = Combo(m_widget);
    if (c == nullptr || index > c->count())
        return CB_ERR;
    if (index < 0)
        index = c->count();
    c->insertItem(index, FromText(text));
    return index;
}

int CComboBox::DeleteString(int index) {
    QComboBox* c = Combo(m_widget);
    if (c == nullptr || !InRange(c, index))
        return CB_ERR;
    c->removeItem(index);
    return c->count();
}

void CComboBox::ResetContent() {
    if (QComboBox* c = Combo(m_widget))
        c->clear();
}

int CComboBox::GetCount() const {
    QComboBox* c = Combo(m_widget);
    return c != nullptr ? c->count() : CB_ERR;
}

int CComboBox::GetCurSel() const {
    QComboBox* c = Combo(m_widget);
    return c != nullptr && c->currentIndex() >= 0 ? c->currentIndex() : CB_ERR;
}

int CComboBox::SetCurSel(int index) {
    QComboBox* c = Combo(m_widget);
    if (c == nullptr)
        return CB_ERR;
    if (!InRange(c, index)) {
        c->setCurrentIndex(-1);
        return CB_ERR;
    }
    c->setCurrentIndex(index);
    return index;
}

int CComboBox::SetItemData(int index, DWORD_PTR data) {
    QComboBox* c = Combo(m_widget);
    if (c == nullptr || !InRange(c, index))
        return CB_ERR;
    c->setItemData(index, QVariant::fromValue<quintptr>(data), Qt::UserRole);
    return CB_OKAY;
}

DWORD_PTR CComboBox::GetItemData(int index) const {
    QComboBox* c = Combo(m_widget);
    if (c == nullptr || !InRange(c, index))
        return static_cast<DWORD_PTR>(CB_ERR);
    return static_cast<DWORD_PTR>(c->itemData(index, Qt::UserRole).value<quintptr>());
}

int CComboBox::SetItemDataPtr(int index, void* data) {
    return SetItemData(index, reinterpret_cast<DWORD_PTR>(data));
}

void* CComboBox::GetItemDataPtr(int index) const {
    return reinterpret_cast<void*>(GetItemData(index));
}

int CComboBox::GetLBText(int index, char* buffer) const {
    QComboBox* c = Combo(m_widget);
    if (c == nullptr || !InRange(c, index) || buffer == nullptr)
        return CB_ERR;
    const QByteArray bytes = c->itemText(index).toLocal8Bit();
    std::memcpy(buffer, bytes.constData(), static_cast<size_t>(bytes.size()));
    buffer[bytes.size()] = '\0';
    return static_cast<int>(bytes.size());
}

void CComboBox::GetLBText(int index, std::string& text) const {
    QComboBox* c = Combo(m_widget);
    text = c != nullptr && InRange(c, index) ? c->itemText(index).toLocal8Bit().toStdString()
                                             : std::string();
}

int CComboBox::GetLBTextLen(int index) const {
    QComboBox* c = Combo(m_widget);
    if (c == nullptr || !InRange(c, index))
        return CB_ERR;
    return static_cast<int>(c->itemText(index).toLocal8Bit().size());
}

// CProgressCtrl

void CProgressCtrl::SetRange32(int lower, int upper) {
    if (auto* bar = dynamic_cast<DlgProgressBar*>(m_widget.data()))
        bar->SetRange32(lower, upper);
    else if (auto* plain = qobject_cast<QProgressBar*>(m_widget.data()))
        plain->setRange(lower, upper);
}

void CProgressCtrl::GetRange(int& lower, int& upper) const {
    lower = upper = 0;
    if (auto* bar = dynamic_cast<const DlgProgressBar*>(m_widget.data()))
        bar->GetRange32(lower, upper);
}

int CProgressCtrl::SetPos(int pos) {
    auto* bar = dynamic_cast<DlgProgressBar*>(m_widget.data());
    return bar != nullptr ? bar->SetPos(pos) : 0;
}

int CProgressCtrl::GetPos() const {
    auto* bar = dynamic_cast<const DlgProgressBar*>(m_widget.data());
    return bar != nullptr ? bar->GetPos() : 0;
}

int CProgressCtrl::OffsetPos(int delta) {
    return SetPos(GetPos() + delta);
}
