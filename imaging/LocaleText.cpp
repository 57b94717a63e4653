#include "imaging/LocaleText.h"

#include <cwchar>

namespace {

// Both directions: one pass to count, one to convert. Either pass closes an open shift state
// at the end, as multi-byte encodings with states require.
template <class To, class From, class Converter>
std::optional<std::basic_string<To>> Convert(const From* text, Converter convert) {
    if (text == nullptr)
        return std::nullopt;
    std::mbstate_t state{};
    const From* src = text;
    const std::size_t count = convert(nullptr, &src, 0, &state);
    if (count == static_cast<std::size_t>(-1))
        return std::nullopt;
    std::basic_string<To> converted(count, To{});
    state = std::mbstate_t{};
    src = text;
    if (convert(converted.data(), &src, count + 1, &state) != count)
        return std::nullopt;
    return converted;
}

} // namespace

std::optional<std::wstring> ToWidePath(const char* text) {
    return Convert<wchar_t>(
        text, [](wchar_t* dst, const char** src, std::size_t n, std::mbstate_t* state) {
            return std::mbsrtowcs(dst, src, n, state);
        });
}

std::optional<std::string> FromWideText(const wchar_t* text) {
    return Convert<char>(text,
                         [](char* dst, const wchar_t** src, std::size_t n, std::mbstate_t* state) {
                             return std::wcsrtombs(dst, src, n, state);
                         });
}
