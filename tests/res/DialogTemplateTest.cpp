// The dialog templates against the numbers the dialogs are designed with, plus the invariants
// every template must keep for the framework to build it.

#include "TestName.h"
#include "res/DialogTemplates.h"

#include <QRegularExpression>
#include <QTranslator>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>
#include <span>
#include <string>
#include <vector>

namespace {

constexpr int kTemplateIds[] = {102, 103, 142, 154};

// A view on the template's own array, so that pointers into it stay valid.
std::span<const DialogControl> ControlsOf(const DialogTemplate& t) {
    return {t.controls, static_cast<std::size_t>(t.controlCount)};
}

// A control by id, or for the unaddressed ones (id -1) by text.
const DialogControl* FindControl(const DialogTemplate& t, int id, const char* text) {
    for (const DialogControl& c : ControlsOf(t)) {
        if (c.id == id && (id != IDC_STATIC || std::strcmp(c.text, text) == 0)) {
            return &c;
        }
    }
    return nullptr;
}

bool ShowsIcon(const DialogControl& c) {
    return (c.kind == ControlKind::Button && (c.style & BS_ICON)) ||
           (c.kind == ControlKind::Static && (c.style & SS_TYPEMASK) == SS_ICON);
}

bool ShowsBitmap(const DialogControl& c) {
    return (c.kind == ControlKind::Button && (c.style & BS_BITMAP)) ||
           (c.kind == ControlKind::Static && (c.style & SS_TYPEMASK) == SS_BITMAP);
}

// ---- Invariants of every template ----

class EveryTemplate : public ::testing::TestWithParam<int> {
  protected:
    const DialogTemplate& Template() const {
        const DialogTemplate* t = FindDialogTemplate(GetParam());
        EXPECT_NE(t, nullptr);
        return *t;
    }
};

TEST_P(EveryTemplate, IsFoundUnderItsOwnNumber) {
    const DialogTemplate* t = FindDialogTemplate(GetParam());
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->id, GetParam());
    ASSERT_NE(t->controls, nullptr);
    EXPECT_GT(t->controlCount, 0);
}

TEST_P(EveryTemplate, AddressedControlsHaveUniqueIds) {
    std::set<int> seen;
    for (const DialogControl& c : ControlsOf(Template())) {
        if (c.id == IDC_STATIC) {
            continue;
        }
        EXPECT_TRUE(seen.insert(c.id).second) << "duplicate control id " << c.id;
    }
}

TEST_P(EveryTemplate, ControlsLieInsideTheDialog) {
    const DialogTemplate& t = Template();
    for (const DialogControl& c : ControlsOf(t)) {
        // A drop-down list's height is its open height; the closed box is one line.
        const int height = c.kind == ControlKind::ComboBox ? std::min(c.cy, 14) : c.cy;
        EXPECT_GE(c.x, 0) << c.id << " " << c.text;
        EXPECT_GE(c.y, 0) << c.id << " " << c.text;
        EXPECT_GT(c.cx, 0) << c.id << " " << c.text;
        EXPECT_GT(c.cy, 0) << c.id << " " << c.text;
        EXPECT_LE(c.x + c.cx, t.cx) << c.id << " " << c.text;
        EXPECT_LE(c.y + height, t.cy) << c.id << " " << c.text;
    }
}

TEST_P(EveryTemplate, ControlsAreVisibleChildren) {
    for (const DialogControl& c : ControlsOf(Template())) {
        EXPECT_EQ(c.style & (WS_CHILD | WS_VISIBLE), WS_CHILD | WS_VISIBLE)
            << c.id << " " << c.text;
        EXPECT_EQ(c.style & WS_POPUP, 0u) << c.id;
    }
}

TEST_P(EveryTemplate, OnlyPictureControlsNameAnImage) {
    for (const DialogControl& c : ControlsOf(Template())) {
        if (ShowsIcon(c) || ShowsBitmap(c)) {
            EXPECT_GT(c.imageId, 0) << c.id;
        } else {
            EXPECT_EQ(c.imageId, 0) << c.id;
        }
    }
}

TEST_P(EveryTemplate, IsAFixedModalDialogWithoutCloseBox) {
    const DialogTemplate& t = Template();
    EXPECT_EQ(t.style & WS_CAPTION, WS_CAPTION);
    EXPECT_NE(t.style & DS_MODALFRAME, 0u);
    EXPECT_NE(t.style & DS_SETFONT, 0u);
    EXPECT_EQ(t.style & WS_SYSMENU, 0u);
    EXPECT_EQ(t.style & WS_CHILD, 0u);
    EXPECT_STREQ(t.fontName, "MS Shell Dlg");
    EXPECT_EQ(t.fontPoints, 8);
}

// Every text a template shows has a German translation (texts that stay the same in German
// are listed too, so that a new text cannot go unnoticed).
TEST_P(EveryTemplate, EveryTextHasAGermanTranslation) {
    QTranslator german;
    ASSERT_TRUE(german.load(QStringLiteral(":/i18n/pictorum_de.qm")));
    const DialogTemplate& t = Template();
    std::vector<const char*> texts = {t.caption};
    for (int i = 0; i < t.controlCount; ++i)
        texts.push_back(t.controls[i].text);
    for (const char* text : texts) {
        if (text != nullptr && text[0] != '\0') {
            EXPECT_FALSE(german.translate("Text", text).isEmpty()) << text;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Res, EveryTemplate, ::testing::ValuesIn(kTemplateIds),
                         [](const auto& info) { return "T" + std::to_string(info.param); });

TEST(FindDialogTemplate, GivesNullForNumbersThatAreNoTemplate) {
    for (int id : {0, -1, 1, 101, 104, 128, 129, 132, 141, 143, 155, 156, 1003}) {
        EXPECT_EQ(FindDialogTemplate(id), nullptr) << id;
    }
}

// ---- The dialogs' own numbers ----

struct HeaderCase {
    int id;
    const char* caption;
    int cx, cy;
    DWORD requiredStyle;
    DWORD requiredExStyle;
};
void PrintTo(const HeaderCase& c, std::ostream* os) {
    *os << "template " << c.id;
}

const HeaderCase kHeaders[] = {
    {102, "Pictorum - Tollerby", 340, 271, 0, WS_EX_APPWINDOW},
    {103, "About Pictorum", 235, 78, DS_CENTER, 0},
    {142, "0% Complete", 214, 142, DS_CENTER | WS_VISIBLE, 0},
    {154, "Options", 219, 116, DS_CENTER, 0},
};

class TemplateHeader : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(TemplateHeader, MatchesTheDialogsDesign) {
    const HeaderCase& h = GetParam();
    const DialogTemplate* t = FindDialogTemplate(h.id);
    ASSERT_NE(t, nullptr);
    EXPECT_STREQ(t->caption, h.caption);
    EXPECT_EQ(t->cx, h.cx);
    EXPECT_EQ(t->cy, h.cy);
    EXPECT_EQ(t->style & h.requiredStyle, h.requiredStyle);
    EXPECT_EQ(t->exStyle & h.requiredExStyle, h.requiredExStyle);
}

INSTANTIATE_TEST_SUITE_P(Res, TemplateHeader, ::testing::ValuesIn(kHeaders),
                         [](const auto& info) { return "T" + std::to_string(info.param.id); });

struct ControlCase {
    int templateId;
    int id;
    ControlKind kind;
    const char* text;
    DWORD typeMask; // low bits that select the button or static type, with the value expected
    DWORD type;
    DWORD required;  // style bits that must be set
    DWORD forbidden; // style bits that must be clear
    DWORD exStyle;   // extended bits that must be set
    int imageId;
};
void PrintTo(const ControlCase& c, std::ostream* os) {
    *os << "template " << c.templateId << ", control " << c.id;
}

constexpr DWORD kButtonType = 0xF;
constexpr DWORD kListSort = LBS_SORT;

const ControlCase kControls[] = {
    // Main dialog.
    {102, 1003, ControlKind::Button, "&Go!", kButtonType, BS_PUSHBUTTON, WS_TABSTOP, WS_DISABLED, 0,
     0},
    {102, 1004, ControlKind::Button, "Exit", kButtonType, BS_PUSHBUTTON, WS_TABSTOP, 0, 0, 0},
    {102, 1037, ControlKind::Button, "Background Images (0)", kButtonType, BS_GROUPBOX, 0,
     WS_TABSTOP, 0, 0},
    {102, 1007, ControlKind::ListBox, "", 0, 0,
     LBS_NOTIFY | LBS_HASSTRINGS | LBS_EXTENDEDSEL | LBS_WANTKEYBOARDINPUT | LBS_NOINTEGRALHEIGHT |
         WS_VSCROLL | WS_BORDER | WS_TABSTOP,
     kListSort, WS_EX_ACCEPTFILES, 0},
    {102, 1011, ControlKind::Button, "Browse...", kButtonType, BS_PUSHBUTTON,
     WS_TABSTOP | BS_CENTER, 0, 0, 0},
    {102, 1030, ControlKind::Static, "", SS_TYPEMASK, SS_BITMAP, SS_CENTERIMAGE, 0, 0, 132},
    {102, 1000, ControlKind::Button, "Options...", kButtonType, BS_PUSHBUTTON,
     WS_TABSTOP | WS_DISABLED, 0, 0, 0},
    {102, 1075, ControlKind::Edit, "", 0, 0, ES_READONLY | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP,
     0, 0, 0},
    {102, IDC_STATIC, ControlKind::Button, "Overlay Image", kButtonType, BS_GROUPBOX, 0, 0, 0, 0},
    {102, IDC_STATIC, ControlKind::Button, "Sample", kButtonType, BS_GROUPBOX, 0, 0, 0, 0},
    {102, 1083, ControlKind::Static, "", SS_TYPEMASK, SS_OWNERDRAW, 0, WS_TABSTOP, 0, 0},
    // About box.
    {103, IDC_STATIC, ControlKind::Static, "Pictorum", SS_TYPEMASK, SS_LEFT, SS_NOPREFIX, 0, 0, 0},
    {103, 1, ControlKind::Button, "&Close", kButtonType, BS_DEFPUSHBUTTON, WS_TABSTOP | WS_GROUP, 0,
     0, 0},
    {103, 1002, ControlKind::Static, "Version 1.0", SS_TYPEMASK, SS_CENTER, 0, 0, 0, 0},
    {103, 1001, ControlKind::Button, "", kButtonType, BS_PUSHBUTTON, BS_BITMAP | WS_TABSTOP, 0, 0,
     129},
    // Progress dialog.
    {142, 2, ControlKind::Button, "Cancel", kButtonType, BS_PUSHBUTTON, WS_TABSTOP, 0, 0, 0},
    {142, 1057, ControlKind::Static, "", SS_TYPEMASK, SS_LEFT, 0, 0, 0, 0},
    {142, 1056, ControlKind::Static, "", SS_TYPEMASK, SS_RIGHT, SS_SUNKEN, 0, 0, 0},
    {142, 1055, ControlKind::ListBox, "", 0, 0,
     LBS_NOTIFY | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_BORDER | WS_TABSTOP,
     kListSort, 0, 0},
    {142, 1059, ControlKind::ProgressBar, "", 0, 0, WS_BORDER, 0, 0, 0},
    // Options dialog.
    {154, 1, ControlKind::Button, "OK", kButtonType, BS_DEFPUSHBUTTON, WS_TABSTOP, 0, 0, 0},
    {154, 1012, ControlKind::Button, "&Pixels", kButtonType, BS_RADIOBUTTON, WS_TABSTOP | WS_GROUP,
     0, 0, 0},
    {154, 1013, ControlKind::Button, "P&ercent of Background", kButtonType, BS_RADIOBUTTON,
     BS_MULTILINE, WS_TABSTOP, 0, 0},
    {154, 1048, ControlKind::Static, "&X", SS_TYPEMASK, SS_LEFT, WS_GROUP, 0, 0, 0},
    {154, 1017, ControlKind::Edit, "", 0, 0, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, ES_READONLY,
     0, 0},
    {154, 1045, ControlKind::Button, "Anchor", kButtonType, BS_GROUPBOX, 0, 0, 0, 0},
    {154, 1061, ControlKind::ComboBox, "", 0x3, CBS_DROPDOWNLIST, WS_VSCROLL | WS_TABSTOP, CBS_SORT,
     0, 0},
    {154, 1085, ControlKind::Edit, "", 0, 0, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, ES_READONLY,
     0, 0},
    {154, IDC_STATIC, ControlKind::Static, "&Template", SS_TYPEMASK, SS_LEFT, 0, 0, 0, 0},
};

class NamedControl : public ::testing::TestWithParam<ControlCase> {};

TEST_P(NamedControl, MatchesTheDialogsDesign) {
    const ControlCase& e = GetParam();
    const DialogTemplate* t = FindDialogTemplate(e.templateId);
    ASSERT_NE(t, nullptr);
    const DialogControl* c = FindControl(*t, e.id, e.text);
    ASSERT_NE(c, nullptr) << "template " << e.templateId << " control " << e.id << " " << e.text;
    EXPECT_EQ(c->kind, e.kind);
    EXPECT_STREQ(c->text, e.text);
    EXPECT_EQ(c->style & e.typeMask, e.type);
    EXPECT_EQ(c->style & e.required, e.required);
    EXPECT_EQ(c->style & e.forbidden, 0u);
    EXPECT_EQ(c->exStyle & e.exStyle, e.exStyle);
    EXPECT_EQ(c->imageId, e.imageId);
}

INSTANTIATE_TEST_SUITE_P(Res, NamedControl, ::testing::ValuesIn(kControls), [](const auto& info) {
    const ControlCase& c = info.param;
    return "T" + std::to_string(c.templateId) + "_" +
           (c.id == IDC_STATIC ? TestNamePart(c.text) : std::to_string(c.id));
});

// ---- Tab order: the template order of the controls that are tab stops ----

struct TabOrderCase {
    int templateId;
    std::vector<int> ids;
};
void PrintTo(const TabOrderCase& c, std::ostream* os) {
    *os << "template " << c.templateId;
}

class TabOrder : public ::testing::TestWithParam<TabOrderCase> {};

TEST_P(TabOrder, FollowsTheDesignedSequence) {
    const DialogTemplate* t = FindDialogTemplate(GetParam().templateId);
    ASSERT_NE(t, nullptr);
    std::vector<int> tabStops;
    for (const DialogControl& c : ControlsOf(*t)) {
        if (c.style & WS_TABSTOP) {
            tabStops.push_back(c.id);
        }
    }
    EXPECT_EQ(tabStops, GetParam().ids);
}

INSTANTIATE_TEST_SUITE_P(
    Res, TabOrder,
    ::testing::Values(TabOrderCase{102,
                                   {1007, 1008, 1009, 1028, 1003, 1005, 1004, 1075, 1011, 1000}},
                      TabOrderCase{103, {1, 1001}}, TabOrderCase{142, {2, 1055}},
                      TabOrderCase{154, {1, 2, 1012, 1016, 1017, 1018, 1061, 1085}}),
    [](const auto& info) { return "T" + std::to_string(info.param.templateId); });

TEST(MainDialogTemplate, HasNoDefaultButton) {
    const DialogTemplate* t = FindDialogTemplate(102);
    ASSERT_NE(t, nullptr);
    for (const DialogControl& c : ControlsOf(*t)) {
        if (c.kind == ControlKind::Button) {
            EXPECT_NE(c.style & kButtonType, BS_DEFPUSHBUTTON) << c.id;
        }
    }
}

// ---- Frames hold what they frame ----

struct FrameCase {
    int templateId;
    int frameId;
    const char* frameText;
    std::vector<int> members;
};
void PrintTo(const FrameCase& c, std::ostream* os) {
    *os << "template " << c.templateId << ", frame " << c.frameId;
}

class Frame : public ::testing::TestWithParam<FrameCase> {};

TEST_P(Frame, ContainsItsControls) {
    const FrameCase& f = GetParam();
    const DialogTemplate* t = FindDialogTemplate(f.templateId);
    ASSERT_NE(t, nullptr);
    const DialogControl* frame = FindControl(*t, f.frameId, f.frameText);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->style & kButtonType, BS_GROUPBOX);
    for (int id : f.members) {
        const DialogControl* c = FindControl(*t, id, "");
        ASSERT_NE(c, nullptr) << id;
        const int height = c->kind == ControlKind::ComboBox ? std::min(c->cy, 14) : c->cy;
        EXPECT_GT(c->x, frame->x) << id;
        EXPECT_GT(c->y, frame->y) << id;
        EXPECT_LT(c->x + c->cx, frame->x + frame->cx) << id;
        EXPECT_LT(c->y + height, frame->y + frame->cy) << id;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Res, Frame,
    ::testing::Values(FrameCase{102, 1037, "", {1007, 1008, 1009, 1028}},
                      FrameCase{102, IDC_STATIC, "Overlay Image", {1011, 1000, 1075}},
                      FrameCase{102, IDC_STATIC, "Sample", {1083}},
                      FrameCase{154, 1044, "", {1012, 1013}},
                      FrameCase{154, 1047, "", {1048, 1016, 1049, 1017}},
                      FrameCase{
                          154, 1045, "", {1018, 1019, 1020, 1021, 1022, 1023, 1024, 1025, 1026}},
                      FrameCase{154, IDC_STATIC, "Output", {1061, 1085}}),
    [](const auto& info) {
        const FrameCase& f = info.param;
        return "T" + std::to_string(f.templateId) + "_" +
               (f.frameId == IDC_STATIC ? TestNamePart(f.frameText) : std::to_string(f.frameId));
    });

// ---- The nine anchor cells ----

struct AnchorCase {
    int anchor;
    int iconId;
};
void PrintTo(const AnchorCase& c, std::ostream* os) {
    *os << "anchor " << c.anchor;
}

const AnchorCase kAnchors[] = {
    {1, 137}, {2, 141}, {3, 138}, {4, 135}, {5, 140}, {6, 136}, {7, 133}, {8, 134}, {9, 139},
};

class AnchorCell : public ::testing::TestWithParam<AnchorCase> {};

TEST_P(AnchorCell, IsAPushLikeManualRadioButtonWithItsIcon) {
    const AnchorCase& a = GetParam();
    const DialogTemplate* t = FindDialogTemplate(154);
    ASSERT_NE(t, nullptr);
    const DialogControl* c = FindControl(*t, 1017 + a.anchor, "");
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->kind, ControlKind::Button);
    // The cells lie in reading order on a 3 x 3 grid, 18 units apart: each cell's successor (the
    // first cell follows the last) lies where the grid puts it.
    const int next = a.anchor % 9 + 1;
    const DialogControl* n = FindControl(*t, 1017 + next, "");
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(n->x - c->x, ((next - 1) % 3 - (a.anchor - 1) % 3) * 18);
    EXPECT_EQ(n->y - c->y, ((next - 1) / 3 - (a.anchor - 1) / 3) * 18);
    EXPECT_EQ(c->cx, 16);
    EXPECT_EQ(c->cy, 16);
    // Not automatic: the dialog sets the state itself, so a click must not toggle it.
    EXPECT_EQ(c->style & kButtonType, BS_RADIOBUTTON);
    EXPECT_NE(c->style & BS_PUSHLIKE, 0u);
    EXPECT_NE(c->style & BS_ICON, 0u);
    EXPECT_EQ(c->style & (WS_TABSTOP | WS_GROUP), a.anchor == 1 ? WS_TABSTOP | WS_GROUP : 0u);
    EXPECT_EQ(c->imageId, a.iconId);
}

INSTANTIATE_TEST_SUITE_P(Res, AnchorCell, ::testing::ValuesIn(kAnchors), [](const auto& info) {
    return "Anchor" + std::to_string(info.param.anchor);
});

} // namespace

// The texts the program fills in with numbers keep their number fields, in order, in German:
// a field lost or added would print the wrong thing or read beyond the arguments.
TEST(GermanTranslation, KeepsTheNumberFieldsOfFormattedTexts) {
    QTranslator german;
    ASSERT_TRUE(german.load(QStringLiteral(":/i18n/pictorum_de.qm")));
    const QRegularExpression field(QStringLiteral("%[-+ #0-9.]*[a-z%]"));
    auto fields = [&](const QString& text) {
        QStringList found;
        for (auto it = field.globalMatch(text); it.hasNext();)
            found << it.next().captured();
        return found;
    };
    for (const char* format :
         {"%i%% Complete", "Processing Item %i/%i", "Background Images (%d)"}) {
        const QString translated = german.translate("Text", format);
        ASSERT_FALSE(translated.isEmpty()) << format;
        EXPECT_EQ(fields(translated), fields(QString::fromUtf8(format))) << format;
    }
}
