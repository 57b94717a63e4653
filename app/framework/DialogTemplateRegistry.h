#pragma once
// Where CDialog finds its templates. The framework never calls res/'s FindDialogTemplate itself,
// so it links without res: the program hands that function over once at start-up,
//
//     SetDialogTemplateLookup(&FindDialogTemplate);   // in main(), before AfxWinMain
//
// and tests register templates of their own. Registered templates are looked up first, then
// the lookup function. Both are meant to be set up on the user-interface thread before any
// dialog is built.

#include "app/framework/DialogTemplate.h"

using DialogTemplateLookup = const DialogTemplate* (*)(int id);

// Replaces the lookup function (null: none). Returns the previous one.
DialogTemplateLookup SetDialogTemplateLookup(DialogTemplateLookup lookup);

// Adds a template under its own id, replacing an earlier one of that id. The template data is
// not copied: it must outlive its registration.
void RegisterDialogTemplate(const DialogTemplate* dialogTemplate);

// Removes the registered template of that id, if any.
void UnregisterDialogTemplate(int id);

// The registered template of that id, else the lookup function's answer, else null.
const DialogTemplate* LookupDialogTemplate(int id);
