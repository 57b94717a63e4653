#include "engine/EncoderList.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <vector>

TEST(EncoderList, HoldsTheWholeListInABufferOfItsOwn) {
    UINT count = 0;
    UINT bytes = 0;
    ASSERT_EQ(GdipGetImageEncodersSize(&count, &bytes), Ok);
    std::wstring firstMime;
    {
        const EncoderList first;
        ASSERT_EQ(first.Count(), count);
        ASSERT_FALSE(first.IsEmpty());
        ASSERT_NE(first[0].MimeType, nullptr);
        firstMime = first[0].MimeType;
        const EncoderList second;
        // Each list owns its copy: the texts of one do not point into the other.
        EXPECT_NE(second.begin(), first.begin());
        EXPECT_NE(second[0].MimeType, first[0].MimeType);
        EXPECT_EQ(std::wcscmp(second[0].MimeType, first[0].MimeType), 0);
        EXPECT_EQ(first.end() - first.begin(), static_cast<std::ptrdiff_t>(count));
    }
    // A list made after another has gone reads the same.
    const EncoderList later;
    ASSERT_FALSE(later.IsEmpty());
    EXPECT_EQ(later[0].MimeType, firstMime);
}

TEST(EncoderList, FindsTheFirstEncoderOfExactlyThatMimeType) {
    const struct {
        const char* mime;
        bool found;
    } cases[] = {
        {"image/tiff", true},  {"image/jpeg", true},   {"image/png", true},  {"image/bmp", true},
        {"image/TIFF", false}, {"image/tiff ", false}, {"image/tif", false}, {"", false},
        {nullptr, false},      {"image/\xff", false}, // not convertible to wide text
    };
    const EncoderList encoders;
    for (const auto& c : cases) {
        const char* name = c.mime != nullptr ? c.mime : "(null)";
        const int position = encoders.Find(c.mime);
        if (!c.found) {
            EXPECT_EQ(position, -1) << name;
            continue;
        }
        ASSERT_GE(position, 0) << name;
        ASSERT_LT(static_cast<UINT>(position), encoders.Count()) << name;
        const std::wstring wide(c.mime, c.mime + std::char_traits<char>::length(c.mime));
        EXPECT_EQ(encoders[static_cast<UINT>(position)].MimeType, wide) << name;
        EXPECT_EQ(encoders.Find(wide.c_str()), position) << name;
        for (int earlier = 0; earlier < position; ++earlier)
            EXPECT_NE(encoders[static_cast<UINT>(earlier)].MimeType, wide) << name;
    }
    EXPECT_EQ(encoders.Find(static_cast<const WCHAR*>(nullptr)), -1);
}

TEST(EncoderList, ExtensionsComeFromEachPatternInOrder) {
    const struct {
        const WCHAR* patterns;
        std::vector<std::string> extensions;
        const char* joined;
    } cases[] = {
        {L"*.TIF;*.TIFF", {"TIF", "TIFF"}, "*.TIF;*.TIFF"},
        {L"*.JPG;*.JPEG;*.JPE;*.JFIF", {"JPG", "JPEG", "JPE", "JFIF"}, "*.JPG;*.JPEG;*.JPE;*.JFIF"},
        {L"*.Png", {"Png"}, "*.Png"},
        // A pattern without a dot names no extension; the last dot starts one.
        {L"README;*.tar.GZ;", {"GZ"}, "*.GZ"},
        {L"", {}, ""},
        {nullptr, {}, ""},
    };
    for (const auto& c : cases) {
        ImageCodecInfo codec{};
        codec.FilenameExtension = c.patterns;
        EXPECT_EQ(EncoderExtensions(codec), c.extensions) << c.joined;
        EXPECT_EQ(EncoderPatterns(codec), c.joined);
    }
}
