#include "engine/TextHelpers.h"

#include <gtest/gtest.h>

#include <climits>
#include <clocale>
#include <cstring>
#include <string>

TEST(TextHelpers, StatusTexts) {
    const struct {
        int status;
        const char* text;
    } cases[] = {
        {0, "Ok"},
        {1, "Generic Error"},
        {10, "File Not Found"},
        {13, "Unknown Image Format"},
        {17, "Unsupported GDI+ Version"},
        {18, "GDI+ Not Initialize"},
        {19, "Property not Found"},
        {20, "Property not Supported"},
        {21, "Unknown Error"},
        {-1, "Unknown Error"},
        {INT_MIN, "Unknown Error"},
        {INT_MAX, "Unknown Error"},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(GetStatusText(c.status), c.text) << c.status;
}

TEST(TextHelpers, FileNameOfPath) {
    const struct {
        const char* path;
        int length;
        bool result;
        const char* name; // nullptr: buffer untouched
    } cases[] = {
        {"", 64, false, nullptr},
        {"/", 64, false, nullptr},
        {"/photo.jpg", 64, false, nullptr}, // the first character is never examined
        {"photo.jpg", 64, false, nullptr},
        {"a/photo.jpg", 64, true, "photo.jpg"},
        {"/home/me/photo.jpg", 64, true, "photo.jpg"},
        {"/home/me/", 64, true, ""},
        {"//", 64, true, ""},
        {"/d/abcdef", 7, true, "abcdef"},
        {"/d/abcdef", 6, true, "abcde"},
        {"/d/abcdef", 1, true, ""},
    };
    for (const auto& c : cases) {
        char buffer[80]; // longer than every length given, to see what lies beyond it
        std::memset(buffer, 'x', sizeof buffer);
        buffer[79] = '\0';
        EXPECT_EQ(FileNameOfPath(c.path, buffer, c.length), c.result) << c.path;
        if (c.name == nullptr) {
            EXPECT_EQ(std::string(buffer), std::string(79, 'x')) << c.path;
            continue;
        }
        EXPECT_STREQ(buffer, c.name) << c.path;
        // The rest of the given length is zero-filled; nothing beyond it is touched.
        for (int i = static_cast<int>(std::strlen(c.name)); i < c.length; ++i)
            EXPECT_EQ(buffer[i], '\0') << c.path << " at " << i;
        EXPECT_EQ(buffer[c.length], 'x') << c.path;
    }
}

TEST(TextHelpers, AbbreviatePathCountsCharactersNotBytes) {
    const std::string letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    // 12 letters of two bytes each, and 12 of three bytes each.
    const std::string accented = "\xc3\xa1\xc3\xa9\xc3\xad\xc3\xb3\xc3\xba\xc3\xb1"
                                 "\xc3\xa1\xc3\xa9\xc3\xad\xc3\xb3\xc3\xba\xc3\xb1";
    const std::string kanji = "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e\xe6\x97\xa5\xe6\x9c\xac"
                              "\xe8\xaa\x9e\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e\xe6\x97\xa5"
                              "\xe6\x9c\xac\xe8\xaa\x9e";
    const struct {
        std::string path;
        int limit;
        int tail;
        std::string shown;
    } cases[] = {
        {letters.substr(0, 30), 30, 23, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcd"},
        {letters.substr(0, 31), 30, 23, "ABC...IJKLMNOPQRSTUVWXYZabcde"},
        {letters.substr(0, 40), 40, 33, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmn"},
        {letters.substr(0, 41), 40, 33, "ABC...IJKLMNOPQRSTUVWXYZabcdefghijklmno"},
        {"", 30, 23, ""},
        {"ABCDE", 2, 10, "ABC...ABCDE"}, // a tail longer than the text keeps the whole text
        // 36 characters in 48 bytes fit into 40.
        {"/tmp/" + accented + letters.substr(0, 19), 40, 33,
         "/tmp/" + accented + letters.substr(0, 19)},
        // Cut at characters: the head and the tail hold whole letters.
        {"/" + accented + kanji + "/" + letters.substr(0, 20) + ".png", 40, 33,
         "/\xc3\xa1\xc3\xa9..." + kanji.substr(12) + "/" + letters.substr(0, 20) + ".png"},
        {kanji + letters.substr(0, 30), 40, 33,
         kanji.substr(0, 9) + "..." + kanji.substr(27) + letters.substr(0, 30)},
        // A byte that is no character in the locale counts as one and is kept as it is.
        {"/\xff\xfe" + letters.substr(0, 39), 40, 33, "/\xff\xfe..." + letters.substr(6, 33)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AbbreviatePath(c.path.c_str(), c.limit, c.tail), c.shown)
            << c.path << " " << c.limit << "/" << c.tail;
}

TEST(TextHelpers, PathsSurviveTheWideTextWhateverTheLocale) {
    struct Case {
        const char* locale;
        std::string path;
        std::wstring wide;
        std::string logged;
    };
    const Case cases[] = {
        {"C.UTF-8", "", L"", ""},
        {"C.UTF-8", "/tmp/Fot\xc3\xb3 \xe2\x82\xac.png", L"/tmp/Fot\u00f3 \u20ac.png",
         "/tmp/Fot\xc3\xb3 \xe2\x82\xac.png"},
        // Latin-1 in a UTF-8 locale; a character cut short; bytes that read as an escape code.
        {"C.UTF-8", "/tmp/caf\xe9.jpg", L"/tmp/caf\xdce9.jpg", "/tmp/caf\\xe9.jpg"},
        {"C.UTF-8", "/tmp/\xc3", L"/tmp/\xdcc3", "/tmp/\\xc3"},
        {"C.UTF-8", "a\xed\xb3\xa9", L"a\xdced\xdcb3\xdca9", "a\\xed\\xb3\\xa9"},
        {"C.UTF-8", "line\nbreak", L"line\nbreak", "line\\x0abreak"},
        {"C.UTF-8", "a\\x41", L"a\\x41", "a\\\\x41"}, // a name's own "\x41" stays apart
        // Cron and minimal containers: every byte past ASCII.
        {"C", "ausgabe-\xc3\xbc", L"ausgabe-\xdcc3\xdcbc", "ausgabe-\\xc3\\xbc"},
    };
    const std::string before = std::setlocale(LC_ALL, nullptr);
    for (const Case& c : cases) {
        ASSERT_NE(std::setlocale(LC_ALL, c.locale), nullptr) << c.locale;
        const auto wide = ToWidePath(c.path.c_str());
        ASSERT_TRUE(wide.has_value()) << c.path;
        EXPECT_EQ(*wide, c.wide) << c.path;
        EXPECT_EQ(FromWideText(wide->c_str()), c.path) << c.locale << " " << c.path;
        EXPECT_EQ(EscapedForLog(c.path), c.logged) << c.locale;
    }
    EXPECT_FALSE(FromWideText(L"\u20ac").has_value()); // no such character in "C"
    std::setlocale(LC_ALL, before.c_str());
    EXPECT_FALSE(ToWidePath(nullptr).has_value());
}

TEST(TextHelpers, CopyTextIsAlwaysTerminatedAndZeroFilled) {
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    CopyText(buffer, "abc");
    EXPECT_STREQ(buffer, "abc");
    for (std::size_t i = 3; i < sizeof buffer; ++i)
        EXPECT_EQ(buffer[i], '\0');
    CopyText(buffer, "abcdefghijk");
    EXPECT_STREQ(buffer, "abcdefg");
    CopyText(buffer, nullptr);
    EXPECT_EQ(std::string(buffer, sizeof buffer), std::string(8, '\0'));
}

TEST(TextHelpers, FileNameOrPath) {
    const struct {
        const char* path;
        const char* shown;
    } cases[] = {
        {nullptr, ""},
        {"", ""},
        {"/", "/"},
        {"/photo.jpg", "/photo.jpg"},
        {"photo.jpg", "photo.jpg"},
        {"a/photo.jpg", "photo.jpg"},
        {"/home/me/photo.jpg", "photo.jpg"},
        {"/home/me/", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FileNameOrPath(c.path), c.shown) << (c.path ? c.path : "(null)");
}
