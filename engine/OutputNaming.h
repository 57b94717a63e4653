#pragma once
// Output file names from a template and a running number.

#include <string>

// The name for number: the '#' of the template receive its decimal digits ("%d") in order,
// zero-padded from the left; a number longer than the '#' count replaces the first '#' and
// the other '#' are removed; a template without '#' is returned unchanged.
std::string FormatOutputName(const std::string& nameTemplate, int number);
