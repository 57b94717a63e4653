#include "app/framework/DlgLineEdit.h"

#include <QFocusEvent>
#include <QPointer>

DlgLineEdit::DlgLineEdit(int id, DWORD style, QWidget* parent)
    : QLineEdit(parent), ControlBase(id, style) {
    // textChanged is emitted synchronously from inside the change (typing, paste, insert,
    // setText) and before any repaint, which is when the Windows edit reports it.
    connect(this, &QLineEdit::textChanged, this, [this] {
        if (m_quiet == 0)
            ReportChange();
    });
}

void DlgLineEdit::ReportChange() {
    QPointer<DlgLineEdit> guard(this);
    SendNotify(EN_UPDATE);
    if (guard)
        SendNotify(EN_CHANGE);
}

void DlgLineEdit::SetTextAsWindows(const QString& text) {
    ++m_quiet;
    setText(text);
    setCursorPosition(0);
    --m_quiet;
    ReportChange();
}

void DlgLineEdit::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    if (event->reason() != Qt::PopupFocusReason)
        SendNotify(EN_SETFOCUS);
}

void DlgLineEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    if (event->reason() != Qt::PopupFocusReason)
        SendNotify(EN_KILLFOCUS);
}
