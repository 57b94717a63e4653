#include "app/framework/ShowMessageBox.h"

#include "app/framework/UiText.h"

#include <QAbstractButton>
#include <QMessageBox>

int ShowMessageBox(QWidget* owner, const char* text, const char* caption, UINT type) {
    QMessageBox box(owner);
    box.setWindowTitle(UiLocalText(caption != nullptr ? caption : "Error"));
    box.setText(UiLocalText(text));
    box.setTextFormat(Qt::PlainText);
    switch (type & MB_ICONMASK) {
    case MB_ICONERROR:
        box.setIcon(QMessageBox::Critical);
        break;
    case MB_ICONQUESTION:
        box.setIcon(QMessageBox::Question);
        break;
    case MB_ICONWARNING:
        box.setIcon(QMessageBox::Warning);
        break;
    case MB_ICONINFORMATION:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        box.setIcon(QMessageBox::NoIcon);
        break;
    }
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton escape = QMessageBox::Ok;
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
        buttons = QMessageBox::Ok | QMessageBox::Cancel;
        escape = QMessageBox::Cancel;
        break;
    case MB_YESNO:
        buttons = QMessageBox::Yes | QMessageBox::No;
        escape = QMessageBox::NoButton;
        break;
    case MB_YESNOCANCEL:
        buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        escape = QMessageBox::Cancel;
        break;
    default:
        buttons = QMessageBox::Ok;
        break;
    }
    box.setStandardButtons(buttons);
    if (escape != QMessageBox::NoButton)
        box.setEscapeButton(escape);
    const int result = box.exec();
    switch (result) {
    case QMessageBox::Ok:
        return IDOK;
    case QMessageBox::Cancel:
        return IDCANCEL;
    case QMessageBox::Yes:
        return IDYES;
    case QMessageBox::No:
        return IDNO;
    default:
        return (type & MB_TYPEMASK) == MB_OK ? IDOK : IDCANCEL;
    }
}
