#pragma once
// How the controls of template dialogs present themselves to assistive technology (screen
// readers, through the desktop's accessibility bridge). Qt describes most of them well; these
// it gets wrong for a Windows-style dialog:
//
// - radio buttons and check boxes that are not automatic, or drawn as push buttons (the
//   anchor cells), are announced by what they are, checkable, with their state; an assistive
//   "toggle" or "press" works them as a click does, so the dialog, which sets their states
//   itself, stays in charge (Qt's own toggle would flip the state behind its back);
// - an owner-drawn static is a picture, named by the name the program gives it;
// - a drop-down list is named by its label, its entry is its value.
//
// Installed once, before the first dialog is built; later calls do nothing.
void InstallControlAccessibility();

class QString;
class QWidget;

// Tells assistive technology that text was added to widget at position (a line appended to a
// log): a screen reader reads it as new text, where moving the selection to it would be read
// as a change of focus away from the control the user is on.
void AnnounceInsertedText(QWidget* widget, int position, const QString& text);
