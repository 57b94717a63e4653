#pragma once
// The program's four dialog templates. Look them up by number with FindDialogTemplate; these
// names exist so that the lookup table can list them.

#include "app/framework/DialogTemplate.h"

extern const DialogTemplate kMainDialogTemplate;     // 102
extern const DialogTemplate kAboutDialogTemplate;    // 103
extern const DialogTemplate kProgressDialogTemplate; // 142
extern const DialogTemplate kOptionsDialogTemplate;  // 154

// The template with that number, or null.
const DialogTemplate* FindDialogTemplate(int id);
