// Controls as the program's dialogs use them: buttons that are not automatic, edit
// notifications (nested when a handler rewrites the text), focus loss, owner drawing,
// mnemonics, dropped files, message boxes and progress ranges.

#include "dialog_TestSupport.h"

#include "app/framework/ControlWidgets.h"
#include "app/framework/DropFiles.h"
#include "app/framework/MessageBox.h"
#include "app/framework/ResourceImages.h"

#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QUrl>

#include <gtest/gtest.h>

using namespace dialog_test;

namespace {

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SHELLFONT;

constexpr int kRadio = 4001;
constexpr int kCell = 4002;
constexpr int kSize = 4003;
constexpr int kPlain = 4004;
constexpr int kGo = 4005;
constexpr int kDraw = 4006;
constexpr int kProgress = 4007;
constexpr int kAutoCheck = 4008;

const DialogControl kControls[] = {
    {IDOK, ControlKind::Button, "OK", 150, 80, 50, 14, kChild | BS_DEFPUSHBUTTON | WS_TABSTOP, 0,
     0},
    {kGo, ControlKind::Button, "&Go!", 150, 7, 50, 14, kChild | BS_PUSHBUTTON | WS_TABSTOP, 0, 0},
    {kSize, ControlKind::Edit, "", 7, 7, 60, 14, kChild | WS_BORDER | ES_AUTOHSCROLL | WS_TABSTOP,
     0, 0},
    {kPlain, ControlKind::Edit, "", 7, 25, 60, 14, kChild | WS_BORDER | ES_AUTOHSCROLL | WS_TABSTOP,
     0, 0},
    {kRadio, ControlKind::Button, "Pixels", 7, 45, 50, 10, kChild | BS_RADIOBUTTON, 0, 0},
    {kCell, ControlKind::Button, "", 70, 45, 16, 16,
     kChild | BS_RADIOBUTTON | BS_PUSHLIKE | BS_ICON, 0, 9137},
    {kAutoCheck, ControlKind::Button, "Auto", 90, 45, 40, 10, kChild | BS_AUTOCHECKBOX, 0, 0},
    {kDraw, ControlKind::Static, "", 7, 65, 40, 30, kChild | SS_OWNERDRAW, 0, 0},
    {kProgress, ControlKind::ProgressBar, nullptr, 60, 65, 80, 10, kChild | WS_BORDER, 0, 0},
};

const DialogTemplate kTemplate = {9101,
                                  "Controls",
                                  0,
                                  0,
                                  210,
                                  100,
                                  kDialogStyle,
                                  0,
                                  "MS Shell Dlg",
                                  8,
                                  kControls,
                                  static_cast<int>(std::size(kControls))};

// Keeps the digits of the text and appends " px", rewriting the edit when that differs, the way
// the options dialog normalises its size fields. Records every run with its nesting depth.
class ControlDialog : public CDialog {
  public:
    ControlDialog() : CDialog(9101) {}

    void OnSizeChange() {
        ++depth;
        std::string text;
        GetDlgItemText(kSize, text);
        sizeRuns.push_back(std::to_string(depth) + ":" + text);
        std::string digits;
        for (char c : text)
            if (c >= '0' && c <= '9')
                digits += c;
        const std::string normal = (digits.empty() ? "1" : digits) + " px";
        if (normal != text)
            SetDlgItemText(kSize, normal.c_str());
        --depth;
    }
    void OnPlainUpdate() { plainLog += "U"; }
    void OnPlainChange() {
        std::string text;
        GetDlgItemText(kPlain, text);
        plainLog += "C(" + text + ")";
    }
    void OnPlainKillFocus() { plainLog += "K"; }
    void OnRadio() { radioClicks.push_back(IsDlgButtonChecked(kRadio)); }
    void OnCell() { cellClicks.push_back(IsDlgButtonChecked(kCell)); }
    void OnGo() { ++goClicks; }
    void OnDrawItem(int id, LPDRAWITEMSTRUCT dis) {
        ++drawCount;
        drawId = id;
        drawRect = dis->rcItem;
        auto* painter = reinterpret_cast<QPainter*>(dis->hDC);
        painter->fillRect(QRect(dis->rcItem.left, dis->rcItem.top,
                                dis->rcItem.right - dis->rcItem.left,
                                dis->rcItem.bottom - dis->rcItem.top),
                          QColor(255, 0, 0));
    }
    void OnDropFiles(HDROP drop) {
        const UINT count = DragQueryFile(drop, 0xFFFFFFFF, nullptr, 0);
        for (UINT i = 0; i < count; ++i) {
            char path[4096];
            DragQueryFile(drop, i, path, sizeof path);
            dropped.emplace_back(path);
        }
        char shortBuffer[5];
        shortCopy = DragQueryFile(drop, 0, shortBuffer, sizeof shortBuffer);
        shortText = shortBuffer;
        DragFinish(drop);
    }

    int depth = 0;
    std::vector<std::string> sizeRuns;
    std::string plainLog;
    std::vector<UINT> radioClicks;
    std::vector<UINT> cellClicks;
    int goClicks = 0;
    int drawCount = 0;
    int drawId = 0;
    RECT drawRect{};
    std::vector<std::string> dropped;
    UINT shortCopy = 0;
    std::string shortText;
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ControlDialog, CDialog)
ON_EN_CHANGE(kSize, &ControlDialog::OnSizeChange)
ON_EN_UPDATE(kPlain, &ControlDialog::OnPlainUpdate)
ON_EN_CHANGE(kPlain, &ControlDialog::OnPlainChange)
ON_EN_KILLFOCUS(kPlain, &ControlDialog::OnPlainKillFocus)
ON_BN_CLICKED(kRadio, &ControlDialog::OnRadio)
ON_BN_CLICKED(kCell, &ControlDialog::OnCell)
ON_BN_CLICKED(kGo, &ControlDialog::OnGo)
ON_WM_DRAWITEM()
ON_WM_DROPFILES()
END_MESSAGE_MAP()

} // namespace

TEST(DialogEdit, ChangeIsReportedNestedWhenTheHandlerRewritesTheText) {
    ScopedTemplate scoped(kTemplate);
    ControlDialog dialog;
    std::vector<std::string> afterSet, afterTyping, afterSameText;
    std::string finalText;
    RunModal(dialog, [&](QWidget* window) {
        dialog.SetDlgItemText(kSize, "12");
        afterSet = dialog.sizeRuns;
        dialog.sizeRuns.clear();
        dialog.GetDlgItem(kSize)->SetFocus();
        static_cast<CEdit*>(dialog.GetDlgItem(kSize))->SetSel(2, 2); // after "12"
        TypeText(window, QStringLiteral("3"));
        afterTyping = dialog.sizeRuns;
        dialog.sizeRuns.clear();
        dialog.SetDlgItemText(kSize, "123 px");
        afterSameText = dialog.sizeRuns;
        dialog.GetDlgItemText(kSize, finalText);
        PressKey(window, Qt::Key_Escape);
    });
    EXPECT_EQ(afterSet, (std::vector<std::string>{"1:12", "2:12 px"}));
    // One key, one report: "123 px" is already normal, so the handler does not run again.
    EXPECT_EQ(afterTyping, (std::vector<std::string>{"1:123 px"}));
    // Setting the same text again is still reported, as WM_SETTEXT does.
    EXPECT_EQ(afterSameText, (std::vector<std::string>{"1:123 px"}));
    EXPECT_EQ(finalText, "123 px");
}

TEST(DialogEdit, TypingReportsUpdateThenChangeOncePerKeyAndFocusLoss) {
    ScopedTemplate scoped(kTemplate);
    ControlDialog dialog;
    std::string log;
    RunModal(dialog, [&](QWidget* window) {
        dialog.GetDlgItem(kPlain)->SetFocus();
        dialog.plainLog.clear();
        TypeText(window, QStringLiteral("ab"));
        PressKey(window, Qt::Key_Backspace);
        static_cast<CEdit*>(dialog.GetDlgItem(kPlain))->ReplaceSel("Z");
        dialog.GetDlgItem(kSize)->SetFocus();
        log = dialog.plainLog;
        PressKey(window, Qt::Key_Escape);
    });
    EXPECT_EQ(log, "UC(a)UC(ab)UC(a)UC(aZ)K");
}

TEST(DialogEdit, SelectionFollowsWindowsRules) {
    ScopedTemplate scoped(kTemplate);
    ControlDialog dialog;
    struct Case {
        int start, end, wantStart, wantEnd;
    };
    std::vector<std::pair<int, int>> got;
    const std::vector<Case> cases = {{1, 3, 1, 3},  {3, 1, 1, 3}, {0, -1, 0, 6},
                                     {2, 99, 2, 6}, {4, 4, 4, 4}, {-1, 0, 4, 4}};
    RunModal(dialog, [&](QWidget* window) {
        auto* edit = static_cast<CEdit*>(dialog.GetDlgItem(kPlain));
        edit->SetWindowText("abcdef");
        for (const Case& c : cases) {
            edit->SetSel(c.start, c.end);
            int s = -5, e = -5;
            edit->GetSel(s, e);
            got.emplace_back(s, e);
        }
        PressKey(window, Qt::Key_Escape);
    });
    ASSERT_EQ(got.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(got[i].first, cases[i].wantStart) << i;
        EXPECT_EQ(got[i].second, cases[i].wantEnd) << i;
    }
}

TEST(DialogButtons, NonAutomaticRadioReportsClicksButKeepsItsState) {
    ScopedTemplate scoped(kTemplate);
    ControlDialog dialog;
    UINT autoAfterClick = 0;
    RunModal(dialog, [&](QWidget* window) {
        QWidget* radio = dialog.GetDlgItem(kRadio)->GetWidget();
        QWidget* cell = dialog.GetDlgItem(kCell)->GetWidget();
        Click(radio); // unchecked, stays unchecked
        dialog.CheckDlgButton(kRadio, BST_CHECKED);
        Click(radio); // checked, stays checked
        Click(cell);
        static_cast<CButton*>(dialog.GetDlgItem(kCell))->SetCheck(BST_CHECKED);
        Click(cell);
        Click(dialog.GetDlgItem(kAutoCheck)->GetWidget());
        autoAfterClick = dialog.IsDlgButtonChecked(kAutoCheck);
        PressKey(window, Qt::Key_Escape);
    });
    EXPECT_EQ(dialog.radioClicks, (std::vector<UINT>{BST_UNCHECKED, BST_CHECKED}));
    EXPECT_EQ(dialog.cellClicks, (std::vector<UINT>{BST_UNCHECKED, BST_CHECKED}));
    EXPECT_EQ(autoAfterClick, static_cast<UINT>(BST_CHECKED)); // automatic ones still toggle
}

TEST(DialogButtons, PushLikeCellShowsTheIconTheProgramGives) {
    ScopedTemplate scoped(kTemplate);
    ControlDialog dialog;
    bool checkable = false;
    QSize iconSize;
    HICON previous = reinterpret_cast<HICON>(1);
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::black);
    HICON icon = CreateIconFromPixmap(pixmap);
    RunModal(dialog, [&](QWidget* window) {
        auto* button = static_cast<CButton*>(dialog.GetDlgItem(kCell));
        previous = button->SetIcon(icon);
        auto* push = qobject_cast<QPushButton*>(button->GetWidget());
        checkable = push != nullptr && push->isCheckable();
        iconSize = push != nullptr && !push->icon().isNull() ? push->iconSize() : QSize();
        EXPECT_EQ(button->GetIcon(), icon);
        PressKey(window, Qt::Key_Escape);
    });
    DestroyIcon(icon);
    EXPECT_EQ(previous, nullptr); // resource 9137 does not exist in the tests
    EXPECT_TRUE(checkable);
    EXPECT_FALSE(iconSize.isEmpty());
}

TEST(DialogButtons, IconKeepsItsSizeOrShrinksInsideTheButtonMargin) {
    const struct {
        QSize drawn;  // the only size the icon has
        QSize button; // 3 pixels stay free on each side of the smaller dimension
        QSize shown;
    } cases[] = {
        {{32, 32}, {60, 60}, {32, 32}}, {{32, 32}, {38, 38}, {32, 32}},
        {{32, 32}, {30, 40}, {24, 24}}, {{32, 32}, {40, 30}, {24, 24}},
        {{64, 64}, {90, 90}, {32, 32}}, {{16, 16}, {20, 20}, {14, 14}},
        {{32, 16}, {20, 20}, {14, 7}},  {{32, 32}, {4, 4}, {1, 1}},
    };
    for (const auto& c : cases) {
        QPixmap pixmap(c.drawn);
        pixmap.fill(Qt::black);
        EXPECT_EQ(ButtonIconSize(QIcon(pixmap), c.button), c.shown)
            << c.drawn.width() << "x" << c.drawn.height() << " on " << c.button.width() << "x"
            << c.button.height();
    }
}

TEST(DialogButtons, MnemonicAltGPressesTheButton) {
    ScopedTemplate scoped(kTemplate);
    ControlDialog dialog;
    QString shown;
    bool pressed = false;
    RunModal(dialog, [&](QWidget* window) {
        auto* go = qobject_cast<QPushButton*>(dialog.GetDlgItem(kGo)->GetWidget());
        shown = go->text();
        dialog.GetDlgItem(kPlain)->SetFocus();
        PressKey(window, Qt::Key_G, Qt::AltModifier, QStringLiteral("g"));
        pressed = WaitFor([&] { return dialog.goClicks == 1; });
        PressKey(window, Qt::Key_Escape);
    });
    EXPECT_EQ(shown, QStringLiteral("&Go!"));
    EXPECT_TRUE(pressed);
    EXPECT_EQ(dialog.goClicks, 1);
}

TEST(DialogStatic, OwnerDrawnStaticPaintsThroughTheOwner) {
    ScopedTemplate scoped(kTemplate);
    ControlDialog dialog;
    QImage image;
    QSize size;
    RunModal(dialog, [&](QWidget* window) {
        QWidget* box = dialog.GetDlgItem(kDraw)->GetWidget();
        size = box->size();
        dialog.drawCount = 0;
        box->repaint();
        image = box->grab().toImage();
        PressKey(window, Qt::Key_Escape);
    });
    EXPECT_GE(dialog.drawCount, 1);
    EXPECT_EQ(dialog.drawId, kDraw);
    EXPECT_EQ(dialog.drawRect.left, 0);
    EXPECT_EQ(dialog.drawRect.top, 0);
    EXPECT_EQ(dialog.drawRect.right, size.width());
    EXPECT_EQ(dialog.drawRect.bottom, size.height());
    ASSERT_FALSE(image.isNull());
    // The owner filled the box red: the centre and a corner, exactly.
    const QColor centre = image.pixelColor(image.width() / 2, image.height() / 2);
    const QColor corner = image.pixelColor(0, image.height() - 1);
    EXPECT_EQ(centre, QColor(255, 0, 0));
    EXPECT_EQ(corner, QColor(255, 0, 0));
}

TEST(DialogDrop, LocalFilesArriveAsCountAndPaths) {
    ScopedTemplate scoped(kTemplate);
    ControlDialog dialog;
    bool accepted = false;
    RunModal(dialog, [&](QWidget* window) {
        dialog.DragAcceptFiles(TRUE);
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/a b/photo.jpg")),
                      QUrl(QStringLiteral("https://example.org/x.png")),
                      QUrl::fromLocalFile(QStringLiteral("/tmp/folder"))});
        // Over a child control: the drag goes up to the dialog, which accepts files.
        QWidget* over = dialog.GetDlgItem(kPlain)->GetWidget();
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(over, &enter);
        accepted = enter.isAccepted();
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(over, &drop);
        PressKey(window, Qt::Key_Escape);
    });
    EXPECT_TRUE(accepted);
    EXPECT_EQ(dialog.dropped, (std::vector<std::string>{"/tmp/a b/photo.jpg", "/tmp/folder"}));
    EXPECT_EQ(dialog.shortCopy, 4u); // a 5-byte buffer takes 4 bytes and the NUL
    EXPECT_EQ(dialog.shortText, "/tmp");
}

TEST(DialogProgress, EmptyRangeShowsAnEmptyBarAndPositionsAreClamped) {
    ScopedTemplate scoped(kTemplate);
    ControlDialog dialog;
    int busyMin = -1, busyMax = -1, lo = -1, hi = -1, clamped = -1, previous = -1;
    RunModal(dialog, [&](QWidget* window) {
        auto* progress = static_cast<CProgressCtrl*>(dialog.GetDlgItem(kProgress));
        progress->SetRange32(0, 0);
        auto* bar = qobject_cast<QProgressBar*>(progress->GetWidget());
        busyMin = bar->minimum();
        busyMax = bar->maximum();
        progress->GetRange(lo, hi);
        progress->SetRange32(0, 3);
        progress->SetPos(2);
        previous = progress->SetPos(7);
        clamped = progress->GetPos();
        PressKey(window, Qt::Key_Escape);
    });
    EXPECT_NE(busyMin, busyMax); // Qt shows a busy indicator when they are equal
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(hi, 0);
    EXPECT_EQ(previous, 2);
    EXPECT_EQ(clamped, 3);
}

TEST(DialogMessageBox, ShowsCaptionTextIconAndReturnsIdOk) {
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr)
            return;
        poll.stop();
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        Click(box->button(QMessageBox::Ok));
    });
    poll.start();
    const int result =
        MessageBox(nullptr, "No overlay image selected", "Error", MB_OK | MB_ICONWARNING);
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(title, QStringLiteral("Error"));
    EXPECT_EQ(text, QStringLiteral("No overlay image selected"));
    EXPECT_EQ(icon, QMessageBox::Warning);
}
