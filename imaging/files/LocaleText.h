#pragma once
// Conversion between 8-bit text in the encoding of the current C locale (file names, the
// program's own texts) and the wide text the library's interface takes. On Linux a file name is
// bytes, whatever the locale says: a byte the locale cannot decode (Latin-1 in a UTF-8 locale,
// anything past ASCII under LC_ALL=C) becomes a code of its own in the wide text (U+DC80 to
// U+DCFF, never a character of any encoding) and turns back into the same byte, so that every
// name the file system holds survives the round trip.

#include <optional>
#include <string>

// NOLINTBEGIN(readability-identifier-naming): used by every layer above, named in
// the style of the engine and the framework that call it.
// Never fails for text (only a null pointer yields nothing).
std::optional<std::wstring> ToWidePath(const char* text);

// Nothing when a character has no 8-bit form in the locale (an escaped byte always has one).
std::optional<std::string> FromWideText(const wchar_t* text);

// The text fit for a log line: bytes the locale cannot show as text (and control characters)
// are written as \xNN, a backslash as two.
std::string EscapedForLog(const std::string& text);
// NOLINTEND(readability-identifier-naming)
