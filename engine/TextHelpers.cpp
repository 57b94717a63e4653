#include "engine/TextHelpers.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

void CopyText(char* dest, const char* src, std::size_t size) {
    if (dest == nullptr || size == 0)
        return;
    std::size_t n = 0;
    if (src != nullptr) {
        while (n + 1 < size && src[n] != '\0')
            ++n;
        std::memmove(dest, src, n);
    }
    std::memset(dest + n, 0, size - n);
}

const char* GetStatusText(int status) {
    static const char* const texts[] = {
        "Ok",
        "Generic Error",
        "Invalid Parameter",
        "Out of Memory",
        "Object Busy",
        "Insufficient Buffer",
        "Not Implemented",
        "Win32 Error",
        "Wrong State",
        "Aborted",
        "File Not Found",
        "Value Overflow",
        "Access Denied",
        "Unknown Image Format",
        "Font Family Not Found",
        "Font Style Not Found",
        "Not True Type Font",
        "Unsupported GDI+ Version",
        "GDI+ Not Initialize",
        "Property not Found",
        "Property not Supported",
    };
    constexpr int kCount = static_cast<int>(sizeof(texts) / sizeof(texts[0]));
    if (status < 0 || status >= kCount)
        return "Unknown Error";
    return texts[status];
}

namespace {

// Where the file-name part of path starts; null for an empty path or one without a '/' after
// its first character.
const char* FileNamePart(const char* path) {
    if (path == nullptr || path[0] == '\0')
        return nullptr;
    // The first character is never taken as the separator: "/name" has no folder part here.
    for (std::size_t i = std::strlen(path) - 1; i >= 1; --i) {
        if (path[i] == '/')
            return path + i + 1;
    }
    return nullptr;
}

} // namespace

bool FileNameOfPath(const char* path, char* buffer, int length) {
    const char* name = FileNamePart(path);
    if (name == nullptr)
        return false;
    if (length > 0)
        CopyText(buffer, name, static_cast<std::size_t>(length));
    return true;
}

std::string FileNameOrPath(const char* path) {
    if (path == nullptr)
        return {};
    const char* name = FileNamePart(path);
    return name != nullptr ? name : path;
}

namespace {

// Byte offsets where each character of text starts, in the current locale's encoding, and the
// text's length at the end. A byte that starts no valid character counts as one character of
// its own, so any path (file names are bytes) can be measured and is never cut inside one.
std::vector<std::size_t> CharacterStarts(const std::string& text) {
    std::vector<std::size_t> starts;
    std::mbstate_t state{};
    std::size_t at = 0;
    while (at < text.size()) {
        starts.push_back(at);
        const std::size_t n = std::mbrlen(text.data() + at, text.size() - at, &state);
        if (n == 0 || n == static_cast<std::size_t>(-1) || n == static_cast<std::size_t>(-2)) {
            state = std::mbstate_t{};
            ++at;
        } else {
            at += n;
        }
    }
    starts.push_back(text.size());
    return starts;
}

} // namespace

std::string AbbreviatePath(const char* path, int limit, int tail) {
    if (path == nullptr)
        return {};
    std::string text(path);
    const std::vector<std::size_t> starts = CharacterStarts(text);
    const std::size_t length = starts.size() - 1;
    if (limit < 0 || length <= static_cast<std::size_t>(limit))
        return text;
    const std::size_t head = length < 3 ? length : 3;
    std::size_t keep = tail < 0 ? 0 : static_cast<std::size_t>(tail);
    if (keep > length)
        keep = length;
    return text.substr(0, starts[head]) + "..." + text.substr(starts[length - keep]);
}
