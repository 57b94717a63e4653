#pragma once
// The list of background images: each line shows a path shortened to fit the list, and the
// entry keeps the full path for the run and the preview.

#include "app/framework/ListBox.h"

#include <string>

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
    void RemoveAllEntries();
};
