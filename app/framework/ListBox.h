#pragma once
// CListBox: a list of 8-bit strings with one data value per entry, over a QListWidget.
// Results follow the list-box messages: indices, LB_ERR (-1) for a bad index. Only the user's own
// clicks and keys report LBN_SELCHANGE; the operations below never do.

#include "app/framework/Wnd.h"

#include <string>
#include <vector>

class CListBox : public CWnd {
  public:
    using CWnd::CWnd;

    int GetCount() const;
    // Appends (or, with LBS_SORT, inserts in case-blind order); returns the new index.
    int AddString(const char* text);
    // Inserts at index (-1: at the end), never sorted; returns the new index.
    int InsertString(int index, const char* text);
    // Returns the number of entries left.
    int DeleteString(int index);
    // Deletes the entries at these indices (ascending, none repeated) in one pass; the others
    // keep their order and their selection. The number of entries left, or LB_ERR (nothing
    // deleted) for an index that names no entry.
    int DeleteStrings(const std::vector<int>& indices);
    void ResetContent();

    int GetText(int index, std::string& text) const;

    int SetItemData(int index, DWORD_PTR data);
    DWORD_PTR GetItemData(int index) const; // LB_ERR for a bad index
    int SetItemDataPtr(int index, void* data);
    void* GetItemDataPtr(int index) const; // (void*)-1 for a bad index

    // Multiple-selection lists (extended selection).
    int GetSelCount() const;                          // LB_ERR on a single-selection list
    int GetSelItems(int maxItems, LPINT items) const; // ascending
    int SetSel(int index, BOOL select = TRUE);        // index -1: every entry; caret stays
    int GetSel(int index) const;                      // > 0 when selected
    int GetCaretIndex() const;                        // the entry with the focus mark; 0 if none
    int SetCaretIndex(int index, BOOL scroll = TRUE); // moves the focus mark; selection stays
    int SetTopIndex(int index); // scrolls index to the top, or as far as the list goes

    // Single-selection lists. SetCurSel selects and scrolls into view, -1 clears; on a
    // multiple-selection list GetCurSel reports the caret entry.
    int SetCurSel(int index);
    int GetCurSel() const;
};
