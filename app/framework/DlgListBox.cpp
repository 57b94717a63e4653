#include "app/framework/DlgListBox.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QStyle>
#include <QStyleOption>

#include <algorithm>

DlgListBox::DlgListBox(int id, DWORD style, QWidget* parent)
    : QListWidget(parent), ControlBase(id, style) {}

DlgListBox::Snapshot DlgListBox::Take() const {
    Snapshot s;
    const QModelIndexList indexes = selectionModel()->selectedIndexes();
    for (const QModelIndex& index : indexes)
        s.selected.push_back(index.row());
    std::sort(s.selected.begin(), s.selected.end());
    s.current = currentRow();
    return s;
}

void DlgListBox::ReportIfChanged(const Snapshot& before) {
    constexpr DWORD kLbsNotify = 0x1;
    if ((Style() & kLbsNotify) != 0 && !(Take() == before))
        SendNotify(LBN_SELCHANGE);
}

template <typename Handle> bool DlgListBox::HandleAndReport(Handle handle) {
    const Snapshot before = Take();
    QPointer<DlgListBox> guard(this);
    handle();
    if (guard)
        ReportIfChanged(before);
    return !guard.isNull();
}

void DlgListBox::mousePressEvent(QMouseEvent* event) {
    HandleAndReport([&] { QListWidget::mousePressEvent(event); });
}

void DlgListBox::mouseMoveEvent(QMouseEvent* event) {
    HandleAndReport([&] { QListWidget::mouseMoveEvent(event); });
}

void DlgListBox::mouseReleaseEvent(QMouseEvent* event) {
    HandleAndReport([&] { QListWidget::mouseReleaseEvent(event); });
}

void DlgListBox::mouseDoubleClickEvent(QMouseEvent* event) {
    if (!HandleAndReport([&] { QListWidget::mouseDoubleClickEvent(event); }))
        return;
    constexpr DWORD kLbsNotify = 0x1;
    if ((Style() & kLbsNotify) != 0 && itemAt(event->position().toPoint()) != nullptr)
        SendNotify(LBN_DBLCLK);
}

namespace {
// The virtual key of a Qt key, or 0 for keys a list's owner is not offered.
UINT VirtualKey(int key) {
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9))
        return static_cast<UINT>(key);
    switch (key) {
    case Qt::Key_Backspace:
        return VK_BACK;
    case Qt::Key_Space:
        return VK_SPACE;
    case Qt::Key_PageUp:
        return VK_PRIOR;
    case Qt::Key_PageDown:
        return VK_NEXT;
    case Qt::Key_End:
        return VK_END;
    case Qt::Key_Home:
        return VK_HOME;
    case Qt::Key_Left:
        return VK_LEFT;
    case Qt::Key_Up:
        return VK_UP;
    case Qt::Key_Right:
        return VK_RIGHT;
    case Qt::Key_Down:
        return VK_DOWN;
    case Qt::Key_Insert:
        return VK_INSERT;
    case Qt::Key_Delete:
        return VK_DELETE;
    default:
        return 0;
    }
}
} // namespace

bool DlgListBox::OfferKeyToOwner(const QKeyEvent* event) {
    constexpr DWORD kLbsWantKeyboardInput = 0x400;
    const UINT vk = VirtualKey(event->key());
    if ((Style() & kLbsWantKeyboardInput) == 0 || vk == 0)
        return false;
    const int caret = std::max(currentRow(), 0);
    return SendToOwner(WM_VKEYTOITEM, MAKEWPARAM(vk, static_cast<UINT>(caret)), 0) == -2;
}

void DlgListBox::keyPressEvent(QKeyEvent* event) {
    const Snapshot before = Take();
    QPointer<DlgListBox> guard(this);
    if (OfferKeyToOwner(event)) {
        event->accept();
        return;
    }
    if (!guard)
        return;
    QListWidget::keyPressEvent(event);
    if (guard)
        ReportIfChanged(before);
}

void DlgListBox::focusInEvent(QFocusEvent* event) {
    m_keyboardFocus = event->reason() == Qt::TabFocusReason ||
                      event->reason() == Qt::BacktabFocusReason ||
                      event->reason() == Qt::ShortcutFocusReason;
    QListWidget::focusInEvent(event);
}

void DlgListBox::focusOutEvent(QFocusEvent* event) {
    m_keyboardFocus = false;
    QListWidget::focusOutEvent(event);
}

void DlgListBox::paintEvent(QPaintEvent* event) {
    QListWidget::paintEvent(event);
    // The view marks only its current entry; an empty list would show no sign of the focus,
    // so it gets the focus frame where its first line would be, as a list box draws it.
    if (count() != 0 || !hasFocus() || !m_keyboardFocus)
        return;
    QPainter painter(viewport());
    QStyleOptionFocusRect frame;
    frame.initFrom(this);
    frame.state |= QStyle::State_KeyboardFocusChange | QStyle::State_HasFocus;
    const int line = fontMetrics().height() + 2;
    frame.rect = QRect(0, 0, viewport()->width(), std::min(line, viewport()->height()));
    frame.backgroundColor = viewport()->palette().color(viewport()->backgroundRole());
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &frame, &painter, this);
}

DlgComboBox::DlgComboBox(int id, DWORD style, QWidget* parent)
    : QComboBox(parent), ControlBase(id, style) {
    // activated comes from the user only; the program's SetCurSel reports nothing.
    connect(this, &QComboBox::activated, this, [this] { SendNotify(CBN_SELCHANGE); });
}
