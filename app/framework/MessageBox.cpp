#include "app/framework/MessageBox.h"

#include "app/framework/Dialog.h"
#include "app/framework/ShowMessageBox.h"

int MessageBox(HWND owner, const char* text, const char* caption, UINT type) {
    CDialog* dialog = CDialog::FromHandle(owner);
    return ShowMessageBox(dialog != nullptr ? dialog->GetWidget() : nullptr, text, caption, type);
}

int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type) {
    return MessageBox(owner, text, caption, type);
}
