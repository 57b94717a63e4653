#include "app/framework/Dialog.h"

#include "app/framework/ControlBase.h"
#include "app/framework/DialogTemplateRegistry.h"
#include "app/framework/DialogWidget.h"
#include "app/framework/DlgLabel.h"
#include "app/framework/DlgPushButton.h"
#include "app/framework/ResourceImages.h"

#include <QApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QScreen>

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
        if (dialog->windowType() == Qt::Window) {
            // The main window's loop is the program's: a modal state would tell the window
            // manager that it is a modal dialog.
            QEventLoop loop;
            QObject::connect(dialog, &QDialog::finished, &loop, &QEventLoop::quit);
            dialog->show();
            // As a modal dialog would be on showing: it takes the keyboard.
            dialog->activateWindow();
            loop.exec(QEventLoop::DialogExec);
        } else {
            dialog->exec();
        }
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
