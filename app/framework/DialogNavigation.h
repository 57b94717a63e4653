#pragma once
// Keyboard movement between the controls of a template dialog, as the Windows dialog manager
// moves it:
//
// - Tab and Shift+Tab go from tab stop (WS_TABSTOP) to tab stop in template order, round;
// - a group (from a control with WS_GROUP to the next one) holds its radio buttons, anchor
//   cells included, as one stop, entered at its checked button (its first stop when none is);
// - the arrow keys move within such a group by its layout: Left and Right along the row, Up
//   and Down along the column, round at the ends, so that a grid of buttons (the anchor
//   cells) is walked in two dimensions; in a group with no other button in that row or
//   column they go round in template order, Right and Down to the next button. A button
//   reached this way that is not checked is clicked, as a Windows radio button reports a
//   click when the keyboard gives it the focus.
//
// Disabled and hidden controls are passed over.

#include "types/WinTypes.h"

#include <QPointer>
#include <QWidget>

#include <vector>

class DialogNavigation {
  public:
    // Adds a control of the template, in template order.
    void Add(QWidget* widget, DWORD style, bool radio);

    // Gives the focus to the stop after (before) the control that holds focus; false when the
    // focus is in no control of this dialog.
    bool Tab(const QWidget* focus, bool forward) const;
    // For an arrow key on a radio button of a group; false for anything else.
    bool Arrow(const QWidget* focus, int key) const;

  private:
    struct Entry {
        QPointer<QWidget> widget;
        bool tabStop;
        bool radio;
        int group;
    };
    int IndexOf(const QWidget* focus) const;
    bool SameGroup(int a, int b) const;
    // The button of a radio group that Tab enters it at.
    QWidget* GroupEntry(int index) const;
    static bool Usable(const Entry& entry);
    // The button of from's group that an arrow key reaches in from's row or column, or null.
    QWidget* InLine(int from, int key) const;

    std::vector<Entry> m_entries;
};
