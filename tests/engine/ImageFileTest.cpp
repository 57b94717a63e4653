#include "engine/ImageFile.h"
#include "TestPictures.h"
#include "engine/BatchJob.h"
#include "engine/DrawingSurface.h"
#include "engine/ImageRecord.h"
#include "engine/OverlayCheck.h"
#include "engine/TextHelpers.h"

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

namespace {

CLSID PngEncoder() {
    CBatchJob job(nullptr);
    CopyText(job.szOutputFormat, "image/png");
    CLSID id{};
    EXPECT_GE(job.FindOutputEncoder(id), 0);
    return id;
}

void ExpectEmpty(const CImageFile& image) {
    EXPECT_TRUE(image.IsEmpty());
    EXPECT_EQ(image.Width(), 0u);
    EXPECT_EQ(image.Height(), 0u);
    EXPECT_EQ(image.GetPixelFormat(), PixelFormatUndefined);
}

} // namespace

TEST(ImageFile, LoadsOnlyIntoAnEmptyObject) {
    QTemporaryDir dir;
    const std::string first = SavePicture(dir, "first.png", SolidImage(10, 20, Qt::red));
    const std::string second = SavePicture(dir, "second.png", SolidImage(30, 40, Qt::green));
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());

    CImageFile image;
    ExpectEmpty(image);
    ASSERT_TRUE(image.LoadFromFile(first.c_str()));
    EXPECT_FALSE(image.LoadFromFile(second.c_str()));
    EXPECT_EQ(image.Width(), 10u);
    EXPECT_EQ(image.Height(), 20u);
    image.Release();
    ExpectEmpty(image);
    ASSERT_TRUE(image.LoadFromFile(second.c_str()));
    EXPECT_EQ(image.Width(), 30u);
    EXPECT_EQ(image.Height(), 40u);
}

TEST(ImageFile, FailedLoadsLeaveTheObjectEmpty) {
    QTemporaryDir dir;
    QFile text(dir.filePath("notes.png"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("these are not pixels\n");
    text.close();
    const std::string paths[] = {
        PathIn(dir, "missing.png"),
        PathIn(dir, "notes.png"),
        PathIn(dir, "missing\xff.png"),
        PathIn(dir, ""), // a folder
        "",
    };
    for (const auto& path : paths) {
        CImageFile image;
        EXPECT_FALSE(image.LoadFromFile(path.c_str())) << path;
        ExpectEmpty(image);
    }
}

TEST(ImageFile, LoadsPathsOutsideAscii) {
    QTemporaryDir dir;
    const std::string path = SavePicture(dir, QString::fromUtf8("Fot\xc3\xb3 \xe2\x82\xac.png"),
                                         SolidImage(12, 7, Qt::red));
    ASSERT_FALSE(path.empty());
    // A name whose bytes are not UTF-8 (Latin-1) is a name all the same.
    const std::string latin1 = PathIn(dir, "") + "caf\xe9.png";
    ASSERT_EQ(::rename(path.c_str(), latin1.c_str()), 0);
    CImageFile image;
    ASSERT_TRUE(image.LoadFromFile(latin1.c_str()));
    EXPECT_EQ(image.Width(), 12u);
    EXPECT_EQ(image.Height(), 7u);
    EXPECT_TRUE(image.SaveToFile((PathIn(dir, "") + "out\xe9.png").c_str(), PngEncoder()));
    EXPECT_EQ(::access((PathIn(dir, "") + "out\xe9.png").c_str(), F_OK), 0);
}

TEST(ImageFile, SavesWithTheEncoderAndRefusesWhenEmpty) {
    QTemporaryDir dir;
    const std::string source = SavePicture(dir, "in.bmp", SolidImage(9, 5, QColor(10, 200, 30)));
    ASSERT_FALSE(source.empty());
    const CLSID png = PngEncoder();

    CImageFile empty;
    const std::string nothing = PathIn(dir, "nothing.png");
    EXPECT_FALSE(empty.SaveToFile(nothing.c_str(), png));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("nothing.png")));

    CImageFile image;
    ASSERT_TRUE(image.LoadFromFile(source.c_str()));
    EXPECT_EQ(image.GetPixelFormat(), PixelFormat24bppRGB);
    const std::string out = PathIn(dir, "out.png");
    ASSERT_TRUE(image.SaveToFile(out.c_str(), png));
    const QImage written(dir.filePath("out.png"));
    ASSERT_EQ(written.size(), QSize(9, 5));
    EXPECT_TRUE(NearColour(written.pixel(4, 2), QColor(10, 200, 30).rgba(), 0));
    // A folder that does not exist cannot be written into.
    EXPECT_FALSE(image.SaveToFile(PathIn(dir, "no/such/out.png").c_str(), png));
    EXPECT_FALSE(image.SaveToFile(PathIn(dir, "no\xff/out.png").c_str(), png));
}

TEST(ImageRecord, MakesRecordsAndSurfaces) {
    QTemporaryDir dir;
    const std::string path = SavePicture(dir, "a.png", SolidImage(6, 4, Qt::red));
    ASSERT_FALSE(path.empty());

    ImageRecordPtr record(ImageRecord::New());
    ASSERT_TRUE(record);
    EXPECT_EQ(record->Width(), 0u);
    EXPECT_EQ(record->CreateBitmapFromFile(path.c_str()), Ok);
    EXPECT_EQ(record->Width(), 6u);
    EXPECT_EQ(record->Height(), 4u);
    EXPECT_EQ(record->LoadImageFromFile(path.c_str()), Ok);
    EXPECT_EQ(record->Width(), 6u);
    EXPECT_EQ(record->CreateBitmapFromFile(PathIn(dir, "missing\xff.png").c_str()), FileNotFound);
    EXPECT_EQ(record->hImage, nullptr);
    EXPECT_NE(record->CreateBitmapFromFile(PathIn(dir, "missing.png").c_str()), Ok);
    EXPECT_EQ(record->hImage, nullptr);
    ASSERT_EQ(record->CreateBitmap(16, 8, PixelFormat32bppARGB), Ok);
    EXPECT_EQ(record->Width(), 16u);
    EXPECT_EQ(record->Height(), 8u);

    ImageRecordPtr source(ImageRecord::New());
    ASSERT_EQ(source->CreateBitmapFromFile(path.c_str()), Ok);
    DrawingSurface surface = DrawingSurface::OnImage(record->hImage);
    EXPECT_TRUE(surface.IsOpen());
    EXPECT_EQ(surface.DrawImage(source->hImage, 0, 0, 16, 8), Ok);
    EXPECT_EQ(surface.DrawImage(nullptr, 0, 0, 16, 8), InvalidParameter);
    surface.Close();
    EXPECT_FALSE(surface.IsOpen());
    EXPECT_NE(surface.DrawImage(source->hImage, 0, 0, 16, 8), Ok);

    DrawingSurface none = DrawingSurface::OnImage(nullptr);
    EXPECT_FALSE(none.IsOpen());
    EXPECT_EQ(none.DrawImage(source->hImage, 0, 0, 1, 1), InvalidParameter);
}

TEST(ImageFile, OverlayCheckTellsWhyAPictureCannotBeTheOverlay) {
    QTemporaryDir dir;
    const std::string good = SavePicture(dir, "logo.png", SolidImage(37, 23, Qt::white));
    const std::string cut = PathIn(dir, "cut.png");
    ASSERT_TRUE(WriteBytes(QString::fromLocal8Bit(cut.c_str()),
                           PngMissingRows(SolidImage(64, 64, Qt::red), 8)));
    const struct {
        std::string path;
        OverlayDepth depth;
        OverlayProblem problem;
        std::string text;
    } cases[] = {
        {good, OverlayDepth::Header, OverlayProblem::None, ""},
        {good, OverlayDepth::Pixels, OverlayProblem::None, ""},
        // Only a run's check decodes the pixels.
        {cut, OverlayDepth::Header, OverlayProblem::None, ""},
        {cut, OverlayDepth::Pixels, OverlayProblem::Damaged, "damaged picture data"},
        {PathIn(dir, "missing.png"), OverlayDepth::Pixels, OverlayProblem::NotOpened,
         "no such file"},
        // The batch record holds MAX_PATH - 1 bytes of a path: one byte more would be cut off.
        {std::string(MAX_PATH - 1, 'a'), OverlayDepth::Header, OverlayProblem::NotOpened,
         "no such file"},
        {std::string(MAX_PATH, 'a'), OverlayDepth::Header, OverlayProblem::TooLong,
         "longer than " + std::to_string(MAX_PATH - 1) + " bytes"},
    };
    for (const auto& c : cases) {
        CImageFile overlay;
        GpStatus status = Ok;
        const OverlayProblem problem = CheckOverlay(c.path, c.depth, overlay, &status);
        const std::string shown = c.path.substr(0, 80);
        EXPECT_EQ(problem, c.problem) << shown;
        EXPECT_EQ(OverlayProblemText(problem, c.path, status), c.text) << shown;
        EXPECT_EQ(overlay.IsEmpty(), c.problem != OverlayProblem::None) << shown;
    }
}
