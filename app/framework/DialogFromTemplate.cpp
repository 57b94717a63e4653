// CDialog: its window built from the template, and the labels paired with their fields.
#include "app/framework/Dialog.h"

#include "app/framework/ControlAccessibility.h"
#include "app/framework/ControlBase.h"
#include "app/framework/ControlFactory.h"
#include "app/framework/ControlText.h"
#include "app/framework/DialogTemplate.h"
#include "app/framework/DialogWidget.h"
#include "app/framework/DlgLabel.h"
#include "app/framework/UiText.h"
#include "app/framework/WinApp.h"

#include <QApplication>
#include <QGroupBox>

#include <vector>

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
    // The program's main window is a window of its own, as the desktop lists it: typed as a
    // dialog it would be transient for a window that is not there.
    const bool topLevel = AfxGetMainWnd() == this && parentWidget == nullptr;
    Qt::WindowFlags flags = (topLevel ? Qt::Window : Qt::Dialog) | Qt::CustomizeWindowHint |
                            Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint;
    // The program's main window can always be closed from its title bar (and with Alt+F4):
    // what that does is its WM_CLOSE handler's to say.
    if ((t.style & WS_SYSMENU) != 0 || AfxGetMainWnd() == this)
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if ((t.style & WS_SYSMENU) != 0 && (t.style & WS_MINIMIZEBOX) != 0)
        flags |= Qt::WindowMinimizeButtonHint;
    InstallControlAccessibility();
    DialogWidget::Owner owner{[this](int id, UINT code) { Command(id, code); },
                              [this] { OnEnterKey(); },
                              [this](UINT message, WPARAM wParam, LPARAM lParam) {
                                  return WindowProc(message, wParam, lParam);
                              }};
    auto* dialog = new DialogWidget(std::move(owner), parentWidget, flags);
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
            widget->setAccessibleName(UiText(c.name));
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
            // Qt names a drop-down list by its current entry ("TIFF File"), which says nothing
            // of what the list is for: the label's own words name it, as on Windows.
            if (named->accessibleName().isEmpty())
                named->setAccessibleName(StripMnemonic(label->text()));
        }
    }
}
