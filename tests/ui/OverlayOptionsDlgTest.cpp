// The options dialog run modally on the offscreen platform and driven with real key and mouse
// events: what it shows for a job, how its fields normalise what is typed, and what "OK" and
// "Cancel" leave in the job.

#include "OverlayOptionsTestSupport.h"

#include "app/framework/ControlWidgets.h"
#include "engine/BatchJob.h"
#include "engine/TextHelpers.h"
#include "res/Resource.h"
#include "ui/OverlayOptionsDlg.h"

#include <QAccessible>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>

#include <QEventLoop>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

using namespace overlay_options_test;

namespace {

QLineEdit* Edit(COverlayOptionsDlg& dialog, int id) {
    CWnd* item = dialog.GetDlgItem(id);
    return item != nullptr ? qobject_cast<QLineEdit*>(item->GetWidget()) : nullptr;
}

QAbstractButton* Button(COverlayOptionsDlg& dialog, int id) {
    CWnd* item = dialog.GetDlgItem(id);
    return item != nullptr ? qobject_cast<QAbstractButton*>(item->GetWidget()) : nullptr;
}

QComboBox* FormatList(COverlayOptionsDlg& dialog) {
    return qobject_cast<QComboBox*>(dialog.GetDlgItem(IDC_OUTPUT_FORMAT)->GetWidget());
}

std::string Text(COverlayOptionsDlg& dialog, int id) {
    return Edit(dialog, id)->text().toStdString();
}

// The pressed anchor cells, by anchor value.
std::vector<int> PressedAnchors(COverlayOptionsDlg& dialog) {
    std::vector<int> pressed;
    for (int k = 1; k <= 9; ++k)
        if (dialog.IsDlgButtonChecked(IDC_ANCHOR_FIRST - 1 + k) == BST_CHECKED)
            pressed.push_back(k);
    return pressed;
}

// Puts the keyboard focus into a field with the caret or selection where a user would put it
// with the mouse.
void FocusField(COverlayOptionsDlg& dialog, int id, int start, int end) {
    QLineEdit* edit = Edit(dialog, id);
    edit->setFocus(Qt::MouseFocusReason);
    static_cast<CEdit*>(dialog.GetDlgItem(id))->SetSel(start, end);
}

void Paste(QWidget* window, const QString& text) {
    QGuiApplication::clipboard()->setText(text);
    PressKey(window, Qt::Key_V, Qt::ControlModifier);
}

void SetJobTemplate(CBatchJob& job, const char* text) {
    CopyText(job.szNameTemplate, text);
}

// What the dialog shows right after it opened.
struct Shown {
    UINT pixels = 0;
    UINT percent = 0;
    std::string x, y;
    std::vector<int> anchors;
    std::string format;
    int formatIndex = -2;
    std::string nameTemplate;
    bool okHasFocus = false;
};

Shown ReadShown(COverlayOptionsDlg& dialog) {
    Shown s;
    s.pixels = dialog.IsDlgButtonChecked(IDC_MODE_PIXELS);
    s.percent = dialog.IsDlgButtonChecked(IDC_MODE_PERCENT);
    s.x = Text(dialog, IDC_SIZE_X);
    s.y = Text(dialog, IDC_SIZE_Y);
    s.anchors = PressedAnchors(dialog);
    s.formatIndex = FormatList(dialog)->currentIndex();
    s.format = FormatList(dialog)->currentText().toStdString();
    s.nameTemplate = Text(dialog, IDC_NAME_TEMPLATE);
    s.okHasFocus = QApplication::focusWidget() == Button(dialog, IDOK);
    return s;
}

struct OpenCase {
    const char* name;
    std::function<void(CBatchJob&)> prepare;
    bool pixels, percent;
    const char* x;
    const char* y;
    std::vector<int> anchors;
    const char* format; // "" for no selected entry
    const char* nameTemplate;
};
void PrintTo(const OpenCase& c, std::ostream* os) {
    *os << c.name;
}

class OverlayOptionsOpenTest : public ::testing::TestWithParam<OpenCase> {};

TEST_P(OverlayOptionsOpenTest, ShowsTheJob) {
    const OpenCase& c = GetParam();
    CBatchJob job;
    c.prepare(job);
    COverlayOptionsDlg dialog(&job);
    Shown shown;
    const INT_PTR result = RunModal(dialog, [&](QWidget* window) {
        WaitFor([] { return QApplication::focusWidget() != nullptr; });
        shown = ReadShown(dialog);
        PressKey(window, Qt::Key_Escape);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(shown.pixels, c.pixels ? 1u : 0u);
    EXPECT_EQ(shown.percent, c.percent ? 1u : 0u);
    EXPECT_EQ(shown.x, c.x);
    EXPECT_EQ(shown.y, c.y);
    EXPECT_EQ(shown.anchors, c.anchors);
    EXPECT_EQ(shown.format, c.format);
    if (std::string(c.format).empty()) {
        EXPECT_EQ(shown.formatIndex, -1);
    }
    EXPECT_EQ(shown.nameTemplate, c.nameTemplate);
    EXPECT_TRUE(shown.okHasFocus);
}

INSTANTIATE_TEST_SUITE_P(
    Jobs, OverlayOptionsOpenTest,
    ::testing::Values(
        OpenCase{
            "Defaults", [](CBatchJob&) {}, false, true, "100%", "100%", {9}, "TIFF File", "###"},
        OpenCase{"OverlayInPixels",
                 [](CBatchJob& j) {
                     j.SetSizeMode(SizeModePixels);
                     j.nSizeX = 200;
                     j.nSizeY = 150;
                 },
                 true,
                 false,
                 "200 px",
                 "150 px",
                 {9},
                 "TIFF File",
                 "###"},
        OpenCase{"ZeroSizeShowsOne",
                 [](CBatchJob& j) {
                     j.SetSizeMode(SizeModePixels);
                     j.nSizeX = 0;
                     j.nSizeY = 7;
                 },
                 true,
                 false,
                 "1 px",
                 "7 px",
                 {9},
                 "TIFF File",
                 "###"},
        OpenCase{"TopLeftPng",
                 [](CBatchJob& j) {
                     j.SetOverlayAnchor(1);
                     CopyText(j.szOutputFormat, "image/png");
                 },
                 false,
                 true,
                 "100%",
                 "100%",
                 {1},
                 "PNG File",
                 "###"},
        OpenCase{"NeitherModeNorAnchor",
                 [](CBatchJob& j) { j.SetFlags(MakeJobFlags(0, 0)); },
                 false,
                 false,
                 "",
                 "",
                 {},
                 "TIFF File",
                 "###"},
        OpenCase{"AnchorBeyondNine",
                 [](CBatchJob& j) { j.SetOverlayAnchor(12); },
                 false,
                 true,
                 "100%",
                 "100%",
                 {},
                 "TIFF File",
                 "###"},
        OpenCase{"FormatOnlyByExactCase",
                 [](CBatchJob& j) { CopyText(j.szOutputFormat, "image/TIFF"); },
                 false,
                 true,
                 "100%",
                 "100%",
                 {9},
                 "",
                 "###"},
        OpenCase{"TemplateFilteredBeforeShown",
                 [](CBatchJob& j) { SetJobTemplate(j, "a-b##c#"); },
                 false,
                 true,
                 "100%",
                 "100%",
                 {9},
                 "TIFF File",
                 "ab##c"}),
    [](const ::testing::TestParamInfo<OpenCase>& info) { return std::string(info.param.name); });

TEST(OverlayOptionsDlg, FormatListNamesEveryEncoderWithItsType) {
    CBatchJob job;
    COverlayOptionsDlg dialog(&job);
    std::vector<std::string> entries;
    std::vector<std::string> types;
    RunModal(dialog, [&](QWidget* window) {
        auto* list = static_cast<CComboBox*>(dialog.GetDlgItem(IDC_OUTPUT_FORMAT));
        for (int i = 0; i < list->GetCount(); ++i) {
            std::string text;
            list->GetLBText(i, text);
            entries.push_back(text);
            const auto* mime = static_cast<const WCHAR*>(list->GetItemDataPtr(i));
            types.push_back(mime != nullptr ? FromWideText(mime).value_or("?") : "null");
        }
        PressKey(window, Qt::Key_Escape);
    });
    ASSERT_EQ(entries.size(), dialog.GetEncoderCount());
    ASSERT_GE(entries.size(), 4u);
    const std::vector<std::string> first{"BMP File", "JPEG File", "TIFF File", "PNG File"};
    const std::vector<std::string> firstTypes{"image/bmp", "image/jpeg", "image/tiff", "image/png"};
    EXPECT_EQ(std::vector<std::string>(entries.begin(), entries.begin() + 4), first);
    EXPECT_EQ(std::vector<std::string>(types.begin(), types.begin() + 4), firstTypes);
}

// Mode switches show the other pair of texts; nothing is converted between the units.
TEST(OverlayOptionsDlg, SwitchingModesShowsTheOtherPairAsLeft) {
    CBatchJob job;
    job.SetSizeMode(SizeModePixels);
    job.nSizeX = 200;
    job.nSizeY = 150;
    COverlayOptionsDlg dialog(&job);
    std::vector<std::string> seen;
    auto record = [&] {
        seen.push_back(Text(dialog, IDC_SIZE_X) + "|" + Text(dialog, IDC_SIZE_Y) + "|" +
                       std::to_string(dialog.IsDlgButtonChecked(IDC_MODE_PIXELS)) +
                       std::to_string(dialog.IsDlgButtonChecked(IDC_MODE_PERCENT)));
    };
    const INT_PTR result = RunModal(dialog, [&](QWidget* window) {
        Click(Button(dialog, IDC_MODE_PERCENT));
        record();
        FocusField(dialog, IDC_SIZE_X, 0, 2); // "10" of "10%"
        TypeText(window, QStringLiteral("55"));
        Click(Button(dialog, IDC_MODE_PERCENT)); // already selected: nothing happens
        record();
        Click(Button(dialog, IDC_MODE_PIXELS));
        record();
        Click(Button(dialog, IDC_MODE_PERCENT));
        record();
        Click(Button(dialog, IDOK));
    });
    EXPECT_EQ(seen, (std::vector<std::string>{"10%|10%|01", "55%|10%|01", "200 px|150 px|10",
                                              "55%|10%|01"}));
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(job.GetSizeMode(), SizeModePercent);
    EXPECT_EQ(job.nSizeX, 55);
    EXPECT_EQ(job.nSizeY, 10);
}

TEST(OverlayOptionsDlg, DefaultsSwitchedToPixelsShowOnePixel) {
    CBatchJob job;
    COverlayOptionsDlg dialog(&job);
    std::string x, y;
    RunModal(dialog, [&](QWidget*) {
        Click(Button(dialog, IDC_MODE_PIXELS));
        x = Text(dialog, IDC_SIZE_X);
        y = Text(dialog, IDC_SIZE_Y);
        Click(Button(dialog, IDOK));
    });
    EXPECT_EQ(x, "1 px");
    EXPECT_EQ(y, "1 px");
    EXPECT_EQ(job.GetSizeMode(), SizeModePixels);
    EXPECT_EQ(job.nSizeX, 1);
}

// Typing into a size field: the text after the keys, the caret, and what OK stores.
struct SizeTypingCase {
    const char* name;
    DWORD mode;
    int field;
    int selStart, selEnd;      // where the user puts the caret or selection first
    std::vector<QString> keys; // one string per key; "<del>" and "<bs>" are the editing keys
    const char* text;
    int caret;
    int stored;
};
void PrintTo(const SizeTypingCase& c, std::ostream* os) {
    *os << c.name;
}

class OverlayOptionsSizeTypingTest : public ::testing::TestWithParam<SizeTypingCase> {};

TEST_P(OverlayOptionsSizeTypingTest, NormalisesAsTyped) {
    const SizeTypingCase& c = GetParam();
    CBatchJob job;
    job.SetSizeMode(c.mode);
    job.nSizeX = 200;
    job.nSizeY = 100;
    COverlayOptionsDlg dialog(&job);
    std::string text;
    int caret = -1;
    const INT_PTR result = RunModal(dialog, [&](QWidget* window) {
        FocusField(dialog, c.field, c.selStart, c.selEnd);
        for (const QString& key : c.keys) {
            if (key == QLatin1String("<del>"))
                PressKey(window, Qt::Key_Delete);
            else if (key == QLatin1String("<bs>"))
                PressKey(window, Qt::Key_Backspace);
            else
                TypeText(window, key);
        }
        text = Text(dialog, c.field);
        caret = Edit(dialog, c.field)->cursorPosition();
        PressKey(window, Qt::Key_Return); // Enter in the field gives OK
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(text, c.text);
    EXPECT_EQ(caret, c.caret);
    EXPECT_EQ(c.field == IDC_SIZE_X ? job.nSizeX : job.nSizeY, c.stored);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, OverlayOptionsSizeTypingTest,
    ::testing::Values(
        // A letter leaves the text; the caret keeps the place it had after the key.
        SizeTypingCase{"LetterInPercent", SizeModePercent, IDC_SIZE_X, 1, 1, {"a"}, "200%", 2, 200},
        SizeTypingCase{
            "LetterAtEndOfPixels", SizeModePixels, IDC_SIZE_Y, 6, 6, {"x"}, "100 px", 6, 100},
        SizeTypingCase{
            "DigitJoinsAfterUnit", SizeModePixels, IDC_SIZE_X, 6, 6, {"3"}, "2003 px", 7, 2003},
        SizeTypingCase{
            "DigitInTheMiddle", SizeModePixels, IDC_SIZE_X, 1, 1, {"5"}, "2500 px", 2, 2500},
        SizeTypingCase{
            "DeleteEverything", SizeModePixels, IDC_SIZE_X, 0, 6, {"<del>"}, "1 px", 0, 1},
        SizeTypingCase{
            "DeleteEverythingPercent", SizeModePercent, IDC_SIZE_Y, 0, 4, {"<bs>"}, "1%", 0, 1},
        SizeTypingCase{"ZeroAlone", SizeModePixels, IDC_SIZE_X, 0, 6, {"0"}, "1 px", 1, 1},
        SizeTypingCase{"DecimalPercentStoresInteger",
                       SizeModePercent,
                       IDC_SIZE_X,
                       0,
                       4,
                       {"1", "2", ".", "5"},
                       "12.5%",
                       4,
                       12},
        SizeTypingCase{"SecondPointRemoved",
                       SizeModePercent,
                       IDC_SIZE_X,
                       0,
                       4,
                       {"1", ".", "5", "."},
                       "1.5%",
                       4,
                       1},
        SizeTypingCase{
            "PointRemovedInPixels", SizeModePixels, IDC_SIZE_X, 3, 3, {"."}, "200 px", 4, 200},
        SizeTypingCase{"UnitCannotBeDeleted",
                       SizeModePixels,
                       IDC_SIZE_X,
                       6,
                       6,
                       {"<bs>", "<bs>"},
                       "200 px",
                       4,
                       200}),
    [](const ::testing::TestParamInfo<SizeTypingCase>& info) {
        return std::string(info.param.name);
    });

// Typing or pasting into the template field, then leaving it with Tab.
struct TemplateTypingCase {
    const char* name;
    const char* initial;
    int selStart, selEnd;
    QString typed;
    bool paste;
    const char* text; // before the field loses the focus
    int caret;
    const char* afterTab;
};
void PrintTo(const TemplateTypingCase& c, std::ostream* os) {
    *os << c.name;
}

class OverlayOptionsTemplateTest : public ::testing::TestWithParam<TemplateTypingCase> {};

TEST_P(OverlayOptionsTemplateTest, FiltersAsTypedAndCompletesOnFocusLoss) {
    const TemplateTypingCase& c = GetParam();
    CBatchJob job;
    SetJobTemplate(job, c.initial);
    COverlayOptionsDlg dialog(&job);
    std::string text, afterTab;
    int caret = -1;
    bool focusLeft = false;
    const INT_PTR result = RunModal(dialog, [&](QWidget* window) {
        FocusField(dialog, IDC_NAME_TEMPLATE, c.selStart, c.selEnd);
        if (c.typed == QLatin1String("<del>"))
            PressKey(window, Qt::Key_Delete);
        else if (c.paste)
            Paste(window, c.typed);
        else
            TypeText(window, c.typed);
        text = Text(dialog, IDC_NAME_TEMPLATE);
        caret = Edit(dialog, IDC_NAME_TEMPLATE)->cursorPosition();
        PressKey(window, Qt::Key_Tab);
        focusLeft = QApplication::focusWidget() == Button(dialog, IDOK);
        afterTab = Text(dialog, IDC_NAME_TEMPLATE);
        PressKey(window, Qt::Key_Escape);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(text, c.text);
    EXPECT_EQ(caret, c.caret);
    EXPECT_TRUE(focusLeft);
    EXPECT_EQ(afterTab, c.afterTab);
    EXPECT_STREQ(job.szNameTemplate, c.initial); // Cancel wrote nothing
}

INSTANTIATE_TEST_SUITE_P(
    Keys, OverlayOptionsTemplateTest,
    ::testing::Values(
        TemplateTypingCase{"PasteSettles", "", 0, 0, "#a##", true, "#a", 2, "#a"},
        TemplateTypingCase{"TypedSecondRunDropped", "", 0, 0, "img##x#", false, "img##x", 6,
                           "img##x"},
        // A removed character moves the caret back: it stays where it was before the key.
        TemplateTypingCase{"ForbiddenCharacter", "abc##", 1, 1, "-", false, "abc##", 1, "abc##"},
        TemplateTypingCase{"NoMarkGainsOneOnFocusLoss", "###", 0, 3, "name", false, "name", 4,
                           "name#"},
        TemplateTypingCase{"BlanksTrimmedOnFocusLoss", "###", 0, 3, "  name  ", false, "  name  ",
                           8, "name#"},
        TemplateTypingCase{"EmptiedGetsAMark", "###", 0, 3, "<del>", false, "", 0, "#"},
        // Enough '#' for thousands of filter passes: settled at once, no deep nesting.
        TemplateTypingCase{"HugePasteOfMarks", "", 0, 0,
                           QStringLiteral("#a") + QString(20000, QLatin1Char('#')), true, "#a", 2,
                           "#a"}),
    [](const ::testing::TestParamInfo<TemplateTypingCase>& info) {
        return std::string(info.param.name);
    });

TEST(OverlayOptionsDlg, AnchorCellsKeepExactlyOnePressed) {
    CBatchJob job;
    COverlayOptionsDlg dialog(&job);
    std::vector<std::vector<int>> seen;
    RunModal(dialog, [&](QWidget* window) {
        Click(Button(dialog, IDC_ANCHOR_LAST)); // the pressed one: stays pressed
        seen.push_back(PressedAnchors(dialog));
        Click(Button(dialog, IDC_ANCHOR_FIRST + 4)); // centre
        seen.push_back(PressedAnchors(dialog));
        Click(Button(dialog, IDC_ANCHOR_FIRST + 4));
        seen.push_back(PressedAnchors(dialog));
        Click(Button(dialog, IDC_ANCHOR_FIRST)); // top left
        seen.push_back(PressedAnchors(dialog));
        for (const auto& [k, action] : {std::pair{1, QAccessibleActionInterface::toggleAction()},
                                        {3, QAccessibleActionInterface::toggleAction()},
                                        {7, QAccessibleActionInterface::pressAction()}}) {
            QAbstractButton* cell = Button(dialog, IDC_ANCHOR_FIRST - 1 + k);
            QAccessible::queryAccessibleInterface(cell)->actionInterface()->doAction(action);
            seen.push_back(PressedAnchors(dialog));
            cell->setFocus();
        }
        for (int key : {Qt::Key_Right, Qt::Key_Right, Qt::Key_Right, Qt::Key_Up, Qt::Key_Space}) {
            PressKey(window, key);
            seen.push_back(PressedAnchors(dialog));
        }
        Click(Button(dialog, IDOK));
    });
    EXPECT_EQ(seen, (std::vector<std::vector<int>>{
                        {9}, {5}, {5}, {1}, {1}, {3}, {7}, {8}, {9}, {7}, {4}, {4}}));
    EXPECT_EQ(job.GetOverlayAnchor(), 4u);
}

// The arrows walk the anchor grid by row and column, round at its edges: a keyboard user puts
// the overlay where the cell they see says.
struct ArrowCase {
    int from, key, to; // anchors 1 to 9, in rows from the top left
};
class AnchorArrows : public ::testing::TestWithParam<ArrowCase> {};

TEST_P(AnchorArrows, MoveByRowAndColumn) {
    const ArrowCase& c = GetParam();
    CBatchJob job;
    COverlayOptionsDlg dialog(&job);
    bool focusFollows = false;
    RunModal(dialog, [&](QWidget* window) {
        Click(Button(dialog, IDC_ANCHOR_FIRST - 1 + c.from));
        Button(dialog, IDC_ANCHOR_FIRST - 1 + c.from)->setFocus();
        PressKey(window, c.key);
        focusFollows = QApplication::focusWidget() == Button(dialog, IDC_ANCHOR_FIRST - 1 + c.to);
        EXPECT_EQ(PressedAnchors(dialog), std::vector<int>{c.to});
        Click(Button(dialog, IDOK));
    });
    EXPECT_TRUE(focusFollows);
    EXPECT_EQ(job.GetOverlayAnchor(), static_cast<DWORD>(c.to));
}

INSTANTIATE_TEST_SUITE_P(
    OverlayOptionsDlg, AnchorArrows,
    ::testing::Values(ArrowCase{9, Qt::Key_Up, 6}, ArrowCase{9, Qt::Key_Left, 8},
                      ArrowCase{5, Qt::Key_Down, 8}, ArrowCase{5, Qt::Key_Right, 6},
                      ArrowCase{1, Qt::Key_Up, 7}, ArrowCase{3, Qt::Key_Right, 1}));

// Alt and a labelled control's underlined letter reach it: a radio button is chosen, a field
// named by the label to its left takes the focus.
TEST(OverlayOptionsDlg, MnemonicsReachTheLabelledControls) {
    CBatchJob job;
    COverlayOptionsDlg dialog(&job);
    std::vector<std::pair<int, bool>> seen; // the focused control, Percent chosen
    RunModal(dialog, [&](QWidget* window) {
        for (int key : {Qt::Key_E, Qt::Key_X, Qt::Key_P, Qt::Key_Y, Qt::Key_T, Qt::Key_F}) {
            PressKey(window, key, Qt::AltModifier);
            QEventLoop pause; // a mnemonic clicks a button as a short animation
            QTimer::singleShot(250, &pause, &QEventLoop::quit);
            pause.exec();
            const QWidget* focus = QApplication::focusWidget();
            int id = 0;
            for (int candidate : {IDC_MODE_PIXELS, IDC_MODE_PERCENT, IDC_SIZE_X, IDC_SIZE_Y,
                                  IDC_NAME_TEMPLATE, IDC_OUTPUT_FORMAT})
                if (dialog.GetDlgItem(candidate)->GetWidget() == focus)
                    id = candidate;
            seen.emplace_back(id, Button(dialog, IDC_MODE_PERCENT)->isChecked());
        }
        PressKey(window, Qt::Key_Escape);
    });
    EXPECT_EQ(seen, (std::vector<std::pair<int, bool>>{{IDC_MODE_PERCENT, true},
                                                       {IDC_SIZE_X, true},
                                                       {IDC_MODE_PIXELS, false},
                                                       {IDC_SIZE_Y, false},
                                                       {IDC_NAME_TEMPLATE, false},
                                                       {IDC_OUTPUT_FORMAT, false}}));
}

TEST(OverlayOptionsDlg, AnchorCellsShowTheirIcons) {
    CBatchJob job;
    COverlayOptionsDlg dialog(&job);
    int withIcon = 0;
    bool iconsFit = true;
    RunModal(dialog, [&](QWidget* window) {
        for (int id = IDC_ANCHOR_FIRST; id <= IDC_ANCHOR_LAST; ++id) {
            QAbstractButton* cell = Button(dialog, id);
            if (cell->icon().isNull())
                continue;
            ++withIcon;
            iconsFit = iconsFit && cell->iconSize().width() <= cell->width() &&
                       cell->iconSize().height() <= cell->height() &&
                       cell->iconSize().width() >= 12;
        }
        PressKey(window, Qt::Key_Escape);
    });
    EXPECT_EQ(withIcon, 9);
    EXPECT_TRUE(iconsFit);
}

TEST(OverlayOptionsDlg, CancelAfterEditsLeavesTheJobByteForByte) {
    for (bool byButton : {false, true}) {
        CBatchJob job;
        job.SetFlags(0xA5B3C7D1u);
        job.nSizeX = 640;
        job.nSizeY = 480;
        CopyText(job.szOverlayPath, "/tmp/logo.png");
        const JobImage before(job);
        COverlayOptionsDlg dialog(&job);
        const INT_PTR result = RunModal(dialog, [&](QWidget* window) {
            Click(Button(dialog, IDC_MODE_PIXELS));
            Click(Button(dialog, IDC_ANCHOR_FIRST + 2));
            FocusField(dialog, IDC_SIZE_X, 0, 99);
            TypeText(window, QStringLiteral("77"));
            FocusField(dialog, IDC_NAME_TEMPLATE, 0, 99);
            TypeText(window, QStringLiteral("out"));
            FormatList(dialog)->setFocus(Qt::MouseFocusReason);
            PressKey(window, Qt::Key_Down);
            if (byButton)
                Click(Button(dialog, IDCANCEL));
            else
                PressKey(window, Qt::Key_Escape);
        });
        EXPECT_EQ(result, IDCANCEL);
        EXPECT_TRUE(JobImage(job) == before) << byButton;
    }
}

struct FlagsCase {
    const char* name;
    DWORD initial;
    std::function<void(COverlayOptionsDlg&)> act;
    DWORD expected;
};
void PrintTo(const FlagsCase& c, std::ostream* os) {
    *os << c.name;
}

class OverlayOptionsFlagsTest : public ::testing::TestWithParam<FlagsCase> {};

TEST_P(OverlayOptionsFlagsTest, OkReplacesOnlyTheTwoFields) {
    const FlagsCase& c = GetParam();
    CBatchJob job;
    job.SetFlags(c.initial);
    COverlayOptionsDlg dialog(&job);
    const INT_PTR result = RunModal(dialog, [&](QWidget*) {
        c.act(dialog);
        Click(Button(dialog, IDOK));
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(job.dwFlags, c.expected) << std::hex << job.dwFlags;
}

INSTANTIATE_TEST_SUITE_P(
    Words, OverlayOptionsFlagsTest,
    ::testing::Values(
        FlagsCase{"Unchanged", 0xA5020029u, [](COverlayOptionsDlg&) {}, 0xA5020029u},
        FlagsCase{"PixelsAndCentre", 0xA5020029u,
                  [](COverlayOptionsDlg& d) {
                      Click(Button(d, IDC_MODE_PIXELS));
                      Click(Button(d, IDC_ANCHOR_FIRST + 4));
                  },
                  0xA5050019u},
        // Unknown mode and anchor values select nothing; a field left unselected stores 0.
        FlagsCase{"UnknownFieldsBecomeZero", 0xFFFFFFFFu, [](COverlayOptionsDlg&) {}, 0xFFF0FF0Fu},
        FlagsCase{"UnknownFieldsThenChosen", 0x12345678u,
                  [](COverlayOptionsDlg& d) { Click(Button(d, IDC_MODE_PIXELS)); }, 0x12345618u}),
    [](const ::testing::TestParamInfo<FlagsCase>& info) { return std::string(info.param.name); });

TEST(OverlayOptionsDlg, OkStoresTheChosenFormatOrKeepsAnUnknownOne) {
    struct Case {
        const char* initial;
        int downKeys;
        const char* stored;
        bool written; // false: no entry was selected, the field keeps every byte
    };
    for (const Case& c :
         {Case{"image/tiff", 1, "image/png", true}, Case{"image/tiff", 0, "image/tiff", true},
          Case{"image/x-none", 0, "image/x-none", false},
          Case{"image/x-none", 1, "image/bmp", true}}) {
        CBatchJob job;
        // Bytes after the text that a bounded copy must clear.
        std::memset(job.szOutputFormat, 'Z', sizeof job.szOutputFormat);
        std::strcpy(job.szOutputFormat, c.initial);
        COverlayOptionsDlg dialog(&job);
        RunModal(dialog, [&](QWidget* window) {
            FormatList(dialog)->setFocus(Qt::MouseFocusReason);
            for (int i = 0; i < c.downKeys; ++i)
                PressKey(window, Qt::Key_Down);
            Click(Button(dialog, IDOK));
        });
        EXPECT_STREQ(job.szOutputFormat, c.stored) << c.initial;
        const std::size_t used = std::strlen(job.szOutputFormat);
        const auto zeros =
            std::count(job.szOutputFormat + used, job.szOutputFormat + MAX_PATH, '\0');
        EXPECT_EQ(zeros, c.written ? static_cast<std::ptrdiff_t>(MAX_PATH - used) : 1) << c.initial;
    }
}

TEST(OverlayOptionsDlg, LongTemplateIsStoredCutTo254) {
    CBatchJob job;
    const QString typed = QStringLiteral("IMG##") + QString(295, QLatin1Char('x'));
    COverlayOptionsDlg dialog(&job);
    RunModal(dialog, [&](QWidget* window) {
        FocusField(dialog, IDC_NAME_TEMPLATE, 0, 3);
        Paste(window, typed);
        Click(Button(dialog, IDOK));
    });
    EXPECT_EQ(std::string(job.szNameTemplate), typed.left(254).toStdString());
    EXPECT_EQ(job.szNameTemplate[254], '\0');
}

// Enter closes the dialog with the focus still in the template field: the template is
// stored completed, as a click on OK would have left it, so a run never writes every
// output file under one name.
TEST(OverlayOptionsDlg, EnterInTemplateStoresItCompleted) {
    CBatchJob job;
    COverlayOptionsDlg dialog(&job);
    const INT_PTR result = RunModal(dialog, [&](QWidget* window) {
        FocusField(dialog, IDC_NAME_TEMPLATE, 0, 3);
        TypeText(window, QStringLiteral(" photo "));
        PressKey(window, Qt::Key_Return);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_STREQ(job.szNameTemplate, "photo#");
}

TEST(OverlayOptionsDlg, OkWithoutEditsStoresTheSameValues) {
    CBatchJob job;
    job.SetSizeMode(SizeModePixels);
    job.nSizeX = 320;
    job.nSizeY = 0;
    job.SetOverlayAnchor(3);
    CopyText(job.szOutputFormat, "image/jpeg");
    SetJobTemplate(job, "shot_###");
    COverlayOptionsDlg dialog(&job);
    const INT_PTR result =
        RunModal(dialog, [&](QWidget* window) { PressKey(window, Qt::Key_Return); });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(job.dwFlags, MakeJobFlags(SizeModePixels, 3));
    EXPECT_EQ(job.nSizeX, 320);
    EXPECT_EQ(job.nSizeY, 1); // a stored 0 was shown as "1 px"
    EXPECT_STREQ(job.szOutputFormat, "image/jpeg");
    EXPECT_STREQ(job.szNameTemplate, "shot###"); // filtered when the dialog opened
}

} // namespace
