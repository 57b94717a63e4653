// CDialog: its controls by id, and the data exchange that binds them.
#include "app/framework/Dialog.h"

#include "app/framework/DialogWidget.h"
#include "app/framework/ListBox.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>

// CDataExchange

void DDX_Control(CDataExchange* pDX, int id, CWnd& control) {
    if (pDX == nullptr || pDX->m_pDlgWnd == nullptr || control.IsBound())
        return;
    CDialog* dialog = pDX->m_pDlgWnd;
    QWidget* widget = dialog->ControlWidget(id);
    if (widget == nullptr)
        return;
    control.Attach(widget);
    dialog->m_itemWrappers.erase(id);
    dialog->m_boundControls[id] = &control;
}

// CDialog

QWidget* CDialog::ControlWidget(int id) const {
    if (m_dialog == nullptr)
        return nullptr;
    auto it = m_dialog->m_controls.find(id);
    return it != m_dialog->m_controls.end() ? it->second.data() : nullptr;
}

CWnd* CDialog::GetDlgItem(int id) {
    QWidget* widget = ControlWidget(id);
    if (widget == nullptr)
        return nullptr;
    if (auto it = m_boundControls.find(id); it != m_boundControls.end() && it->second->IsBound())
        return it->second;
    if (auto it = m_itemWrappers.find(id); it != m_itemWrappers.end())
        return it->second.get();
    std::unique_ptr<CWnd> wrapper;
    if (qobject_cast<QListWidget*>(widget) != nullptr)
        wrapper = std::make_unique<CListBox>(widget);
    else if (qobject_cast<QLineEdit*>(widget) != nullptr)
        wrapper = std::make_unique<CEdit>(widget);
    else if (qobject_cast<QAbstractButton*>(widget) != nullptr ||
             qobject_cast<QGroupBox*>(widget) != nullptr)
        wrapper = std::make_unique<CButton>(widget);
    else if (qobject_cast<QComboBox*>(widget) != nullptr)
        wrapper = std::make_unique<CComboBox>(widget);
    else if (qobject_cast<QProgressBar*>(widget) != nullptr)
        wrapper = std::make_unique<CProgressCtrl>(widget);
    else
        wrapper = std::make_unique<CWnd>(widget);
    CWnd* result = wrapper.get();
    m_itemWrappers[id] = std::move(wrapper);
    return result;
}

UINT CDialog::GetDlgItemText(int id, std::string& text) const {
    CWnd control(ControlWidget(id));
    control.GetWindowText(text);
    return static_cast<UINT>(text.size());
}

void CDialog::SetDlgItemText(int id, const char* text) {
    CWnd control(ControlWidget(id));
    control.SetWindowText(text);
}

void CDialog::CheckDlgButton(int id, UINT check) {
    CButton button(ControlWidget(id));
    button.SetCheck(static_cast<int>(check));
}

UINT CDialog::IsDlgButtonChecked(int id) const {
    CButton button(ControlWidget(id));
    return static_cast<UINT>(button.GetCheck());
}

void CDialog::CheckRadioButton(int firstId, int lastId, int checkId) {
    for (int id = firstId; id <= lastId; ++id)
        CheckDlgButton(id, id == checkId ? BST_CHECKED : BST_UNCHECKED);
}

void CDialog::GotoDlgCtrl(CWnd* control) {
    if (control == nullptr || control->GetWidget() == nullptr)
        return;
    control->GetWidget()->setFocus(Qt::TabFocusReason);
    if (auto* edit = qobject_cast<QLineEdit*>(control->GetWidget()))
        edit->selectAll();
}
