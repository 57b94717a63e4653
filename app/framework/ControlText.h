#pragma once
// The text of controls and dialogs as the Windows text messages set and read it.

#include <QString>

class QWidget;

// The text of a control or dialog as WM_SETTEXT would set it: a dialog's title, a button's or
// static's label (with '&' marking the mnemonic unless SS_NOPREFIX), a group box's title, an
// edit's contents (reported as WM_SETTEXT reports it).
void SetControlText(QWidget* widget, const QString& text);

// A text with its mnemonic marks taken out: "&Go!" is "Go!", "&&" stands for one '&'.
QString StripMnemonic(const QString& text);
QString ControlText(const QWidget* widget);
