#include "engine/OutputNaming.h"
#include "engine/BatchJob.h"
#include "engine/TextHelpers.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

TEST(OutputNaming, TemplateReceivesTheNumber) {
    const struct {
        const char* pattern;
        int number;
        const char* name;
    } cases[] = {
        {"###", 0, "000"},
        {"###", 7, "007"},
        {"###", 42, "042"},
        {"###", 999, "999"},
        {"###", 1000, "1000"},
        {"IMG_##", 5, "IMG_05"},
        {"IMG_##", 123, "IMG_123"},
        {"a#b##", 5, "a0b05"},
        {"a#b##", 1234, "a1234b"},
        {"#x#x#", 12, "0x1x2"},
        {"#a#", 123, "123a"},
        {"", 5, ""},
        {"photo", 5, "photo"},
        {"photo", -5, "photo"},
        {"###", -5, "0-5"},
        {"##", -5, "-5"},
        {"#", -5, "-5"},
        {"##########", INT_MIN, "-2147483648"},
        {"###########", INT_MIN, "-2147483648"},
        {"n###", INT_MAX, "n2147483647"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatOutputName(c.pattern, c.number), c.name) << c.pattern << " " << c.number;
}

namespace {

struct NamedJob : CBatchJob {
    NamedJob(const char* folder, const char* pattern, const char* format = "image/tiff")
        : CBatchJob(nullptr) {
        CopyText(szOutputDir, folder);
        CopyText(szNameTemplate, pattern);
        CopyText(szOutputFormat, format);
    }
};

} // namespace

TEST(OutputNaming, PathJoinsFolderNameAndExtension) {
    const struct {
        const char* folder;
        const char* pattern;
        const char* format;
        int serial;
        const char* path;
    } cases[] = {
        {"/out", "###", "image/tiff", 0, "/out/000.TIF"},
        {"/out", "###", "image/tiff", 7, "/out/007.TIF"},
        {"/out", "IMG_##", "image/jpeg", 123, "/out/IMG_123.JPG"},
        {"/", "###", "image/tiff", 7, "/007.TIF"},
        {"/out/", "###", "image/png", 1, "/out/001.PNG"},
        {"/out", "", "image/tiff", 3, "/out/.TIF"},
        {"/out", "same", "image/tiff", 3, "/out/same.TIF"},
        {"/out", "###", "image/tiff", -12, "/out/-12.TIF"},
        {"/out", "###", "image/none", 4, "/out/004."}, // no encoder: never saved
    };
    for (const auto& c : cases) {
        NamedJob job(c.folder, c.pattern, c.format);
        job.nSerial = c.serial;
        char path[MAX_PATH];
        std::memset(path, 'x', sizeof path);
        job.MakeOutputPath(path, MAX_PATH);
        EXPECT_STREQ(path, c.path);
        EXPECT_EQ(job.nSerial, c.serial + 1) << c.path;
    }
}

TEST(OutputNaming, EachCallUsesUpOneNumber) {
    NamedJob job("/out", "p#");
    const char* expected[] = {"/out/p0.TIF", "/out/p1.TIF", "/out/p2.TIF", "/out/p3.TIF"};
    for (const char* name : expected) {
        char path[64];
        job.MakeOutputPath(path, sizeof path);
        EXPECT_STREQ(path, name);
    }
    EXPECT_EQ(job.nSerial, 4);
}

TEST(OutputNaming, PathThatDoesNotFitIsLeftEmpty) {
    // "/out/007.TIF" is 12 characters and needs 13 bytes with its terminator.
    const struct {
        int length;
        const char* path;
    } cases[] = {{13, "/out/007.TIF"}, {12, ""}, {5, ""}, {1, ""}};
    for (const auto& c : cases) {
        NamedJob job("/out", "###");
        job.nSerial = 7;
        char path[32];
        std::memset(path, 'x', sizeof path);
        job.MakeOutputPath(path, c.length);
        EXPECT_STREQ(path, c.path) << c.length;
        EXPECT_EQ(job.nSerial, 8) << c.length;
        EXPECT_EQ(path[c.length], 'x') << c.length; // nothing written past the length
    }

    // A folder filling the whole path array leaves no room for a name.
    NamedJob job(std::string(MAX_PATH - 1, 'd').c_str(), "###");
    char path[MAX_PATH];
    job.MakeOutputPath(path, MAX_PATH);
    EXPECT_STREQ(path, "");
    EXPECT_EQ(job.nSerial, 1);
}

TEST(OutputNaming, TheLargestNumberIsTheLastOneNeverAWrappedOne) {
    NamedJob job("/o", "#");
    job.nSerial = INT_MAX - 1;
    const char* const expected[] = {"/o/2147483646.TIF", "/o/2147483647.TIF", "", ""};
    for (const char* name : expected) {
        char path[64] = "unchanged";
        job.MakeOutputPath(path, sizeof path);
        EXPECT_STREQ(path, name);
    }
    EXPECT_EQ(job.nSerial, INT_MAX);
}
