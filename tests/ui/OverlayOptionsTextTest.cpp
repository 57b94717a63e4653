// The normalisation rules of the options dialog's text fields, without a window.

#include "engine/OverlayOptionsText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct SizeCase {
    const char* text;
    bool percent;
    const char* normal;
};
void PrintTo(const SizeCase& c, std::ostream* os) {
    *os << '"' << c.text << (c.percent ? "\" in percent" : "\" in pixels");
}

class SizeTextTest : public ::testing::TestWithParam<SizeCase> {};

TEST_P(SizeTextTest, KeepsDigitsAndRebuildsTheUnit) {
    const SizeCase& c = GetParam();
    std::string normal = "untouched";
    const bool differs =
        c.percent ? NormalizePercentText(c.text, normal) : NormalizePixelText(c.text, normal);
    EXPECT_EQ(normal, c.normal) << c.text;
    EXPECT_EQ(differs, std::string(c.text) != c.normal) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SizeTextTest,
    ::testing::Values(SizeCase{"640", false, "640 px"}, SizeCase{"640", true, "640%"},
                      SizeCase{"12 px3", false, "123 px"}, SizeCase{"1a2 px", false, "12 px"},
                      SizeCase{"", false, "1 px"}, SizeCase{"", true, "1%"},
                      SizeCase{"0", false, "1 px"}, SizeCase{" px", false, "1 px"},
                      SizeCase{"0%", true, "1%"}, SizeCase{"00 px", false, "00 px"},
                      SizeCase{"12.5%", true, "12.5%"}, SizeCase{"12.5", false, "125 px"},
                      SizeCase{"1.2.3%", true, "1.23%"}, SizeCase{".%", true, ".%"},
                      SizeCase{"0.5%", true, "0.5%"}, SizeCase{"-5", true, "5%"},
                      SizeCase{"10%", false, "10 px"}, SizeCase{"1 px", true, "1%"},
                      SizeCase{"7\xC3\xA9%", true, "7%"}));

// The template filter as the edit runs it: pass after pass until nothing changes.
std::string SettleByPasses(std::string text, int& start, int& end, int& passes) {
    passes = 0;
    bool first = true;
    for (;;) {
        std::string next;
        int s = start;
        int e = end;
        if (!FilterTemplatePass(text, next, s, e))
            return text;
        if (first) { // the outermost pass sets the final selection
            start = s;
            end = e;
            first = false;
        }
        text = next;
        ++passes;
    }
}

struct TemplateCase {
    const char* text;
    int caret;
    const char* settled;
    int settledCaret;
};
void PrintTo(const TemplateCase& c, std::ostream* os) {
    *os << '"' << c.text << "\" caret " << c.caret;
}

class TemplateTextTest : public ::testing::TestWithParam<TemplateCase> {};

TEST_P(TemplateTextTest, SettlesLikeRepeatedPasses) {
    const TemplateCase& c = GetParam();
    int start = c.caret;
    int end = c.caret;
    std::string settled;
    const bool differs = SettleTemplateText(c.text, settled, start, end);
    EXPECT_EQ(settled, c.settled) << c.text;
    EXPECT_EQ(differs, std::string(c.text) != c.settled);
    EXPECT_EQ(start, c.settledCaret) << c.text;
    EXPECT_EQ(end, c.settledCaret) << c.text;

    int passStart = c.caret;
    int passEnd = c.caret;
    int passes = 0;
    EXPECT_EQ(SettleByPasses(c.text, passStart, passEnd, passes), settled) << c.text;
    EXPECT_EQ(passStart, start) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TemplateTextTest,
    ::testing::Values(TemplateCase{"img##x#", 7, "img##x", 6}, TemplateCase{"#a##", 4, "#a", 3},
                      TemplateCase{"a-b", 2, "ab", 1}, TemplateCase{"a-b", 0, "ab", 0},
                      TemplateCase{"###", 3, "###", 3}, TemplateCase{"x#y#z#", 6, "x#yz", 4},
                      // A dropped character between two '#' keeps them from forming one run
                      // in the first pass; what is left then is one run and stays.
                      TemplateCase{"#-##", 4, "##", 2}, TemplateCase{"a##b###c#", 9, "a##bc", 7},
                      TemplateCase{"Img 01_##", 9, "Img 01##", 8},
                      // Letters of every script stay; other digits than 0-9 go.
                      TemplateCase{"\xC3\xA9t\xC3\xA9#", 4, "\xC3\xA9t\xC3\xA9#", 4},
                      TemplateCase{"Gr\u00f6\u00dfe ###", 9, "Gr\u00f6\u00dfe ###", 9},
                      TemplateCase{"\xF0\x9D\x90\x80#", 3, "\xF0\x9D\x90\x80#", 3},
                      TemplateCase{"a\xD9\xA3\xF0\x9F\x98\x80#", 5, "a#", 2},
                      TemplateCase{"", 0, "", 0}, TemplateCase{"%/\\.", 4, "", 0}));

TEST(TemplateText, LongLaterRunsSettleInOneStep) {
    const std::string text = "#a" + std::string(5000, '#') + "b" + std::string(300, '#');
    int start = static_cast<int>(text.size());
    int end = start;
    std::string settled;
    EXPECT_TRUE(SettleTemplateText(text, settled, start, end));
    EXPECT_EQ(settled, "#ab");
    EXPECT_EQ(start, static_cast<int>(text.size()) - 2); // the first pass drops two '#'
    int passStart = static_cast<int>(text.size());
    int passEnd = passStart;
    int passes = 0;
    EXPECT_EQ(SettleByPasses(text, passStart, passEnd, passes), settled);
    EXPECT_EQ(passes, 5000); // what the nested notifications would have taken
}

struct CompleteCase {
    const char* text;
    const char* completed;
};
void PrintTo(const CompleteCase& c, std::ostream* os) {
    *os << '"' << c.text << '"';
}

class CompleteTemplateTest : public ::testing::TestWithParam<CompleteCase> {};

TEST_P(CompleteTemplateTest, TrimsAndAddsTheNumberMark) {
    EXPECT_EQ(CompleteTemplateText(GetParam().text), GetParam().completed);
}

INSTANTIATE_TEST_SUITE_P(Cases, CompleteTemplateTest,
                         ::testing::Values(CompleteCase{"", "#"}, CompleteCase{"   ", "#"},
                                           CompleteCase{"  name  ", "name#"},
                                           CompleteCase{"name", "name#"},
                                           CompleteCase{" a## b ", "a## b"},
                                           CompleteCase{"###", "###"}));

TEST(StoredTemplate, CutToTheLimitKeepingARunningNumber) {
    const std::string marked = "###" + std::string(297, 'a');
    EXPECT_EQ(StoredTemplateText(marked, 254), marked.substr(0, 254));
    const std::string late = std::string(290, 'a') + "##";
    const std::string stored = StoredTemplateText(late, 254);
    EXPECT_EQ(stored, std::string(253, 'a') + "#");
    EXPECT_EQ(StoredTemplateText(std::string(254, 'b') + "#", 254).size(), 254u);
    EXPECT_EQ(StoredTemplateText("  img##  ", 254), "img##");
    EXPECT_EQ(StoredTemplateText("img", 254), "img#");
}

// The number "OK" stores from a size field's text.
TEST(SizeFieldValue, LeadingDigitsAsASigned32BitNumber) {
    const struct {
        const char* text;
        std::int32_t value;
    } rows[] = {
        {"120 px", 120},
        {"12.5%", 12},
        {"1%", 1},
        {"  +7", 7},
        {"-5", -5},
        {"abc", 0},
        {"", 0},
        {"2147483647 px", 2147483647},
        {"2147483648 px", 0},
        {"99999999999%", 0},
        {"-2147483648", INT32_MIN},
    };
    for (const auto& row : rows)
        EXPECT_EQ(SizeFieldValue(row.text), row.value) << row.text;
}

} // namespace
