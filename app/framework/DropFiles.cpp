#include "app/framework/DropFiles.h"

#include <algorithm>
#include <cstring>

struct HDROP__ {
    std::vector<std::string> paths;
    POINT at;
    BOOL inClient;
};

HDROP CreateDrop(std::vector<std::string> paths, POINT at, BOOL inClient) {
    return new HDROP__{std::move(paths), at, inClient};
}

BOOL DragQueryPoint(HDROP drop, POINT* point) {
    if (drop == nullptr)
        return FALSE;
    if (point != nullptr)
        *point = drop->at;
    return drop->inClient;
}

void ReleaseDrop(HDROP drop) {
    delete drop;
}

UINT DragQueryFile(HDROP drop, UINT index, char* buffer, UINT size) {
    if (drop == nullptr)
        return 0;
    if (index == 0xFFFFFFFFu)
        return static_cast<UINT>(drop->paths.size());
    if (index >= drop->paths.size())
        return 0;
    const std::string& path = drop->paths[index];
    if (buffer == nullptr)
        return static_cast<UINT>(path.size());
    if (size == 0)
        return 0;
    const size_t n = std::min<size_t>(path.size(), size - 1);
    std::memcpy(buffer, path.data(), n);
    buffer[n] = '\0';
    return static_cast<UINT>(n);
}

UINT DragQueryFileA(HDROP drop, UINT index, char* buffer, UINT size) {
    return DragQueryFile(drop, index, buffer, size);
}

// The framework releases the drop after the message, so there is nothing to finish.
void DragFinish(HDROP) {}
