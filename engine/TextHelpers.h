#pragma once
// Text helpers shared by the engine and the layers above it: status texts and path display
// helpers. The locale text conversions come from the imaging library, which needs them itself.

#include "imaging/files/LocaleText.h"
#include "types/WinTypes.h"

#include <cstddef>
#include <string>

// Copies src into dest of size bytes: at most size - 1 characters, the rest of dest filled
// with zero bytes, so the result is always terminated. A null src gives an empty text.
void CopyText(char* dest, const char* src, std::size_t size);

// ASCII letters in lower case, other bytes as they are: names of options and formats.
std::string Lower(std::string text);

template <std::size_t N> void CopyText(char (&dest)[N], const char* src) {
    CopyText(dest, src, N);
}

// The fixed English text of an imaging-library status code; "Unknown Error" for any other.
const char* GetStatusText(int status);

// The file-name part of path: the text after the last '/' found scanning from the last
// character back to the second, copied into buffer (length bytes, always terminated).
// False, with buffer untouched, for an empty path or when no '/' is found in that range.
bool FileNameOfPath(const char* path, char* buffer, int length);

// The name a batch item goes by in reports: the file-name part FileNameOfPath finds, else the
// whole path. Empty for a null path.
std::string FileNameOrPath(const char* path);

// A path longer than limit characters becomes its first 3 characters, "..." and its last
// tail characters; a shorter one is returned as it is. Characters are those of the current
// locale's encoding (a UTF-8 letter of two bytes counts once and is never cut).
std::string AbbreviatePath(const char* path, int limit, int tail);
