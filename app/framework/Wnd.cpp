#include "app/framework/Wnd.h"

#include "app/framework/ControlBase.h"
#include "app/framework/ControlText.h"
#include "app/framework/DlgProgressBar.h"
#include "app/framework/ResourceImages.h"
#include "app/framework/ShowMessageBox.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include <algorithm>

namespace {
QString FromText(const char* text) {
    return QString::fromLocal8Bit(text != nullptr ? text : "");
}
} // namespace

QWidget* CWnd::Detach() {
    QWidget* widget = m_widget.data();
    m_widget.clear();
    return widget;
}

void CWnd::SetWindowText(const char* text) {
    SetControlText(m_widget.data(), FromText(text));
}

void CWnd::GetWindowText(std::string& text) const {
    text = GetWindowTextString();
}

std::string CWnd::GetWindowTextString() const {
    return ControlText(m_widget.data()).toLocal8Bit().toStdString();
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

void CWnd::SetFocus() {
    if (m_widget)
        m_widget->setFocus(Qt::OtherFocusReason);
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
void CWnd::SetAccessibleName(const std::string& name) {
    if (m_widget)
        m_widget->setAccessibleName(QString::fromUtf8(name.c_str()));
}

void CWnd::OnDropFiles(HDROP) {}
void CWnd::OnDestroy() {}

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

void CEdit::ReplaceSel(const char* text, BOOL) {
    if (auto* edit = qobject_cast<QLineEdit*>(m_widget.data()))
        edit->insert(FromText(text));
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

void CComboBox::GetLBText(int index, std::string& text) const {
    QComboBox* c = Combo(m_widget);
    text = c != nullptr && InRange(c, index) ? c->itemText(index).toLocal8Bit().toStdString()
                                             : std::string();
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
