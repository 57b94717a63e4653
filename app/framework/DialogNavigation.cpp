#include "app/framework/DialogNavigation.h"

#include "app/framework/DialogTemplate.h"

#include <QAbstractButton>

void DialogNavigation::Add(QWidget* widget, DWORD style, bool radio) {
    const bool starts = m_entries.empty() || (style & WS_GROUP) != 0;
    const int group = m_entries.empty() ? 0 : m_entries.back().group + (starts ? 1 : 0);
    m_entries.push_back({widget, (style & WS_TABSTOP) != 0, radio, group});
}

bool DialogNavigation::Usable(const Entry& entry) {
    return entry.widget && entry.widget->isEnabled() && !entry.widget->isHidden() &&
           entry.widget->focusPolicy() != Qt::NoFocus;
}

int DialogNavigation::IndexOf(const QWidget* focus) const {
    for (size_t i = 0; i < m_entries.size() && focus != nullptr; ++i) {
        const QWidget* widget = m_entries[i].widget.data();
        if (widget != nullptr && (widget == focus || widget->isAncestorOf(focus)))
            return static_cast<int>(i);
    }
    return -1;
}

bool DialogNavigation::SameGroup(int a, int b) const {
    return m_entries[a].radio && m_entries[b].radio && m_entries[a].group == m_entries[b].group;
}

QWidget* DialogNavigation::GroupEntry(int index) const {
    for (size_t i = 0; i < m_entries.size(); ++i) {
        const Entry& entry = m_entries[i];
        const auto* button = qobject_cast<const QAbstractButton*>(entry.widget.data());
        if (SameGroup(static_cast<int>(i), index) && Usable(entry) && button != nullptr &&
            button->isChecked())
            return entry.widget;
    }
    return m_entries[index].widget;
}

bool DialogNavigation::Tab(const QWidget* focus, bool forward) const {
    const int from = IndexOf(focus);
    const int count = static_cast<int>(m_entries.size());
    if (from < 0)
        return false;
    for (int step = 1; step < count; ++step) {
        const int i = (from + (forward ? step : count - step)) % count;
        if (!m_entries[i].tabStop || !Usable(m_entries[i]) || SameGroup(i, from))
            continue;
        QWidget* target = m_entries[i].radio ? GroupEntry(i) : m_entries[i].widget.data();
        target->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
        return true;
    }
    return false;
}

QWidget* DialogNavigation::InLine(int from, int key) const {
    const QRect at = m_entries[from].widget->geometry();
    const bool across = key == Qt::Key_Left || key == Qt::Key_Right;
    const bool forward = key == Qt::Key_Right || key == Qt::Key_Down;
    // The buttons of the group in the same row (Left, Right) or column (Up, Down): the next
    // one that way, or round to the far end of the line, as in any grid of choices.
    QWidget* next = nullptr;
    QWidget* farEnd = nullptr;
    int nextDistance = 0, farDistance = 0;
    for (size_t i = 0; i < m_entries.size(); ++i) {
        const int index = static_cast<int>(i);
        if (index == from || !SameGroup(index, from) || !Usable(m_entries[i]))
            continue;
        QWidget* widget = m_entries[i].widget;
        const QPoint centre = widget->geometry().center();
        const bool sameLine = across ? centre.y() >= at.top() && centre.y() <= at.bottom()
                                     : centre.x() >= at.left() && centre.x() <= at.right();
        if (!sameLine)
            continue;
        const int offset = across ? centre.x() - at.center().x() : centre.y() - at.center().y();
        const int ahead = forward ? offset : -offset;
        if (ahead > 0 && (next == nullptr || ahead < nextDistance)) {
            next = widget;
            nextDistance = ahead;
        } else if (ahead < 0 && (farEnd == nullptr || -ahead > farDistance)) {
            farEnd = widget;
            farDistance = -ahead;
        }
    }
    return next != nullptr ? next : farEnd;
}

bool DialogNavigation::Arrow(const QWidget* focus, int key) const {
    const int from = IndexOf(focus);
    const int count = static_cast<int>(m_entries.size());
    if (from < 0 || !m_entries[from].radio)
        return false;
    const bool forward = key == Qt::Key_Right || key == Qt::Key_Down;
    if (!forward && key != Qt::Key_Left && key != Qt::Key_Up)
        return false;
    QWidget* target = InLine(from, key);
    // A group laid out in one line walks in template order on the keys across it too.
    for (int step = 1; target == nullptr && step < count; ++step) {
        const int i = (from + (forward ? step : count - step)) % count;
        if (SameGroup(i, from) && Usable(m_entries[i]))
            target = m_entries[i].widget;
    }
    if (target == nullptr)
        return true; // a group of one: the key stays with it
    target->setFocus(Qt::TabFocusReason);
    if (auto* button = qobject_cast<QAbstractButton*>(target); button && !button->isChecked())
        button->click();
    return true;
}
