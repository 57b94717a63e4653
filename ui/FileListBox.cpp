#include "ui/FileListBox.h"

#include "engine/TextHelpers.h"

namespace {
// Each entry owns a copy of its full path, attached as the entry's data.
const std::string* StoredPath(const CListBox& list, int index) {
    void* data = list.GetItemDataPtr(index);
    if (data == reinterpret_cast<void*>(static_cast<LONG_PTR>(LB_ERR)))
        return nullptr;
    return static_cast<const std::string*>(data);
}
} // namespace

int CFileListBox::AddEntry(const char* path) {
    if (path == nullptr)
        return -1;
    const std::string display = AbbreviatePath(path, kDisplayLimit, kDisplayTail);
    // Two paths can share a shortened line, so a line match is only a candidate: only the
    // first match counts, and only an identical full path makes it a duplicate.
    const int match = FindString(0, display.c_str());
    if (match != LB_ERR) {
        const std::string* stored = StoredPath(*this, match);
        if (stored != nullptr && *stored == path)
            return -1;
    }
    const int index = AddString(display.c_str());
    if (index < 0)
        return -1;
    SetItemDataPtr(index, new std::string(path));
    return index;
}

int CFileListBox::GetEntryPath(int index, std::string& path) const {
    if (index < 0 || index >= GetCount())
        return -1;
    if (const std::string* stored = StoredPath(*this, index))
        path = *stored;
    return index;
}

int CFileListBox::RemoveEntry(int index) {
    if (index < 0 || index >= GetCount())
        return -1;
    delete StoredPath(*this, index);
    SetItemDataPtr(index, nullptr);
    return DeleteString(index);
}

void CFileListBox::RemoveAllEntries() {
    while (GetCount() > 0)
        RemoveEntry(0);
}
