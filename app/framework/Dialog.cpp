#include "app/framework/Dialog.h"

#include "app/framework/ControlFactory.h"
#include "app/framework/ControlWidgets.h"
#include "app/framework/DialogTemplateRegistry.h"
#include "app/framework/DropFiles.h"
#include "app/framework/ListBox.h"
#include "app/framework/ResourceImages.h"
#include "app/framework/WinApp.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QKeyEvent>
#include <QMimeData>
#include <QScreen>
#include <QUrl>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace {
std::mutex g_handleMutex;
std::map<HWND, CDialog*>& HandleMap() {
    static std::map<HWND, CDialog*> map;
    return map;
}

std::vector<std::string> LocalFiles(const QMimeData* data) {
    std::vector<std::string> paths;
    if (data == nullptr || !data->hasUrls())
        return paths;
    const QList<QUrl> urls = data->urls();
    for (const QUrl& url : urls) {
        if (url.isLocalFile())
            paths.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
    }
    return paths;
}
} // namespace

// The Qt window of a CDialog. Every way of closing it goes through the dialog's commands, so
// only EndDialog ends it.
class DialogWidget : public QDialog {
  public:
    DialogWidget(CDialog* owner, QWidget* parent, Qt::WindowFlags flags)
        : QDialog(parent, flags), m_owner(owner) {}

    void Finish(int result) { QDialog::done(result); }
    void Orphan() { m_owner = nullptr; }

    std::map<int, QPointer<QWidget>> m_controls;
    std::vector<QPointer<QWidget>> m_tabStops;
    DialogBaseUnits m_units{1, 1};
    HICON m_bigIcon = nullptr;
    HICON m_smallIcon = nullptr;

  protected:
    void keyPressEvent(QKeyEvent* event) override {
        const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
        if (m_owner != nullptr && modifiers == Qt::NoModifier) {
            if (event->key() == Qt::Key_Escape) {
                m_owner->Command(IDCANCEL, BN_CLICKED);
                return;
            }
            if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
                m_owner->OnEnterKey();
                return;
            }
        }
        event->ignore();
    }

    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        if (m_owner != nullptr)
            m_owner->WindowProc(WM_CLOSE, 0, 0);
    }

    void accept() override {
        if (m_owner != nullptr)
            m_owner->Command(IDOK, BN_CLICKED);
    }

    void reject() override {
        if (m_owner != nullptr)
            m_owner->Command(IDCANCEL, BN_CLICKED);
    }

    void done(int result) override {
        if (m_owner != nullptr)
            m_owner->Command(result == QDialog::Accepted ? IDOK : IDCANCEL, BN_CLICKED);
        else
            QDialog::done(result);
    }

    void dragEnterEvent(QDragEnterEvent* event) override {
        if (!LocalFiles(event->mimeData()).empty())
            event->acceptProposedAction();
        else
            event->ignore();
    }

    void dragMoveEvent(QDragMoveEvent* event) override {
        if (!LocalFiles(event->mimeData()).empty())
            event->acceptProposedAction();
        else
            event->ignore();
    }

    void dropEvent(QDropEvent* event) override {
        std::vector<std::string> paths = LocalFiles(event->mimeData());
        if (paths.empty() || m_owner == nullptr) {
            event->ignore();
            return;
        }
        event->acceptProposedAction();
        HDROP drop = CreateDrop(std::move(paths));
        m_owner->WindowProc(WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
        ReleaseDrop(drop);
    }

  private:
    CDialog* m_owner;
};

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

BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_COMMAND(IDOK, &CDialog::OnOK)
ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(int templateId, CWnd* parent)
    : m_nIDTemplate(templateId), m_pParentWnd(parent), m_hWndSaved(GetSafeHwnd()) {
    std::lock_guard lock(g_handleMutex);
    HandleMap()[m_hWndSaved] = this;
}

CDialog::~CDialog() {
    {
        std::lock_guard lock(g_handleMutex);
        HandleMap().erase(m_hWndSaved);
    }
    DetachHandle();
    ReleaseWindow();
}

CDialog* CDialog::FromHandle(HWND hWnd) {
    if (hWnd == nullptr)
        return nullptr;
    std::lock_guard lock(g_handleMutex);
    auto it = HandleMap().find(hWnd);
    return it != HandleMap().end() ? it->second : nullptr;
}

bool CDialog::CreateDialogWindow(const DialogTemplate& t) {
    QWidget* parentWidget = m_pParentWnd != nullptr ? m_pParentWnd->GetWidget() : nullptr;
    if (parentWidget == nullptr) {
        CWnd* main = AfxGetMainWnd();
        if (main != nullptr && main != this)
            parentWidget = main->GetWidget();
    }
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::MSWindowsFixedSizeDialogHint;
    if ((t.style & WS_SYSMENU) != 0) {
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
        if ((t.style & WS_MINIMIZEBOX) != 0)
            flags |= Qt::WindowMinimizeButtonHint;
    }
    auto* dialog = new DialogWidget(this, parentWidget, flags);
    m_dialog = dialog;
    m_widget = dialog;
    dialog->setFont(DialogFont(t.fontName, t.fontPoints));
    dialog->m_units = BaseUnitsOfFont(dialog->font());
    const DialogBaseUnits& units = dialog->m_units;
    dialog->setFixedSize(DialogUnitsToPixelsX(t.cx, units), DialogUnitsToPixelsY(t.cy, units));
    dialog->setWindowTitle(QString::fromUtf8(t.caption != nullptr ? t.caption : ""));

    m_nDefID = IDOK;
    bool acceptFiles = (t.exStyle & WS_EX_ACCEPTFILES) != 0;
    std::vector<QWidget*> groupBoxes;
    for (int i = 0; i < t.controlCount; ++i) {
        const DialogControl& c = t.controls[i];
        QWidget* widget = CreateTemplateControl(c, dialog, units);
        if (widget == nullptr)
            continue;
        ControlBase* control = ControlOf(widget);
        control->SetNotify([this](int id, UINT code) { Command(id, code); });
        control->SetOwnerSend([this](UINT message, WPARAM wParam, LPARAM lParam) {
            return WindowProc(message, wParam, lParam);
        });
        if (auto* ownerDraw = dynamic_cast<DlgOwnerDraw*>(widget)) {
            ownerDraw->SetDraw([this](int id, QPainter* painter, const QRect& rect) {
                DRAWITEMSTRUCT dis{ODT_STATIC,
                                   static_cast<UINT>(id),
                                   0,
                                   ODA_DRAWENTIRE,
                                   0,
                                   nullptr,
                                   reinterpret_cast<HDC>(painter),
                                   RECT{0, 0, rect.width(), rect.height()},
                                   0};
                WindowProc(WM_DRAWITEM, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&dis));
            });
        }
        if (qobject_cast<QGroupBox*>(widget) != nullptr)
            groupBoxes.push_back(widget);
        if (c.id != -1 && dialog->m_controls.find(c.id) == dialog->m_controls.end())
            dialog->m_controls[c.id] = widget;
        if (c.kind == ControlKind::Button && (c.style & 0xF) == BS_DEFPUSHBUTTON)
            m_nDefID = c.id;
        if ((c.style & WS_TABSTOP) != 0 && widget->focusPolicy() != Qt::NoFocus)
            dialog->m_tabStops.push_back(widget);
        if ((c.exStyle & WS_EX_ACCEPTFILES) != 0)
            acceptFiles = true;
    }
    for (size_t i = 1; i < dialog->m_tabStops.size(); ++i)
        QWidget::setTabOrder(dialog->m_tabStops[i - 1], dialog->m_tabStops[i]);
    // Frames lie beneath the controls they surround, whatever their place in the template.
    for (QWidget* group : groupBoxes)
        group->lower();
    dialog->setAcceptDrops(acceptFiles);

    if ((t.style & DS_CENTER) != 0) {
        CenterWindow();
    } else if (parentWidget == nullptr) {
        if (QScreen* screen = QGuiApplication::primaryScreen())
            dialog->move(
                screen->availableGeometry().topLeft() +
                QPoint(DialogUnitsToPixelsX(t.x, units), DialogUnitsToPixelsY(t.y, units)));
    }
    return true;
}

void CDialog::ReleaseWindow() {
    DialogWidget* dialog = m_dialog;
    if (dialog == nullptr)
        return;
    for (auto& [id, widget] : dialog->m_controls) {
        (void)id;
        if (ControlBase* control = ControlOf(widget.data())) {
            control->SetNotify(nullptr);
            control->SetOwnerSend(nullptr);
        }
    }
    const QList<QWidget*> children = dialog->findChildren<QWidget*>();
    for (QWidget* child : children) {
        if (ControlBase* control = ControlOf(child)) {
            control->SetNotify(nullptr);
            control->SetOwnerSend(nullptr);
        }
        if (auto* ownerDraw = dynamic_cast<DlgOwnerDraw*>(child))
            ownerDraw->SetDraw(nullptr);
    }
    dialog->Orphan();
    for (auto& [id, control] : m_boundControls) {
        (void)id;
        control->Detach();
    }
    m_boundControls.clear();
    m_itemWrappers.clear();
    m_dialog = nullptr;
    m_widget.clear();
    if (m_dispatchDepth == 0 && !m_bInModalLoop) {
        delete dialog;
    } else {
        // Destroyed from inside one of its own handlers: the widgets still have frames on the
        // stack, so they go when the event loop next runs.
        dialog->hide();
        dialog->deleteLater();
    }
}

INT_PTR CDialog::DoModal() {
    const DialogTemplate* t = LookupDialogTemplate(m_nIDTemplate);
    if (t == nullptr || m_dialog != nullptr)
        return -1;
    if (!CreateDialogWindow(*t))
        return -1;
    m_bEnded = false;
    m_nModalResult = -1;
    QPointer<DialogWidget> dialog = m_dialog;
    const BOOL setFocus = OnInitDialog();
    if (setFocus && dialog && m_dialog == dialog) {
        for (const QPointer<QWidget>& widget : dialog->m_tabStops) {
            if (widget && widget->isEnabled() && !widget->isHidden()) {
                widget->setFocus(Qt::TabFocusReason);
                if (auto* edit = qobject_cast<QLineEdit*>(widget.data()))
                    edit->selectAll();
                break;
            }
        }
    }
    if (!m_bEnded && dialog && m_dialog == dialog) {
        m_bInModalLoop = true;
        dialog->exec();
        m_bInModalLoop = false;
    }
    const int result = m_bEnded ? m_nModalResult : IDCANCEL;
    DestroyWindow();
    return result;
}

void CDialog::EndDialog(int result) {
    m_nModalResult = result;
    m_bEnded = true;
    if (m_dialog != nullptr && m_bInModalLoop)
        m_dialog->Finish(result);
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (!UpdateData(TRUE))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

void CDialog::DoDataExchange(CDataExchange*) {}

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
    CDataExchange dx(this, saveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

BOOL CDialog::DestroyWindow() {
    if (m_dialog == nullptr)
        return FALSE;
    WindowProc(WM_DESTROY, 0, 0);
    ReleaseWindow();
    DetachHandle();
    return TRUE;
}

LRESULT CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    const MSG msg{m_hWndSaved, message, wParam, lParam};
    afx_detail::CurrentMessageScope scope(msg);
    ++m_dispatchDepth;
    LRESULT result = 0;
    if (!DispatchMessageMap(message, wParam, lParam, &result))
        result = DefWindowProc(message, wParam, lParam);
    --m_dispatchDepth;
    return result;
}

LRESULT CDialog::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CLOSE:
        Command(IDCANCEL, BN_CLICKED);
        return 0;
    case WM_SETTEXT:
        CWnd::SetWindowText(reinterpret_cast<const char*>(lParam));
        return TRUE;
    case WM_GETTEXT:
        return GetWindowText(reinterpret_cast<char*>(lParam), static_cast<int>(wParam));
    case WM_GETTEXTLENGTH:
        return GetWindowTextLength();
    case WM_SETICON:
        return reinterpret_cast<LRESULT>(
            SetIcon(reinterpret_cast<HICON>(lParam), wParam == ICON_BIG ? TRUE : FALSE));
    default:
        return 0;
    }
}

LRESULT CDialog::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::SendMessage(GetSafeHwnd(), message, wParam, lParam);
}

void CDialog::Command(int id, UINT code) {
    WindowProc(WM_COMMAND, MAKEWPARAM(static_cast<UINT>(id), code), 0);
}

void CDialog::OnEnterKey() {
    QWidget* focus = QApplication::focusWidget();
    if (auto* button = dynamic_cast<DlgPushButton*>(focus);
        button != nullptr && !button->isCheckable() && button->window() == m_dialog) {
        if (button->isEnabled())
            button->click();
        return;
    }
    const int id = m_nDefID;
    QWidget* defaultButton = ControlWidget(id);
    if (defaultButton != nullptr && !defaultButton->isEnabled())
        return;
    Command(id, BN_CLICKED);
}

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
    else if (dynamic_cast<DlgLabel*>(widget) != nullptr ||
             dynamic_cast<DlgOwnerDraw*>(widget) != nullptr)
        wrapper = std::make_unique<CStatic>(widget);
    else
        wrapper = std::make_unique<CWnd>(widget);
    CWnd* result = wrapper.get();
    m_itemWrappers[id] = std::move(wrapper);
    return result;
}

UINT CDialog::GetDlgItemText(int id, char* buffer, int maxCount) const {
    CWnd control(ControlWidget(id));
    if (!control.IsBound()) {
        if (buffer != nullptr && maxCount > 0)
            buffer[0] = '\0';
        return 0;
    }
    return static_cast<UINT>(control.GetWindowText(buffer, maxCount));
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

UINT CDialog::GetDlgItemInt(int id, BOOL* translated, BOOL isSigned) const {
    if (translated != nullptr)
        *translated = FALSE;
    CWnd control(ControlWidget(id));
    if (!control.IsBound())
        return 0;
    const std::string text = control.GetWindowTextString();
    const char* p = text.c_str();
    while (*p == ' ' || *p == '\t')
        ++p;
    const bool negative = *p == '-';
    const char* digits = (*p == '-' || *p == '+') ? p + 1 : p;
    if (*digits < '0' || *digits > '9' || (negative && !isSigned))
        return 0;
    long long value = 0;
    for (const char* d = digits; *d >= '0' && *d <= '9'; ++d) {
        value = value * 10 + (*d - '0');
        if (value > 0xFFFFFFFFLL)
            return 0;
    }
    if (negative)
        value = -value;
    if (isSigned ? (value < INT_MIN || value > INT_MAX) : value > 0xFFFFFFFFLL)
        return 0;
    if (translated != nullptr)
        *translated = TRUE;
    return static_cast<UINT>(value); // negative values wrap as the Windows result does
}

void CDialog::SetDlgItemInt(int id, UINT value, BOOL isSigned) {
    const std::string text =
        isSigned ? std::to_string(static_cast<int>(value)) : std::to_string(value);
    SetDlgItemText(id, text.c_str());
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

LRESULT CDialog::SendDlgItemMessage(int id, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* control = GetDlgItem(id);
    return control != nullptr ? control->SendMessage(message, wParam, lParam) : 0;
}

void CDialog::GotoDlgCtrl(CWnd* control) {
    if (control == nullptr || control->GetWidget() == nullptr)
        return;
    control->GetWidget()->setFocus(Qt::TabFocusReason);
    if (auto* edit = qobject_cast<QLineEdit*>(control->GetWidget()))
        edit->selectAll();
}

HICON CDialog::SetIcon(HICON icon, BOOL bigIcon) {
    if (m_dialog == nullptr)
        return nullptr;
    HICON& slot = bigIcon ? m_dialog->m_bigIcon : m_dialog->m_smallIcon;
    HICON previous = slot;
    slot = icon;
    HICON shown = m_dialog->m_bigIcon != nullptr ? m_dialog->m_bigIcon : m_dialog->m_smallIcon;
    m_dialog->setWindowIcon(IconOfHandle(shown));
    return previous;
}

void CDialog::DragAcceptFiles(BOOL accept) {
    if (m_dialog != nullptr)
        m_dialog->setAcceptDrops(accept != FALSE);
}

void CDialog::CenterWindow() {
    if (m_dialog == nullptr)
        return;
    QWidget* parent = m_dialog->parentWidget();
    QScreen* screen = parent != nullptr ? parent->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    const QRect area = screen->availableGeometry();
    m_dialog->move(area.center() - QPoint(m_dialog->width() / 2, m_dialog->height() / 2));
}

BOOL CDialog::IsIconic() const {
    return m_dialog != nullptr && m_dialog->isMinimized();
}

void CDialog::MapDialogRect(RECT* rect) const {
    if (rect == nullptr)
        return;
    DialogBaseUnits units =
        m_dialog != nullptr ? m_dialog->m_units : BaseUnitsOfFont(DialogFont("MS Shell Dlg", 8));
    rect->left = DialogUnitsToPixelsX(rect->left, units);
    rect->right = DialogUnitsToPixelsX(rect->right, units);
    rect->top = DialogUnitsToPixelsY(rect->top, units);
    rect->bottom = DialogUnitsToPixelsY(rect->bottom, units);
}
