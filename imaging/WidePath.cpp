#include "imaging/WidePath.h"

#include <cerrno>
#include <climits>
#include <cwchar>

bool WidePath::toLocalBytes(const WCHAR* path, QByteArray* bytes) {
    if (!path || !bytes)
        return false;
    bytes->clear();
    std::mbstate_t state{};
    char buffer[MB_LEN_MAX];
    for (const WCHAR* p = path; *p; ++p) {
        const std::size_t length = std::wcrtomb(buffer, *p, &state);
        if (length == static_cast<std::size_t>(-1))
            return false;
        bytes->append(buffer, qsizetype(length));
    }
    // Close an open shift state, as multi-byte encodings with states require.
    const std::size_t length = std::wcrtomb(buffer, L'\0', &state);
    if (length == static_cast<std::size_t>(-1))
        return false;
    if (length > 1)
        bytes->append(buffer, qsizetype(length - 1));
    return true;
}
