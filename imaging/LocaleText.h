#pragma once
// Conversion between 8-bit text in the encoding of the current C locale (file names, the
// program's own texts) and the wide text the library's interface takes. Text that has no form
// on the other side yields nothing: a file name this locale cannot spell cannot exist here.

#include <optional>
#include <string>

// Text that does not convert (for example invalid UTF-8 in a UTF-8 locale) yields nothing.
std::optional<std::wstring> ToWidePath(const char* text);

// Nothing when a character has no 8-bit form in the locale.
std::optional<std::string> FromWideText(const wchar_t* text);
