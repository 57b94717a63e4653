#pragma once
// The messages by which the batch worker reports to its progress window. They are plain
// numbers, bound by number in the window's message map. wParam is always 0; the texts behind
// lParam are valid only during the send.

#include "types/WinTypes.h"

constexpr UINT WM_BATCH_DONE = 104;       // lParam 0: the list was completed
constexpr UINT WM_BATCH_START = 105;      // lParam 0: the run begins
constexpr UINT WM_BATCH_NEXTITEM = 106;   // lParam 0: the next item begins
constexpr UINT WM_BATCH_ITEMNAME = 107;   // lParam: the item's file name (8-bit, terminated)
constexpr UINT WM_BATCH_ITEMSTATUS = 108; // lParam: a status text (8-bit, terminated)

// The status an item gets when its work begins; the next status of that item is its outcome.
constexpr char kStatusWorking[] = " ... ";
