#pragma once
// Text helpers shared by the engine and the layers above it: conversion of 8-bit locale text
// to the wide text the imaging library takes, status texts, and path display helpers.

#include "types/WinTypes.h"

#include <cstddef>
#include <optional>
#include <string>

// Copies src into dest of size bytes: at most size - 1 characters, the rest of dest filled
// with zero bytes, so the result is always terminated. A null src gives an empty text.
void CopyText(char* dest, const char* src, std::size_t size);

template <std::size_t N> void CopyText(char (&dest)[N], const char* src) {
    CopyText(dest, src, N);
}

// Converts 8-bit text in the encoding of the current C locale to wide characters. Text that
// does not convert (for example invalid UTF-8 in a UTF-8 locale) yields nothing.
std::optional<std::wstring> ToWidePath(const char* text);

// Converts wide text to 8-bit text in the encoding of the current C locale; nothing when a
// character has no 8-bit form there.
std::optional<std::string> FromWideText(const wchar_t* text);

// The fixed English text of an imaging-library status code; "Unknown Error" for any other.
const char* GetStatusText(int status);

// The file-name part of path: the text after the last '/' found scanning from the last
// character back to the second, copied into buffer (length bytes, always terminated).
// False, with buffer untouched, for an empty path or when no '/' is found in that range.
bool FileNameOfPath(const char* path, char* buffer, int length);

// A path longer than limit characters becomes its first 3 characters, "..." and its last
// tail characters; a shorter one is returned as it is. Characters are those of the current
// locale's encoding (a UTF-8 letter of two bytes counts once and is never cut).
std::string AbbreviatePath(const char* path, int limit, int tail);
