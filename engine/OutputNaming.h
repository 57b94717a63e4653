#pragma once
// Output file names and paths from a template and a running number.

#include <cstddef>
#include <cstdint>
#include <string>

// The name for number: the '#' of the template receive its decimal digits ("%d") in order,
// zero-padded from the left; a number longer than the '#' count replaces the first '#' and
// the other '#' are removed; a template without '#' is returned unchanged.
std::string FormatOutputName(const std::string& nameTemplate, int number);

// folder/name.extension, the name FormatOutputName gives for number; the root folder, or one
// given with its slash, takes no second one. Empty when the path would not fit into room bytes
// with its terminator (a cut path would name a different file).
std::string OutputPathFor(const std::string& folder, const std::string& nameTemplate,
                          std::int32_t number, const std::string& extension, std::size_t room);
