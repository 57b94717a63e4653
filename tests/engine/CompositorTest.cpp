#include "TestPictures.h"
#include "engine/BatchJob.h"
#include "engine/DrawingSurface.h"
#include "engine/ImageFile.h"
#include "engine/TextHelpers.h"
#include "imaging/GpImage.h"

#include <QColorSpace>
#include <QPainter>
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cmath>
#include <string>

// Colours are checked at named pixels, away from the overlay's edges where smooth scaling
// mixes neighbours; channels may differ by this much from the expected blend.
constexpr int kTolerance = 3;

namespace {

const QColor kBlue(0, 0, 255);
const QColor kGreen(0, 255, 0);

class Compositor : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    // Loads a picture saved from image into target.
    void Load(CImageFile& target, const QString& name, const QImage& image) {
        const std::string path = SavePicture(dir, name, image);
        ASSERT_FALSE(path.empty());
        ASSERT_TRUE(target.LoadFromFile(path.c_str()));
    }

    // The image's pixels, through a lossless file.
    QImage Pixels(const CImageFile& image) {
        CBatchJob job(nullptr);
        CopyText(job.szOutputFormat, "image/png");
        CLSID png{};
        EXPECT_GE(job.FindOutputEncoder(png), 0);
        const std::string path = PathIn(dir, QString("result%1.png").arg(++saved));
        EXPECT_TRUE(image.SaveToFile(path.c_str(), png));
        return QImage(QString::fromLocal8Bit(path.c_str())).convertToFormat(QImage::Format_ARGB32);
    }

    QTemporaryDir dir;
    int saved = 0;
};

} // namespace

TEST_F(Compositor, BlendsHalfTransparentOverlayInsideTheDestinationOnly) {
    CImageFile background;
    CImageFile overlay;
    Load(background, "bg.png", SolidImage(40, 30, kBlue));
    Load(overlay, "logo.png", SolidImage(10, 10, QColor(255, 0, 0, 128), QImage::Format_ARGB32));

    ASSERT_TRUE(background.ComposeOverlay(overlay, RECT{0, 0, 10, 10}, RECT{5, 5, 25, 25}));
    EXPECT_EQ(background.Width(), 40u);
    EXPECT_EQ(background.Height(), 30u);
    const QImage result = Pixels(background);
    ASSERT_EQ(result.size(), QSize(40, 30));
    const QColor blend(128, 0, 127); // 50 % red over opaque blue
    for (const QPoint p : {QPoint(6, 6), QPoint(15, 15), QPoint(23, 23)})
        EXPECT_TRUE(NearColour(result.pixel(p), blend.rgba(), kTolerance))
            << p.x() << "," << p.y() << " " << QColor(result.pixel(p)).name().toStdString();
    for (const QPoint p : {QPoint(0, 0), QPoint(3, 15), QPoint(27, 27), QPoint(39, 29)})
        EXPECT_TRUE(NearColour(result.pixel(p), kBlue.rgba(), 0)) << p.x() << "," << p.y();
}

TEST_F(Compositor, DrawsOnlyTheSourcePart) {
    QImage halves(20, 10, QImage::Format_RGB888);
    halves.fill(Qt::red);
    QPainter(&halves).fillRect(10, 0, 10, 10, kGreen);
    CImageFile background;
    CImageFile overlay;
    Load(background, "bg.png", SolidImage(40, 30, kBlue));
    Load(overlay, "halves.png", halves);

    ASSERT_TRUE(background.ComposeOverlay(overlay, RECT{10, 0, 20, 10}, RECT{0, 0, 20, 20}));
    const QImage result = Pixels(background);
    for (const QPoint p : {QPoint(2, 2), QPoint(10, 10), QPoint(17, 17)})
        EXPECT_TRUE(NearColour(result.pixel(p), kGreen.rgba(), kTolerance))
            << p.x() << "," << p.y();
    EXPECT_TRUE(NearColour(result.pixel(30, 25), kBlue.rgba(), 0));
}

TEST_F(Compositor, ClipsDestinationsReachingOutside) {
    const struct {
        RECT dest;
        QPoint covered[2];
        QPoint untouched[2];
    } cases[] = {
        {{-5, -5, 5, 5}, {{0, 0}, {3, 3}}, {{6, 6}, {20, 0}}},
        {{35, 25, 45, 35}, {{36, 26}, {39, 29}}, {{33, 23}, {39, 0}}},
        {{-100, 10, 500, 20}, {{0, 15}, {39, 15}}, {{20, 8}, {20, 21}}},
    };
    for (const auto& c : cases) {
        CImageFile background;
        CImageFile overlay;
        Load(background, "bg.png", SolidImage(40, 30, kBlue));
        Load(overlay, "green.png", SolidImage(10, 10, kGreen));
        ASSERT_TRUE(background.ComposeOverlay(overlay, RECT{0, 0, 10, 10}, c.dest));
        const QImage result = Pixels(background);
        ASSERT_EQ(result.size(), QSize(40, 30));
        for (const QPoint p : c.covered)
            EXPECT_TRUE(NearColour(result.pixel(p), kGreen.rgba(), kTolerance))
                << p.x() << "," << p.y();
        for (const QPoint p : c.untouched)
            EXPECT_TRUE(NearColour(result.pixel(p), kBlue.rgba(), 0)) << p.x() << "," << p.y();
    }
}

TEST_F(Compositor, HugeDestinationsFinish) {
    CImageFile overlay;
    Load(overlay, "green.png", SolidImage(10, 10, kGreen));
    {
        // Covers everything: the centre of the overlay is stretched over the background.
        CImageFile background;
        Load(background, "bg.png", SolidImage(40, 30, kBlue));
        ASSERT_TRUE(background.ComposeOverlay(
            overlay, RECT{0, 0, 10, 10}, RECT{-1000000000, -1000000000, 1000000000, 1000000000}));
        const QImage result = Pixels(background);
        ASSERT_EQ(result.size(), QSize(40, 30));
        EXPECT_TRUE(NearColour(result.pixel(20, 15), kGreen.rgba(), kTolerance));
    }
    {
        // The full 32-bit span has a width beyond 32 bits; it saturates to INT_MAX from
        // INT_MIN, which ends left of the bitmap, so the background stays as it was.
        CImageFile background;
        Load(background, "bg.png", SolidImage(40, 30, kBlue));
        ASSERT_TRUE(background.ComposeOverlay(overlay, RECT{0, 0, 10, 10},
                                              RECT{INT_MIN, INT_MIN, INT_MAX, INT_MAX}));
        const QImage result = Pixels(background);
        ASSERT_EQ(result.size(), QSize(40, 30));
        EXPECT_TRUE(NearColour(result.pixel(20, 15), kBlue.rgba(), 0));
    }
    {
        // Far beyond the bitmap: nothing of it shows.
        CImageFile background;
        Load(background, "bg.png", SolidImage(40, 30, kBlue));
        ASSERT_TRUE(background.ComposeOverlay(overlay, RECT{0, 0, 10, 10},
                                              RECT{1000000000, 1000000000, INT_MAX, INT_MAX}));
        const QImage result = Pixels(background);
        EXPECT_TRUE(NearColour(result.pixel(39, 29), kBlue.rgba(), 0));
        EXPECT_TRUE(NearColour(result.pixel(0, 0), kBlue.rgba(), 0));
    }
}

TEST_F(Compositor, ResultFormatFollowsTheBackground) {
    const struct {
        const char* name;
        QImage image;
        PixelFormat decoded;
        PixelFormat composed;
    } cases[] = {
        {"indexed.png", SolidImage(16, 16, kBlue, QImage::Format_Indexed8), PixelFormat8bppIndexed,
         PixelFormat32bppARGB},
        {"rgb.png", SolidImage(16, 16, kBlue, QImage::Format_RGB888), PixelFormat24bppRGB,
         PixelFormat24bppRGB},
        {"argb.png", SolidImage(16, 16, QColor(0, 0, 255, 200), QImage::Format_ARGB32),
         PixelFormat32bppARGB, PixelFormat32bppARGB},
    };
    CImageFile overlay;
    Load(overlay, "green.png", SolidImage(4, 4, kGreen));
    for (const auto& c : cases) {
        CImageFile background;
        Load(background, c.name, c.image);
        EXPECT_EQ(background.GetPixelFormat(), c.decoded) << c.name;
        ASSERT_TRUE(background.ComposeOverlay(overlay, RECT{0, 0, 4, 4}, RECT{4, 4, 8, 8}))
            << c.name;
        EXPECT_EQ(background.GetPixelFormat(), c.composed) << c.name;
        EXPECT_EQ(background.Width(), 16u);
        const QImage result = Pixels(background);
        EXPECT_TRUE(NearColour(result.pixel(6, 6), kGreen.rgba(), kTolerance)) << c.name;
        EXPECT_TRUE(NearColour(result.pixel(12, 12), c.image.pixelColor(12, 12).rgba(), 0))
            << c.name;
    }
}

// A stamp draws the overlay on the picture itself only where that is the same as drawing on a
// new bitmap that the picture was copied into first; either way the pixels and everything an
// encoder reads from them must be what the copy gives.
TEST_F(Compositor, StampOnThePictureItselfOnlyWhereItEqualsTheCopy) {
    const QImage photo = NoisyImage(48, 32, 7);
    const struct {
        const char* name;
        QByteArray bytes;
        bool onThePicture;
    } cases[] = {
        {"colour.jpg", Encode(photo, "jpeg", 90), true},
        {"turned.jpg", JpegWithExifOrientation(Encode(photo, "jpeg", 90), 6), true},
        {"grey.jpg", Encode(photo.convertToFormat(QImage::Format_Grayscale8), "jpeg", 90), false},
        {"rgb.png", Encode(photo.convertToFormat(QImage::Format_RGB888), "png"), false},
        {"argb.png",
         Encode(SolidImage(48, 32, QColor(0, 0, 255, 90), QImage::Format_ARGB32), "png"), false},
        {"rgb.bmp", Encode(photo.convertToFormat(QImage::Format_RGB888), "bmp"), false},
        {"rgb.tif", Encode(photo.convertToFormat(QImage::Format_RGB888), "tiff"), false},
    };
    CImageFile overlay;
    Load(overlay, "logo.png", RedGreenOverlay(8, 8).convertToFormat(QImage::Format_ARGB32));
    ASSERT_TRUE(overlay.DecodeNow());
    const RECT source{1, 1, 7, 7};
    const RECT destination{5, 3, 30, 20}; // scaled, so that smooth scaling and blending show
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = PathIn(dir, c.name);
        ASSERT_TRUE(WriteBytes(QString::fromLocal8Bit(path.c_str()), c.bytes));
        CImageFile stamped;
        CImageFile original;
        ASSERT_TRUE(stamped.LoadFromFile(path.c_str()));
        ASSERT_TRUE(original.LoadFromFile(path.c_str()));
        const GpImage* before = stamped.GetImage();
        ASSERT_TRUE(stamped.ComposeOverlay(overlay, source, destination));
        EXPECT_EQ(stamped.GetImage() == before, c.onThePicture);

        // The copy, made as the library's users make it.
        const INT width = INT(original.Width());
        const INT height = INT(original.Height());
        ImageRecordPtr copy(ImageRecord::New());
        ASSERT_EQ(copy->CreateBitmap(width, height, stamped.GetPixelFormat()), Ok);
        {
            DrawingSurface surface = DrawingSurface::OnImage(copy->hImage);
            ASSERT_EQ(surface.DrawImage(original.GetImage(), 0, 0, width, height), Ok);
            ASSERT_EQ(surface.DrawImage(overlay.GetImage(), 5, 3, 25, 17, 1, 1, 6, 6), Ok);
        }
        const QImage& got = stamped.GetImage()->pixels;
        const QImage& want = copy->hImage->pixels;
        EXPECT_EQ(got.format(), want.format());
        EXPECT_TRUE(got == want); // every pixel
        EXPECT_EQ(got.dotsPerMeterX(), want.dotsPerMeterX());
        EXPECT_EQ(got.dotsPerMeterY(), want.dotsPerMeterY());
        EXPECT_TRUE(got.colorSpace() == want.colorSpace());
        EXPECT_EQ(got.textKeys(), want.textKeys());
    }
}

TEST_F(Compositor, EmptyObjectsChangeNothing) {
    CImageFile background;
    CImageFile overlay;
    Load(background, "bg.png", SolidImage(8, 6, kBlue, QImage::Format_Indexed8));
    const PixelFormat before = background.GetPixelFormat();

    EXPECT_FALSE(background.ComposeOverlay(overlay, RECT{0, 0, 4, 4}, RECT{0, 0, 8, 6}));
    EXPECT_EQ(background.GetPixelFormat(), before);
    EXPECT_EQ(background.Width(), 8u);
    EXPECT_EQ(background.Height(), 6u);
    EXPECT_TRUE(NearColour(Pixels(background).pixel(4, 3), kBlue.rgba(), 0));

    CImageFile emptyBackground;
    Load(overlay, "green.png", SolidImage(4, 4, kGreen));
    EXPECT_FALSE(emptyBackground.ComposeOverlay(overlay, RECT{0, 0, 4, 4}, RECT{0, 0, 4, 4}));
    EXPECT_TRUE(emptyBackground.IsEmpty());
}

// A mark drawn at a fraction of its size must look like its pixels averaged over each target
// pixel (premultiplied, so that clear pixels add no colour), not like a few pixels sampled: thin
// lines would come out beaded and stepped. Errors are per channel, over the whole mark; scaling
// alone measured a mean of 0.75 and 1.62, a largest of 103 and 144, at 1/4 and 1/8.
TEST_F(Compositor, ReducedMarkIsTheAreaAverageOfItsPixels) {
    const QImage signature = SignatureImage(2400, 480);
    const QImage premultiplied = signature.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QColor paper(235, 225, 200);
    const struct {
        int factor;
        QImage::Format format;
    } cases[] = {{2, QImage::Format_ARGB32},
                 {4, QImage::Format_ARGB32},
                 {8, QImage::Format_ARGB32},
                 {8, QImage::Format_RGBA64}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.factor);
        CImageFile overlay;
        Load(overlay, "signature.png", signature.convertToFormat(c.format));
        const int w = 2400 / c.factor;
        const int h = 480 / c.factor;
        CImageFile background;
        Load(background, "paper.png", SolidImage(w + 20, h + 20, paper));
        ASSERT_TRUE(background.ComposeOverlay(overlay, RECT{0, 0, 2400, 480},
                                              RECT{10, 10, 10 + w, 10 + h}));
        const QImage result = Pixels(background);
        double sum = 0;
        double worst = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                std::array<double, 4> mean{}; // red, green, blue, alpha
                for (int v = 0; v < c.factor; ++v)
                    for (int u = 0; u < c.factor; ++u) {
                        const QRgb p = premultiplied.pixel(x * c.factor + u, y * c.factor + v);
                        const int channels[4] = {qRed(p), qGreen(p), qBlue(p), qAlpha(p)};
                        for (int k = 0; k < 4; ++k)
                            mean[k] += channels[k] / double(c.factor * c.factor);
                    }
                const QRgb got = result.pixel(10 + x, 10 + y);
                const int gotChannels[3] = {qRed(got), qGreen(got), qBlue(got)};
                const int paperChannels[3] = {paper.red(), paper.green(), paper.blue()};
                for (int k = 0; k < 3; ++k) {
                    const double want = mean[k] + paperChannels[k] * (1 - mean[3] / 255);
                    sum += std::abs(gotChannels[k] - want);
                    worst = std::max(worst, std::abs(gotChannels[k] - want));
                }
            }
        EXPECT_LE(sum / (3.0 * w * h), 1.0);
        EXPECT_LE(worst, 48);
    }
}
