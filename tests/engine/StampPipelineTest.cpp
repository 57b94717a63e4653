#include "engine/StampPipeline.h"
#include "TestPictures.h"
#include "engine/BatchJob.h"
#include "engine/ImageFile.h"
#include "engine/TextHelpers.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <map>

namespace {

// A 200 x 150 picture takes 200 * 150 * 4 bytes decoded, twice while stamped; a JPEG XL
// encoder takes 88 bytes a pixel of its own.
constexpr std::uint64_t kPictureBytes = 200 * 150 * 4 * 2;
constexpr std::uint64_t kJxlEncoderBytes = 200 * 150 * 88;

std::map<QString, QByteArray> FilesIn(const QString& folder) {
    std::map<QString, QByteArray> files;
    for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden))
        files[name] = ReadBytes(folder + "/" + name);
    return files;
}

} // namespace

// Pictures are decoded only while those in flight fit the budget, whatever the job count; a
// picture larger than the budget runs alone. The files are those of one picture at a time.
TEST(StampPipeline, PicturesInFlightStayWithinTheMemoryBudget) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    std::vector<PipelineItem> items;
    for (int i = 0; i < 10; ++i) {
        const QString path = dir.filePath(QString("p%1.png").arg(i));
        const int scale = i == 7 ? 4 : 1; // 16 pictures' worth
        ASSERT_TRUE(WriteBytes(path, Encode(GradientImage(200 * scale, 150 * scale), "png")));
        items.push_back({QFile::encodeName(path).toStdString(), i});
    }
    ASSERT_TRUE(WriteBytes(dir.filePath("logo.png"), Encode(RedGreenOverlay(20, 20), "png")));
    CImageFile overlay;
    ASSERT_TRUE(overlay.LoadFromFile(QFile::encodeName(dir.filePath("logo.png")).constData()));
    ASSERT_TRUE(overlay.DecodeNow());

    std::vector<PipelineItem> small = items;
    small.erase(small.begin() + 7);
    const struct {
        int jobs;
        std::uint64_t budget;
        bool withLarge;
        std::uint64_t peak; // at most; exactly when the large picture is in the list
        const char* mime = "image/png";
    } cases[] = {
        {1, 3 * kPictureBytes, true, 16 * kPictureBytes},
        {8, 3 * kPictureBytes, false, 3 * kPictureBytes},
        {8, 3 * kPictureBytes, true, 16 * kPictureBytes}, // the large one alone
        {8, 1, false, kPictureBytes},                     // one at a time
        {4, 100 * kPictureBytes, true, 100 * kPictureBytes},
        // The encoder's own memory counts: one at a time.
        {8, 3 * kPictureBytes, false, kPictureBytes + kJxlEncoderBytes, "image/jxl"},
    };
    std::map<std::string, std::map<QString, QByteArray>> oneAtATime;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.jobs) + " jobs, budget " + std::to_string(c.budget));
        const QString out = dir.filePath(QString("out%1-%2").arg(c.jobs).arg(c.budget));
        ASSERT_TRUE(QDir().mkpath(out));
        CBatchJob job;
        CopyText(job.szOutputDir, QFile::encodeName(out).constData());
        CopyText(job.szOutputFormat, c.mime);
        CStampPipeline pipeline(
            RunSettings::FromJob(job, {c.jobs, Numbering::Running, false, c.budget}), overlay);
        std::atomic<bool> stop{false};
        int done = 0;
        const std::vector<PipelineItem>& list = c.withLarge ? items : small;
        pipeline.Run(
            list, [&](const PipelineReport& r) { done += r.outcome == ItemOutcome::Done; }, stop);

        EXPECT_EQ(done, int(list.size()));
        if ((c.jobs > 1 && c.withLarge && c.budget < 16 * kPictureBytes) ||
            std::string(c.mime) == "image/jxl")
            EXPECT_EQ(pipeline.PeakBytesInFlight(), c.peak);
        else
            EXPECT_LE(pipeline.PeakBytesInFlight(), c.peak);
        std::map<QString, QByteArray>& reference = oneAtATime[c.mime + std::to_string(c.withLarge)];
        if (reference.empty())
            reference = FilesIn(out);
        EXPECT_EQ(FilesIn(out), reference);
    }
}
