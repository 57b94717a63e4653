#include "imaging/LocaleText.h"

#include <cwchar>

std::optional<std::wstring> ToWidePath(const char* text) {
    if (text == nullptr)
        return std::nullopt;
    std::mbstate_t state{};
    const char* src = text;
    const std::size_t count = std::mbsrtowcs(nullptr, &src, 0, &state);
    if (count == static_cast<std::size_t>(-1))
        return std::nullopt;
    std::wstring wide(count, L'\0');
    state = std::mbstate_t{};
    src = text;
    if (std::mbsrtowcs(wide.data(), &src, count + 1, &state) != count)
        return std::nullopt;
    return wide;
}

std::optional<std::string> FromWideText(const wchar_t* text) {
    if (text == nullptr)
        return std::nullopt;
    // The count and the conversion both close an open shift state, as multi-byte encodings
    // with states require.
    std::mbstate_t state{};
    const wchar_t* src = text;
    const std::size_t count = std::wcsrtombs(nullptr, &src, 0, &state);
    if (count == static_cast<std::size_t>(-1))
        return std::nullopt;
    std::string narrow(count, '\0');
    state = std::mbstate_t{};
    src = text;
    if (std::wcsrtombs(narrow.data(), &src, count + 1, &state) != count)
        return std::nullopt;
    return narrow;
}
