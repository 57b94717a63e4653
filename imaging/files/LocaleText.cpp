#include "imaging/files/LocaleText.h"

#include <climits>
#include <cstdio>
#include <cwchar>

namespace {

constexpr wchar_t kEscapeBase = 0xDC00;

bool isEscapedByte(wchar_t c) {
    return c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF;
}

// Reads one character of text; nothing for a byte the locale cannot decode there (the state
// starts afresh after it, so that it costs only itself and the rest still decodes).
struct Step {
    wchar_t character = 0;
    std::size_t bytes = 1;
    bool decoded = false;
};
Step nextCharacter(const char* at, std::size_t left, std::mbstate_t& state) {
    Step step;
    const std::size_t used = std::mbrtowc(&step.character, at, left, &state);
    if (used == static_cast<std::size_t>(-1) || used == static_cast<std::size_t>(-2)) {
        state = std::mbstate_t{};
        return step;
    }
    step.bytes = used == 0 ? 1 : used;
    step.decoded = true;
    return step;
}

} // namespace

std::optional<std::wstring> ToWidePath(const char* text) {
    if (text == nullptr)
        return std::nullopt;
    std::wstring wide;
    std::mbstate_t state{};
    for (std::size_t left = std::char_traits<char>::length(text); left > 0;) {
        const Step step = nextCharacter(text, left, state);
        // A decoded escape code would not come back as the bytes it was read from.
        if (step.decoded && !isEscapedByte(step.character))
            wide.push_back(step.character);
        else
            for (std::size_t i = 0; i < step.bytes; ++i)
                wide.push_back(
                    static_cast<wchar_t>(kEscapeBase + static_cast<unsigned char>(text[i])));
        text += step.bytes;
        left -= step.bytes;
    }
    return wide;
}

std::optional<std::string> FromWideText(const wchar_t* text) {
    if (text == nullptr)
        return std::nullopt;
    std::string narrow;
    std::mbstate_t state{};
    char buffer[MB_LEN_MAX];
    for (const wchar_t* at = text; *at != L'\0'; ++at) {
        if (isEscapedByte(*at)) {
            narrow.push_back(static_cast<char>(*at - kEscapeBase));
            continue;
        }
        const std::size_t used = std::wcrtomb(buffer, *at, &state);
        if (used == static_cast<std::size_t>(-1))
            return std::nullopt;
        narrow.append(buffer, used);
    }
    // Multi-byte encodings with states end in the initial one.
    const std::size_t closing = std::wcrtomb(buffer, L'\0', &state);
    if (closing != static_cast<std::size_t>(-1) && closing > 1)
        narrow.append(buffer, closing - 1);
    return narrow;
}

std::string EscapedForLog(const std::string& text) {
    std::string shown;
    std::mbstate_t state{};
    const char* at = text.c_str();
    for (std::size_t left = text.size(); left > 0;) {
        const Step step = nextCharacter(at, left, state);
        const bool control = step.character < 0x20 || step.character == 0x7F;
        if (step.decoded && step.character == L'\\') {
            shown += "\\\\"; // so that a name's own backslash never reads as an escape
        } else if (step.decoded && !control) {
            shown.append(at, step.bytes);
        } else {
            for (std::size_t i = 0; i < step.bytes; ++i) {
                char escaped[5];
                std::snprintf(escaped, sizeof escaped, "\\x%02x",
                              static_cast<unsigned char>(at[i]));
                shown += escaped;
            }
        }
        at += step.bytes;
        left -= step.bytes;
    }
    return shown;
}
