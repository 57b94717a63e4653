// Modal runs: results of Enter, Escape and close requests, dialogs that refuse to close,
// geometry from dialog units, focus and tab order, message maps and cross-thread sends.

#include "dialog_TestSupport.h"

#include "app/framework/ControlWidgets.h"
#include "app/framework/DialogUnits.h"
#include "app/framework/ListBox.h"

#include <QFontMetrics>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

using namespace dialog_test;

namespace {

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SHELLFONT | DS_CENTER;

constexpr int kEdit = 3001;
constexpr int kDisabledButton = 3002;
constexpr int kList = 3003;
constexpr int kLabel = 3004;
constexpr int kExit = 3005;

const DialogControl kBasicControls[] = {
    {kDisabledButton, ControlKind::Button, "Off", 7, 7, 50, 14,
     kChild | BS_PUSHBUTTON | WS_TABSTOP | WS_DISABLED, 0, 0},
    {kEdit, ControlKind::Edit, "", 10, 30, 100, 14, kChild | WS_BORDER | WS_TABSTOP, 0, 0},
    {kLabel, ControlKind::Static, "&Label", 7, 50, 80, 8, kChild | SS_LEFT, 0, 0},
    {kList, ControlKind::ListBox, nullptr, 7, 60, 100, 40,
     kChild | WS_BORDER | WS_TABSTOP | LBS_NOTIFY | WS_VSCROLL, 0, 0},
    {IDOK, ControlKind::Button, "OK", 120, 7, 50, 14, kChild | BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 0},
    {IDCANCEL, ControlKind::Button, "Cancel", 120, 25, 50, 14, kChild | BS_PUSHBUTTON | WS_TABSTOP,
     0, 0},
    {kExit, ControlKind::Button, "E&xit", 120, 43, 50, 14, kChild | BS_PUSHBUTTON | WS_TABSTOP, 0,
     0},
};

const DialogTemplate kBasicTemplate = {9001,
                                       "Basic",
                                       0,
                                       0,
                                       180,
                                       110,
                                       kDialogStyle,
                                       0,
                                       "MS Shell Dlg",
                                       8,
                                       kBasicControls,
                                       static_cast<int>(std::size(kBasicControls))};

const DialogTemplate kSysMenuTemplate = {9002,
                                         "With close box",
                                         0,
                                         0,
                                         180,
                                         110,
                                         kDialogStyle | WS_SYSMENU,
                                         0,
                                         "MS Shell Dlg",
                                         8,
                                         kBasicControls,
                                         static_cast<int>(std::size(kBasicControls))};

class BasicDialog : public CDialog {
  public:
    explicit BasicDialog(int id = 9001) : CDialog(id) {}
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        ++initCount;
        controlsAtInit = GetDlgItem(kEdit) != nullptr;
        visibleAtInit = GetWidget()->isVisible();
        return TRUE;
    }
    int initCount = 0;
    bool controlsAtInit = false;
    bool visibleAtInit = true;
};

// OK and Cancel do nothing; only the Exit button ends the dialog.
class StubbornDialog : public CDialog {
  public:
    StubbornDialog() : CDialog(9001) {}
    void OnOK() override { ++okCount; }
    void OnCancel() override { ++cancelCount; }
    void OnExit() { EndDialog(IDOK); }
    int okCount = 0;
    int cancelCount = 0;
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(StubbornDialog, CDialog)
ON_BN_CLICKED(kExit, &StubbornDialog::OnExit)
END_MESSAGE_MAP()

QPushButton* Button(QWidget* window, int id, CDialog& dialog) {
    (void)window;
    return qobject_cast<QPushButton*>(dialog.GetDlgItem(id)->GetWidget());
}

} // namespace

TEST(DialogModal, InitRunsWithControlsBeforeShowAndFocusGoesToFirstEnabledTabStop) {
    ScopedTemplate scoped(kBasicTemplate);
    BasicDialog dialog;
    QWidget* focused = nullptr;
    QWidget* edit = nullptr;
    const INT_PTR result = RunModal(dialog, [&](QWidget* window) {
        edit = dialog.GetDlgItem(kEdit)->GetWidget();
        WaitFor([&] { return QApplication::focusWidget() != nullptr; });
        focused = QApplication::focusWidget();
        PressKey(window, Qt::Key_Escape);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(dialog.initCount, 1);
    EXPECT_TRUE(dialog.controlsAtInit);
    EXPECT_FALSE(dialog.visibleAtInit);
    EXPECT_EQ(focused, edit); // the disabled first tab stop is skipped
}

struct CloseCase {
    const char* name;
    std::function<void(QWidget*, CDialog&)> act;
    INT_PTR expected;
};
void PrintTo(const CloseCase& c, std::ostream* os) {
    *os << c.name;
}

class DialogCloseTest : public ::testing::TestWithParam<CloseCase> {};

TEST_P(DialogCloseTest, DefaultHandlersEndWithTheCommand) {
    ScopedTemplate scoped(kBasicTemplate);
    BasicDialog dialog;
    const INT_PTR result =
        RunModal(dialog, [&](QWidget* window) { GetParam().act(window, dialog); });
    EXPECT_EQ(result, GetParam().expected);
    EXPECT_EQ(dialog.GetWidget(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, DialogCloseTest,
    ::testing::Values(
        CloseCase{"EnterInEdit",
                  [](QWidget* w, CDialog& d) {
                      d.GetDlgItem(kEdit)->SetFocus();
                      PressKey(w, Qt::Key_Return);
                  },
                  IDOK},
        CloseCase{"EnterOnFocusedCancelButton",
                  [](QWidget* w, CDialog& d) {
                      d.GetDlgItem(IDCANCEL)->SetFocus();
                      PressKey(w, Qt::Key_Return);
                  },
                  IDCANCEL},
        CloseCase{"KeypadEnter",
                  [](QWidget* w, CDialog& d) {
                      d.GetDlgItem(kEdit)->SetFocus();
                      PressKey(w, Qt::Key_Enter, Qt::KeypadModifier);
                  },
                  IDOK},
        CloseCase{"Escape", [](QWidget* w, CDialog&) { PressKey(w, Qt::Key_Escape); }, IDCANCEL},
        CloseCase{"CloseRequest", [](QWidget* w, CDialog&) { w->close(); }, IDCANCEL},
        CloseCase{"ClickOk", [](QWidget* w, CDialog& d) { Click(Button(w, IDOK, d)); }, IDOK}),
    [](const ::testing::TestParamInfo<CloseCase>& info) { return std::string(info.param.name); });

TEST(DialogModal, DialogWhoseOkAndCancelDoNothingStaysOpen) {
    ScopedTemplate scoped(kBasicTemplate);
    StubbornDialog dialog;
    bool openAfterKeys = false;
    const INT_PTR result = RunModal(dialog, [&](QWidget* window) {
        dialog.GetDlgItem(kEdit)->SetFocus();
        PressKey(window, Qt::Key_Return);
        PressKey(window, Qt::Key_Escape);
        window->close();
        Click(Button(window, IDOK, dialog));
        Click(Button(window, IDCANCEL, dialog));
        QApplication::processEvents();
        openAfterKeys = window->isVisible() && dialog.GetWidget() == window;
        Click(Button(window, kExit, dialog));
    });
    EXPECT_TRUE(openAfterKeys);
    EXPECT_EQ(dialog.okCount, 2);     // Enter and the OK button
    EXPECT_EQ(dialog.cancelCount, 3); // Escape, the close request and the Cancel button
    EXPECT_EQ(result, IDOK);
}

TEST(DialogModal, CloseBoxOnlyWithSystemMenu) {
    ScopedTemplate basic(kBasicTemplate);
    ScopedTemplate withMenu(kSysMenuTemplate);
    for (int id : {9001, 9002}) {
        BasicDialog dialog(id);
        Qt::WindowFlags flags;
        RunModal(dialog, [&](QWidget* window) {
            flags = window->windowFlags();
            PressKey(window, Qt::Key_Escape);
        });
        EXPECT_EQ(flags.testFlag(Qt::WindowCloseButtonHint), id == 9002) << id;
        EXPECT_TRUE(flags.testFlag(Qt::WindowTitleHint)) << id;
    }
}

TEST(DialogModal, ControlsLandWhereDialogUnitsSay) {
    ScopedTemplate scoped(kBasicTemplate);
    BasicDialog dialog;
    QRect edit, label, list, ok;
    QSize client;
    QFont font;
    RunModal(dialog, [&](QWidget* window) {
        font = window->font();
        client = window->size();
        edit = dialog.GetDlgItem(kEdit)->GetWidget()->geometry();
        label = dialog.GetDlgItem(kLabel)->GetWidget()->geometry();
        list = dialog.GetDlgItem(kList)->GetWidget()->geometry();
        ok = dialog.GetDlgItem(IDOK)->GetWidget()->geometry();
        PressKey(window, Qt::Key_Escape);
    });
    EXPECT_EQ(font.pointSize(), 8);
    // Windows: average width of A-Z a-z as (width / 26 + 1) / 2, height of the font; x * cx / 4
    // and y * cy / 8 rounded.
    const QFontMetrics metrics(font);
    const int total = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    const double cx = (total / 26 + 1) / 2;
    const double cy = metrics.height();
    auto px = [](int units, double base, int div) {
        return static_cast<int>(std::floor(units * base / div + 0.5));
    };
    EXPECT_EQ(client, QSize(px(180, cx, 4), px(110, cy, 8)));
    EXPECT_EQ(edit, QRect(px(10, cx, 4), px(30, cy, 8), px(100, cx, 4), px(14, cy, 8)));
    EXPECT_EQ(label, QRect(px(7, cx, 4), px(50, cy, 8), px(80, cx, 4), px(8, cy, 8)));
    EXPECT_EQ(list, QRect(px(7, cx, 4), px(60, cy, 8), px(100, cx, 4), px(40, cy, 8)));
    EXPECT_EQ(ok, QRect(px(120, cx, 4), px(7, cy, 8), px(50, cx, 4), px(14, cy, 8)));
}

TEST(DialogUnitsRounding, MulDivRoundsHalfAwayFromZero) {
    struct Case {
        int a, b, c, expected;
    };
    for (const Case& k :
         {Case{7, 6, 4, 11}, Case{5, 6, 4, 8}, Case{3, 3, 4, 2}, Case{1, 1, 2, 1},
          Case{-1, 1, 2, -1}, Case{-7, 6, 4, -11}, Case{10, 13, 8, 16}, Case{1, 1, 0, -1}}) {
        EXPECT_EQ(MulDiv(k.a, k.b, k.c), k.expected) << k.a << "*" << k.b << "/" << k.c;
    }
}

TEST(DialogModal, TabMovesThroughTabStopsInTemplateOrder) {
    ScopedTemplate scoped(kBasicTemplate);
    BasicDialog dialog;
    std::vector<int> order;
    RunModal(dialog, [&](QWidget* window) {
        dialog.GetDlgItem(kEdit)->SetFocus();
        for (int i = 0; i < 5; ++i) {
            const ControlBase* c = ControlOf(QApplication::focusWidget());
            order.push_back(c != nullptr ? c->ControlId() : 0);
            PressKey(window, Qt::Key_Tab);
        }
        PressKey(window, Qt::Key_Escape);
    });
    // The label takes no focus and the disabled button is skipped.
    EXPECT_EQ(order, (std::vector<int>{kEdit, kList, IDOK, IDCANCEL, kExit}));
}

// Message maps: a base dialog binds commands and a numbered message; a derived one adds a
// binding and replaces one of the base's.
namespace {
class MapBaseDialog : public CDialog {
  public:
    MapBaseDialog() : CDialog(9001) {}
    void OnExitBase() { log += "base-exit;"; }
    void OnOkBase() { log += "base-ok;"; }
    LRESULT OnBatchDone(WPARAM w, LPARAM l) {
        log += "done(" + std::to_string(w) + "," + std::to_string(l) + ");";
        return 104;
    }
    std::string log;
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(MapBaseDialog, CDialog)
ON_BN_CLICKED(kExit, &MapBaseDialog::OnExitBase)
ON_BN_CLICKED(IDOK, &MapBaseDialog::OnOkBase)
ON_MESSAGE(104, &MapBaseDialog::OnBatchDone)
END_MESSAGE_MAP()

class MapDerivedDialog : public MapBaseDialog {
  public:
    void OnExitDerived() {
        log += "derived-exit;";
        EndDialog(7);
    }
    LRESULT OnStart(WPARAM, LPARAM) {
        log += "start;";
        return 105;
    }
    void OnRange(UINT id) {
        log += "range(" + std::to_string(id) + "," +
               std::to_string(HIWORD(GetCurrentMessage()->wParam)) + ");";
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(MapDerivedDialog, MapBaseDialog)
ON_BN_CLICKED(kExit, &MapDerivedDialog::OnExitDerived)
ON_MESSAGE(105, &MapDerivedDialog::OnStart)
ON_CONTROL_RANGE(BN_CLICKED, 3100, 3110, &MapDerivedDialog::OnRange)
END_MESSAGE_MAP()
} // namespace

TEST(DialogMessageMap, DerivedTablesChainToTheBaseAndOverrideIt) {
    ScopedTemplate scoped(kBasicTemplate);
    MapDerivedDialog dialog;
    LRESULT r104 = 0, r105 = 0, r106 = -1;
    const INT_PTR result = RunModal(dialog, [&](QWidget* window) {
        r104 = dialog.WindowProc(104, 3, 4);
        r105 = dialog.WindowProc(105, 0, 0);
        r106 = dialog.WindowProc(106, 0, 0);
        dialog.WindowProc(WM_COMMAND, MAKEWPARAM(3105, BN_CLICKED), 0);
        Click(Button(window, IDOK, dialog));
        Click(Button(window, kExit, dialog));
    });
    EXPECT_EQ(r104, 104);
    EXPECT_EQ(r105, 105);
    EXPECT_EQ(r106, 0);
    EXPECT_EQ(dialog.log, "done(3,4);start;range(3105,0);base-ok;derived-exit;");
    EXPECT_EQ(result, 7);
}

TEST(DialogMessageMap, SendFromWorkerThreadIsHandledInsideTheModalLoop) {
    ScopedTemplate scoped(kBasicTemplate);

    class WorkerDialog : public MapBaseDialog {
      public:
        BOOL OnInitDialog() override {
            MapBaseDialog::OnInitDialog();
            // Like a progress dialog: the worker's first send arrives while this still runs.
            const HWND self = GetSafeHwnd();
            worker = std::thread([this, self] {
                result = ::SendMessage(self, 104, 1, 2);
                sent = true;
            });
            return TRUE;
        }
        std::thread worker;
        std::atomic<bool> sent{false};
        LRESULT result = 0;
    };

    WorkerDialog dialog;
    const HWND handle = dialog.GetSafeHwnd();
    bool handledInLoop = false;
    RunModal(dialog, [&](QWidget* window) {
        handledInLoop = WaitFor([&] { return dialog.sent.load(); });
        PressKey(window, Qt::Key_Escape);
    });
    dialog.worker.join();
    EXPECT_TRUE(handledInLoop);
    EXPECT_EQ(dialog.result, 104);
    EXPECT_EQ(dialog.log, "done(1,2);");
    // The window is gone: its handle is withdrawn and sends return 0 at once.
    EXPECT_FALSE(IsWindow(handle));
    LRESULT late = -1;
    std::thread([&] { late = ::SendMessage(handle, 104, 0, 0); }).join();
    EXPECT_EQ(late, 0);
    EXPECT_EQ(dialog.log, "done(1,2);");
}

TEST(DialogModal, UnknownTemplateGivesMinusOne) {
    BasicDialog dialog(9999);
    EXPECT_EQ(dialog.DoModal(), -1);
    EXPECT_EQ(dialog.initCount, 0);
}

// Handles are issued once, by the message-target table: a dialog is found through its handle
// on its own thread while its window exists, and nothing else is taken for a dialog.
TEST(DialogHandles, FromHandleFindsOnlyAnOpenDialogOnItsOwnThread) {
    class PlainTarget : public CMessageTarget {
      public:
        LRESULT WindowProc(UINT, WPARAM, LPARAM) override { return 0; }
    };
    ScopedTemplate scoped(kBasicTemplate);
    BasicDialog dialog;
    PlainTarget plain;
    const HWND handle = dialog.GetSafeHwnd();
    struct Case {
        const char* name;
        CDialog* found = nullptr;
        CDialog* expected = nullptr;
    };
    std::vector<Case> cases;
    RunModal(dialog, [&](QWidget* window) {
        cases.push_back({"its own handle", CDialog::FromHandle(handle), &dialog});
        cases.push_back({"a target that is no dialog", CDialog::FromHandle(plain.GetSafeHwnd())});
        cases.push_back({"no handle", CDialog::FromHandle(nullptr)});
        CDialog* fromWorker = &dialog;
        std::thread([&] { fromWorker = CDialog::FromHandle(handle); }).join();
        cases.push_back({"asked from another thread", fromWorker});
        PressKey(window, Qt::Key_Escape);
    });
    cases.push_back({"after the window is gone", CDialog::FromHandle(handle)});
    ASSERT_EQ(cases.size(), 5u);
    for (const Case& c : cases)
        EXPECT_EQ(c.found, c.expected) << c.name;
    EXPECT_EQ(CMessageTarget::FromHandle(plain.GetSafeHwnd()), &plain);
}
