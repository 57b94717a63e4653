#include "engine/BatchJob.h"
#include "TestMain.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

std::vector<std::string> Files(const CBatchJob& job) {
    return {job.fileList.begin(), job.fileList.end()};
}

bool ZeroAfterText(const char* array, std::size_t size) {
    for (std::size_t i = std::strlen(array); i < size; ++i)
        if (array[i] != '\0')
            return false;
    return true;
}

} // namespace

TEST(BatchJob, FreshRecordHasTheDefaults) {
    auto* const window = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x1234));
    CBatchJob job(window);
    EXPECT_EQ(job.hProgressWnd, window);
    EXPECT_EQ(job.bRunning.load(), 1u);
    EXPECT_TRUE(job.fileList.empty());
    EXPECT_STREQ(job.szOverlayPath, "");
    EXPECT_STREQ(job.szOutputDir, "");
    EXPECT_STREQ(job.szOutputFormat, "image/tiff");
    EXPECT_STREQ(job.szNameTemplate, "###");
    EXPECT_EQ(job.nSerial, 0);
    EXPECT_EQ(job.dwFlags, 0x00090020u);
    EXPECT_EQ(job.GetSizeMode(), SizeModePercent);
    EXPECT_EQ(job.GetOverlayAnchor(), 9u);
    EXPECT_EQ(job.nSizeX, 100);
    EXPECT_EQ(job.nSizeY, 100);
    // Path arrays are the platform's path size and zero-filled behind their text.
    EXPECT_EQ(sizeof(job.szOverlayPath), static_cast<std::size_t>(PATH_MAX));
    EXPECT_EQ(sizeof(job.szNameTemplate), static_cast<std::size_t>(PATH_MAX));
    for (const char* array :
         {job.szOverlayPath, job.szOutputDir, job.szOutputFormat, job.szNameTemplate})
        EXPECT_TRUE(ZeroAfterText(array, MAX_PATH));
}

TEST(BatchJob, PathsLeaveInTheOrderTheyCame) {
    CBatchJob job(nullptr);
    job.AddFile("/p/one.jpg");
    job.AddFile("/p/two.jpg");
    job.AddFile("/p/three.jpg");
    job.AddFile(nullptr);
    EXPECT_EQ(Files(job), (std::vector<std::string>{"/p/one.jpg", "/p/two.jpg", "/p/three.jpg"}));
    job.PopFile();
    EXPECT_EQ(job.fileList.front(), "/p/two.jpg");
    job.PopFile();
    job.PopFile();
    EXPECT_TRUE(job.fileList.empty());
    job.PopFile(); // an empty list stays empty
    EXPECT_EQ(job.fileList.size(), 0u);
}

TEST(BatchJob, ListOwnsCopiesOfThePaths) {
    CBatchJob job(nullptr);
    char path[] = "/p/photo.jpg";
    job.AddFile(path);
    path[3] = 'X';
    EXPECT_EQ(job.fileList.front(), "/p/photo.jpg");
}

TEST(BatchJob, ClearFilesEmptiesAnyList) {
    CBatchJob job(nullptr);
    job.ClearFiles();
    EXPECT_EQ(job.fileList.size(), 0u);
    job.AddFile("/a");
    job.AddFile("/b");
    job.ClearFiles();
    EXPECT_EQ(job.fileList.size(), 0u);
    job.AddFile("/c");
    EXPECT_EQ(Files(job), std::vector<std::string>{"/c"});
}

TEST(BatchJob, FlagFieldsKeepTheOtherBits) {
    CBatchJob job(nullptr);
    job.SetFlags(0xFF00FF0Fu);
    EXPECT_EQ(job.dwFlags, 0xFF00FF0Fu);
    EXPECT_EQ(job.GetSizeMode(), 0u);
    EXPECT_EQ(job.GetOverlayAnchor(), 0u);
    job.SetSizeMode(SizeModePixels);
    job.SetOverlayAnchor(5);
    EXPECT_EQ(job.dwFlags, 0xFF05FF1Fu);
    job.SetOverlayAnchor(15);
    EXPECT_EQ(job.GetOverlayAnchor(), 15u);
    EXPECT_EQ(job.GetSizeMode(), SizeModePixels);
    EXPECT_EQ(MakeJobFlags(2, 9), 0x00090020u);
    EXPECT_EQ(SizeModeOf(0x12345678u), 7u);
    EXPECT_EQ(OverlayAnchorOf(0x12345678u), 4u);
}

TEST(BatchJob, RunFlagIsSetAndCleared) {
    CBatchJob job(nullptr);
    job.SetRunning(false);
    EXPECT_FALSE(job.IsRunning());
    EXPECT_EQ(job.bRunning.load(), 0u);
    job.SetRunning(true);
    EXPECT_EQ(job.bRunning.load(), 1u);
}

// The engine tests: QtGui's image classes, 8-bit paths as UTF-8 and the imaging library.
test_main::Program test_main::ThisProgram() {
    return {.locale = test_main::Locale::Utf8};
}
