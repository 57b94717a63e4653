#include "engine/Placement.h"
#include "TestPictures.h"
#include "engine/BatchJob.h"
#include "engine/TextHelpers.h"

#include <gtest/gtest.h>

#include <climits>
#include <ostream>

// At global scope so that the test macros find them next to RECT.
static bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

static std::ostream& operator<<(std::ostream& out, const RECT& r) {
    return out << r.left << "," << r.top << "," << r.right << "," << r.bottom;
}

namespace {

// The size mode and anchor as the job's flags word holds them, nonsense values included.
struct PlacementCase {
    DWORD mode;
    DWORD anchor;
    INT sizeX;
    INT sizeY;
    UINT width;
    UINT height;
    RECT expected;
};

void Check(const PlacementCase& c) {
    EXPECT_EQ(ComputePlacement(SizeModeOfField(c.mode), AnchorOfField(c.anchor), c.sizeX, c.sizeY,
                               c.width, c.height),
              c.expected)
        << "mode " << c.mode << " anchor " << c.anchor << " size " << c.sizeX << "x" << c.sizeY
        << " on " << c.width << "x" << c.height;
}

} // namespace

TEST(Placement, NineAnchorsInPixels) {
    const PlacementCase cases[] = {
        {1, 1, 100, 50, 640, 480, {0, 0, 100, 50}},
        {1, 2, 100, 50, 640, 480, {270, 0, 370, 50}},
        {1, 3, 100, 50, 640, 480, {540, 0, 640, 50}},
        {1, 4, 100, 50, 640, 480, {0, 215, 100, 265}},
        {1, 5, 100, 50, 640, 480, {270, 215, 370, 265}},
        {1, 6, 100, 50, 640, 480, {540, 215, 640, 265}},
        {1, 7, 100, 50, 640, 480, {0, 430, 100, 480}},
        {1, 8, 100, 50, 640, 480, {270, 430, 370, 480}},
        {1, 9, 100, 50, 640, 480, {540, 430, 640, 480}},
    };
    for (const auto& c : cases)
        Check(c);
}

TEST(Placement, FullSizePercentCoversTheBackgroundAtEveryAnchor) {
    for (DWORD anchor = 0; anchor <= 15; ++anchor)
        Check({2, anchor, 100, 100, 640, 480, {0, 0, 640, 480}});
}

TEST(Placement, PercentUsesTheDoubleOrderOfTheSettings) {
    const PlacementCase cases[] = {
        {2, 1, 29, 58, 100, 100, {0, 0, 28, 57}},     // 0.29 * 100 and 0.58 * 100 fall short
        {2, 9, 29, 58, 100, 100, {72, 43, 100, 100}}, // still 28 x 57 at the other corner
        {2, 1, 50, 10, 640, 1024, {0, 0, 320, 102}},
        {2, 5, 50, 50, 640, 480, {160, 120, 480, 360}},
        {2, 1, 0, 0, 640, 480, {0, 0, 0, 0}},
        {2, 9, -50, -50, 640, 480, {960, 720, 640, 480}}, // negative sizes are not refused
        {2, 5, 100, 100, 0, 0, {0, 0, 0, 0}},             // undecodable background
    };
    for (const auto& c : cases)
        Check(c);
}

TEST(Placement, WiderOverlayLosesOnePixelToTruncation) {
    Check({1, 2, 15, 4, 10, 10, {-2, 0, 12, 4}});
    Check({1, 4, 4, 15, 10, 10, {0, -2, 4, 12}});
    Check({1, 5, 15, 15, 10, 10, {-2, -2, 12, 12}});
    Check({1, 5, 16, 16, 10, 10, {-3, -3, 13, 13}});
}

TEST(Placement, OddModesAndAnchorsFallBack) {
    // Anchors 0 and 10-15 are top-left; every size mode but 1 is percent.
    for (DWORD anchor : {0u, 10u, 11u, 12u, 13u, 14u, 15u})
        Check({1, anchor, 100, 50, 640, 480, {0, 0, 100, 50}});
    for (DWORD mode : {0u, 2u, 3u, 7u, 15u})
        Check({mode, 9, 50, 50, 640, 480, {320, 240, 640, 480}});
}

TEST(Placement, ResultsOutsideThirtyTwoBitsSaturate) {
    const PlacementCase cases[] = {
        // 21474836.47 % of 60000 is about 1.29e12 pixels.
        {2, 1, INT_MAX, 100, 60000, 100, {0, 0, INT_MAX, 100}},
        {2, 9, INT_MAX, 100, 60000, 100, {INT_MIN, 0, 60000, 100}},
        {2, 5, INT_MAX, INT_MAX, 60000, 60000, {INT_MIN, INT_MIN, INT_MAX, INT_MAX}},
        {2, 1, INT_MIN, INT_MIN, 60000, 60000, {0, 0, INT_MIN, INT_MIN}},
        {2, 9, INT_MIN, 100, 60000, 100, {INT_MAX, 0, 60000, 100}},
        // 640 - INT_MIN does not fit 32 bits; the halves at the centre do.
        {1, 9, INT_MIN, INT_MIN, 640, 480, {INT_MAX, INT_MAX, 640, 480}},
        {1, 5, INT_MIN, INT_MIN, 640, 480, {1073742144, 1073742064, -1073741504, -1073741584}},
        {1, 9, INT_MAX, INT_MAX, 640, 480, {-2147483007, -2147483167, 640, 480}},
        {1, 5, INT_MAX, 0, 640, 480, {-1073741503, 240, 1073742143, 240}},
        // Dimensions above INT_MAX (the library reports them unsigned).
        {1, 9, 100, 100, UINT_MAX, UINT_MAX, {INT_MAX, INT_MAX, INT_MAX, INT_MAX}},
        {1, 5, 100, 100, UINT_MAX, 100, {2147483597, 0, INT_MAX, 100}},
        {2, 1, 100, 100, UINT_MAX, 100, {0, 0, INT_MAX, 100}},
    };
    for (const auto& c : cases)
        Check(c);
}

TEST(Placement, OverlayNoLargerThanTheBackgroundStaysInside) {
    for (UINT width = 1; width <= 64; ++width)
        for (INT percent = 0; percent <= 100; percent += 7)
            for (DWORD anchor = 1; anchor <= 9; ++anchor) {
                const RECT r = ComputePlacement(SizeMode::Percent, AnchorOfField(anchor), percent,
                                                100 - percent, width, 33);
                ASSERT_GE(r.left, 0);
                ASSERT_LE(r.right, static_cast<LONG>(width));
                ASSERT_GE(r.top, 0);
                ASSERT_LE(r.bottom, 33);
                ASSERT_EQ(r.right - r.left, static_cast<LONG>(percent * 0.01 * width));
            }
}

TEST(Placement, JobReadsTheFirstBackground) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string background = SavePicture(dir, "bg.png", SolidImage(640, 480, Qt::blue));
    const std::string second = SavePicture(dir, "second.png", SolidImage(100, 100, Qt::red));
    ASSERT_FALSE(background.empty());
    ASSERT_FALSE(second.empty());

    CBatchJob job(nullptr);
    RECT rect{1, 1, 1, 1};

    job.AddFile(background.c_str());
    job.AddFile(second.c_str());
    job.GetPlacementRect(rect); // percent 100, anchor 9
    EXPECT_EQ(rect, (RECT{0, 0, 640, 480}));
    job.SetFlags(MakeJobFlags(SizeModePixels, 5));
    job.nSizeX = 100;
    job.nSizeY = 50;
    job.GetPlacementRect(rect);
    EXPECT_EQ(rect, (RECT{270, 215, 370, 265}));

    job.PopFile();
    job.GetPlacementRect(rect);
    EXPECT_EQ(rect, (RECT{0, 25, 100, 75}));

    job.ClearFiles();
    job.AddFile(PathIn(dir, "missing.png").c_str());
    job.GetPlacementRect(rect); // counts as 0 x 0
    EXPECT_EQ(rect, (RECT{-50, -25, 50, 25}));
    job.ClearFiles();
    job.GetPlacementRect(rect);
    EXPECT_EQ(rect, (RECT{-50, -25, 50, 25}));
}
