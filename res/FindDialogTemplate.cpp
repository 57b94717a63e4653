// The one lookup from a template number to its data.

#include "res/DialogTemplates.h"

const DialogTemplate* FindDialogTemplate(int id) {
    static const DialogTemplate* const kTemplates[] = {
        &kMainDialogTemplate,
        &kAboutDialogTemplate,
        &kProgressDialogTemplate,
        &kOptionsDialogTemplate,
    };
    for (const DialogTemplate* t : kTemplates) {
        if (t->id == id) {
            return t;
        }
    }
    return nullptr;
}
