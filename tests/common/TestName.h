#pragma once
// Parts of parameterised test names: letters and digits only.

#include <cctype>
#include <string>

inline std::string TestNamePart(const std::string& text) {
    std::string out;
    for (char ch : text) {
        if (std::isalnum(static_cast<unsigned char>(ch)))
            out += ch;
    }
    return out;
}
