#pragma once
// The silent normalisation rules of the options dialog's three text fields, which the
// command line applies to its size and template options as well. Texts are 8-bit
// in the locale's encoding; caret and selection positions count characters as the edit does.

#include <cstddef>
#include <cstdint>
#include <string>

// The size fields: the digits of text (for percent also its first '.', where it stands),
// "1" when nothing or only "0" is left, then the unit (" px" or "%"). Each returns true when
// the normal form differs from text.
bool NormalizePixelText(const std::string& text, std::string& normal);
bool NormalizePercentText(const std::string& text, std::string& normal);

// The number a size field stores: its leading decimal digits, after blanks and an optional
// sign, as a signed 32-bit value ("12.5%" gives 12); 0 without digits or beyond 32 bits.
std::int32_t SizeFieldValue(const std::string& text);

// One pass of the template filter: letters of any script, digits 0-9 and blanks stay; a '#' stays
// while it belongs to the first run of '#' or follows a '#' of the input; every other character is
// dropped and moves start and end one place to the left (not below 0). Returns true when the
// result differs from text.
bool FilterTemplatePass(const std::string& text, std::string& result, int& start, int& end);

// What repeated passes settle on, in one step: the first pass, then every '#' outside the
// first run of its result removed (further passes would take those away one per pass). start
// and end move as the first pass moves them. Returns true when the result differs from text.
bool SettleTemplateText(const std::string& text, std::string& result, int& start, int& end);

// The rule applied when the template field loses the focus: white space trimmed at both
// ends, and a '#' appended when none is left.
std::string CompleteTemplateText(const std::string& text);

// The template as "OK" stores it: completed as on focus loss, then cut to at most limit bytes
// (never inside a character). When the cut took every '#', the last kept character gives way
// to one, so the running number is never lost.
std::string StoredTemplateText(const std::string& text, std::size_t limit);
