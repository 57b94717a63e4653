// Drawing: blending, scaling, clipping of wild rectangles, surfaces that must not open.

#include "ImagingTestSupport.h"
#include "imaging/GpImage.h"
#include "imaging/ReducedMark.h"

#include <QPainter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <thread>
#include <vector>

namespace {

class DrawTest : public testing::Test {
  protected:
    ImagePtr imageFrom(const QImage& picture, const char* name, const char* format = "png") {
        const QString file = m_dir.filePath(name);
        EXPECT_TRUE(WriteBytes(file, Encode(picture, format, 95)));
        GpStatus status = GenericError;
        ImagePtr image = loadBitmap(file, &status);
        EXPECT_EQ(status, Ok) << name;
        return image;
    }
    static QImage filled(int width, int height, QRgb colour,
                         QImage::Format format = QImage::Format_RGB32) {
        QImage image(width, height, format);
        image.fill(colour);
        return image;
    }
    // Red, green and blue columns, each 10 pixels wide, 10 high.
    static QImage columns() {
        QImage image(30, 10, QImage::Format_RGB32);
        for (int x = 0; x < 30; ++x)
            for (int y = 0; y < 10; ++y)
                image.setPixel(x, y,
                               x < 10   ? qRgb(255, 0, 0)
                               : x < 20 ? qRgb(0, 255, 0)
                                        : qRgb(0, 0, 255));
        return image;
    }
    QTemporaryDir m_dir;
};

struct Surface {
    ImagePtr bitmap;
    GraphicsPtr graphics;
};

Surface openSurface(int width, int height, PixelFormat format) {
    Surface surface;
    surface.bitmap = blankBitmap(width, height, format);
    GpGraphics* graphics = nullptr;
    if (surface.bitmap && GdipGetImageGraphicsContext(surface.bitmap.get(), &graphics) == Ok)
        surface.graphics.reset(graphics);
    return surface;
}

QImage::Format storageOf(PixelFormat format) {
    switch (format) {
    case PixelFormat24bppRGB:
        return QImage::Format_RGB888;
    case PixelFormat32bppRGB:
        return QImage::Format_RGB32;
    default:
        return QImage::Format_ARGB32;
    }
}

} // namespace

TEST_F(DrawTest, HalfTransparentOverlayIsBlendedOverTheBackground) {
    ImagePtr background = imageFrom(filled(40, 40, qRgb(0, 0, 255)), "blue.png");
    ImagePtr overlay =
        imageFrom(filled(10, 10, qRgba(255, 0, 0, 128), QImage::Format_ARGB32), "half-red.png");
    for (const PixelFormat format :
         {PixelFormat24bppRGB, PixelFormat32bppRGB, PixelFormat32bppARGB, PixelFormat32bppPARGB,
          PixelFormat48bppRGB, PixelFormat64bppARGB}) {
        SCOPED_TRACE(format);
        Surface surface = openSurface(40, 40, format);
        ASSERT_NE(surface.graphics, nullptr);
        EXPECT_EQ(GdipDrawImageRectI(surface.graphics.get(), background.get(), 0, 0, 40, 40), Ok);
        EXPECT_EQ(GdipDrawImageRectI(surface.graphics.get(), overlay.get(), 10, 10, 20, 20), Ok);
        const QImage result = pixelsOf(surface.bitmap.get());
        // 128/255 red over blue; tolerance 3 per channel for rounding in the blend.
        EXPECT_TRUE(NearColour(result.pixel(15, 15), qRgb(128, 0, 127), 3))
            << Describe(result.pixel(15, 15));
        EXPECT_TRUE(NearColour(result.pixel(25, 25), qRgb(128, 0, 127), 3));
        EXPECT_EQ(result.pixel(5, 5), qRgb(0, 0, 255)) << "outside the overlay";
        EXPECT_EQ(result.pixel(35, 35), qRgb(0, 0, 255)) << "outside the overlay";
    }
}

TEST_F(DrawTest, DestinationsAreClippedToTheBitmap) {
    ImagePtr white = imageFrom(filled(50, 40, qRgb(255, 255, 255)), "white.png");
    ImagePtr overlay = imageFrom(columns(), "columns.png");
    const QRgb red = qRgb(255, 0, 0), green = qRgb(0, 255, 0), blue = qRgb(0, 0, 255);
    const QRgb background = qRgb(255, 255, 255);
    struct Point {
        int x, y;
        QRgb colour;
    };
    const struct {
        const char* name;
        INT x, y, width, height;
        std::vector<Point> expected;
    } cases[] = {
        {"starts left of the bitmap",
         -15,
         5,
         30,
         10,
         {{2, 8, green}, {10, 8, blue}, {20, 8, background}, {2, 30, background}}},
        {"reaches past the corner",
         35,
         35,
         30,
         10,
         {{37, 37, red}, {47, 37, green}, {30, 30, background}, {37, 30, background}}},
        {"two thousand million pixels wide",
         0,
         0,
         2000000000,
         2000000000,
         {{0, 0, red}, {49, 39, red}, {25, 20, red}}},
        {"starts a thousand million pixels left",
         -1000000000,
         0,
         2000000000,
         40,
         {{0, 20, green}, {49, 20, green}}},
        {"far right and below", 1000000, 1000000, 10, 10, {{25, 20, background}}},
        {"far left and above", -2000000000, -2000000000, 10, 10, {{0, 0, background}}},
        {"ends just before the bitmap", INT_MIN, INT_MIN, INT_MAX, INT_MAX, {{0, 0, background}}},
        {"zero width", 5, 5, 0, 10, {{5, 5, background}}},
        {"negative height", 5, 5, 10, -10, {{5, 5, background}, {5, 0, background}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Surface surface = openSurface(50, 40, PixelFormat24bppRGB);
        ASSERT_NE(surface.graphics, nullptr);
        ASSERT_EQ(GdipDrawImageRectI(surface.graphics.get(), white.get(), 0, 0, 50, 40), Ok);
        EXPECT_EQ(GdipDrawImageRectRectI(surface.graphics.get(), overlay.get(), c.x, c.y, c.width,
                                         c.height, 0, 0, 30, 10, UnitPixel, nullptr, nullptr,
                                         nullptr),
                  Ok);
        const QImage result = pixelsOf(surface.bitmap.get());
        for (const Point& p : c.expected)
            EXPECT_TRUE(NearColour(result.pixel(p.x, p.y), p.colour, 8))
                << "at " << p.x << "," << p.y << ": " << Describe(result.pixel(p.x, p.y));
    }
}

TEST_F(DrawTest, SourceRectanglePicksAndClipsThePartDrawn) {
    ImagePtr overlay = imageFrom(columns(), "columns.png");
    Surface surface = openSurface(40, 10, PixelFormat32bppARGB);
    ASSERT_NE(surface.graphics, nullptr);
    // The green column alone, doubled in width, at x 0..19.
    EXPECT_EQ(GdipDrawImageRectRectI(surface.graphics.get(), overlay.get(), 0, 0, 20, 10, 10, 0, 10,
                                     10, UnitPixel, nullptr, nullptr, nullptr),
              Ok);
    // A source that starts 10 pixels left of the overlay: only its existing half lands.
    EXPECT_EQ(GdipDrawImageRectRectI(surface.graphics.get(), overlay.get(), 20, 0, 20, 10, -10, 0,
                                     20, 10, UnitPixel, nullptr, nullptr, nullptr),
              Ok);
    const QImage result = pixelsOf(surface.bitmap.get());
    EXPECT_TRUE(NearColour(result.pixel(2, 5), qRgb(0, 255, 0), 0));
    EXPECT_TRUE(NearColour(result.pixel(17, 5), qRgb(0, 255, 0), 0));
    EXPECT_EQ(qAlpha(result.pixel(25, 5)), 0) << "nothing where the source did not exist";
    EXPECT_TRUE(NearColour(result.pixel(35, 5), qRgb(255, 0, 0), 0));
}

// Clipping a scaled destination and mapping the visible part back to the source must give the
// picture that drawing the whole, unclipped rectangle gives.
TEST_F(DrawTest, ClippedScaledDrawingMatchesUnclippedDrawing) {
    QImage photo(37, 23, QImage::Format_RGB32);
    for (int y = 0; y < photo.height(); ++y)
        for (int x = 0; x < photo.width(); ++x)
            photo.setPixel(x, y, qRgb(x * 7 % 256, y * 11 % 256, (x * y) % 256));
    std::vector<std::pair<const char*, ImagePtr>> backgrounds;
    backgrounds.emplace_back("rgb png", imageFrom(photo, "photo.png"));
    backgrounds.emplace_back("jpeg", imageFrom(photo, "photo.jpg", "jpeg"));
    backgrounds.emplace_back(
        "palette png", imageFrom(photo.convertToFormat(QImage::Format_Indexed8), "palette.png"));
    const QRect destinations[] = {{-11, -7, 56, 35}, {20, 10, 74, 46}, {-30, 5, 40, 12}};
    for (auto& [name, background] : backgrounds) {
        for (const PixelFormat format : {PixelFormat24bppRGB, PixelFormat32bppARGB}) {
            for (const QRect& d : destinations) {
                SCOPED_TRACE(std::string(name) + " into " + std::to_string(format) + " at " +
                             std::to_string(d.x()) + "," + std::to_string(d.y()));
                Surface surface = openSurface(37, 23, format);
                ASSERT_NE(surface.graphics, nullptr);
                EXPECT_EQ(GdipDrawImageRectI(surface.graphics.get(), background.get(), d.x(), d.y(),
                                             d.width(), d.height()),
                          Ok);
                QImage reference(37, 23, storageOf(format));
                reference.fill(0);
                {
                    QPainter painter(&reference);
                    painter.setRenderHint(QPainter::SmoothPixmapTransform);
                    painter.drawImage(QRectF(d), pixelsOf(background.get()));
                }
                const QImage result = pixelsOf(surface.bitmap.get());
                const QImage expected = reference.convertToFormat(QImage::Format_ARGB32);
                int worst = 0;
                for (int y = 0; y < 23; ++y)
                    for (int x = 0; x < 37; ++x)
                        for (int tolerance = worst; tolerance < 256; ++tolerance)
                            if (NearColour(result.pixel(x, y), expected.pixel(x, y), tolerance)) {
                                worst = tolerance;
                                break;
                            }
                // Bilinear weights differ by rounding only: at most 2 per channel.
                EXPECT_LE(worst, 2);
            }
        }
    }
}

TEST_F(DrawTest, DeviceContextDrawingScalesIntoThePainter) {
    ImagePtr overlay = imageFrom(columns(), "columns.png");
    QImage window(60, 20, QImage::Format_ARGB32_Premultiplied);
    window.fill(qRgb(255, 255, 255));
    {
        QPainter painter(&window);
        GpGraphics* graphics = nullptr;
        ASSERT_EQ(GdipCreateFromHDC(reinterpret_cast<HDC>(&painter), &graphics), Ok);
        EXPECT_EQ(GdipDrawImageRectI(graphics, overlay.get(), 0, 0, 60, 20), Ok);
        GdipDeleteGraphics(graphics);
        EXPECT_TRUE(painter.isActive()) << "the borrowed painter stays usable";
    }
    EXPECT_TRUE(NearColour(window.pixel(5, 10), qRgb(255, 0, 0), 0));
    EXPECT_TRUE(NearColour(window.pixel(30, 10), qRgb(0, 255, 0), 0));
    EXPECT_TRUE(NearColour(window.pixel(55, 10), qRgb(0, 0, 255), 0));
}

TEST_F(DrawTest, RefusedCallsReportTheirStatus) {
    ImagePtr overlay = imageFrom(columns(), "columns.png");
    ImagePtr palette = imageFrom(columns().convertToFormat(QImage::Format_Indexed8), "palette.png");
    Surface surface = openSurface(20, 20, PixelFormat32bppARGB);
    ASSERT_NE(surface.graphics, nullptr);
    GpGraphics* g = surface.graphics.get();
    EXPECT_EQ(GdipDrawImageRectI(nullptr, overlay.get(), 0, 0, 5, 5), InvalidParameter);
    EXPECT_EQ(GdipDrawImageRectI(g, nullptr, 0, 0, 5, 5), InvalidParameter);
    EXPECT_EQ(GdipDrawImageRectRectI(g, overlay.get(), 0, 0, 5, 5, 0, 0, 5, 5, UnitWorld, nullptr,
                                     nullptr, nullptr),
              NotImplemented);
    EXPECT_EQ(GdipDrawImageRectRectI(
                  g, overlay.get(), 0, 0, 5, 5, 0, 0, 5, 5, UnitPixel, nullptr,
                  [](void*) -> BOOL { return TRUE; }, nullptr),
              Aborted);
    EXPECT_EQ(GdipCreateFromHDC(nullptr, &g), InvalidParameter);
    EXPECT_EQ(GdipDeleteGraphics(nullptr), InvalidParameter);
    // No surface on a decoded palette picture, nor a second one on a bitmap.
    GpGraphics* more = nullptr;
    EXPECT_NE(GdipGetImageGraphicsContext(palette.get(), &more), Ok);
    EXPECT_NE(GdipGetImageGraphicsContext(surface.bitmap.get(), &more), Ok);
    // A bitmap disposed before its surface: drawing fails instead of touching freed memory.
    GdipDisposeImage(surface.bitmap.release());
    EXPECT_NE(GdipDrawImageRectI(g, overlay.get(), 0, 0, 5, 5), Ok);
}

TEST_F(DrawTest, ThreadsUseTheLibraryAtTheSameTime) {
    const QString source = m_dir.filePath("source.jpg");
    ASSERT_TRUE(WriteBytes(source, Encode(Quadrants(120, 80), "jpeg", 90)));
    auto work = [&](int thread, std::vector<GpStatus>* results) {
        for (int round = 0; round < 6; ++round) {
            GpStatus status = GenericError;
            ImagePtr background = loadBitmap(source, &status);
            results->push_back(status);
            if (!background)
                continue;
            Surface surface = openSurface(120, 80, PixelFormat24bppRGB);
            results->push_back(
                GdipDrawImageRectI(surface.graphics.get(), background.get(), 0, 0, 120, 80));
            results->push_back(
                GdipDrawImageRectI(surface.graphics.get(), background.get(), 30, 20, 60, 40));
            const std::wstring out =
                widePath(m_dir.filePath(QStringLiteral("out-%1-%2.png").arg(thread).arg(round)));
            results->push_back(
                GdipSaveImageToFile(surface.bitmap.get(), out.c_str(), &ClsidPngEncoder, nullptr));
        }
    };
    std::vector<GpStatus> first, second;
    std::thread worker(work, 1, &second);
    work(0, &first);
    worker.join();
    first.insert(first.end(), second.begin(), second.end());
    ASSERT_EQ(first.size(), 48u);
    for (const GpStatus status : first)
        EXPECT_EQ(status, Ok);
}

// A mark drawn smaller is reduced once per drawn size, whichever thread asks first, and the copy
// is kept while that size comes again; along an axis drawn at its own size or larger, it is not
// reduced, and drawn no smaller at all it is drawn itself.
TEST_F(DrawTest, ReducedMarkIsMadeOncePerSize) {
    ImagePtr mark = imageFrom(SignatureImage(400, 100), "mark.png");
    std::shared_ptr<GpImage> first[2];
    std::thread other([&] { first[1] = ReducedMark::drawnAt(mark.get(), 100, 25); });
    first[0] = ReducedMark::drawnAt(mark.get(), 100, 25);
    other.join();
    EXPECT_EQ(first[0], first[1]);
    const struct {
        int width, height;
        QSize made;
    } cases[] = {{400, 100, {400, 100}},
                 {800, 50, {400, 50}},
                 {50, 200, {50, 100}},
                 {100, 25, {100, 25}},
                 {0, 25, {400, 100}}};
    for (const auto& c : cases) {
        const std::shared_ptr<GpImage> got = ReducedMark::drawnAt(mark.get(), c.width, c.height);
        EXPECT_EQ(QSize(int(got->width), int(got->height)), c.made) << c.width << "x" << c.height;
        EXPECT_EQ(got->pixels.size(), c.made);
        EXPECT_EQ(got.get() == mark.get(), c.made == QSize(400, 100));
    }
    EXPECT_EQ(ReducedMark::drawnAt(mark.get(), 100, 25), first[0]);
}

// Found by fuzzing: Qt draws an indexed picture by looking every index up in the colour table,
// so an index past a damaged file's short palette read memory beyond it.
TEST_F(DrawTest, IndicesPastAShortPaletteDrawBlack) {
    struct Case {
        const char* name;
        int bitsPerPixel;
        std::vector<QRgb> palette;
        std::vector<int> indices;
        std::vector<QRgb> drawn;
    };
    const QRgb red = qRgb(255, 0, 0);
    const QRgb green = qRgb(0, 255, 0);
    const QRgb black = qRgb(0, 0, 0);
    const Case cases[] = {
        {"8-bit, two colours",
         8,
         {red, green},
         {0, 1, 2, 200, 255, 1},
         {red, green, black, black, black, green}},
        {"8-bit, full palette", 8, std::vector<QRgb>(256, green), {0, 255}, {green, green}},
        {"1-bit, one colour", 1, {red}, {0, 1, 0, 1}, {red, black, red, black}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = m_dir.filePath(QStringLiteral("indexed.bmp"));
        ASSERT_TRUE(WriteBytes(file, IndexedBmp(c.bitsPerPixel, c.palette, c.indices)));
        GpStatus status = GenericError;
        ImagePtr picture = loadBitmap(file, &status);
        ASSERT_EQ(status, Ok);
        const int width = int(c.indices.size());
        Surface surface = openSurface(width, 1, PixelFormat32bppARGB);
        ASSERT_NE(surface.graphics, nullptr);
        EXPECT_EQ(GdipDrawImageRectI(surface.graphics.get(), picture.get(), 0, 0, width, 1), Ok);
        const QImage result = pixelsOf(surface.bitmap.get());
        for (int x = 0; x < width; ++x)
            EXPECT_EQ(result.pixel(x, 0), c.drawn[std::size_t(x)])
                << "x " << x << ": " << Describe(result.pixel(x, 0));
    }
}
