#pragma once
// The list of background images: each line shows a path shortened to fit the list, and the
// entry keeps the full path for the run and the preview.

#include "app/framework/ListBox.h"

#include <QString>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class CFileListBox : public CListBox {
  public:
    using CListBox::CListBox;

    // Display width of a line, and how much of the path's end a shortened line keeps.
    static constexpr int kDisplayLimit = 40;
    static constexpr int kDisplayTail = 33;

    // Appends path unless that very path is listed already; the new index, or -1.
    int AddEntry(const char* path);
    // index when it names an entry (path then holds its full path), else -1 with path unchanged.
    int GetEntryPath(int index, std::string& path) const;
    // The number of entries left, or -1 for an index that names no entry.
    int RemoveEntry(int index);
    // Removes the entries at these indices (ascending, none repeated) in one pass; the others
    // keep their order. The number of entries left, or -1 (nothing removed) for an index that
    // names no entry.
    int RemoveEntries(const std::vector<int>& indices);
    void RemoveAllEntries();

  private:
    struct Entry;
    // The entry the duplicate test compares with a new line, or null.
    const Entry* FirstLineMatch(const QString& foldedLine) const;
    const Entry* EntryAt(int index) const;
    void Forget(const Entry* entry);

    // Every listed line, letter case folded, with its entries in list order. Entries are only
    // ever appended, so the order in which they were added is their order in the list. The
    // duplicate test looks up the few lines that begin with a new one here instead of reading
    // the whole list for every added file.
    std::map<QString, std::map<std::uint64_t, const Entry*>> m_lines;
    std::uint64_t m_nextOrder = 0;
};
