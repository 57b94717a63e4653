// Pixel memory that is reused or left uncleared for speed must never show through: a blank
// bitmap reads as zero however its memory was obtained, unless its first drawing covered it.

#include "ImagingTestSupport.h"

#include "imaging/GpImage.h"
#include "imaging/ImageAllocator.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <future>
#include <thread>
#include <vector>

namespace {

// 1200 x 900 at 24 or 32 bits is well above the size from which buffers are reused.
constexpr int kWidth = 1200;
constexpr int kHeight = 900;

// Loads an opaque or half-transparent picture of the given size from a PNG file.
ImagePtr pictureOfColour(const QTemporaryDir& dir, const char* name, int width, int height,
                         QRgb colour) {
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(colour);
    if (qAlpha(colour) == 255)
        image = image.convertToFormat(QImage::Format_RGB32);
    const QString file = dir.filePath(QString::fromLatin1(name));
    EXPECT_TRUE(WriteBytes(file, Encode(image, "png")));
    GpStatus status = GenericError;
    ImagePtr loaded = loadBitmap(file, &status);
    EXPECT_EQ(status, Ok);
    return loaded;
}

// Fills the thread's reused buffers with white: a blank bitmap made from the same memory
// would show white where it should be black.
void dirtyReusedMemory(PixelFormat format) {
    for (int i = 0; i < 2; ++i) {
        ImagePtr dirty = blankBitmap(kWidth, kHeight, format);
        ASSERT_NE(dirty, nullptr);
        ASSERT_EQ(dirty->decode(), Ok);
        dirty->pixels.fill(0xFFFFFFFFu);
    }
}

struct Drawing {
    const char* name;
    QRgb colour;                 // of the drawn picture
    int pictureW, pictureH;      // its size
    int x, y, w, h;              // where it is drawn (nothing when w is 0)
    QRgb cornerOn24, cornerOn32; // expected at the bottom-left corner on each kind of bitmap
};

constexpr QRgb kBlue = 0xFF0000FFu;
constexpr QRgb kBlack = 0xFF000000u;

const Drawing kDrawings[] = {
    {"nothing drawn", kBlue, 1, 1, 0, 0, 0, 0, kBlack, 0},
    {"opaque, part of the bitmap", kBlue, 50, 40, 100, 100, 50, 40, kBlack, 0},
    {"opaque, whole bitmap but shifted", kBlue, kWidth, kHeight, 1, 0, kWidth, kHeight, kBlack, 0},
    {"opaque, scaled from a smaller picture", kBlue, kWidth / 2, kHeight / 2, 0, 0, kWidth, kHeight,
     kBlue, kBlue},
    {"half-transparent, whole bitmap", qRgba(0, 0, 255, 128), kWidth, kHeight, 0, 0, kWidth,
     kHeight, qRgb(0, 0, 128), qRgba(0, 0, 255, 128)},
    {"opaque, whole bitmap one to one", kBlue, kWidth, kHeight, 0, 0, kWidth, kHeight, kBlue,
     kBlue},
};

void checkBlankBitmaps(const QTemporaryDir& dir) {
    for (const PixelFormat format : {PixelFormat24bppRGB, PixelFormat32bppARGB}) {
        for (const Drawing& d : kDrawings) {
            SCOPED_TRACE(d.name);
            dirtyReusedMemory(format);
            ImagePtr picture =
                pictureOfColour(dir, "picture.png", d.pictureW, d.pictureH, d.colour);
            ASSERT_NE(picture, nullptr);
            ImagePtr bitmap = blankBitmap(kWidth, kHeight, format);
            ASSERT_NE(bitmap, nullptr);
            if (d.w > 0) {
                GpGraphics* graphics = nullptr;
                ASSERT_EQ(GdipGetImageGraphicsContext(bitmap.get(), &graphics), Ok);
                EXPECT_EQ(GdipDrawImageRectI(graphics, picture.get(), d.x, d.y, d.w, d.h), Ok);
                GdipDeleteGraphics(graphics);
            }
            const QImage pixels = pixelsOf(bitmap.get());
            ASSERT_FALSE(pixels.isNull());
            const QRgb want = format == PixelFormat24bppRGB ? d.cornerOn24 : d.cornerOn32;
            const QRgb corner = pixels.pixel(0, kHeight - 1);
            EXPECT_TRUE(NearColour(corner, want, 1) && qAlpha(corner) == qAlpha(want))
                << Describe(corner) << " instead of " << Describe(want);
            const QRgb farCorner = pixels.pixel(kWidth - 1, 0);
            if (d.w == 0) {
                EXPECT_EQ(farCorner, want) << Describe(farCorner);
            }
        }
    }
}

} // namespace

// The main thread keeps no buffers; a worker thread does, and must still hand out clean ones.
TEST(PixelMemoryTest, BlankBitmapsReadAsZeroUnlessTheirFirstDrawingCoveredThem) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    {
        SCOPED_TRACE("main thread");
        checkBlankBitmaps(dir);
        EXPECT_EQ(ImageAllocator::keptBuffers(), 0);
    }
    std::thread worker([&] {
        SCOPED_TRACE("worker thread");
        checkBlankBitmaps(dir);
        EXPECT_GT(ImageAllocator::keptBuffers(), 0) << "the worker reuses its buffers";
        EXPECT_LE(ImageAllocator::keptBuffers(), 2);
    });
    worker.join();
}

// Buffers of other sizes are let go as soon as pictures change size, so that a run of mixed
// sizes never holds old buffers beside new ones.
TEST(PixelMemoryTest, AWorkerKeepsOnlyBuffersOfTheSizeInUse) {
    std::thread worker([] {
        {
            // A decoded background and its stamped copy, alive together.
            ImagePtr a = blankBitmap(kWidth, kHeight, PixelFormat24bppRGB);
            ImagePtr b = blankBitmap(kWidth, kHeight, PixelFormat32bppARGB);
        }
        EXPECT_EQ(ImageAllocator::keptBuffers(), 2);
        ImagePtr larger = blankBitmap(kWidth * 2, kHeight * 2, PixelFormat32bppARGB);
        ASSERT_NE(larger, nullptr);
        EXPECT_EQ(ImageAllocator::keptBuffers(), 0);
        larger.reset();
        EXPECT_EQ(ImageAllocator::keptBuffers(), 1);
        ImagePtr same = blankBitmap(kWidth * 2, kHeight * 2, PixelFormat32bppARGB);
        EXPECT_EQ(ImageAllocator::keptBuffers(), 0) << "taken again";
    });
    worker.join();
}

// Worker threads stamping side by side share what they keep: a buffer freed by one is handed
// to the next picture of the same size on another, the keep grows by two per worker at most,
// and everything kept is released when the last worker ends.
TEST(PixelMemoryTest, WorkerThreadsShareKeptBuffersUntilTheLastOneEnds) {
    const auto pixelsOf = [](const ImagePtr& image) {
        return image && image->decode() == Ok ? static_cast<const void*>(image->pixels.constBits())
                                              : nullptr;
    };
    std::promise<const void*> freedByFirst;
    std::promise<void> secondDone;
    std::thread first([&] {
        ImagePtr a = blankBitmap(kWidth, kHeight, PixelFormat24bppRGB);
        const void* bits = pixelsOf(a);
        a.reset();
        EXPECT_EQ(ImageAllocator::keptBuffers(), 1);
        freedByFirst.set_value(bits);
        secondDone.get_future().wait(); // stays alive while the second works
    });
    std::thread second([&] {
        const void* freed = freedByFirst.get_future().get();
        ImagePtr same = blankBitmap(kWidth, kHeight, PixelFormat24bppRGB);
        EXPECT_EQ(pixelsOf(same), freed) << "the other thread's buffer is reused";
        EXPECT_EQ(ImageAllocator::keptBuffers(), 0);
        std::vector<ImagePtr> many;
        for (int i = 0; i < 6; ++i) {
            many.push_back(blankBitmap(kWidth, kHeight, PixelFormat32bppARGB));
            EXPECT_NE(pixelsOf(many.back()), nullptr);
        }
        many.clear();
        EXPECT_EQ(ImageAllocator::keptBuffers(), 4) << "two per live worker thread";
        secondDone.set_value();
    });
    second.join();
    first.join();
    EXPECT_EQ(ImageAllocator::keptBuffers(), 0);
}

TEST(PixelMemoryTest, ABlankBitmapSavedUntouchedIsBlack) {
    QTemporaryDir dir;
    std::thread worker([&] {
        dirtyReusedMemory(PixelFormat24bppRGB);
        ImagePtr bitmap = blankBitmap(kWidth, kHeight, PixelFormat24bppRGB);
        const QString file = dir.filePath("blank.bmp");
        const std::wstring wide = widePath(file);
        ASSERT_EQ(GdipSaveImageToFile(bitmap.get(), wide.c_str(), &ClsidBmpEncoder, nullptr), Ok);
        const QImage saved(file);
        ASSERT_FALSE(saved.isNull());
        EXPECT_EQ(saved.pixel(kWidth / 2, kHeight / 2), qRgb(0, 0, 0));
    });
    worker.join();
}
