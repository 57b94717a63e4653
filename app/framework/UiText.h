#pragma once
// Texts that a program hands the framework (dialog templates, message boxes, window titles)
// are shown in the desktop's language when a translation of them is installed; the program's
// own English text is the key, so a missing translation shows the English text.

#include <QString>

#include <string>

// The text as shown: its translation, or the text itself (UTF-8, as the templates are written).
QString UiText(const char* text);
// The same for text in the locale's 8-bit encoding, as the framework's narrow functions take
// it; also for a format that the caller fills in after translation.
QString UiLocalText(const char* text);
std::string UiLocal(const char* text);
// Installs Qt's own translations and the program's (":/i18n/<application name>_<language>.qm",
// put there by the program's resources) for the desktop's language. Call once the application
// object exists.
void LoadTranslations();
