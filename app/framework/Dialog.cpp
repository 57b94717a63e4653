#include "app/framework/Dialog.h"
#include "app/framework/UiText.h"

#include "app/framework/ControlAccessibility.h"
#include "app/framework/ControlFactory.h"
#include "app/framework/ControlWidgets.h"
#include "app/framework/DialogNavigation.h"
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

#include <vector>

namespace {
std::vector<std::string> LocalFiles(const QMimeData* data) {
    std::vector<std::string> paths;
    if (data == nullptr || !data->hasUrls())
        return paths;
    const QList<QUrl> urls = data->urls();
    for (const QUrl& url : urls) {
        // The path's own bytes: a name that is not UTF-8 (Latin-1 from an old archive) comes
        // percent-encoded, and decoding it as text would name a file that does not exist.
        if (url.isLocalFile())
            paths.push_back(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1())
                                .toStdString());
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
    DialogNavigation m_navigation;
    // The template's size, which the window keeps.
    QSize m_fixedSize;
    DialogBaseUnits m_units{1, 1};
    HICON m_bigIcon = nullptr;
    HICON m_smallIcon = nullptr;

    // A Wayland compositor may maximize any window, and a window that then commits another
    // size than the one it was given is a protocol error that ends the program. There the
    // size is held only from below, and the window returns from maximized or full screen to
    // its own size at once; elsewhere it is fixed, so that window managers offer no maximize.
    void HoldSize(const QSize& size) {
        m_fixedSize = size;
        if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
            setMinimumSize(size);
            resize(size);
        } else {
            setFixedSize(size);
        }
    }

  protected:
    bool focusNextPrevChild(bool next) override {
        if (m_navigation.Tab(QApplication::focusWidget(), next))
            return true;
        return QDialog::focusNextPrevChild(next);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if ((key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier &&
                m_navigation.Arrow(qobject_cast<QWidget*>(watched), key->key()))
                return true;
        }
        return QDialog::eventFilter(watched, event);
    }

    void showEvent(QShowEvent* event) override {
        QDialog::showEvent(event);
        // The focus is shown from the start, as on Windows, not only once Tab was pressed: a
        // keyboard user must see where Enter and Space go. (Showing a window clears the mark,
        // so it is set here.)
        setAttribute(Qt::WA_KeyboardFocusChange);
    }

    void changeEvent(QEvent* event) override {
        constexpr Qt::WindowStates kLarge = Qt::WindowMaximized | Qt::WindowFullScreen;
        if (event->type() == QEvent::WindowStateChange && m_fixedSize.isValid() &&
            (windowState() & kLarge) != 0)
            setWindowState(windowState() & ~kLarge);
        QDialog::changeEvent(event);
    }

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
    : m_nIDTemplate(templateId), m_pParentWnd(parent), m_hWndSaved(GetSafeHwnd()) {}

CDialog::~CDialog() {
    DetachHandle();
    ReleaseWindow();
}

CDialog* CDialog::FromHandle(HWND hWnd) {
    return dynamic_cast<CDialog*>(CMessageTarget::FromHandle(hWnd));
}

bool CDialog::CreateDialogWindow(const DialogTemplate& t) {
    QWidget* parentWidget = m_pParentWnd != nullptr ? m_pParentWnd->GetWidget() : nullptr;
    if (parentWidget == nullptr) {
        CWnd* main = AfxGetMainWnd();
        if (main != nullptr && main != this)
            parentWidget = main->GetWidget();
    }
    // Without one, the window it was opened from owns it: it opens on that window, and stays
    // in front of it.
    if (parentWidget == nullptr && AfxGetMainWnd() != this)
        parentWidget = QApplication::activeWindow();
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::MSWindowsFixedSizeDialogHint;
    // The program's main window can always be closed from its title bar (and with Alt+F4):
    // what that does is its WM_CLOSE handler's to say.
    if ((t.style & WS_SYSMENU) != 0 || AfxGetMainWnd() == this)
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if ((t.style & WS_SYSMENU) != 0 && (t.style & WS_MINIMIZEBOX) != 0)
        flags |= Qt::WindowMinimizeButtonHint;
    InstallControlAccessibility();
    auto* dialog = new DialogWidget(this, parentWidget, flags);
    m_dialog = dialog;
    m_widget = dialog;
    dialog->setFont(DialogFont(t.fontName, t.fontPoints));
    dialog->m_units = BaseUnitsOfFont(dialog->font());
    const DialogBaseUnits& units = dialog->m_units;
    dialog->HoldSize(QSize(DialogUnitsToPixelsX(t.cx, units), DialogUnitsToPixelsY(t.cy, units)));
    dialog->setWindowTitle(UiText(t.caption));

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
        const bool radio = c.kind == ControlKind::Button && ((c.style & 0xF) == BS_RADIOBUTTON ||
                                                             (c.style & 0xF) == BS_AUTORADIOBUTTON);
        dialog->m_navigation.Add(widget, c.style, radio);
        if (radio)
            widget->installEventFilter(dialog);
        if (c.name != nullptr)
            widget->setAccessibleName(QString::fromUtf8(c.name));
        if ((c.exStyle & WS_EX_ACCEPTFILES) != 0)
            acceptFiles = true;
    }
    for (size_t i = 1; i < dialog->m_tabStops.size(); ++i)
        QWidget::setTabOrder(dialog->m_tabStops[i - 1], dialog->m_tabStops[i]);
    // Frames lie beneath the controls they surround, whatever their place in the template.
    for (QWidget* group : groupBoxes)
        group->lower();
    LabelControls(dialog);
    dialog->setAcceptDrops(acceptFiles);

    // A window without an owner is placed by the window manager.
    if ((t.style & DS_CENTER) != 0)
        CenterWindow();
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

LRESULT CDialog::DefWindowProc(UINT message, WPARAM, LPARAM) {
    if (message == WM_CLOSE)
        Command(IDCANCEL, BN_CLICKED);
    return 0;
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

void CDialog::KeepVisible(CWnd* control) {
    m_keepVisible = control != nullptr ? control->GetWidget() : nullptr;
}

void CDialog::CenterWindow() {
    if (m_dialog == nullptr)
        return;
    const QWidget* owner = m_dialog->parentWidget();
    if (owner != nullptr && !owner->isVisible())
        owner = nullptr;
    QScreen* screen = owner != nullptr ? owner->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    const QRect area = screen->availableGeometry();
    // The title bar and border are not known before the window is shown; the owner's are
    // the best guess.
    const QMargins frame =
        owner != nullptr ? QMargins(owner->geometry().left() - owner->frameGeometry().left(),
                                    owner->geometry().top() - owner->frameGeometry().top(),
                                    owner->frameGeometry().right() - owner->geometry().right(),
                                    owner->frameGeometry().bottom() - owner->geometry().bottom())
                         : QMargins();
    const QRect around = owner != nullptr ? owner->frameGeometry() : area;
    QRect placed(QPoint(), m_dialog->size() +
                               QSize(frame.left() + frame.right(), frame.top() + frame.bottom()));
    placed.moveCenter(around.center());

    // Beside a control that must stay in sight, where the screen has room: left of it, right
    // of it, above it, below it.
    const QWidget* keep = m_keepVisible.data();
    if (keep != nullptr && keep->isVisible()) {
        constexpr int kGap = 8;
        const QRect shown(keep->mapToGlobal(QPoint(0, 0)), keep->size());
        QRect beside[4] = {placed, placed, placed, placed};
        beside[0].moveRight(shown.left() - kGap);
        beside[1].moveLeft(shown.right() + kGap);
        beside[2].moveBottom(shown.top() - kGap);
        beside[3].moveTop(shown.bottom() + kGap);
        if (placed.intersects(shown)) {
            for (const QRect& candidate : beside) {
                if (area.contains(candidate)) {
                    placed = candidate;
                    break;
                }
            }
        }
    }
    // Never off the screen, title bar first.
    placed.moveLeft(std::max(area.left(), std::min(placed.left(), area.right() - placed.width())));
    placed.moveTop(std::max(area.top(), std::min(placed.top(), area.bottom() - placed.height())));
    m_dialog->move(placed.topLeft());
}

void CDialog::LabelControls(DialogWidget* dialog) {
    // A label names the field that starts just right of it on its line (the "X" before its
    // edit, "Format" before its list), wherever the template lists it: on Linux a screen
    // reader reads a list's name from its label, and the label's mnemonic goes to that field.
    const QList<DlgLabel*> labels = dialog->findChildren<DlgLabel*>();
    for (DlgLabel* label : labels) {
        constexpr DWORD kNoPrefix = 0x80;
        if (label->text().isEmpty() || !label->pixmap().isNull() ||
            (label->Style() & kNoPrefix) != 0)
            continue;
        const QRect at = label->geometry();
        QWidget* named = nullptr;
        for (const auto& [id, widget] : dialog->m_controls) {
            (void)id;
            if (!widget || widget == label || widget->focusPolicy() == Qt::NoFocus)
                continue;
            const QRect field = widget->geometry();
            const int gap = field.left() - at.right();
            if (gap >= 0 && gap <= at.height() * 2 && field.top() <= at.center().y() &&
                field.bottom() >= at.center().y() &&
                (named == nullptr || field.left() < named->geometry().left()))
                named = widget;
        }
        if (named != nullptr) {
            label->setBuddy(named);
            SetControlText(label, label->m_windowText);
        }
    }
}
