// CListBox: strings with data, extended selection with a caret, deleting many entries at once,
// and LBN_SELCHANGE for the user's clicks only.

#include "dialog_TestSupport.h"

#include "app/framework/ListBox.h"

#include <QImage>
#include <QListWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace dialog_test;

namespace {

constexpr int kList = 5001;
constexpr int kLog = 5002;

const DialogControl kControls[] = {
    {kList, ControlKind::ListBox, nullptr, 7, 7, 120, 80,
     WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_EXTENDEDSEL |
         LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT | LBS_WANTKEYBOARDINPUT,
     WS_EX_ACCEPTFILES, 0},
    {kLog, ControlKind::ListBox, nullptr, 130, 7, 80, 80,
     WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | LBS_NOTIFY | LBS_HASSTRINGS, 0, 0},
};

const DialogTemplate kTemplate = {9201,
                                  "Lists",
                                  0,
                                  0,
                                  220,
                                  100,
                                  WS_POPUP | WS_CAPTION | DS_SHELLFONT,
                                  0,
                                  "MS Shell Dlg",
                                  8,
                                  kControls,
                                  static_cast<int>(std::size(kControls))};

class ListDialog : public CDialog {
  public:
    ListDialog() : CDialog(9201) {}
    void DoDataExchange(CDataExchange* pDX) override {
        CDialog::DoDataExchange(pDX);
        DDX_Control(pDX, kList, m_list);
    }
    void OnSelChange() { ++selChanges; }
    // Takes Delete, as a program that removes entries with it does.
    LRESULT OnVKeyToItem(WPARAM wParam, LPARAM) {
        offered.push_back({LOWORD(wParam), HIWORD(wParam)});
        return LOWORD(wParam) == VK_DELETE ? -2 : -1;
    }
    CListBox m_list;
    int selChanges = 0;
    std::vector<std::pair<UINT, UINT>> offered; // key, caret
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ListDialog, CDialog)
ON_LBN_SELCHANGE(kList, &ListDialog::OnSelChange)
ON_MESSAGE(WM_VKEYTOITEM, &ListDialog::OnVKeyToItem)
END_MESSAGE_MAP()

} // namespace

TEST(DialogListBox, EntriesKeepTheirDataAndSelectionAndCaretBehaveAsOnWindows) {
    ScopedTemplate scoped(kTemplate);
    ListDialog dialog;
    std::string texts[3];
    int counts[3] = {};
    void* data = nullptr;
    int selCount = -1, caret = -1, caretAfterSel = -1, badIndex = 0, remaining = 0;
    std::vector<int> selected(4, -1);
    int selChangesFromProgram = -1;
    bool boundIsItem = false;
    RunModal(dialog, [&](QWidget* window) {
        boundIsItem = dialog.GetDlgItem(kList) == &dialog.m_list;
        static int payload[3];
        for (int i = 0; i < 3; ++i) {
            const std::string name = "entry" + std::to_string(i);
            const int index = dialog.m_list.AddString(name.c_str());
            dialog.m_list.SetItemDataPtr(index, &payload[i]);
        }
        caret = dialog.m_list.GetCaretIndex();
        dialog.m_list.SetSel(2, TRUE);
        dialog.m_list.SetSel(0, TRUE);
        caretAfterSel = dialog.m_list.GetCaretIndex();
        selCount = dialog.m_list.GetSelCount();
        dialog.m_list.GetSelItems(4, selected.data());
        data = dialog.m_list.GetItemDataPtr(1);
        badIndex = dialog.m_list.GetText(3, texts[0]);
        remaining = dialog.m_list.DeleteString(1);
        for (int i = 0; i < 2; ++i)
            counts[i] = dialog.m_list.GetText(i, texts[i]);
        selChangesFromProgram = dialog.selChanges;
        PressKey(window, Qt::Key_Escape);
        (void)payload;
    });
    EXPECT_TRUE(boundIsItem);
    EXPECT_EQ(caret, 0); // the focus mark starts on the first entry
    EXPECT_EQ(caretAfterSel, 0);
    EXPECT_EQ(selCount, 2);
    EXPECT_EQ(selected[0], 0);
    EXPECT_EQ(selected[1], 2);
    EXPECT_NE(data, nullptr);
    EXPECT_EQ(badIndex, LB_ERR);
    EXPECT_EQ(remaining, 2);
    EXPECT_EQ(texts[0], "entry0");
    EXPECT_EQ(texts[1], "entry2");
    EXPECT_EQ(counts[1], 6);
    EXPECT_EQ(selChangesFromProgram, 0);
    EXPECT_FALSE(dialog.m_list.IsBound()); // detached with the window
}

// Deleting several scattered entries at once: the others keep their order, their data and
// their selection; the focus mark stays on its entry or goes to the next one that stays.
TEST(DialogListBox, DeleteStringsKeepsTheRestInOrderWithSelectionAndCaret) {
    struct Case {
        std::vector<int> remove;
        int caretBefore;
        std::vector<int> left; // original entries, in list order
        std::vector<int> selectedAfter;
        int caretAfter;
        int result;
    };
    // Eight entries; 1, 3 and 6 are selected.
    const Case cases[] = {
        {{0, 3, 4}, 3, {1, 2, 5, 6, 7}, {0, 3}, 2, 5},
        {{1, 3, 6}, 6, {0, 2, 4, 5, 7}, {}, 4, 5},
        {{5, 6, 7}, 7, {0, 1, 2, 3, 4}, {1, 3}, 4, 5},
        {{}, 2, {0, 1, 2, 3, 4, 5, 6, 7}, {1, 3, 6}, 2, 8},
        {{0, 1, 2, 3, 4, 5, 6, 7}, 0, {}, {}, 0, 0},
        {{2, 8}, 2, {0, 1, 2, 3, 4, 5, 6, 7}, {1, 3, 6}, 2, LB_ERR}, // nothing for a bad index
    };
    static int payload[8];
    for (const Case& c : cases) {
        ScopedTemplate scoped(kTemplate);
        ListDialog dialog;
        std::vector<int> left, selected;
        int caret = -1, result = 0, selChanges = -1;
        RunModal(dialog, [&](QWidget* window) {
            for (int i = 0; i < 8; ++i) {
                const std::string name = "entry" + std::to_string(i);
                dialog.m_list.SetItemDataPtr(dialog.m_list.AddString(name.c_str()), &payload[i]);
            }
            for (int i : {1, 3, 6})
                dialog.m_list.SetSel(i, TRUE);
            qobject_cast<QListWidget*>(dialog.m_list.GetWidget())
                ->setCurrentRow(c.caretBefore, QItemSelectionModel::NoUpdate);
            result = dialog.m_list.DeleteStrings(c.remove);
            for (int i = 0; i < dialog.m_list.GetCount(); ++i) {
                const int entry =
                    static_cast<int>(static_cast<int*>(dialog.m_list.GetItemDataPtr(i)) - payload);
                std::string text;
                dialog.m_list.GetText(i, text);
                EXPECT_EQ(text, "entry" + std::to_string(entry));
                left.push_back(entry);
            }
            const int count = dialog.m_list.GetSelCount();
            selected.assign(static_cast<std::size_t>(std::max(count, 0)), -1);
            dialog.m_list.GetSelItems(count, selected.data());
            caret = dialog.m_list.GetCaretIndex();
            selChanges = dialog.selChanges;
            PressKey(window, Qt::Key_Escape);
        });
        SCOPED_TRACE("removing " + std::to_string(c.remove.size()) + " from caret " +
                     std::to_string(c.caretBefore));
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(left, c.left);
        EXPECT_EQ(selected, c.selectedAfter);
        EXPECT_EQ(caret, c.caretAfter);
        EXPECT_EQ(selChanges, 0);
    }
}

TEST(DialogListBox, UserClicksReportSelectionChanges) {
    ScopedTemplate scoped(kTemplate);
    ListDialog dialog;
    int afterFirst = -1, afterSecond = -1, caret = -1;
    RunModal(dialog, [&](QWidget* window) {
        for (const char* s : {"one", "two", "three"})
            dialog.m_list.AddString(s);
        auto* list = qobject_cast<QListWidget*>(dialog.m_list.GetWidget());
        Click(list->viewport(), list->visualItemRect(list->item(1)).center());
        afterFirst = dialog.selChanges;
        Click(list->viewport(), list->visualItemRect(list->item(2)).center());
        afterSecond = dialog.selChanges;
        caret = dialog.m_list.GetCaretIndex();
        PressKey(window, Qt::Key_Escape);
    });
    EXPECT_EQ(afterFirst, 1);
    EXPECT_EQ(afterSecond, 2);
    EXPECT_EQ(caret, 2);
}

TEST(DialogListBox, SingleSelectionLogSelectsAndClears) {
    ScopedTemplate scoped(kTemplate);
    ListDialog dialog;
    int selected = 0, cleared = 0, selCount = 0;
    RunModal(dialog, [&](QWidget* window) {
        auto* log = static_cast<CListBox*>(dialog.GetDlgItem(kLog));
        for (int i = 0; i < 30; ++i)
            log->AddString(("line " + std::to_string(i)).c_str());
        log->SetCurSel(29);
        selected = log->GetCurSel();
        log->SetCurSel(-1);
        cleared = log->GetCurSel();
        selCount = log->GetSelCount();
        PressKey(window, Qt::Key_Escape);
    });
    EXPECT_EQ(selected, 29);
    EXPECT_EQ(cleared, LB_ERR);
    EXPECT_EQ(selCount, LB_ERR); // single-selection lists have no selection count
}

// A list that wants keyboard input offers each key to its owner first; a key the owner takes
// (-2) does nothing more, the others keep their meaning (Ctrl+A selects every entry).
TEST(DialogListBox, KeysAreOfferedToTheOwnerFirst) {
    struct Case {
        const char* name;
        int key;
        Qt::KeyboardModifiers modifiers;
        UINT offered;
        std::vector<int> selected; // afterwards, from entry 1 alone
        int selChanges;
    };
    const Case cases[] = {
        {"Delete, taken", Qt::Key_Delete, Qt::NoModifier, VK_DELETE, {1}, 0},
        {"Ctrl+A", Qt::Key_A, Qt::ControlModifier, 'A', {0, 1, 2, 3}, 1},
        {"Down", Qt::Key_Down, Qt::NoModifier, VK_DOWN, {2}, 1},
        {"Escape, not a list key", Qt::Key_Escape, Qt::ShiftModifier, 0, {1}, 0},
    };
    for (const Case& c : cases) {
        ScopedTemplate scoped(kTemplate);
        ListDialog dialog;
        std::vector<int> selected;
        RunModal(dialog, [&](QWidget* window) {
            for (const char* s : {"one", "two", "three", "four"})
                dialog.m_list.AddString(s);
            auto* list = qobject_cast<QListWidget*>(dialog.m_list.GetWidget());
            list->setFocus();
            Click(list->viewport(), list->visualItemRect(list->item(1)).center());
            dialog.selChanges = 0;
            PressKey(window, c.key, c.modifiers);
            selected.resize(static_cast<size_t>(std::max(dialog.m_list.GetSelCount(), 0)));
            dialog.m_list.GetSelItems(static_cast<int>(selected.size()), selected.data());
            dialog.EndDialog(IDCANCEL);
        });
        const std::vector<std::pair<UINT, UINT>> offered =
            c.offered != 0 ? std::vector<std::pair<UINT, UINT>>{{c.offered, 1u}}
                           : std::vector<std::pair<UINT, UINT>>{};
        EXPECT_EQ(dialog.offered, offered) << c.name;
        EXPECT_EQ(selected, c.selected) << c.name;
        EXPECT_EQ(dialog.selChanges, c.selChanges) << c.name;
    }
}

// An empty list shows where the focus is when the keyboard brought it there.
TEST(DialogListBox, EmptyListShowsTheFocusFrameWhenTabbedInto) {
    struct Case {
        const char* name;
        Qt::FocusReason reason;
        bool frame;
    };
    const Case cases[] = {
        {"tabbed into", Qt::TabFocusReason, true},
        {"clicked", Qt::MouseFocusReason, false},
    };
    for (const Case& c : cases) {
        ScopedTemplate scoped(kTemplate);
        ListDialog dialog;
        int changed = -1, width = 0;
        RunModal(dialog, [&](QWidget*) {
            auto* list = qobject_cast<QListWidget*>(dialog.m_list.GetWidget());
            list->clearFocus();
            WaitFor([list] { return !list->hasFocus(); });
            const QImage without = list->grab().toImage();
            list->setFocus(c.reason);
            WaitFor([list] { return list->hasFocus(); });
            const QImage with = list->grab().toImage();
            // Columns that differ along the top lines of the list's inside.
            changed = 0;
            width = list->viewport()->width();
            const int top = list->viewport()->geometry().top();
            for (int x = 0; x < with.width(); ++x) {
                bool differs = false;
                for (int y = top; y < top + 3; ++y)
                    differs = differs || with.pixel(x, y) != without.pixel(x, y);
                changed += differs ? 1 : 0;
            }
            dialog.EndDialog(IDCANCEL);
        });
        if (c.frame)
            EXPECT_GT(changed, width / 2) << c.name;
        else
            EXPECT_EQ(changed, 0) << c.name;
    }
}
